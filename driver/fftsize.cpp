#include <cmath>

#include "analysis/analysis.h"
#include "driver/run.h"
#include "driver/state.h"
#include "platform/console.h"

namespace {

// floor(log2(ratio)) for ratio >= 1, exact at powers of two: the quotient of
// the logarithms may fall just short of k at a ratio of exactly 2^k.
int exponent_of(double ratio) {
  double q = std::log(ratio) / std::log(2.0);
  if (!(q >= 0)) return 0;
  if (q > 1000) q = 1000;
  int e = int(q);
  while (e < 1000 && std::ldexp(1.0, e + 1) <= ratio) ++e;
  while (e > 0 && std::ldexp(1.0, e) > ratio) --e;
  return e;
}

}  // namespace

void fftsize() {
  double ratio = double(st.T) / double(st.dt);
  int32_t length;
  if (ratio >= 1.0) {
    double p = std::ldexp(1.0, exponent_of(ratio));
    length = p > 65536.0 ? 65536 : int32_t(p);
  } else {
    // Below one sample per period there is no frame; the dialogue refuses
    // such durations before they reach here.
    length = ratio >= 0.5 ? 1 : 0;
  }
  st.m = st.np = st.ns = length;
  st.nstages = length > 0 ? int32_t(std::log(double(st.m)) / std::log(2.0) + 0.5) : 0;

  double q = double(st.m) / double(st.sr);
  st.T = float(q);
  st.df = float(1.0 / q);
  st.fmax = float(double(st.m) * double(st.df) * 0.5);

  kprintf("\n df   = %14.4g Hz", double(st.df));
  kprintf("\n fmax = %14.4g Hz", double(st.fmax));
  kprintf("\n dur  = %14.4g sec\n", double(st.T));
  kprintf("\n\n ns = %ld \n", st.ns);

  rms_accel();
  rms_vel();
  rms_disp();

  kprintf("\n Input PSD \n\n");
  kprintf("   acceleration = %10.4e grms\n", double(st.grms));
  kprintf("   velocity     = %10.4e inch/sec rms\n", st.vrms);
  kprintf("   displacement = %10.4e inch rms\n", st.drms);
}
