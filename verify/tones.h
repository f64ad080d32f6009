// Sine tones of a sampled record: amplitude by least squares.
#pragma once

#include <vector>

// Fits a cosine and a sine at each frequency (Hz) to x, sampled every dt
// seconds, by least squares over the whole record, and subtracts the fits
// from x. The tones are fitted one at a time on what the others leave, and
// the sweep over them repeats until the coefficients settle (backfitting,
// which converges to the joint least-squares fit). x should have its mean
// removed. Frequencies must lie strictly between 0 and the Nyquist
// frequency 1/(2 dt). Returns the peak amplitude of each fitted tone.
std::vector<double> fit_and_remove_tones(std::vector<double>& x, double dt,
                                         const std::vector<double>& freq);
