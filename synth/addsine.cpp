#include <cmath>

#include "driver/state.h"
#include "synth/synth.h"

void addsine() {
  for (int k = 0; k < st.nsine; ++k) {
    const double w = double(st.two_pi) * double(st.sine_freq[k]);
    const double amp = st.sine_amp[k];
    for (int j = 0; j < st.nt; ++j) {
      // The tone time is a float: its resolution is part of the phase.
      float t = float(double(j) * double(st.dt) + st.tsine);
      st.cdata[j].re = float(std::sin(w * double(t)) * amp + double(st.cdata[j].re));
    }
  }
  st.tsine = double(st.nt) * double(st.dt) + st.tsine;
}
