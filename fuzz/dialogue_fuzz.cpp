// Fuzz target: the bytes are what is typed at the console. The dialogue runs
// from the banner to frame sizing over small fixed PSD and sine files in a
// scratch folder, and either ends in one of its fatal errors or leaves a
// frame that the segment loop can run.
//
// Every name is kept inside the scratch folder: '/' in the input becomes
// '_', so no output name can reach a file or device elsewhere, and the run
// works in that folder while the fuzzer keeps its own. The fixed
// files are written anew before each input (an output name may truncate one
// that the run does not read), and whatever else the run created is removed.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "driver/run.h"
#include "driver/state.h"
#include "fuzz/fuzz_common.h"
#include "input/readers.h"

namespace {

struct fixed_file {
  const char* name;
  const char* text;
};
const fixed_file fixed[] = {
    {"psd.txt", "20 0.01\n80 0.04\n350 0.04\n2000 0.01\n"},
    {"sine.txt", "100 2\n250 1.5\n"},
    {"flat.txt", "10 0.01 1000 0.01"},
    {"none.txt", ""},
};

bool is_fixed(const char* name) {
  for (const auto& f : fixed)
    if (std::strcmp(name, f.name) == 0) return true;
  return false;
}

void write_fixed() {
  for (const auto& f : fixed) {
    FILE* out = std::fopen(f.name, "w");
    if (!out) std::abort();
    std::fputs(f.text, out);
    std::fclose(out);
  }
}

void remove_others() {
  DIR* d = ::opendir(".");
  if (!d) std::abort();
  while (dirent* e = ::readdir(d)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0 || is_fixed(e->d_name))
      continue;
    ::unlink(e->d_name);
  }
  ::closedir(d);
}

void close_streams() {
  for (FILE** f : {&st.accel_file, &st.vel_file, &st.disp_file, &st.input_file, &st.gauss_file}) {
    if (*f) std::fclose(*f);
    *f = nullptr;
  }
}

// The frame the segment loop relies on.
void check_frame() {
  FUZZ_CHECK(st.nt >= 1 && st.nt <= sample_cap);
  FUZZ_CHECK(st.m >= st.nt && st.m <= sample_cap && (st.m & (st.m - 1)) == 0);
  FUZZ_CHECK(st.ns == st.m && st.np == st.m && (1 << st.nstages) == st.m);
  FUZZ_CHECK(std::isfinite(st.dt) && st.dt > 0);
  FUZZ_CHECK(std::isfinite(st.df) && st.df > 0);
  FUZZ_CHECK(st.accel_file && st.vel_file && st.disp_file);
}

std::string typed;
char scratch[64];
int home = -1;  // the fuzzer's own working folder, for its corpus and artifacts

// In memory where the system has a tmpfs: every input creates and removes
// files, and on a disk that costs more than the run itself.
bool make_scratch() {
  for (const char* base : {"/dev/shm", "/tmp"}) {
    std::snprintf(scratch, sizeof scratch, "%s/kestrune-fuzz-XXXXXX", base);
    if (::mkdtemp(scratch)) return true;
  }
  return false;
}
void enter_scratch() {
  if (::chdir(scratch) != 0) std::abort();
}
void leave_scratch() {
  if (::fchdir(home) != 0) std::abort();
}

void remove_scratch() {
  enter_scratch();
  for (const auto& f : fixed) ::unlink(f.name);
  remove_others();
  leave_scratch();
  ::rmdir(scratch);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  home = ::open(".", O_RDONLY | O_DIRECTORY);
  if (home < 0 || !make_scratch()) std::abort();
  std::atexit(remove_scratch);
  fuzz_setup_console();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  typed.assign(reinterpret_cast<const char*>(data), size);
  for (char& c : typed)
    if (c == '/') c = '_';

  enter_scratch();
  write_fixed();
  reset_state();
  psd_identity = sine_identity = file_identity{};
  con_in().attach_memory(typed.data(), typed.size());
  if (ends_normally([] {
        run_dialogue();
        fftsize();
      }))
    check_frame();
  close_streams();
  remove_others();
  leave_scratch();
  return 0;
}
