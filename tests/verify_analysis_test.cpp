// kestrune-verify's analysis: frame rules, the Welch estimate, the tone
// fit, the statistics and the verdict, on signals built here.
#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

#include "verify/check.h"
#include "verify/errors.h"
#include "verify/tones.h"
#include "verify/welch.h"

namespace {

const double two_pi = 2 * std::acos(-1.0);

// Every random input here comes from this generator, seeded per test.
struct white_noise {
  std::mt19937_64 engine;
  std::normal_distribution<double> normal{0, 1};
  explicit white_noise(uint64_t seed) : engine(seed) {}
  std::vector<double> samples(size_t n, double sigma) {
    std::vector<double> x(n);
    for (double& v : x) v = sigma * normal(engine);
    return x;
  }
};

void add_tone(std::vector<double>& x, double fs, double f, double amp, double phase) {
  for (size_t i = 0; i < x.size(); ++i) x[i] += amp * std::sin(two_pi * f * double(i) / fs + phase);
}

TEST(VerifyFrame, DefaultFrameRule) {
  struct frame_case {
    double fs, lowest;
    size_t n;
    long frame;
  };
  const frame_case cases[] = {
      {20000, 20, 1000001, 32768},  // 1 Hz bound: 0.61 Hz
      {20000, 20, 200001, 16384},   // an eighth of the record: 1.22 Hz
      {20000, 2, 10000000, 65536},  // a quarter of 2 Hz: 0.31 Hz
      {1024, 20, 100000, 1024},     // exactly 1 Hz
      {20000, 20, 300, 64},         // the shortest frame, fewer than eight of them
      {20000, 20, 64, 64},          // one frame
  };
  for (const frame_case& c : cases)
    EXPECT_EQ(default_frame(c.fs, c.lowest, c.n), c.frame) << c.fs << " " << c.lowest << " " << c.n;
  EXPECT_THROW(default_frame(20000, 20, 63), input_error);
}

TEST(VerifyFrame, RequestedSpacing) {
  EXPECT_EQ(frame_for_spacing(20000, 5, 1000000), 4096);      // 4.88 Hz
  EXPECT_EQ(frame_for_spacing(1024, 1, 1000000), 1024);       // exactly 1 Hz
  EXPECT_THROW(frame_for_spacing(20000, 0.1, 100000), input_error);  // 262144 > record
  EXPECT_THROW(frame_for_spacing(20000, 1000, 100000), input_error); // 32 < min_frame
}

TEST(VerifyWelch, SineOnLineCentreGivesItsMeanSquare) {
  const double fs = 1024, A = 2;
  std::vector<double> x(1 << 14, 0.0);
  add_tone(x, fs, 100, A, 0.3);  // line 100 of a 1024-sample frame
  welch_psd p = welch(x, fs, 1024);
  EXPECT_EQ(p.averages, 31);
  double power = 0;
  for (double v : p.psd) power += v * p.df;
  EXPECT_NEAR(power, A * A / 2, 1e-9);
  // The Hann window puts a quarter of the power on each neighbour line.
  EXPECT_NEAR(p.psd[99] / p.psd[100], 0.25, 1e-9);
  EXPECT_NEAR(p.psd[103] / p.psd[100], 0, 1e-12);
}

// The synthetic record of the issue: white noise of known level plus a tone
// of known amplitude, checked against bounds derived from the degrees of
// freedom the analysis reports.
TEST(VerifySynthetic, NoiseLevelAndToneWithinTheirStatisticalError) {
  const double fs = 4096, sigma = 1, A = 3, f_tone = 400.3;
  const size_t n = 1 << 19;  // 128 s
  white_noise gen(20240611);
  std::vector<double> x = gen.samples(n, sigma);
  add_tone(x, fs, f_tone, A, 1.1);

  const double level = 2 * sigma * sigma / fs;  // one-sided, G^2/Hz
  specification spec;
  spec.freq = {10, 1500};
  spec.psd = {level, level};
  spec.grms = std::sqrt(level * 1490);
  spec.tone_freq = {f_tone};
  spec.tone_amp = {A};
  history h;
  h.accel = x;
  h.dt = 1 / fs;
  verify_options opt;
  opt.resolution = 2;
  verification v = verify(spec, h, opt);

  // The tone: each fitted coefficient has a standard deviation of
  // sqrt(level / T) = sigma sqrt(2 / n).
  ASSERT_EQ(v.tones.size(), 1u);
  double tone_sd = sigma * std::sqrt(2.0 / double(n));
  EXPECT_NEAR(v.tones[0].measured, A, 5 * tone_sd);

  // The lines: each is level chi2(dof)/dof. Their mean over M lines has a
  // relative standard error of sqrt(2/dof) sqrt(c/M), where c = 1 + 2(4/9)
  // + 2(1/36) counts the correlation of Hann-windowed neighbour lines.
  ASSERT_EQ(v.psd.frame, 2048);
  const double dof = v.psd.dof;
  EXPECT_GT(dof, 2 * double(v.psd.averages) / 1.06);  // 50 % overlap costs about 5 %
  EXPECT_LT(dof, 2 * double(v.psd.averages));
  double sum = 0, sum2 = 0;
  int m = 0;
  for (long k = 1; k < v.psd.frame / 2; ++k) {
    double f = double(k) * v.psd.df;
    if (f < 10 || f > 1500 || std::fabs(f - f_tone) <= tone_guard_lines * v.psd.df) continue;
    double r = v.psd.psd[size_t(k)] / level;
    sum += r;
    sum2 += r * r;
    ++m;
  }
  ASSERT_EQ(m, v.band.compared);
  double mean = sum / m, var = sum2 / m - mean * mean;
  double c = 1 + 2 * 4.0 / 9 + 2 / 36.0;
  EXPECT_NEAR(mean, 1, 5 * std::sqrt(2 / dof) * std::sqrt(c / m));
  // Their scatter is the one the degrees of freedom promise (to the
  // accuracy of a variance from M correlated lines).
  EXPECT_NEAR(var / (2 / dof), 1, 0.2);
  EXPECT_TRUE(v.pass());
  EXPECT_NEAR(v.random.rms, sigma, 0.01);
}

TEST(VerifyTones, CloseTonesAndAnOffsetAreSeparated) {
  // Without noise the fit is exact, even for tones 1.5 lines of the record
  // apart, where fitting each alone is off by a tenth.
  const double fs = 1000;
  std::vector<double> x(8000, 0.25);  // 8 s with an offset
  add_tone(x, fs, 100, 1.0, 0.2);
  add_tone(x, fs, 100.19, 0.5, 2.0);
  add_tone(x, fs, 333, 2.0, -1.0);
  double mean = 0;
  for (double v : x) mean += v / double(x.size());
  for (double& v : x) v -= mean;
  std::vector<double> amp = fit_and_remove_tones(x, 1 / fs, {100, 100.19, 333});
  ASSERT_EQ(amp.size(), 3u);
  EXPECT_NEAR(amp[0], 1.0, 1e-4);
  EXPECT_NEAR(amp[1], 0.5, 1e-4);
  EXPECT_NEAR(amp[2], 2.0, 1e-4);
  double left = 0;
  for (double v : x) left = std::max(left, std::fabs(v));
  EXPECT_LT(left, 1e-3);
}

TEST(VerifyMoments, KnownSequences) {
  struct moment_case {
    std::vector<double> x;
    moments m;
  };
  const moment_case cases[] = {
      {{1, -1, 1, -1}, {0, 1, 1, 1, 0, 1}},
      // mean 1, central moments 3, 6 and 21.
      {{0, 0, 0, 4}, {1, 2, 4, 2, 6 / std::pow(3.0, 1.5), 21 / 9.0}},
      {{-2, -2, -2}, {-2, 2, 2, 1, 0, 0}},  // no spread
  };
  for (const moment_case& c : cases) {
    moments m = moments_of(c.x);
    EXPECT_DOUBLE_EQ(m.mean, c.m.mean);
    EXPECT_DOUBLE_EQ(m.rms, c.m.rms);
    EXPECT_DOUBLE_EQ(m.peak, c.m.peak);
    EXPECT_DOUBLE_EQ(m.crest, c.m.crest);
    EXPECT_NEAR(m.skewness, c.m.skewness, 1e-14);
    EXPECT_NEAR(m.kurtosis, c.m.kurtosis, 1e-14);
  }
  white_noise gen(7);
  moments g = moments_of(gen.samples(1 << 18, 2.0));
  EXPECT_NEAR(g.kurtosis, 3, 5 * std::sqrt(24.0 / (1 << 18)));
  EXPECT_NEAR(g.skewness, 0, 5 * std::sqrt(6.0 / (1 << 18)));
}

TEST(VerifyVerdict, NamesWhatTheHistoryCannotShow) {
  // A record sampled too slowly for the top of the band and one tone.
  const double fs = 1000;
  white_noise gen(99);
  history h;
  h.accel = gen.samples(1 << 16, 1.0);
  h.dt = 1 / fs;
  specification spec;
  spec.freq = {10, 800};
  spec.psd = {2.0 / fs, 2.0 / fs};
  spec.tone_freq = {100, 600};
  spec.tone_amp = {1, 1};
  verification v = verify(spec, h, verify_options{});
  ASSERT_EQ(v.failures.size(), 3u);
  EXPECT_EQ(v.failures[0].rfind("tone 100 Hz: ", 0), 0u);  // not there
  EXPECT_EQ(v.failures[1], "tone 600 Hz: above the history's Nyquist frequency 500 Hz");
  EXPECT_EQ(v.failures[2],
            "random PSD: the band reaches 800 Hz but the history's Nyquist frequency is 500 Hz");
  EXPECT_TRUE(v.band.share > 90);  // the lines that exist are right
  EXPECT_EQ(v.band.top, 500);
}

}  // namespace
