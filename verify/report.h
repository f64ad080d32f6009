// The text report of a verification, for the console and the test report.
#pragma once

#include <cstdio>
#include <string>

#include "verify/check.h"

struct report_names {
  std::string psd, sine, accel;  // the files as named on the command line
};

// Writes the report: the specification and history read, each tone, the
// PSD comparison, the statistics and the verdict with every failed check.
void write_report(FILE* out, const report_names& names, const specification& spec,
                  const history& h, const verification& v);
