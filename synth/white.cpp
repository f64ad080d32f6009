#include <cmath>
#include <cstring>

#include "driver/state.h"
#include "platform/console.h"
#include "synth/synth.h"

int rand15() {
  rand15_state = rand15_state * 214013u + 2531011u;
  return int((rand15_state >> 16) & 0x7FFFu);
}

void gauss() {
  std::strcpy(st.gauss_name, "gauss.out");
  // Created empty in the working folder; nothing is written to it, and a
  // failure to create it changes nothing else.
  st.gauss_file = std::fopen(st.gauss_name, "w");
  for (int k = 1; k <= gauss_cap; ++k) {
    double x = 0.01 * k;
    st.gauss_x[k] = float(x);
    float a = float(-x);
    float h = float((x - double(a)) * 0.001);
    // A 1001-point rectangle sum over [-x, x] that counts both ends; the
    // float accumulator is what makes the upper table non-monotonic.
    float s = 0;
    for (int j = 0; j <= 1000; ++j) {
      double y = double(j) * double(h) + double(a);
      s = float(double(s) + std::exp(-(y * y) * 0.5));
    }
    st.gauss_p[k] = float(double(st.inv_sqrt_2pi) * double(h) * double(s));
  }
}

float noise_sample(int magnitude_draw, int sign_draw) {
  // The lower abscissa of the first table interval that holds u; the upper
  // table is not monotonic, so the first match decides.
  float u = float(double(magnitude_draw) / 32767.0);
  float x = 0;
  for (int k = 1; k <= gauss_cap - 1; ++k) {
    if (u >= st.gauss_p[k] && u <= st.gauss_p[k + 1]) {
      x = st.gauss_x[k];
      break;
    }
  }
  return sign_draw <= 16383 ? -x : x;  // each sign gets 16384 of the draws
}

void white() {
  st.np = st.ns > sample_cap ? sample_cap : st.ns;
  kprintf("\n white 1 np= %ld", st.np);
  if (st.np <= 2) return;

  kprintf("\n gauss ");
  gauss();

  float sum = 0, sumsq = 0;
  for (int i = 0; i < st.np; ++i) {
    const int r = rand15();  // the magnitude draw comes first
    st.noise[i] = noise_sample(r, rand15());
    sum = float(double(sum) + double(st.noise[i]));
    sumsq = float(double(sumsq) + double(st.noise[i]) * double(st.noise[i]));
  }
  kprintf("\n white 2  np= %ld", st.np);

  float mean = float(double(sum) / st.np);
  float msq = float(double(sumsq) / st.np);
  float sigma = float(std::sqrt(std::fabs(double(msq) - double(mean) * double(mean))));
  // All samples equal: left mean-removed, since 1/sigma is not finite.
  double scale = sigma != 0 ? 1.0 / double(sigma) : 1.0;
  for (int i = 0; i < st.np; ++i)
    st.noise[i] = float((double(st.noise[i]) - double(mean)) * scale);

  if (st.gauss_file) {
    std::fclose(st.gauss_file);
    st.gauss_file = nullptr;
  }
}
