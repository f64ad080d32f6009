// The verdict: a history checked against its specification.
#pragma once

#include <string>
#include <vector>

#include "verify/history.h"
#include "verify/spec.h"
#include "verify/welch.h"

struct verify_options {
  double sine_tolerance = 10;  // percent of the specified peak
  double tolerance_db = 3;     // half-width of the PSD band, dB
  double lines_within = 90;    // percent of compared lines required inside the band
  double resolution = 0;       // Hz; 0 picks the default frame (see default_frame)
};

// Lines this close to a tone (in lines) are left out of the PSD comparison.
constexpr int tone_guard_lines = 3;

struct tone_check {
  double freq = 0;       // Hz
  double specified = 0;  // G peak
  double measured = 0;   // G peak; 0 when not measurable
  double error = 0;      // percent: (measured - specified) / specified
  // Percent of the specified peak: the standard deviation of the measured
  // amplitude that the specified random PSD at the tone causes over a
  // record of T seconds, sqrt(PSD(f) / T); 0 outside the band.
  double noise = 0;
  bool measurable = false;  // below the history's Nyquist frequency
  bool pass = false;
};

struct band_check {
  double lo = 0, hi = 0;  // Hz, the specification's band
  double top = 0;         // Hz, the highest frequency compared: hi or the Nyquist frequency
  int compared = 0;       // lines compared
  int near_tones = 0;     // lines in the band left out near tones
  int within = 0;         // compared lines within +- tolerance_db
  double share = 0;       // percent within
  double worst_db = 0;    // largest deviation from the specification, signed dB
  double worst_freq = 0;  // Hz, where it is
  double outside_lo = 0, outside_hi = 0;  // Hz, lowest and highest line outside; 0 when none
  bool pass = false;
};

struct moments {
  double mean = 0, rms = 0, peak = 0;  // G; peak is the largest |x|
  double crest = 0;                    // peak / rms
  double skewness = 0;                 // third central moment / sigma^3
  double kurtosis = 0;                 // fourth central moment / sigma^4 (3 for a Gaussian)
};
moments moments_of(const std::vector<double>& x);

struct verification {
  verify_options options;
  double fs = 0;  // samples/s
  std::vector<tone_check> tones;
  welch_psd psd;  // of the random part
  band_check band;
  moments total, random;
  double total_rms_spec = 0;  // G: sqrt(grms^2 + sum of A^2/2)
  std::vector<double> random_part;  // G: the history with the fitted tones removed
  std::vector<std::string> failures;  // one line per failed check; empty when it passes
  bool pass() const { return failures.empty(); }
};

// Fits and removes the tones, estimates the random part's PSD, compares it
// with the specification line by line and gathers the statistics. Throws
// input_error when the record is too short for the frame or no line of the
// analysis falls inside the band.
verification verify(const specification& spec, const history& h, const verify_options& opt);
