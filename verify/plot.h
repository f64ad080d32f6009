// The figure for the test report, drawn with PLplot.
#pragma once

#include <string>

#include "verify/check.h"
#include "verify/report.h"

// The PLplot device for a file name, chosen by its extension (svg, pdf,
// png, ps, eps; any case) among the devices installed. Throws input_error
// for another extension or when no installed device writes that format.
std::string plot_device(const std::string& file);

// plot_device, and the file created empty so that a name that cannot be
// written fails before the analysis. Throws input_error.
std::string prepare_plot_file(const std::string& file);

// Draws the figure into file: (1) the random part's PSD against the
// specification and its tolerance band on log-log axes, tones marked;
// (2) the distribution of the random part's amplitudes against the Gaussian
// of the same mean and rms, on a log density axis. Throws input_error when
// the file cannot be written.
void write_plot(const std::string& file, const report_names& names, const specification& spec,
                const verification& v);
