#include <cmath>

#include "driver/state.h"
#include "platform/console.h"
#include "synth/synth.h"

void scaleth() {
  float sumsq = 0;
  for (int i = 0; i < st.nt; ++i)
    sumsq = float(double(sumsq) + double(st.cdata[i].re) * double(st.cdata[i].re));
  st.grmsout = float(std::sqrt(double(sumsq) / st.nt));
  // Nothing to scale: every bin fell outside the band. Stop before an
  // infinite ratio reaches the files.
  if (st.grmsout == 0) fatal("\n Error:  no FFT bin falls inside the PSD band \n");
  st.ratio = float(double(st.grms) / double(st.grmsout));
  kprintf("\n grms = %14.7e   grmsout = %14.7e\n", double(st.grms), double(st.grmsout));
  kprintf("\n ratio = %14.7e \n", double(st.ratio));
  for (int i = 0; i < st.nt; ++i) st.cdata[i].re = float(double(st.ratio) * double(st.cdata[i].re));
}
