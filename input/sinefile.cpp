#include "driver/state.h"
#include "input/input_common.h"
#include "platform/console.h"

void read_sine_pairs(text_scanner& in) {
  double f = 0, a = 0;  // holders keep their values from scan to scan
  int k = 0;
  for (int scans = 0; scans < table_cap;) {
    if (scan_pair(in, f, a) == 0) break;
    if (f < 0) fatal("\n Error: frequencies must be >0;");
    if (a < 0) fatal("\n Error: sine amplitude must be > 0;");
    if (f > 0) {
      if (outside_float(f) || outside_float(a)) fatal("\n Error: number out of range;");
      st.sine_freq[k] = float(f);
      st.sine_amp[k] = float(a);
      if (st.fsine_max < st.sine_freq[k]) st.fsine_max = st.sine_freq[k];
      kprintf("%14.5g  %14.5g \n", f, a);
      ++k;
      st.nsine = k;
    }
    ++scans;
  }
  check_read(in);
}

void read_sine_file() {
  kprintf("\n Enter the name of the Sine input file. \n");
  text_scanner& in = open_input(sine_identity);
  st.nsine = 0;
  kprintf("\n\n");
  read_sine_pairs(in);
  // Closed as soon as it is read: nothing reads it again.
  std::fclose(st.input_file);
  st.input_file = nullptr;
}
