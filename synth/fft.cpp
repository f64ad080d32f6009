// Forward and inverse radix-2 decimation-in-time FFT on cdata[0 .. m-1].
//
// Forward: bin k = (1/m) sum_n x[n] e^(-2 pi i k n / m), bin k at k df Hz.
// Inverse: x[n] = sum_k X[k] e^(+2 pi i k n / m), no scaling, after the
// upper half of X is rebuilt as the conjugate mirror of the lower half.
//
// The twiddles and the bit-reversed order depend on the frame alone and are
// made once. Each stage still leaves scratch as the step-by-step procedure
// does (the bit-reversal copy, then the last stage's twiddle table), so the
// state after every stage is the same.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "driver/state.h"
#include "platform/console.h"
#include "synth/synth.h"

namespace {

constexpr int twiddle_cap = sample_cap / 2;  // the largest stage's half block

void clear_twiddles() { std::memset(st.scratch, 0, sizeof(cpx) * twiddle_cap); }

// Twiddles of every stage: the stage of block size c = 2 half has
// cos(angle) and sin(angle), angle = t two_pi / c in double, rounded to
// float, at [half + t] for t = 0 .. half-1.
struct twiddle_table {
  bool built = false;
  float two_pi = 0;  // the constant it was built from
  float cos[sample_cap], sin[sample_cap];
};
twiddle_table tw;

const twiddle_table& twiddles() {
  if (tw.built && std::memcmp(&tw.two_pi, &st.two_pi, sizeof(float)) == 0) return tw;
  for (int half = 2; half <= twiddle_cap; half *= 2) {
    const int c = 2 * half;
    for (int t = 0; t < half; ++t) {
      double angle = double(t) * double(st.two_pi) / double(c);
      tw.cos[half + t] = float(std::cos(angle));
      tw.sin[half + t] = float(std::sin(angle));
    }
  }
  tw.two_pi = st.two_pi;
  tw.built = true;
  return tw;
}

// reversed[p]: p with its 16 bits reversed. For nstages bits, shift right
// by 16 - nstages.
struct reversal_table {
  uint16_t reversed[sample_cap];
  reversal_table() {
    for (int p = 0; p < sample_cap; ++p) {
      int r = 0;
      for (int b = 0; b < 16; ++b) r |= (p >> b & 1) << (15 - b);
      reversed[p] = uint16_t(r);
    }
  }
};
const reversal_table reversal;

// The even/odd shuffles of nstages passes amount to one permutation: entry p
// takes the entry whose nstages low bits reverse p. The last pass (md2 = 1)
// moves nothing, so scratch keeps a copy of the reordered entries, which is
// what the passes leave in it. The forward transform moves real parts only
// and sets the imaginary parts to 0.
void reorder(bool complex_parts) {
  const int m = st.m, drop = 16 - st.nstages;
  cpx* x = st.cdata;
  for (int p = 0; p < m; ++p) {
    const int q = reversal.reversed[p] >> drop;
    if (p < q) {
      if (complex_parts) {
        cpx tmp = x[p];
        x[p] = x[q];
        x[q] = tmp;
      } else {
        float tmp = x[p].re;
        x[p].re = x[q].re;
        x[q].re = tmp;
      }
    }
  }
  if (complex_parts) {
    std::memcpy(st.scratch, x, sizeof(cpx) * size_t(m));
  } else {
    for (int p = 0; p < m; ++p) {
      x[p].im = 0;
      st.scratch[p].re = x[p].re;
    }
  }
}

// The butterfly passes; forward takes the twiddle -sin, the inverse +sin.
// tr and ti are formed from exact double products and rounded once. The
// last stage's table is left in scratch, as a table rebuilt per stage would be.
template <bool forward>
void passes() {
  cpx* x = st.cdata;
  for (int i = 0; i <= st.m - 2; i += 2) {
    cpx a = x[i], b = x[i + 1];
    x[i].re = float(double(a.re) + double(b.re));
    x[i].im = float(double(a.im) + double(b.im));
    x[i + 1].re = float(double(a.re) - double(b.re));
    x[i + 1].im = float(double(a.im) - double(b.im));
  }
  if (st.nstages < 2) return;
  const twiddle_table& w = twiddles();
  for (int k = 2; k <= st.nstages; ++k) {
    const int c = 1 << k, half = c / 2;
    const float* wr = w.cos + half;
    const float* ws = w.sin + half;
    for (int d = 0; d < st.m; d += c) {
      cpx* lo = x + d;
      cpx* hi = x + d + half;
      for (int t = 0; t < half; ++t) {
        const double w_re = wr[t], w_im = forward ? -double(ws[t]) : double(ws[t]);
        const cpx u = lo[t], v = hi[t];
        float tr = float(double(v.re) * w_re - double(v.im) * w_im);
        float ti = float(double(v.re) * w_im + double(v.im) * w_re);
        lo[t].re = float(double(u.re) + double(tr));
        lo[t].im = float(double(u.im) + double(ti));
        hi[t].re = float(double(u.re) - double(tr));
        hi[t].im = float(double(u.im) - double(ti));
      }
    }
  }
  const int half = 1 << (st.nstages - 1);
  for (int t = 0; t < half; ++t) {
    st.scratch[t].re = w.cos[half + t];
    st.scratch[t].im = forward ? -w.sin[half + t] : w.sin[half + t];
  }
}

}  // namespace

void bitrev() {
  kprintf("\n m=%ld nm1= %ld  md2=%ld  ns=%ld ", st.m, st.nstages, st.m / 2, st.ns);
  if (st.nstages < 1) return;
  reorder(false);
}

void ctfourier() {
  kprintf("\n m= %ld  nstages= %ld \n\n", st.m, st.nstages);
  passes<true>();
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
  reorder(true);
}

void ictfourier() { passes<false>(); }

void ifft() {
  clear_twiddles();
  mirror();
  cbitrev();
  clear_twiddles();
  ictfourier();
}
