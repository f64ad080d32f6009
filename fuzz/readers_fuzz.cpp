// Fuzz target: the bytes are a PSD file and, separately, a sine file. Each
// reader either fills its tables, which then satisfy what the later stages
// rely on, or ends in one of its fatal errors. A PSD that is accepted is put
// on the fine grid and integrated, as the run does next.
#include <cmath>
#include <cstdint>

#include "analysis/analysis.h"
#include "driver/state.h"
#include "fuzz/fuzz_common.h"
#include "input/readers.h"

namespace {

text_scanner in;  // static: its block buffer is large

bool normal_positive(float v) { return std::isnormal(v) && v > 0; }

void check_breakpoints() {
  FUZZ_CHECK(st.npsd >= 0 && st.npsd <= table_cap);
  for (int k = 0; k < st.npsd; ++k) {
    FUZZ_CHECK(normal_positive(st.freq[k]));
    FUZZ_CHECK(normal_positive(st.psd[k]));
    if (k > 0) FUZZ_CHECK(st.freq[k] >= st.freq[k - 1]);
  }
  if (st.npsd > 0) FUZZ_CHECK(st.fmax == st.freq[st.npsd - 1]);
}

void check_grid(float first) {
  FUZZ_CHECK(st.npsd >= 1 && st.npsd <= table_cap);
  FUZZ_CHECK(st.freq[0] == first);
  for (int n = 0; n < st.npsd; ++n) {
    FUZZ_CHECK(st.freq[n] <= st.fmax);
    if (n > 0) FUZZ_CHECK(st.freq[n] > st.freq[n - 1]);
    FUZZ_CHECK(std::isfinite(st.psd[n]) && st.psd[n] > 0);
  }
}

void check_tones() {
  FUZZ_CHECK(st.nsine >= 0 && st.nsine <= table_cap);
  float largest = 0;
  for (int k = 0; k < st.nsine; ++k) {
    FUZZ_CHECK(normal_positive(st.sine_freq[k]));
    FUZZ_CHECK(st.sine_amp[k] == 0 || normal_positive(st.sine_amp[k]));
    if (st.sine_freq[k] > largest) largest = st.sine_freq[k];
  }
  FUZZ_CHECK(st.fsine_max == largest);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_setup_console();
  const char* text = reinterpret_cast<const char*>(data);

  reset_state();
  in.attach_memory(text, size);
  if (ends_normally([] { read_psd_pairs(in); })) {
    check_breakpoints();
    if (st.npsd >= 2) {
      const float first = st.freq[0];
      if (ends_normally(intlog)) {
        check_grid(first);
        rms_accel();
        rms_vel();
        rms_disp();
        FUZZ_CHECK(!(st.grms < 0));
      }
    }
  }

  reset_state();
  in.attach_memory(text, size);
  if (ends_normally([] { read_sine_pairs(in); })) check_tones();
  return 0;
}
