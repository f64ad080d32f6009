#include <cmath>

#include "analysis/analysis.h"
#include "driver/state.h"
#include "platform/console.h"

namespace {

// Slopes of the power-law segments of P and the square root of their total
// area. Within segment j, P(f) = P[j] (f / f[j])^slope[j].
double integrate(const float* P, float* slope, bool guarded) {
  const float* f = st.freq;
  const int n = st.npsd;
  for (int j = 0; j <= n - 2; ++j) {
    if (double(f[j]) <= 1e-12) {
      slope[j] = 0;
      continue;
    }
    double fr = double(f[j + 1]) / double(f[j]);
    double pr = double(P[j + 1]) / double(P[j]);
    if (guarded) {
      if (!(fr > 0)) {
        kprintf("\n frequency error: %12.4g %12.4g \n", double(f[j + 1]), double(f[j]));
        break;
      }
      if (!(pr > 0)) {
        kprintf("\n amplitude error: %12.4g %12.4g \n", double(P[j + 1]), double(P[j]));
        break;
      }
    }
    slope[j] = float(std::log(pr) / std::log(fr));
  }

  double total = 0;
  for (int j = 0; j <= n - 2; ++j) {
    double s = slope[j];
    double area;
    if (s < -1.0001 || s > -0.9999)
      area = (double(P[j + 1]) * double(f[j + 1]) - double(P[j]) * double(f[j])) / (s + 1);
    else  // slope -1: the logarithmic form
      area = double(P[j]) * double(f[j]) * std::log(double(f[j + 1]) / double(f[j]));
    total += area;
  }
  return std::sqrt(total);
}

}  // namespace

void rms_accel() { st.grms = float(integrate(st.psd, st.slope, true)); }
void rms_vel() { st.vrms = integrate(st.vpsd, st.vslope, false); }
void rms_disp() { st.drms = integrate(st.dpsd, st.dslope, false); }
