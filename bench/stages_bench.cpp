// Microbenchmarks of the segment stages on the long case's frame (m = 65536,
// the example PSD and tones, 8192 samples/sec). Each benchmark brings the
// working state to the point where its stage starts, keeps a copy of it and
// restores that copy, outside the timed region, before every call. The
// console and the three output streams go to /dev/null.
//
// Only the stage functions and the working state are used, so the same
// source builds against an older tree for a before/after comparison.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "driver/run.h"
#include "driver/state.h"
#include "output/output.h"
#include "platform/console.h"
#include "synth/synth.h"

namespace {

// The dialogue's answers for the long case, outputs to /dev/null.
std::string answers_text() {
  const std::string ex = std::string(KESTRUNE_SOURCE_DIR) + "/examples/";
  return ex + "psd.txt\n" + ex + "sine.txt\n/dev/null\n/dev/null\n/dev/null\n1600\n8192\n";
}

using stage = void (*)();

// The stages of one segment in the order of the run driver.
const stage pipeline[] = {white, fft, scalefft, ifft, scaleth, addsine, integth};

synthesis_state saved;
uint32_t saved_rand;

void save() {
  std::memcpy(static_cast<void*>(&saved), &st, sizeof st);
  saved_rand = rand15_state;
}

void restore() {
  std::memcpy(static_cast<void*>(&st), &saved, sizeof st);
  rand15_state = saved_rand;
}

// Runs the dialogue and frame sizing once, then one full segment so that
// every table a stage may keep from the first segment exists, then the
// stages of a second segment up to the one measured.
void prepare(int index) {
  static std::string text;
  static bool dialogue_done = false;
  static synthesis_state after_dialogue;
  static uint32_t rand_after_dialogue;
  if (!dialogue_done) {
    text = answers_text();
    con_in().attach_memory(text.data(), text.size());
    run_dialogue();
    fftsize();
    std::memcpy(static_cast<void*>(&after_dialogue), &st, sizeof st);
    rand_after_dialogue = rand15_state;
    dialogue_done = true;
  }
  std::memcpy(static_cast<void*>(&st), &after_dialogue, sizeof st);
  rand15_state = rand_after_dialogue;
  for (stage s : pipeline) s();
  for (int i = 0; i < index; ++i) pipeline[i]();
  save();
}

void run_stage(benchmark::State& state, int index) {
  prepare(index);
  for (auto _ : state) {
    state.PauseTiming();
    restore();
    state.ResumeTiming();
    pipeline[index]();
    benchmark::ClobberMemory();
  }
  std::fflush(nullptr);
}

void BM_white(benchmark::State& s) { run_stage(s, 0); }
void BM_fft(benchmark::State& s) { run_stage(s, 1); }
void BM_scalefft(benchmark::State& s) { run_stage(s, 2); }
void BM_ifft(benchmark::State& s) { run_stage(s, 3); }
void BM_scaleth(benchmark::State& s) { run_stage(s, 4); }
void BM_addsine(benchmark::State& s) { run_stage(s, 5); }
// Integration with the formatting and writing of 3 x 65536 lines.
void BM_integth(benchmark::State& s) { run_stage(s, 6); }

BENCHMARK(BM_white)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_fft)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_scalefft)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ifft)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_scaleth)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_addsine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_integth)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // white() recreates "gauss.out" in the working folder: use a scratch one.
  std::string dir = (std::filesystem::temp_directory_path() / "kestrune-bench-XXXXXX").string();
  if (!::mkdtemp(dir.data())) return 1;
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  con_out = std::fopen("/dev/null", "w");

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::filesystem::current_path(old);
  std::filesystem::remove_all(dir);
  return 0;
}
