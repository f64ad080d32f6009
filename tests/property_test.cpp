// Properties of every run over seeded random valid specifications, through
// the executable: breakpoints, slopes, tones, durations and sample rates
// drawn across their ranges, each run short (at most a few thousand samples).
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>
#include <regex>
#include <sstream>
#include <utility>

#include "tests/test_util.h"

namespace {

struct tone {
  float f, a;
};

// One random valid specification and the answers that run it.
struct spec {
  std::vector<float> f, p;  // breakpoints, as the reader stores them
  std::vector<tone> tones;
  float dur, sr;
  char key;
  std::string psd_text, sine_text;
};

// Text that reads back as exactly the float v.
std::string text_of(float v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.9g", double(v));
  return buf;
}

class spec_generator {
 public:
  explicit spec_generator(uint32_t seed) : gen_(seed) {}

  spec next() {
    spec s;
    // Breakpoints: a band of 2 to 1000 times its lowest frequency, which lies
    // from 0.5 Hz to 2 kHz; inner frequencies log-uniform, now and then two at
    // one frequency (a step in the PSD).
    const double f0 = log_uniform(0.5, 2000), fmax = f0 * log_uniform(2, 1000);
    std::vector<double> fs = {f0, fmax};
    const int inner = int(gen_() % 6);
    for (int i = 0; i < inner; ++i) fs.push_back(log_uniform(f0, fmax));
    std::sort(fs.begin(), fs.end());
    if (inner > 0 && uniform(0, 1) < 0.15) fs[1] = fs[2];
    // Slopes of -12 to +12 dB/octave from a first PSD of 1e-4 to 1 G^2/Hz,
    // kept within 1e-10 to 1e3 G^2/Hz (a slope that leaves it is flattened).
    double p = log_uniform(1e-4, 1);
    for (size_t k = 0; k < fs.size(); ++k) {
      if (k > 0) {
        const double db_per_octave = uniform(-12, 12);
        double next = fs[k] == fs[k - 1] ? p * log_uniform(0.1, 10)
                                         : p * std::pow(fs[k] / fs[k - 1], db_per_octave / (10 * std::log10(2.0)));
        if (next >= 1e-10 && next <= 1e3) p = next;
      }
      s.f.push_back(float(fs[k]));
      s.p.push_back(float(p));
      s.psd_text += text_of(s.f.back()) + " " + text_of(s.p.back()) + "\n";
    }
    // Up to four tones from a tenth of the lowest frequency to four times the
    // highest, some of amplitude 0.
    const int ntones = int(gen_() % 5);
    float fsine_max = 0;
    for (int i = 0; i < ntones; ++i) {
      tone t{float(log_uniform(0.1 * f0, 4 * fmax)), uniform(0, 1) < 0.15 ? 0.0f : float(uniform(0, 10))};
      s.tones.push_back(t);
      fsine_max = std::max(fsine_max, t.f);
      s.sine_text += text_of(t.f) + " " + text_of(t.a) + "\n";
    }
    // The rate from its bound (now and then exactly the bound) to 3 times it;
    // 64 to 4000 samples.
    const double bound = std::max(2.0 * double(s.f.back()), 4.0 * double(fsine_max));
    s.sr = float(bound * (uniform(0, 1) < 0.1 ? 1.0 : uniform(1, 3)));
    if (double(s.sr) < bound) s.sr = std::nextafter(s.sr, INFINITY);
    s.dur = float(uniform(64, 4000) / double(s.sr));
    s.key = char('a' + gen_() % 26);
    return s;
  }

 private:
  double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(gen_); }
  double log_uniform(double lo, double hi) { return std::exp(uniform(std::log(lo), std::log(hi))); }
  std::mt19937 gen_;
};

// The breakpoint PSD: a power law on each segment; at a step, the larger side.
double psd_at(const spec& s, double f) {
  double best = 0;
  for (size_t k = 0; k + 1 < s.f.size(); ++k) {
    const double f0 = s.f[k], f1 = s.f[k + 1], p0 = s.p[k], p1 = s.p[k + 1];
    if (f < f0 || f > f1) continue;
    const double v = f1 == f0 ? std::max(p0, p1) : p0 * std::pow(f / f0, std::log(p1 / p0) / std::log(f1 / f0));
    best = std::max(best, v);
  }
  return best;
}

// The area of the breakpoint PSD, each segment integrated exactly.
double breakpoint_area(const spec& s) {
  double area = 0;
  for (size_t k = 0; k + 1 < s.f.size(); ++k) {
    const double f0 = s.f[k], f1 = s.f[k + 1], p0 = s.p[k], p1 = s.p[k + 1];
    if (f1 == f0) continue;
    const double b = std::log(p1 / p0) / std::log(f1 / f0);
    area += std::fabs(b + 1) < 1e-9 ? p0 * f0 * std::log(f1 / f0)
                                    : p0 * f0 / (b + 1) * (std::pow(f1 / f0, b + 1) - 1);
  }
  return area;
}

// How far the fine grid's area may lie from the breakpoints' area. Between
// grid points inside one segment the grid follows the power law exactly;
// only a grid cell holding an inner breakpoint, and the top cell the grid
// leaves out, can differ, each by at most its width times the largest PSD
// in it. A window of two cells on each side of those places covers the
// drift of the float grid (a few hundredths of a cell over 2000 steps).
double grid_area_bound(const spec& s) {
  const double cell = (double(s.f.back()) - double(s.f.front())) * 0.0005;
  std::vector<double> places(s.f.begin() + 1, s.f.end());
  double bound = 0;
  for (double at : places) {
    const double lo = std::max(double(s.f.front()), at - 2 * cell), hi = std::min(double(s.f.back()), at + 2 * cell);
    double pmax = std::max(psd_at(s, lo), psd_at(s, hi));
    for (size_t k = 0; k < s.f.size(); ++k)
      if (s.f[k] >= lo && s.f[k] <= hi) pmax = std::max(pmax, double(s.p[k]));
    bound += 4 * cell * pmax;
  }
  return bound;
}

struct column_file {
  std::vector<std::string> times;
  std::vector<double> values;
};

column_file columns(const std::string& text) {
  column_file c;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    c.times.push_back(line.substr(0, 14));
    c.values.push_back(std::stod(line.substr(15)));
  }
  return c;
}

double printed(const std::string& out, const std::string& pattern) {
  std::smatch m;
  if (!std::regex_search(out, m, std::regex(pattern))) return NAN;
  return std::stod(m[1]);
}

TEST(Property, RandomValidSpecificationsRunCleanAndMeetTheirRms) {
  spec_generator specs(20240611);
  scratch_dir d;
  for (int run = 0; run < 300; ++run) {
    const spec s = specs.next();
    SCOPED_TRACE("run " + std::to_string(run) + "\nPSD:\n" + s.psd_text + "tones:\n" + s.sine_text +
                 "duration " + text_of(s.dur) + " rate " + text_of(s.sr));
    d.write("psd.txt", s.psd_text);
    d.write("sine.txt", s.sine_text);
    run_result r = run_kestrune(d.path(), answers({"psd.txt", "sine.txt", "a.txt", "v.txt", "d.txt", text_of(s.dur),
                                                   text_of(s.sr), std::string(1, s.key)}));
    ASSERT_EQ(r.status, s.key) << r.out.substr(r.out.size() > 400 ? r.out.size() - 400 : 0);

    const std::string files[3] = {d.read("a.txt"), d.read("v.txt"), d.read("d.txt")};
    for (const std::string* text : {&std::as_const(r.out), &files[0], &files[1], &files[2]}) {
      ASSERT_EQ(text->find("nan"), std::string::npos);
      ASSERT_EQ(text->find("inf"), std::string::npos);
    }
    const column_file a = columns(files[0]), v = columns(files[1]), x = columns(files[2]);
    // The first segment writes all its nt samples; the second at most the
    // one that falls exactly on the duration.
    const int nt = int(double(s.sr) * double(s.dur));
    ASSERT_GE(a.times.size(), size_t(nt));
    ASSERT_LE(a.times.size(), size_t(nt) + 1);
    ASSERT_EQ(v.times, a.times);
    ASSERT_EQ(x.times, a.times);

    // The random part of the first segment: the file minus its tones, which
    // are A sin(2 pi f t) at the float times t = j dt. Its rms is grms: the
    // scaling is exact but for the float sum of squares in grmsout (relative
    // error below nt 2^-25, 1.2e-4 at 4000 samples) and the float roundings
    // of each sample, once per tone and once in print (each at most 2^-24 of
    // the sample, with the tones' amplitudes, up to 40 G, in it).
    const double grms = printed(r.out, "\n grms = (\\S+) ");
    const float dt = float(1.0 / double(s.sr)), two_pi = float(2 * M_PI);
    double sumsq = 0, amplitude = 0;
    for (const tone& t : s.tones) amplitude += t.a;
    for (int j = 0; j < nt; ++j) {
      double random = a.values[size_t(j)];
      const float tj = float(double(j) * double(dt));
      for (const tone& t : s.tones) random -= std::sin(double(two_pi) * double(t.f) * double(tj)) * double(t.a);
      sumsq += random * random;
    }
    const double rms = std::sqrt(sumsq / nt);
    EXPECT_NEAR(rms, grms, nt * std::ldexp(1.0, -25) * grms + 6 * std::ldexp(1.0, -24) * (4 * grms + amplitude));

    // And grms is the rms of the breakpoint PSD, within the grid's bound and
    // the 5 digits of "%10.4e" (1e-4 of the area).
    const double summary = printed(r.out, "acceleration = (\\S+) grms");
    EXPECT_NEAR(summary * summary, breakpoint_area(s), grid_area_bound(s) + 1e-4 * summary * summary);
    EXPECT_NEAR(summary, grms, 1e-4 * grms);  // the same value, "%10.4e" against "%14.7e"
  }
}

}  // namespace
