#include "verify/history.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "verify/strf.h"
#include "platform/scanner.h"
#include "verify/errors.h"

namespace {

bool is_blank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

void skip_blanks(text_scanner& in) {
  while (is_blank(in.peek())) in.advance();
}

std::string shown(double v) { return strf("%.9g", v); }

[[noreturn]] void refuse(const std::string& name, long line, const std::string& why) {
  throw input_error(name + ":" + std::to_string(line) + ": " + why);
}

// One number of the line, which must end at a blank or the line end.
double column(text_scanner& in, const std::string& name, long line, const char* what) {
  skip_blanks(in);
  int c = in.peek();
  if (c < 0 || c == '\n') refuse(name, line, std::string("no ") + what + " (two columns are required: time in s, acceleration in G)");
  double v;
  if (!scan_number(in, v) || !(is_blank(in.peek()) || in.peek() == '\n' || in.peek() < 0))
    refuse(name, line, std::string("the ") + what + " is not a number (the file must hold two columns, time in s and acceleration in G, and no header line)");
  if (!std::isfinite(v)) refuse(name, line, std::string("the ") + what + " is out of range");
  return v;
}

}  // namespace

history read_history(const std::string& name) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(name.c_str(), "rb"), std::fclose);
  if (!file) throw input_error("cannot open the acceleration file " + name + ": " + std::strerror(errno));
  auto in = std::make_unique<text_scanner>();  // its block buffer is large
  in->attach_file(file.get());

  // Step 1: the two columns, line by line.
  history h;
  std::vector<double> time;
  std::vector<long> line_of;  // file line of each sample, for the messages
  for (long line = 1; in->peek() >= 0; ++line) {
    skip_blanks(*in);
    if (in->peek() == '\n') {
      in->advance();
      continue;
    }
    if (in->peek() < 0) break;
    time.push_back(column(*in, name, line, "time"));
    h.accel.push_back(column(*in, name, line, "acceleration"));
    line_of.push_back(line);
    skip_blanks(*in);
    if (in->peek() >= 0 && in->peek() != '\n')
      refuse(name, line, "more than two columns (time in s, acceleration in G)");
    in->advance();
  }
  if (in->failed()) throw input_error("cannot read the acceleration file " + name + ": " + std::strerror(errno));
  if (time.size() < 2)
    throw input_error("the acceleration file " + name + " holds " + std::to_string(time.size()) +
                      " sample" + (time.size() == 1 ? "" : "s") + "; a history needs many more");

  // Step 2: the time step. The mean step over the record is the reference;
  // a local step far from it (a gap, a repeat, a reversal) marks the break.
  size_t n = time.size();
  for (size_t i = 1; i < n; ++i)
    if (!(time[i] > time[i - 1]))
      refuse(name, line_of[i], "the time does not increase: " + shown(time[i]) + " s after " + shown(time[i - 1]) + " s");
  double dt = (time[n - 1] - time[0]) / double(n - 1);
  for (size_t i = 1; i < n; ++i) {
    double step = time[i] - time[i - 1];
    if (std::fabs(step - dt) > 0.5 * dt)
      refuse(name, line_of[i], "the time step is not uniform: " + shown(step) + " s from the line before, " + shown(dt) + " s on average");
  }
  // Step 3: a slow drift of the step. Every time must sit on the uniform
  // grid to within a twentieth of a step plus the rounding of an
  // eight-digit number of its size.
  for (size_t i = 0; i < n; ++i) {
    double expected = time[0] + double(i) * dt;
    double tol = 0.05 * dt + 1e-7 * std::fabs(time[i]);
    if (std::fabs(time[i] - expected) > tol)
      refuse(name, line_of[i], "the time step is not uniform: time " + shown(time[i]) + " s where a uniform step of " + shown(dt) + " s gives " + shown(expected) + " s");
  }
  h.t0 = time[0];
  h.dt = dt;
  return h;
}
