#include "tests/plain_stages.h"

#include <cmath>
#include <cstring>

#include "driver/state.h"
#include "platform/console.h"
#include "platform/format.h"
#include "synth/synth.h"

namespace plain {

void gauss() {
  std::strcpy(st.gauss_name, "gauss.out");
  st.gauss_file = std::fopen(st.gauss_name, "w");
  for (int k = 1; k <= gauss_cap; ++k) {
    double x = 0.01 * k;
    st.gauss_x[k] = float(x);
    float a = float(-x);
    float h = float((x - double(a)) * 0.001);
    float s = 0;
    for (int j = 0; j <= 1000; ++j) {
      double y = double(j) * double(h) + double(a);
      s = float(double(s) + std::exp(-(y * y) * 0.5));
    }
    st.gauss_p[k] = float(double(st.inv_sqrt_2pi) * double(h) * double(s));
  }
}

float noise_sample(int magnitude_draw, int sign_draw) {
  float u = float(double(magnitude_draw) / 32767.0);
  float x = 0;
  for (int k = 1; k <= gauss_cap - 1; ++k) {
    if (u >= st.gauss_p[k] && u <= st.gauss_p[k + 1]) {
      x = st.gauss_x[k];
      break;
    }
  }
  return sign_draw <= 16383 ? -x : x;
}

void white() {
  st.np = st.ns > sample_cap ? sample_cap : st.ns;
  kprintf("\n white 1 np= %ld", st.np);
  if (st.np <= 2) return;
  kprintf("\n gauss ");
  gauss();
  float sum = 0, sumsq = 0;
  for (int i = 0; i < st.np; ++i) {
    const int r = rand15();
    st.noise[i] = noise_sample(r, rand15());
    sum = float(double(sum) + double(st.noise[i]));
    sumsq = float(double(sumsq) + double(st.noise[i]) * double(st.noise[i]));
  }
  kprintf("\n white 2  np= %ld", st.np);
  float mean = float(double(sum) / st.np);
  float msq = float(double(sumsq) / st.np);
  float sigma = float(std::sqrt(std::fabs(double(msq) - double(mean) * double(mean))));
  double scale = sigma != 0 ? 1.0 / double(sigma) : 1.0;
  for (int i = 0; i < st.np; ++i) st.noise[i] = float((double(st.noise[i]) - double(mean)) * scale);
  if (st.gauss_file) {
    std::fclose(st.gauss_file);
    st.gauss_file = nullptr;
  }
}

namespace {

constexpr int twiddle_cap = sample_cap / 2;

void clear_twiddles() { std::memset(st.scratch, 0, sizeof(cpx) * twiddle_cap); }

void shuffle(bool complex_parts) {
  int md2 = st.m / 2;
  for (int k = 1; k <= st.nstages; ++k) {
    for (int i = 0; i < st.m; ++i) {
      st.scratch[i].re = st.cdata[i].re;
      if (complex_parts) st.scratch[i].im = st.cdata[i].im;
    }
    for (int b = 0; b < st.m; b += 2 * md2) {
      for (int t = 0; t < md2; ++t) {
        cpx& lo = st.cdata[b + t];
        cpx& hi = st.cdata[b + md2 + t];
        lo.re = st.scratch[b + 2 * t].re;
        hi.re = st.scratch[b + 2 * t + 1].re;
        if (complex_parts) {
          lo.im = st.scratch[b + 2 * t].im;
          hi.im = st.scratch[b + 2 * t + 1].im;
        } else {
          lo.im = 0;
          hi.im = 0;
        }
      }
    }
    md2 /= 2;
  }
}

void passes(double sign) {
  cpx* x = st.cdata;
  for (int i = 0; i <= st.m - 2; i += 2) {
    cpx a = x[i], b = x[i + 1];
    x[i].re = float(double(a.re) + double(b.re));
    x[i].im = float(double(a.im) + double(b.im));
    x[i + 1].re = float(double(a.re) - double(b.re));
    x[i + 1].im = float(double(a.im) - double(b.im));
  }
  for (int k = 2; k <= st.nstages; ++k) {
    const int c = 1 << k, half = c / 2;
    cpx* w = st.scratch;
    for (int t = 0; t < half; ++t) {
      double angle = double(t) * double(st.two_pi) / double(c);
      w[t].re = float(std::cos(angle));
      w[t].im = float(sign * std::sin(angle));
    }
    for (int d = 0; d < st.m; d += c) {
      for (int t = 0; t < half; ++t) {
        cpx u = x[d + t], v = x[d + t + half];
        float tr = float(double(v.re) * double(w[t].re) - double(v.im) * double(w[t].im));
        float ti = float(double(v.re) * double(w[t].im) + double(v.im) * double(w[t].re));
        x[d + t].re = float(double(u.re) + double(tr));
        x[d + t].im = float(double(u.im) + double(ti));
        x[d + t + half].re = float(double(u.re) - double(tr));
        x[d + t + half].im = float(double(u.im) - double(ti));
      }
    }
  }
}

}  // namespace

void bitrev() {
  kprintf("\n m=%ld nm1= %ld  md2=%ld  ns=%ld ", st.m, st.nstages, st.m / 2, st.ns);
  if (st.nstages < 1) return;
  shuffle(false);
}

void ctfourier() {
  kprintf("\n m= %ld  nstages= %ld \n\n", st.m, st.nstages);
  passes(-1.0);
  const float scale = float(st.m);
  for (int i = 0; i < st.m; ++i) {
    st.cdata[i].re = float(double(st.cdata[i].re) / double(scale));
    st.cdata[i].im = float(double(st.cdata[i].im) / double(scale));
    st.fbin[i] = float(double(i) * double(st.df));
  }
  st.ig = st.m;
}

void fft() {
  std::memset(st.cdata, 0, sizeof st.cdata);
  clear_twiddles();
  for (int i = 0; i < st.np; ++i) st.cdata[i].re = st.noise[i];
  kprintf("\n bitrev ");
  bitrev();
  kprintf("\n begin ctm");
  clear_twiddles();
  kprintf("\n ctfourier ");
  ctfourier();
}

void cbitrev() {
  if (st.nstages < 1) return;
  shuffle(true);
}

void ictfourier() { passes(+1.0); }

void ifft() {
  clear_twiddles();
  mirror();
  cbitrev();
  clear_twiddles();
  ictfourier();
}

void scalefft() {
  kprintf("\n ig = %ld \n", st.ig);
  if (st.ig <= 0) return;
  for (int k = 0; k < st.ig; ++k) {
    cpx& bin = st.cdata[k];
    float a = float(std::atan2(double(bin.im), double(bin.re)));
    double spec = 0;
    const double f = st.fbin[k];
    for (int j = 0; j <= st.npsd - 2; ++j) {
      if (double(st.freq[j]) <= f && f < double(st.freq[j + 1])) {
        spec = double(st.psd[j]) * std::pow(f / double(st.freq[j]), double(st.slope[j]));
        break;
      }
    }
    if (std::fabs(spec) > 1000000.0) fatal("\n spec = %12.4g \n", spec);
    float mag = float(std::sqrt(spec * double(st.df)));
    bin.re = float(std::cos(double(a)) * double(mag));
    bin.im = float(std::sin(double(a)) * double(mag));
  }
}

namespace {
inline void write_line(FILE* f, double t, double v) { kfprintf(f, "%14.7e %14.7e\n", t, v); }
}  // namespace

void integth() {
  const double dt = st.dt;
  st.vmean = 0;
  st.dmean = 0;
  int n = 0;
  for (int i = 0; i < st.nt; ++i) {
    st.tsample = double(i) * dt + st.t0;
    if (st.tsample > st.tmax) {
      st.done = 1;
      break;
    }
    const float a = st.cdata[i].re;
    write_line(st.accel_file, st.tsample, a);
    if (a > st.accel_max) st.accel_max = a;
    if (a < st.accel_min) st.accel_min = a;
    const double c = i == 0 ? 193.0 : 386.0;
    st.vel[i] = float(double(a) * dt * c + double(st.vprev));
    st.vprev = st.vel[i];
    st.vmean = float(double(st.vmean) + double(st.vel[i]));
    ++n;
  }
  if (n > 0) st.vmean = float(double(st.vmean) / n);
  for (int i = 0; i < st.nt; ++i) {
    st.tsample = double(i) * dt + st.t0;
    if (st.tsample > st.tmax) {
      st.done = 1;
      break;
    }
    const double d = double(st.vel[i]) - double(st.vmean);
    st.vel[i] = float(d);
    write_line(st.vel_file, st.tsample, d);
    if (st.vel[i] > st.vel_max) st.vel_max = st.vel[i];
    if (st.vel[i] < st.vel_min) st.vel_min = st.vel[i];
    const double c = i == 0 ? 0.5 : 1.0;
    st.disp[i] = float(double(st.vel[i]) * dt * c + double(st.dprev));
    st.dprev = st.disp[i];
    st.dmean = float(double(st.dmean) + double(st.disp[i]));
  }
  if (n > 0) st.dmean = float(double(st.dmean) / n);
  for (int i = 0; i < st.nt; ++i) {
    st.tsample = double(i) * dt + st.t0;
    if (st.tsample > st.tmax) {
      st.done = 1;
      break;
    }
    const double d = double(st.disp[i]) - double(st.dmean);
    st.disp[i] = float(d);
    write_line(st.disp_file, st.tsample, d);
    if (st.disp[i] > st.disp_max) st.disp_max = st.disp[i];
    if (st.disp[i] < st.disp_min) st.disp_min = st.disp[i];
  }
  st.t0 = st.tsample + dt;
}

}  // namespace plain
