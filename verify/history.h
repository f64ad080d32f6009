// The acceleration history to check: a text file of lines "time value".
#pragma once

#include <string>
#include <vector>

struct history {
  std::vector<double> accel;  // G, one entry per line
  double t0 = 0;              // s, time of the first sample
  double dt = 0;              // s, the uniform time step
};

// Reads lines of two numbers in kestrune's number syntax (time in s, then
// acceleration in G) separated by blanks or tabs; blank lines are skipped
// and "\r\n" line ends are accepted. The time column must rise by one
// uniform step, to within the precision of the numbers as printed (eight
// significant digits, kestrune's "%14.7e").
// Throws input_error naming the file and the line for: a file that cannot
// be read, a line that is not two numbers (a header line, a third column,
// text after a number), a number out of range, fewer than two samples, and
// the first line where the time step breaks.
history read_history(const std::string& name);
