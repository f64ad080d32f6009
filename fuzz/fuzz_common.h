// Shared by the fuzz targets: a fatal error of the program is an ordinary
// outcome here, not a crash. fatal_exit() calls fatal_hook after its flush;
// the hook throws, and the target catches it around the stage it runs.
#pragma once

#include <cstdio>
#include <cstdlib>

#include "platform/console.h"

struct fatal_end {};

[[noreturn]] inline void throw_fatal_end() { throw fatal_end{}; }

// Sends the console to /dev/null and installs the hook (once).
inline void fuzz_setup_console() {
  static bool done = false;
  if (done) return;
  done = true;
  con_out = std::fopen("/dev/null", "w");
  if (!con_out) std::abort();
  fatal_hook = throw_fatal_end;
}

// Runs f; false when it ended in a fatal error.
template <class F>
bool ends_normally(F f) {
  try {
    f();
    return true;
  } catch (const fatal_end&) {
    return false;
  }
}

// An invariant of the program that does not hold: a finding.
#define FUZZ_CHECK(cond)                                                 \
  do {                                                                   \
    if (!(cond)) {                                                       \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                      \
    }                                                                    \
  } while (0)
