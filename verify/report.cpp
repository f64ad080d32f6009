#include "verify/report.h"

#include <cmath>

#include "verify/strf.h"

namespace {

void put(FILE* out, const std::string& s) { std::fputs(s.c_str(), out); }

// 20 log10 of the ratio, with what rounds to zero shown as +0.00.
double db_of(double measured, double specified) {
  double db = specified > 0 && measured > 0 ? 20 * std::log10(measured / specified) : 0;
  return std::fabs(db) < 0.005 ? 0.0 : db;
}

}  // namespace

void write_report(FILE* out, const report_names& names, const specification& spec,
                  const history& h, const verification& v) {
  const verify_options& opt = v.options;
  size_t n = h.accel.size();
  put(out, "Specification\n");
  put(out, strf("  PSD   %s: %zu breakpoints, %g to %g Hz, %.4f G rms\n", names.psd.c_str(),
                spec.freq.size(), spec.freq.front(), spec.freq.back(), spec.grms));
  put(out, strf("  sine  %s: %zu tone%s", names.sine.c_str(), spec.tone_freq.size(),
                spec.tone_freq.size() == 1 ? "" : "s"));
  if (spec.zero_tones > 0) put(out, strf(" (and %d of 0 G, not checked)", spec.zero_tones));
  put(out, "\nHistory\n");
  put(out, strf("  %s: %zu samples at %.6g samples/s (step %.7g s), %.6g s from %.6g s\n",
                names.accel.c_str(), n, v.fs, h.dt, double(n - 1) * h.dt, h.t0));

  if (!v.tones.empty()) {
    // The random part at a tone's frequency adds to the fitted amplitude:
    // its 1-sigma column says how much a record this long can tell.
    put(out, strf("\nSine tones: least-squares fit over the whole record, tolerance %g %%\n",
                  opt.sine_tolerance));
    put(out, "      frequency     specified      measured      error   random 1-sigma\n");
    for (const tone_check& t : v.tones) {
      if (!t.measurable)
        put(out, strf("  %10.3f Hz  %10.4f G   above the Nyquist frequency                FAIL\n",
                      t.freq, t.specified));
      else
        put(out, strf("  %10.3f Hz  %10.4f G  %10.4f G  %+8.2f %%  %8.2f %%   %s\n", t.freq,
                      t.specified, t.measured, t.error, t.noise, t.pass ? "pass" : "FAIL"));
    }
  }

  const welch_psd& p = v.psd;
  const band_check& b = v.band;
  put(out, "\nRandom part (tones removed): Welch PSD, Hann window, 50 % overlap\n");
  put(out, strf("  frame %ld samples, line spacing %.4g Hz, %ld averages, %.1f degrees of freedom\n",
                p.frame, p.df, p.averages, p.dof));
  put(out, strf("  band %g to %g Hz: %d lines compared", b.lo, b.top, b.compared));
  if (b.near_tones > 0)
    put(out, strf(", %d within %d lines of a tone left out", b.near_tones, tone_guard_lines));
  put(out, "\n");
  put(out, strf("  within +/-%g dB: %d lines, %.1f %% (%g %% required)   %s\n", opt.tolerance_db,
                b.within, b.share, opt.lines_within,
                b.share >= opt.lines_within ? "pass" : "FAIL"));
  put(out, strf("  worst deviation %+.2f dB at %.2f Hz\n", b.worst_db, b.worst_freq));
  if (b.within < b.compared)
    put(out, strf("  lines outside lie between %.2f and %.2f Hz\n", b.outside_lo, b.outside_hi));
  if (b.hi > b.top)
    put(out, strf("  the band above %g Hz lies beyond the Nyquist frequency   FAIL\n", b.top));

  const moments& a = v.total;
  const moments& r = v.random;
  double tones_rms = 0, tones_spec = 0;
  for (const tone_check& t : v.tones) {
    tones_rms += t.measured * t.measured / 2;
    tones_spec += t.specified * t.specified / 2;
  }
  tones_rms = std::sqrt(tones_rms);
  tones_spec = std::sqrt(tones_spec);
  put(out, "\nStatistics            acceleration   random part         tones\n");
  put(out, strf("  mean (G)            %12.4f  %12.4f\n", a.mean, r.mean));
  put(out, strf("  rms (G)             %12.4f  %12.4f  %12.4f\n", a.rms, r.rms, tones_rms));
  put(out, strf("  specified rms (G)   %12.4f  %12.4f  %12.4f\n", v.total_rms_spec, spec.grms,
                tones_spec));
  put(out, strf("  rms against spec    %+9.2f dB  %+9.2f dB  %+9.2f dB\n",
                db_of(a.rms, v.total_rms_spec), db_of(r.rms, spec.grms),
                db_of(tones_rms, tones_spec)));
  put(out, strf("  peak (G)            %12.4f  %12.4f\n", a.peak, r.peak));
  put(out, strf("  crest factor        %12.3f  %12.3f\n", a.crest, r.crest));
  put(out, strf("  skewness            %12.3f  %12.3f\n", a.skewness, r.skewness));
  put(out, strf("  kurtosis (normal 3) %12.3f  %12.3f\n", a.kurtosis, r.kurtosis));

  if (v.pass()) {
    put(out, "\nResult: PASS\n");
  } else {
    put(out, "\nResult: FAIL\n");
    for (const std::string& f : v.failures) put(out, "  " + f + "\n");
  }
}
