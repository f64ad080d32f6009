// kestrune-verify: checks an acceleration history against the Sine-on-Random
// specification it was synthesised for, prints a report and optionally
// draws a plot. Exit status: 0 when the history meets the specification,
// 1 when it does not, 2 for a usage error or input it cannot use.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "verify/check.h"
#include "verify/errors.h"
#include "verify/history.h"
#include "verify/plot.h"
#include "verify/report.h"
#include "verify/spec.h"

namespace {

constexpr int status_pass = 0, status_fail = 1, status_error = 2;

// A number above zero (CLI11's own PositiveNumber names the largest double
// in its message).
const CLI::Validator above_zero(
    [](std::string& text) -> std::string {
      size_t used = 0;
      double v = 0;
      try {
        v = std::stod(text, &used);
      } catch (const std::exception&) {
        return "not a number: " + text;
      }
      if (used != text.size()) return "not a number: " + text;
      return v > 0 ? "" : "must be above 0: " + text;
    },
    "");

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Checks an acceleration history (lines of time in s and acceleration in G) against a\n"
      "Sine-on-Random specification: each tone's amplitude, the PSD of the random part within\n"
      "its tolerance band, and the overall statistics.\n"
      "Exit status: 0 when the history meets the specification, 1 when it does not,\n"
      "2 for a usage error or unreadable input.\n",
      "kestrune-verify"};
  report_names names;
  verify_options opt;
  std::string plot_file;
  app.add_option("PSD_FILE", names.psd, "PSD breakpoints: frequency (Hz) and PSD (G^2/Hz) pairs")
      ->required()
      ->type_name("");
  app.add_option("SINE_FILE", names.sine, "sine tones: frequency (Hz) and peak (G) pairs")
      ->required()
      ->type_name("");
  app.add_option("ACCEL_FILE", names.accel, "acceleration history: time (s) and acceleration (G)")
      ->required()
      ->type_name("");
  app.add_option("--sine-tolerance", opt.sine_tolerance,
                 "largest error of a tone's amplitude, percent of its peak")
      ->type_name("PERCENT")
      ->check(above_zero)
      ->capture_default_str();
  app.add_option("--tolerance", opt.tolerance_db, "half-width of the PSD tolerance band, dB")
      ->type_name("DB")
      ->check(above_zero)
      ->capture_default_str();
  app.add_option("--lines-within", opt.lines_within,
                 "share of PSD lines that must lie inside the band, percent")
      ->type_name("PERCENT")
      ->check(CLI::Range(0.0, 100.0).description(""))
      ->capture_default_str();
  app.add_option("--resolution", opt.resolution,
                 "PSD line spacing, Hz (at most; frames are powers of two). Default: the "
                 "coarsest spacing of at most 1 Hz and a quarter of the lowest breakpoint, "
                 "with at least eight frames in the record")
      ->type_name("HZ")
      ->check(above_zero);
  app.add_option("--plot", plot_file,
                 "draw the PSD and the amplitude distribution into FILE: .svg, .pdf, .png, .ps or "
                 ".eps")
      ->type_name("FILE");
  app.set_version_flag("--version", "kestrune-verify " KESTRUNE_VERSION);

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {  // --help and --version
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return status_error;
  }

  try {
    if (!plot_file.empty()) prepare_plot_file(plot_file);  // a bad name fails before the work
    specification spec = read_specification(names.psd, names.sine);
    for (const std::string& w : spec.warnings) std::fprintf(stderr, "kestrune-verify: warning: %s\n", w.c_str());
    history h = read_history(names.accel);
    verification v = verify(spec, h, opt);
    write_report(stdout, names, spec, h, v);
    std::fflush(stdout);
    if (!plot_file.empty()) {
      write_plot(plot_file, names, spec, v);
      std::printf("\nPlot: %s\n", plot_file.c_str());
    }
    return v.pass() ? status_pass : status_fail;
  } catch (const input_error& e) {
    std::fprintf(stderr, "kestrune-verify: %s\n", e.what());
    return status_error;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "kestrune-verify: out of memory\n");
    return status_error;
  }
}
