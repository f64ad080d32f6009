// The one error kestrune-verify reports instead of a verdict: input it cannot
// use (a file it cannot read, text that is not a history or a
// specification, a record too short for the analysis). main() prints the
// message on standard error and exits with status 2.
#pragma once

#include <stdexcept>

struct input_error : std::runtime_error {
  using std::runtime_error::runtime_error;
};
