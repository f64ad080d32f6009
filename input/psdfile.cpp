#include <limits>
#include <sys/stat.h>

#include "driver/state.h"
#include "input/input_common.h"
#include "platform/console.h"

file_identity psd_identity, sine_identity;

namespace {

// The input file's scanner lives here rather than on the stack: its block
// buffer is large.
text_scanner file_in;

}  // namespace

bool outside_float(double v) {
  double a = v < 0 ? -v : v;
  return a > double(std::numeric_limits<float>::max()) ||
         (a != 0 && a < double(std::numeric_limits<float>::min()));
}

text_scanner& open_input(file_identity& id) {
  if (!con_read_word(st.input_name, name_cap))
    fatal("\n Error:  file names may not exceed 259 characters \n");
  st.input_file = std::fopen(st.input_name, "rb");
  struct stat sb;
  if (st.input_file && (fstat(fileno(st.input_file), &sb) != 0 || S_ISDIR(sb.st_mode))) {
    std::fclose(st.input_file);  // a folder opens but holds no text
    st.input_file = nullptr;
  }
  if (!st.input_file) fatal(" Failed to open file: %s \n", st.input_name);
  id.dev = (unsigned long)sb.st_dev;
  id.ino = (unsigned long)sb.st_ino;
  id.regular = S_ISREG(sb.st_mode);
  kprintf(" File: %s opened. \n", st.input_name);
  file_in.attach_file(st.input_file);
  return file_in;
}

// A read error is not the end of the file: stopping there quietly would
// take a part of the specification for the whole.
void check_read(text_scanner& in) {
  if (in.failed()) fatal("\n Error:  failed to read file: %s \n", st.input_name);
}

void read_psd_pairs(text_scanner& in) {
  double f = 0, p = 0;  // holders keep their values from scan to scan
  int k = 0;
  for (int scans = 0; scans < table_cap;) {
    if (scan_pair(in, f, p) == 0) break;
    if (f < 0) fatal("\n Error: frequencies must be >0;");
    if (p < 0) fatal("\n Error: psd must be > 0;");
    if (p == 0) p = 1e-30;
    if (f > 0) {
      if (outside_float(f) || outside_float(p)) fatal("\n Error: number out of range;");
      st.freq[k] = float(f);
      st.psd[k] = float(p);
      st.fmax = float(f);
      kprintf("%14.5g  %14.5g \n", f, p);
      if (k >= 1 && st.freq[k] < st.freq[k - 1]) {
        kprintf("\n k=%ld  freq[k]=%14.5g  freq[k-1]=%14.5g \n", k, double(st.freq[k]),
                double(st.freq[k - 1]));
        fatal("\n Error: frequencies must be in ascending order");
      }
      ++k;
      st.npsd = k;
    }
    ++scans;
  }
  check_read(in);
}

void read_psd_file() {
  kprintf("\n Enter the name of the PSD input file. \n");
  text_scanner& in = open_input(psd_identity);
  st.npsd = 0;
  kprintf("\n\n");
  read_psd_pairs(in);
  if (st.npsd < 2) fatal("\n Error:  at least two coordinates are required.");
  std::fclose(st.input_file);
  st.input_file = nullptr;
  kprintf("\n npsd=%ld \n", st.npsd);
}
