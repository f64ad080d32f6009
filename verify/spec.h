// The Sine-on-Random specification as kestrune-verify checks against it:
// PSD breakpoints and sine tones, read with kestrune's own readers.
#pragma once

#include <string>
#include <vector>

struct specification {
  std::vector<double> freq;  // Hz, breakpoints, positive and non-decreasing
  std::vector<double> psd;   // G^2/Hz at each breakpoint, positive
  // Tones with distinct frequencies and a non-zero peak, ascending: tones
  // given twice at one frequency add up (they are in phase in the history),
  // tones of 0 G are dropped.
  std::vector<double> tone_freq;  // Hz
  std::vector<double> tone_amp;   // G peak
  int zero_tones = 0;             // tones of 0 G that were dropped
  double grms = 0;                // G rms of the PSD over its band
  // Files whose reading stopped before their end (text that is not a
  // number, or more than 2500 pairs): kestrune reads them the same way, but
  // the rest of the file was not part of the specification.
  std::vector<std::string> warnings;
};

// Reads both files with kestrune's readers (same number syntax, same checks,
// same messages) and requires at least two breakpoints. Throws input_error,
// naming the file, when a file cannot be read or a reader refuses it.
// Uses kestrune's process-wide working state: not for concurrent use.
specification read_specification(const std::string& psd_name, const std::string& sine_name);

// Overall rms (square root of the area) of a PSD whose breakpoints are
// joined by straight lines on log-log axes; exact for each power-law piece.
// Pieces of zero width (equal frequencies) add nothing.
double loglog_rms(const std::vector<double>& freq, const std::vector<double>& psd);

// The PSD at f, interpolated on log-log axes; f must lie inside the band
// freq.front() .. freq.back(). At a step (two breakpoints at one frequency)
// the later breakpoint holds.
double loglog_at(const std::vector<double>& freq, const std::vector<double>& psd, double f);
