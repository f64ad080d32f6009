#include "verify/spec.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

#include "driver/state.h"
#include "input/readers.h"
#include "platform/console.h"
#include "platform/scanner.h"
#include "verify/errors.h"

namespace {

// Thrown from kestrune's fatal hook, so that a refused file comes back here
// instead of ending the process with kestrune's exit status.
struct reader_refused {};
[[noreturn]] void throw_refused() { throw reader_refused{}; }

// True when the line holds exactly two numbers: one of the readers' echoes
// of an accepted pair, which is not part of an error message.
bool is_echo(const std::string& line) {
  text_scanner in;
  in.attach_memory(line.data(), line.size());
  double a, b;
  if (scan_pair(in, a, b) != 2) return false;
  in.skip_space();
  return in.peek() < 0;
}

// The reader's message without the echo lines, its line breaks, runs of
// blanks and the "Error:" that kestrune puts in front.
std::string message_of(const std::string& console) {
  std::string msg;
  size_t start = 0;
  while (start <= console.size()) {
    size_t end = console.find('\n', start);
    if (end == std::string::npos) end = console.size();
    std::string line = console.substr(start, end - start);
    start = end + 1;
    if (is_echo(line)) continue;
    size_t a = line.find_first_not_of(" \t\r");
    if (a == std::string::npos) continue;
    line = line.substr(a, line.find_last_not_of(" \t\r") + 1 - a);
    if (line.rfind("Error:", 0) == 0) line = line.substr(line.find_first_not_of(' ', 6));
    if (!msg.empty()) msg += "; ";
    for (size_t i = 0; i < line.size(); ++i)  // the echo's columns, closed up
      if (!(line[i] == ' ' && i > 0 && line[i - 1] == ' ')) msg += line[i];
  }
  return msg;
}

// Runs one of kestrune's readers over the named file with its console
// captured and its fatal exit turned into input_error. Returns false when
// the reader stopped before the end of the file.
bool run_reader(const std::string& name, const char* what, void (*reader)(text_scanner&)) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(name.c_str(), "rb"), std::fclose);
  if (!file)
    throw input_error("cannot open the " + std::string(what) + " file " + name + ": " +
                      std::strerror(errno));
  std::snprintf(st.input_name, name_cap, "%s", name.c_str());

  char* buf = nullptr;
  size_t len = 0;
  FILE* capture = open_memstream(&buf, &len);
  if (!capture) throw input_error("out of memory");
  FILE* saved_out = con_out;
  void (*saved_hook)() = fatal_hook;
  con_out = capture;
  fatal_hook = throw_refused;
  bool refused = false;
  auto in = std::make_unique<text_scanner>();  // its block buffer is large
  in->attach_file(file.get());
  try {
    reader(*in);
  } catch (const reader_refused&) {
    refused = true;
  }
  con_out = saved_out;
  fatal_hook = saved_hook;
  std::fclose(capture);
  std::string console(buf, len);
  std::free(buf);
  if (refused) throw input_error(std::string(what) + " file " + name + ": " + message_of(console));
  in->skip_space();
  return in->peek() < 0;
}

std::string stopped_early(const std::string& name, const char* what) {
  return std::string(what) + " file " + name +
         ": reading stopped before the end of the file, at text that is not a number or after "
         "2500 pairs; the rest is not part of the specification";
}

}  // namespace

specification read_specification(const std::string& psd_name, const std::string& sine_name) {
  specification spec;
  reset_state();
  bool whole = run_reader(psd_name, "PSD", read_psd_pairs);
  if (st.npsd < 2)
    throw input_error("PSD file " + psd_name +
                      ": at least two coordinates are required (frequency in Hz and PSD in "
                      "G^2/Hz, no header line)");
  if (!whole) spec.warnings.push_back(stopped_early(psd_name, "PSD"));
  if (!run_reader(sine_name, "sine", read_sine_pairs))
    spec.warnings.push_back(stopped_early(sine_name, "sine"));

  for (int k = 0; k < st.npsd; ++k) {
    spec.freq.push_back(st.freq[k]);
    spec.psd.push_back(st.psd[k]);
  }
  std::map<double, double> tones;  // frequency -> summed peak
  for (int k = 0; k < st.nsine; ++k) {
    if (st.sine_amp[k] == 0) ++spec.zero_tones;
    else tones[st.sine_freq[k]] += st.sine_amp[k];
  }
  for (auto [f, a] : tones) {
    spec.tone_freq.push_back(f);
    spec.tone_amp.push_back(a);
  }
  spec.grms = loglog_rms(spec.freq, spec.psd);
  return spec;
}

double loglog_rms(const std::vector<double>& freq, const std::vector<double>& psd) {
  double area = 0;
  for (size_t j = 0; j + 1 < freq.size(); ++j) {
    double f1 = freq[j], f2 = freq[j + 1], p1 = psd[j], p2 = psd[j + 1];
    if (!(f2 > f1)) continue;
    // P(f) = p1 (f/f1)^b on this piece; its integral is p1 f1 ((f2/f1)^(b+1) - 1)/(b+1),
    // which tends to p1 f1 ln(f2/f1) as b -> -1.
    double lr = std::log(f2 / f1);
    double b = std::log(p2 / p1) / lr;
    double e = (b + 1) * lr;
    area += std::fabs(e) < 1e-9 ? p1 * f1 * lr * (1 + e / 2) : p1 * f1 * std::expm1(e) / (b + 1);
  }
  return std::sqrt(area);
}

double loglog_at(const std::vector<double>& freq, const std::vector<double>& psd, double f) {
  size_t j = size_t(std::upper_bound(freq.begin(), freq.end(), f) - freq.begin());
  if (j == 0) return psd.front();
  if (j == freq.size()) return psd.back();
  double f1 = freq[j - 1], f2 = freq[j];
  double t = std::log(f / f1) / std::log(f2 / f1);
  return psd[j - 1] * std::pow(psd[j] / psd[j - 1], t);
}
