#include <cmath>
#include <cstring>

#include "driver/state.h"
#include "platform/console.h"
#include "synth/synth.h"

namespace {

constexpr double spec_limit = 1000000.0;  // G^2/Hz

// The new magnitude of every bin depends on the bin frequencies, the fine
// grid and df alone, not on the noise: it is computed once and kept with a
// copy of everything it was computed from, so it is used only for the same
// inputs.
struct magnitude_table {
  bool built = false;
  int32_t ig = 0, npsd = 0;
  float df = 0;
  float fbin[sample_cap];
  float freq[table_cap], psd[table_cap], slope[table_cap];
  float mag[sample_cap];
  int32_t over = -1;     // the first bin whose PSD exceeds the limit, or -1
  double over_spec = 0;  // its PSD, G^2/Hz
};
magnitude_table table;

bool same_inputs() {
  const size_t n = size_t(st.npsd > 0 ? st.npsd : 0);
  return table.built && table.ig == st.ig && table.npsd == st.npsd &&
         std::memcmp(&table.df, &st.df, sizeof(float)) == 0 &&
         std::memcmp(table.fbin, st.fbin, sizeof(float) * size_t(st.ig)) == 0 &&
         std::memcmp(table.freq, st.freq, sizeof(float) * n) == 0 &&
         std::memcmp(table.psd, st.psd, sizeof(float) * n) == 0 &&
         std::memcmp(table.slope, st.slope, sizeof(float) * n) == 0;
}

// The PSD at bin k: the power-law segment j with freq[j] <= f < freq[j+1].
// With a grid that never decreases at most one segment qualifies, and it is
// found by a pointer j that advances with the bins and starts again when a
// bin frequency falls back (or is NaN). Otherwise the first segment that
// qualifies, by a scan.
void build_table() {
  const int n = st.npsd;
  bool rising = true;
  for (int j = 0; j + 1 < n; ++j) rising = rising && st.freq[j] <= st.freq[j + 1];
  table.over = -1;
  int j = -1;
  double f_prev = 0;
  for (int k = 0; k < st.ig; ++k) {
    const double f = st.fbin[k];
    int seg = -1;
    if (rising) {
      if (!(f >= f_prev)) j = -1;
      while (j + 1 < n && double(st.freq[j + 1]) <= f) ++j;
      f_prev = f;
      if (j >= 0 && j <= n - 2) seg = j;
    } else {
      for (int i = 0; i <= n - 2; ++i) {
        if (double(st.freq[i]) <= f && f < double(st.freq[i + 1])) {
          seg = i;
          break;
        }
      }
    }
    double spec = 0;
    if (seg >= 0) spec = double(st.psd[seg]) * std::pow(f / double(st.freq[seg]), double(st.slope[seg]));
    if (std::fabs(spec) > spec_limit) {
      table.over = k;
      table.over_spec = spec;
      break;
    }
    table.mag[k] = float(std::sqrt(spec * double(st.df)));
  }
  const size_t cap = size_t(n > 0 ? n : 0);
  table.ig = st.ig;
  table.npsd = n;
  table.df = st.df;
  std::memcpy(table.fbin, st.fbin, sizeof(float) * size_t(st.ig));
  std::memcpy(table.freq, st.freq, sizeof(float) * cap);
  std::memcpy(table.psd, st.psd, sizeof(float) * cap);
  std::memcpy(table.slope, st.slope, sizeof(float) * cap);
  table.built = true;
}

// A bin of magnitude +0 keeps only the signs of cos(a) and sin(a), with a
// its float phase: those of re and im whenever the bin lies well inside a
// quadrant (neither part below 1e-6 of the other), where a cannot round
// onto an axis or past pi. Other bins go the whole way.
inline bool clear_quadrant(float re, float im) {
  const double x = std::fabs(double(re)), y = std::fabs(double(im));
  return x > 0 && y > 0 && std::isfinite(x) && std::isfinite(y) && y <= x * 1e6 && x <= y * 1e6;
}

}  // namespace

void scalefft() {
  kprintf("\n ig = %ld \n", st.ig);
  if (st.ig <= 0) return;
  if (!same_inputs()) build_table();
  const int shaped = table.over >= 0 ? table.over : st.ig;
  for (int k = 0; k < shaped; ++k) {
    cpx& bin = st.cdata[k];
    const float mag = table.mag[k];
    if (mag == 0 && !std::signbit(mag) && clear_quadrant(bin.re, bin.im)) {
      bin.re = bin.re < 0 ? -0.0f : 0.0f;
      bin.im = bin.im < 0 ? -0.0f : 0.0f;
      continue;
    }
    float a = float(std::atan2(double(bin.im), double(bin.re)));
    bin.re = float(std::cos(double(a)) * double(mag));
    bin.im = float(std::sin(double(a)) * double(mag));
  }
  if (table.over >= 0) fatal("\n spec = %12.4g \n", table.over_spec);
}
