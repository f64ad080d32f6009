// PSD estimate of a sampled record by Welch's method.
#pragma once

#include <cstddef>
#include <vector>

// Shortest frame kestrune-verify analyses with, samples.
constexpr long min_frame = 64;

// Frame length for the default line spacing: the shortest power of two
// whose spacing fs/N is at most 1 Hz and at most a quarter of the lowest
// breakpoint frequency, halved while it is longer than an eighth of the
// record (but not below min_frame). Throws input_error when the record of
// n samples is shorter than that frame.
long default_frame(double fs, double lowest_breakpoint, size_t n);
// Frame length for a requested spacing: the shortest power of two whose
// spacing fs/N is at most hz. Throws input_error when that frame is below
// min_frame or longer than the record of n samples.
long frame_for_spacing(double fs, double hz, size_t n);

struct welch_psd {
  long frame = 0;     // samples per frame, a power of two
  double df = 0;      // Hz, line spacing fs / frame
  long averages = 0;  // frames averaged
  double dof = 0;     // equivalent degrees of freedom of each line
  // One-sided PSD, (unit of x)^2/Hz: line k at k df, for k = 0 .. frame/2.
  std::vector<double> psd;
};

// Welch's method: frames of the given length overlapping by half, each with
// its mean removed and a periodic Hann window w[i] = (1 - cos(2 pi i/N))/2
// applied, forward real FFT, |X[k]|^2 averaged. Scaled so that the lines
// sum to the mean square: psd[k] = 2 |X[k]|^2 / (fs sum w^2), with no
// doubling at k = 0 and k = frame/2. The degrees of freedom are 2K for K
// frames, reduced by the correlation of overlapping frames (Welch 1967).
// Requires frame <= x.size().
welch_psd welch(const std::vector<double>& x, double fs, long frame);
