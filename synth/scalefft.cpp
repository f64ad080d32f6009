#include <cmath>

#include "driver/state.h"
#include "platform/console.h"
#include "synth/synth.h"

namespace {
constexpr double spec_limit = 1000000.0;  // G^2/Hz
}

void scalefft() {
  kprintf("\n ig = %ld \n", st.ig);
  if (st.ig <= 0) return;
  for (int k = 0; k < st.ig; ++k) {
    cpx& bin = st.cdata[k];
    float a = float(std::atan2(double(bin.im), double(bin.re)));

    // The PSD at the bin: the power-law segment with freq[j] <= f < freq[j+1].
    double spec = 0;
    const double f = st.fbin[k];
    for (int j = 0; j <= st.npsd - 2; ++j) {
      if (double(st.freq[j]) <= f && f < double(st.freq[j + 1])) {
        spec = double(st.psd[j]) * std::pow(f / double(st.freq[j]), double(st.slope[j]));
        break;
      }
    }
    if (std::fabs(spec) > spec_limit) fatal("\n spec = %12.4g \n", spec);

    float mag = float(std::sqrt(spec * double(st.df)));
    bin.re = float(std::cos(double(a)) * double(mag));
    bin.im = float(std::sin(double(a)) * double(mag));
  }
}
