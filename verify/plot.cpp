#include "verify/plot.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <plplot.h>
#include <vector>

#include "verify/errors.h"
#include "verify/strf.h"

namespace {

// Colour map 0 of the figure.
enum colour : PLINT { white, black, blue, band_fill, red, grid, bar_fill, orange, ncolours };
const PLINT palette_r[ncolours] = {255, 0, 31, 204, 200, 225, 174, 230};
const PLINT palette_g[ncolours] = {255, 0, 90, 228, 30, 225, 199, 110};
const PLINT palette_b[ncolours] = {255, 0, 180, 204, 30, 225, 232, 0};

// Scale of all text against PLplot's default size.
constexpr PLFLT text_scale = 0.72;

// PLplot ends the process through this on a fatal error: status 2, since
// it can only be the plot file that failed.
int on_plplot_exit(const char* message) {
  std::fprintf(stderr, "kestrune-verify: cannot draw the plot: %s\n", message);
  return 2;
}

bool installed(const char* device) {
  const int cap = 128;
  const char* menu[cap];
  const char* names[cap];
  const char** pm = menu;
  const char** pn = names;
  int n = cap;
  plgFileDevs(&pm, &pn, &n);
  for (int i = 0; i < n; ++i)
    if (std::strcmp(names[i], device) == 0) return true;
  return false;
}

// Text for PLplot, which takes '#' as the start of an escape.
std::string literal(const std::string& s) {
  std::string r;
  for (char c : s) {
    if (c == '#') r += '#';
    r += c;
  }
  return r;
}

std::vector<PLFLT> log10_of(const std::vector<double>& v, double floor) {
  std::vector<PLFLT> r;
  for (double x : v) r.push_back(std::log10(std::max(x, floor)));
  return r;
}

void frame_box(const char* xopt, const char* yopt) {
  plcol0(grid);
  plwidth(0.5);
  plbox(xopt[0] == 'l' ? "gh" : "g", 0, 0, yopt[0] == 'l' ? "gh" : "g", 0, 0);
  plcol0(black);
  plwidth(1);
  std::string x = std::string("bcnst") + (xopt[0] == 'l' ? "l" : "");
  std::string y = std::string("bcnstv") + (yopt[0] == 'l' ? "l" : "");
  plbox(x.c_str(), 0, 0, y.c_str(), 0, 0);
}

// Panel 1: the PSD of the random part against the specification.
void psd_panel(const specification& spec, const verification& v) {
  const welch_psd& p = v.psd;
  const double tol = std::pow(10.0, v.options.tolerance_db / 10);
  double f_lo = spec.freq.front() / 1.5;
  double f_hi = std::min(spec.freq.back() * 1.5, v.fs / 2);
  double p_lo = *std::min_element(spec.psd.begin(), spec.psd.end()) / tol / 10;
  double p_hi = *std::max_element(spec.psd.begin(), spec.psd.end()) * tol * 10;
  f_lo = std::pow(10.0, std::floor(std::log10(f_lo)));
  p_lo = std::pow(10.0, std::floor(std::log10(p_lo)));
  p_hi = std::pow(10.0, std::ceil(std::log10(p_hi)));

  plvpor(0.12, 0.95, 0.55, 0.88);
  plwind(std::log10(f_lo), std::log10(f_hi), std::log10(p_lo), std::log10(p_hi));

  // The tolerance band, then the specification and the measured lines.
  std::vector<PLFLT> bx, by;
  for (size_t i = 0; i < spec.freq.size(); ++i) {
    bx.push_back(std::log10(spec.freq[i]));
    by.push_back(std::log10(spec.psd[i] * tol));
  }
  for (size_t i = spec.freq.size(); i-- > 0;) {
    bx.push_back(std::log10(spec.freq[i]));
    by.push_back(std::log10(spec.psd[i] / tol));
  }
  plcol0(band_fill);
  plfill(PLINT(bx.size()), bx.data(), by.data());
  frame_box("l", "l");

  std::vector<PLFLT> mx, my;
  for (long k = 1; k <= p.frame / 2; ++k) {
    double f = double(k) * p.df;
    if (f < f_lo || f > f_hi) continue;
    mx.push_back(std::log10(f));
    my.push_back(std::log10(std::max(p.psd[size_t(k)], p_lo / 10)));
  }
  plcol0(blue);
  plwidth(1.2);
  plline(PLINT(mx.size()), mx.data(), my.data());

  std::vector<PLFLT> sx = log10_of(spec.freq, 1e-300), sy = log10_of(spec.psd, 1e-300);
  plcol0(black);
  plwidth(2);
  plline(PLINT(sx.size()), sx.data(), sy.data());

  // The tones: a dashed line each, labelled with its frequency and peak.
  plcol0(red);
  plwidth(1);
  pllsty(2);
  plschr(0, 0.75 * text_scale);
  for (const tone_check& t : v.tones) {
    if (t.freq < f_lo || t.freq > f_hi) continue;
    PLFLT x[2] = {std::log10(t.freq), std::log10(t.freq)};
    // Up to just below the legend, which runs along the top.
    PLFLT y[2] = {std::log10(p_lo), std::log10(p_hi) - 0.12 * std::log10(p_hi / p_lo)};
    plline(2, x, y);
    std::string label = strf("%g Hz, %g G", t.freq, t.specified);
    plptex(x[0] - 0.008 * (std::log10(f_hi) - std::log10(f_lo)), std::log10(p_lo) + 0.03 * (y[1] - y[0]),
           0, 1, 0, label.c_str());
  }
  pllsty(1);
  plschr(0, text_scale);

  plcol0(black);
  const band_check& b = v.band;
  pllab("Frequency (Hz)", "PSD (G#u2#d/Hz)", "");
  plmtex("t", 3.6, 0.5, 0.5, "PSD of the random part (tones removed)");
  plschr(0, 0.85 * text_scale);
  plmtex("t", 2.2, 0.5, 0.5,
         strf("Welch: Hann window, 50 %% overlap, #gDf = %.3g Hz, %ld averages, %.0f degrees of "
              "freedom",
              p.df, p.averages, p.dof)
             .c_str());
  plmtex("t", 0.8, 0.5, 0.5,
         strf("%.1f %% of %d lines within ±%g dB (%g %% required%s), worst %+.2f dB at %.1f Hz",
              b.share, b.compared, v.options.tolerance_db, v.options.lines_within,
              b.share >= v.options.lines_within ? "" : ": FAIL", b.worst_db, b.worst_freq)
             .c_str());
  plschr(0, text_scale);

  std::string band_text = strf("±%g dB band", v.options.tolerance_db);
  const char* text[4] = {"measured", "specification", band_text.c_str(), "tones"};
  PLINT opts[4] = {PL_LEGEND_LINE, PL_LEGEND_LINE, PL_LEGEND_COLOR_BOX, PL_LEGEND_LINE};
  PLINT text_colours[4] = {black, black, black, black};
  PLINT box_colours[4] = {0, 0, band_fill, 0};
  PLINT box_patterns[4] = {0, 0, 0, 0};
  PLFLT box_scales[4] = {0, 0, 0.8, 0};
  PLFLT box_widths[4] = {0, 0, 1, 0};
  PLINT line_colours[4] = {blue, black, 0, red};
  PLINT line_styles[4] = {1, 1, 1, 2};
  PLFLT line_widths[4] = {1.2, 2, 1, 1};
  PLFLT w, h;
  plschr(0, 0.8 * text_scale);
  pllegend(&w, &h, PL_LEGEND_BACKGROUND | PL_LEGEND_BOUNDING_BOX,
           PL_POSITION_TOP | PL_POSITION_INSIDE, 0, 0.03, 0.05, white, black, 1, 1, 4, 4, opts, 1.0, 0.8 * text_scale, 2.0, 0, text_colours, text, box_colours, box_patterns,
           box_scales, box_widths, line_colours, line_styles, line_widths, nullptr, nullptr,
           nullptr, nullptr);
  plschr(0, text_scale);
}

// Panel 2: the amplitude distribution of the random part.
void distribution_panel(const verification& v) {
  const std::vector<double>& x = v.random_part;
  const double mean = v.random.mean;
  const double sigma = std::sqrt(std::max(v.random.rms * v.random.rms - mean * mean, 0.0));
  double span = std::max(v.random.peak, 4.5 * sigma) * 1.05;
  if (!(span > 0)) span = 1;

  constexpr int nbins = 81;
  const double width = 2 * span / nbins;
  std::vector<double> density(nbins, 0.0);
  for (double a : x) {
    int i = int(std::floor((a + span) / width));
    if (i >= 0 && i < nbins) density[size_t(i)] += 1;
  }
  for (double& d : density) d /= double(x.size()) * width;

  const double two_pi = 2 * std::acos(-1.0);
  double peak_pdf = sigma > 0 ? 1 / (sigma * std::sqrt(two_pi)) : 1;
  double d_hi = std::max(*std::max_element(density.begin(), density.end()), peak_pdf) * 3;
  double d_lo = 0.3 / (double(x.size()) * width);  // below one sample in a bin
  plvpor(0.12, 0.95, 0.07, 0.41);
  plwind(-span, span, std::log10(d_lo), std::log10(d_hi));

  plcol0(bar_fill);
  for (int i = 0; i < nbins; ++i) {
    if (density[size_t(i)] <= 0) continue;
    double x0 = -span + i * width, x1 = x0 + width, y1 = std::log10(density[size_t(i)]);
    PLFLT bx[4] = {x0, x0, x1, x1};
    PLFLT by[4] = {std::log10(d_lo), y1, y1, std::log10(d_lo)};
    plfill(4, bx, by);
  }
  frame_box("-", "l");

  std::vector<PLFLT> gx, gy;
  if (sigma > 0) {
    for (int i = 0; i <= 400; ++i) {
      double a = -span + 2 * span * i / 400;
      double z = (a - mean) / sigma;
      double pdf = peak_pdf * std::exp(-z * z / 2);
      if (pdf < d_lo / 10) continue;
      gx.push_back(a);
      gy.push_back(std::log10(pdf));
    }
    plcol0(orange);
    plwidth(2);
    plline(PLINT(gx.size()), gx.data(), gy.data());
    plwidth(1);
  }

  plcol0(black);
  pllab("Acceleration (G)", "Probability density (1/G)", "Amplitude distribution of the random part");
  plschr(0, 0.85 * text_scale);
  plmtex("t", -1.8, 0.02, 0,
         strf("mean %.3g G, rms %.4g G", v.random.mean, v.random.rms).c_str());
  plmtex("t", -3.4, 0.02, 0,
         strf("skewness %.3f, kurtosis %.3f", v.random.skewness, v.random.kurtosis).c_str());
  plmtex("t", -5.0, 0.02, 0,
         strf("peak %.4g G, crest factor %.2f", v.random.peak, v.random.crest).c_str());
  plschr(0, text_scale);

  std::string gauss_text = strf("Gaussian, #gs %.3g G", sigma);
  const char* text[2] = {"measured", gauss_text.c_str()};
  PLINT opts[2] = {PL_LEGEND_COLOR_BOX, PL_LEGEND_LINE};
  PLINT text_colours[2] = {black, black};
  PLINT box_colours[2] = {bar_fill, 0};
  PLINT box_patterns[2] = {0, 0};
  PLFLT box_scales[2] = {0.8, 0};
  PLFLT box_widths[2] = {1, 0};
  PLINT line_colours[2] = {0, orange};
  PLINT line_styles[2] = {1, 1};
  PLFLT line_widths[2] = {1, 2};
  PLFLT w, h;
  plschr(0, 0.8 * text_scale);
  pllegend(&w, &h, PL_LEGEND_BACKGROUND | PL_LEGEND_BOUNDING_BOX,
           PL_POSITION_RIGHT | PL_POSITION_TOP | PL_POSITION_INSIDE, 0.02, 0.03, 0.08, white, black,
           1, 0, 0, 2, opts, 1.0, 0.8 * text_scale, 2.0, 0, text_colours, text, box_colours, box_patterns,
           box_scales, box_widths, line_colours, line_styles, line_widths, nullptr, nullptr,
           nullptr, nullptr);
  plschr(0, text_scale);
}

}  // namespace

std::string plot_device(const std::string& file) {
  size_t dot = file.rfind('.');
  std::string ext = dot == std::string::npos ? "" : file.substr(dot + 1);
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  struct choice {
    const char* ext;
    const char* devices[2];
  };
  static const choice choices[] = {
      {"svg", {"svgcairo", "svg"}}, {"pdf", {"pdfcairo", "pdf"}}, {"png", {"pngcairo", "pngqt"}},
      {"ps", {"pscairo", "psc"}},   {"eps", {"epscairo", nullptr}},
  };
  for (const choice& c : choices) {
    if (ext != c.ext) continue;
    for (const char* d : c.devices)
      if (d && installed(d)) return d;
    throw input_error("no PLplot device for ." + ext + " files is installed (" + file +
                      "); on Debian, install plplot-driver-cairo");
  }
  throw input_error("the plot file " + file +
                    " must end in .svg, .pdf, .png, .ps or .eps to choose its format");
}

std::string prepare_plot_file(const std::string& file) {
  std::string device = plot_device(file);
  // PLplot would end the process on a file it cannot open; find out first.
  if (FILE* f = std::fopen(file.c_str(), "wb")) std::fclose(f);
  else throw input_error("cannot write the plot file " + file + ": " + std::strerror(errno));
  return device;
}

void write_plot(const std::string& file, const report_names& names, const specification& spec,
                const verification& v) {
  std::string device = prepare_plot_file(file);

  plsexit(on_plplot_exit);
  plsdev(device.c_str());
  plsfnam(file.c_str());
  plspage(0, 0, 900, 1000, 0, 0);
  plscmap0(palette_r, palette_g, palette_b, ncolours);
  plinit();
  pladv(0);
  plvpor(0, 1, 0, 1);
  plwind(0, 1, 0, 1);
  plcol0(black);
  plschr(0, 1.1 * text_scale);
  plmtex("t", -1.5, 0.5, 0.5,
         strf("%s against %s and %s: %s", literal(names.accel).c_str(),
              literal(names.psd).c_str(), literal(names.sine).c_str(),
              v.pass() ? "PASS" : "FAIL")
             .c_str());
  plschr(0, text_scale);
  psd_panel(spec, v);
  distribution_panel(v);
  plend();
}
