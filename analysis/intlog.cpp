#include <cmath>
#include <cstring>

#include "analysis/analysis.h"
#include "driver/state.h"
#include "platform/console.h"

namespace {

// The breakpoints as they were on entry: the shared tables are rebuilt in
// place from entry 0 upward while every lookup reads these.
float fo[table_cap], po[table_cap];

// Steps the walk may take beyond the grid's capacity before a band that
// stalls (the step lost against the float frequency) is refused.
constexpr int walk_cap = 4 * table_cap;

[[noreturn]] void too_narrow() {
  fatal("\n Error:  the PSD band is too narrow for the fine grid \n");
}

}  // namespace

void intlog() {
  kprintf("\n intlog \n");
  const double K = std::pow(386.0, 2);  // (inch/sec^2 per G)^2
  st.df = float((double(st.fmax) - double(st.freq[0])) * 0.0005);
  std::memcpy(fo, st.freq, sizeof fo);
  std::memcpy(po, st.psd, sizeof po);
  const int nbreak = st.npsd;

  double w2 = std::pow(double(st.two_pi) * double(st.freq[0]), 2);
  st.vpsd[0] = float(double(st.psd[0]) * K / w2);
  st.dpsd[0] = float(double(st.psd[0]) * K / w2 / w2);
  int n = 1;

  float g = st.freq[0];
  for (int steps = 0;; ++steps) {
    if (steps >= walk_cap) too_narrow();
    double s = double(g) + double(st.df);
    g = float(s);
    if (s > double(st.fmax)) break;

    bool found = false;
    double v = 0;
    for (int j = 0; j <= nbreak - 2; ++j) {
      if (g == fo[j]) {
        v = po[j];
        found = true;
        break;
      }
      if (g > fo[j] && g < fo[j + 1]) {
        double b = std::log10(double(po[j + 1]) / double(po[j])) /
                   std::log10(double(fo[j + 1]) / double(fo[j]));
        v = double(po[j]) * std::pow(double(g) / double(fo[j]), b);
        found = true;
        break;
      }
    }
    if (!found) continue;
    if (n >= table_cap) too_narrow();

    st.psd[n] = float(v);
    double P = st.psd[n];
    w2 = std::pow(double(st.two_pi) * double(g), 2);
    st.vpsd[n] = float(P * K / w2);
    st.dpsd[n] = float(P * K / w2 / w2);
    st.freq[n] = g;
    ++n;
  }
  st.npsd = n;
  kprintf("\n  df=%12.4g  fmax=%12.4g  npsd=%ld \n", double(st.df), double(st.fmax), st.npsd);
}
