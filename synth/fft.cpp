// Forward and inverse radix-2 decimation-in-time FFT on cdata[0 .. m-1].
//
// Forward: bin k = (1/m) sum_n x[n] e^(-2 pi i k n / m), bin k at k df Hz.
// Inverse: x[n] = sum_k X[k] e^(+2 pi i k n / m), no scaling, after the
// upper half of X is rebuilt as the conjugate mirror of the lower half.
#include <cmath>
#include <cstring>

#include "driver/state.h"
#include "platform/console.h"
#include "synth/synth.h"

namespace {

constexpr int twiddle_cap = sample_cap / 2;  // the largest stage's half block

void clear_twiddles() { std::memset(st.scratch, 0, sizeof(cpx) * twiddle_cap); }

// The even/odd shuffles: pass k splits each block of 2 md2 entries into its
// even-indexed entries followed by its odd-indexed ones. After nstages
// passes entry p holds the entry whose nstages low bits reverse p.
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

// The butterfly passes; sign is -1 for the forward transform, +1 for the
// inverse. Twiddles come from the float two_pi, rounded to float; tr and ti
// are formed from exact double products and rounded once.
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

void mirror() {
  for (int k = 1; k <= st.ns / 2 - 1; ++k) {
    st.cdata[st.ns - k].re = st.cdata[k].re;
    st.cdata[st.ns - k].im = -st.cdata[k].im;
  }
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
