#include "verify/welch.h"

#include <cmath>
#include <fftw3.h>
#include <memory>
#include <string>

#include "verify/strf.h"
#include "verify/errors.h"

namespace {

[[noreturn]] void too_short(size_t n, long frame, double fs) {
  throw input_error(strf("the record of %zu samples is too short for one analysis frame of %ld "
                            "samples (%.4g Hz line spacing at %.6g samples/s)",
                            n, frame, fs / double(frame), fs));
}

struct fftw_deleter {
  void operator()(void* p) const { fftw_free(p); }
};

}  // namespace

long default_frame(double fs, double lowest_breakpoint, size_t n) {
  double want = std::fmin(1.0, lowest_breakpoint / 4);
  long frame = min_frame;
  while (fs / double(frame) > want && double(frame) <= double(n)) frame *= 2;
  while (double(frame) > double(n) / 8 && frame > min_frame) frame /= 2;
  if (double(frame) > double(n)) too_short(n, frame, fs);
  return frame;
}

long frame_for_spacing(double fs, double hz, size_t n) {
  long frame = 1;
  while (fs / double(frame) > hz && double(frame) <= double(n)) frame *= 2;
  if (frame < min_frame)
    throw input_error(strf("a line spacing of %.6g Hz needs frames shorter than %ld samples at "
                              "%.6g samples/s; ask for %.4g Hz or finer",
                              hz, min_frame, fs, fs / double(min_frame)));
  if (double(frame) > double(n)) too_short(n, frame, fs);
  return frame;
}

welch_psd welch(const std::vector<double>& x, double fs, long frame) {
  welch_psd r;
  r.frame = frame;
  r.df = fs / double(frame);
  const long hop = frame / 2;
  r.averages = (long(x.size()) - frame) / hop + 1;

  // Step 1: the window, its power and the overlap correlation.
  const double two_pi = 2 * std::acos(-1.0);
  std::vector<double> w(static_cast<size_t>(frame));
  double power = 0;
  for (long i = 0; i < frame; ++i) {
    w[size_t(i)] = 0.5 * (1 - std::cos(two_pi * double(i) / double(frame)));
    power += w[size_t(i)] * w[size_t(i)];
  }
  double overlap = 0;  // sum of w[i] w[i + hop] over sum w^2
  for (long i = 0; i + hop < frame; ++i) overlap += w[size_t(i)] * w[size_t(i + hop)];
  overlap /= power;
  double K = double(r.averages);
  r.dof = 2 * K / (1 + 2 * overlap * overlap * (1 - 1 / K));

  // Step 2: the frames. FFTW's r2c transform: X[k] = sum x[i] e^(-2 pi i k j/N),
  // unscaled, k = 0 .. N/2.
  std::unique_ptr<double, fftw_deleter> in(fftw_alloc_real(size_t(frame)));
  std::unique_ptr<fftw_complex, fftw_deleter> out(fftw_alloc_complex(size_t(frame / 2 + 1)));
  fftw_plan plan = fftw_plan_dft_r2c_1d(int(frame), in.get(), out.get(), FFTW_ESTIMATE);
  r.psd.assign(size_t(frame / 2 + 1), 0.0);
  for (long j = 0; j < r.averages; ++j) {
    const double* seg = x.data() + j * hop;
    double mean = 0;
    for (long i = 0; i < frame; ++i) mean += seg[i];
    mean /= double(frame);
    for (long i = 0; i < frame; ++i) in.get()[i] = (seg[i] - mean) * w[size_t(i)];
    fftw_execute(plan);
    for (long k = 0; k <= frame / 2; ++k) {
      const fftw_complex& X = out.get()[k];
      r.psd[size_t(k)] += X[0] * X[0] + X[1] * X[1];
    }
  }
  fftw_destroy_plan(plan);

  // Step 3: the scaling.
  double scale = 2 / (fs * power * K);
  for (long k = 0; k <= frame / 2; ++k)
    r.psd[size_t(k)] *= (k == 0 || k == frame / 2) ? scale / 2 : scale;
  return r;
}
