#include "verify/check.h"

#include <algorithm>
#include <cmath>

#include "verify/errors.h"
#include "verify/strf.h"
#include "verify/tones.h"

moments moments_of(const std::vector<double>& x) {
  moments m;
  if (x.empty()) return m;
  double n = double(x.size());
  double sum = 0, square = 0;
  for (double v : x) {
    sum += v;
    square += v * v;
    m.peak = std::max(m.peak, std::fabs(v));
  }
  m.mean = sum / n;
  m.rms = std::sqrt(square / n);
  double m2 = 0, m3 = 0, m4 = 0;
  for (double v : x) {
    double d = v - m.mean, d2 = d * d;
    m2 += d2;
    m3 += d2 * d;
    m4 += d2 * d2;
  }
  m2 /= n;
  m3 /= n;
  m4 /= n;
  if (m.rms > 0) m.crest = m.peak / m.rms;
  if (m2 > 0) {
    m.skewness = m3 / std::pow(m2, 1.5);
    m.kurtosis = m4 / (m2 * m2);
  }
  return m;
}

namespace {

void check_tones(const specification& spec, verification& v) {
  const double nyquist = v.fs / 2;
  std::vector<double> fit_freq;
  for (size_t j = 0; j < spec.tone_freq.size(); ++j) {
    tone_check t;
    t.freq = spec.tone_freq[j];
    t.specified = spec.tone_amp[j];
    t.measurable = t.freq < nyquist;
    if (t.measurable) fit_freq.push_back(t.freq);
    v.tones.push_back(t);
  }

  std::vector<double>& r = v.random_part;
  double mean = v.total.mean;
  for (double& x : r) x -= mean;
  std::vector<double> amp = fit_and_remove_tones(r, 1 / v.fs, fit_freq);
  for (double& x : r) x += mean;

  size_t k = 0;
  for (tone_check& t : v.tones) {
    if (!t.measurable) {
      v.failures.push_back(strf("tone %g Hz: above the history's Nyquist frequency %g Hz", t.freq, nyquist));
      continue;
    }
    t.measured = amp[k++];
    double T = double(v.random_part.size()) / v.fs;
    if (t.freq >= spec.freq.front() && t.freq <= spec.freq.back())
      t.noise = 100 * std::sqrt(loglog_at(spec.freq, spec.psd, t.freq) / T) / t.specified;
    t.error = 100 * (t.measured - t.specified) / t.specified;
    t.pass = std::fabs(t.error) <= v.options.sine_tolerance;
    if (!t.pass)
      v.failures.push_back(strf("tone %g Hz: %.4g G measured against %.4g G specified (%+.1f %%, "
                                "tolerance %g %%)",
                                t.freq, t.measured, t.specified, t.error, v.options.sine_tolerance));
  }
}

void check_band(const specification& spec, verification& v) {
  band_check& b = v.band;
  const verify_options& opt = v.options;
  b.lo = spec.freq.front();
  b.hi = spec.freq.back();
  const double nyquist = v.fs / 2;
  b.top = std::min(b.hi, nyquist);
  b.worst_db = 0;
  double worst_abs = -1;
  for (long k = 1; k < v.psd.frame / 2; ++k) {
    double f = double(k) * v.psd.df;
    if (f < b.lo || f > b.top) continue;
    bool near = false;
    for (const tone_check& t : v.tones)
      if (std::fabs(f - t.freq) <= tone_guard_lines * v.psd.df) near = true;
    if (near) {
      ++b.near_tones;
      continue;
    }
    double p = std::max(v.psd.psd[size_t(k)], 1e-300);
    double db = 10 * std::log10(p / loglog_at(spec.freq, spec.psd, f));
    ++b.compared;
    if (std::fabs(db) <= opt.tolerance_db) {
      ++b.within;
    } else {
      if (b.outside_lo == 0) b.outside_lo = f;
      b.outside_hi = f;
    }
    if (std::fabs(db) > worst_abs) {
      worst_abs = std::fabs(db);
      b.worst_db = db;
      b.worst_freq = f;
    }
  }
  if (b.compared == 0)
    throw input_error(strf("no analysis line of %.4g Hz spacing falls inside the band %g to %g Hz "
                           "away from the tones; choose a finer --resolution",
                           v.psd.df, b.lo, b.top));
  b.share = 100.0 * b.within / b.compared;
  b.pass = b.share >= opt.lines_within && b.hi <= nyquist;
  if (b.share < opt.lines_within)
    v.failures.push_back(strf("random PSD: %.1f %% of %d lines within +-%g dB (%g %% required), "
                              "the others between %.1f and %.1f Hz; worst %+.1f dB at %.1f Hz",
                              b.share, b.compared, opt.tolerance_db, opt.lines_within,
                              b.outside_lo, b.outside_hi, b.worst_db, b.worst_freq));
  if (b.hi > nyquist)
    v.failures.push_back(strf("random PSD: the band reaches %g Hz but the history's Nyquist "
                              "frequency is %g Hz",
                              b.hi, nyquist));
}

}  // namespace

verification verify(const specification& spec, const history& h, const verify_options& opt) {
  verification v;
  v.options = opt;
  v.fs = 1 / h.dt;
  v.total = moments_of(h.accel);
  double tone_power = 0;
  for (double a : spec.tone_amp) tone_power += a * a / 2;
  v.total_rms_spec = std::sqrt(spec.grms * spec.grms + tone_power);

  // Step 1: frame length first, so that a record too short fails before
  // any work.
  long frame = opt.resolution > 0 ? frame_for_spacing(v.fs, opt.resolution, h.accel.size())
                                  : default_frame(v.fs, spec.freq.front(), h.accel.size());
  // Step 2: the tones, and the random part that they leave.
  v.random_part = h.accel;
  check_tones(spec, v);
  v.random = moments_of(v.random_part);
  // Step 3: the random part's PSD against the specification.
  v.psd = welch(v.random_part, v.fs, frame);
  check_band(spec, v);
  return v;
}
