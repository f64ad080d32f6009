// kestrune-verify on a history of one million samples (50 s at 20000
// samples/s): seeded white noise at 0.04 G^2/Hz plus the example's three
// tones, written as kestrune writes it. Timings are for people to read; CI
// only runs this briefly to keep it working.
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "platform/format.h"
#include "verify/check.h"
#include "verify/history.h"
#include "verify/spec.h"

namespace {

constexpr int samples = 1000000;
constexpr double fs = 20000;

struct bench_files {
  std::string dir, psd, sine, accel;
  bench_files() {
    dir = (std::filesystem::temp_directory_path() / "kverify-bench").string();
    std::filesystem::create_directories(dir);
    psd = dir + "/psd.txt";
    sine = dir + "/sine.txt";
    accel = dir + "/accel.txt";
    const double level = 0.04;  // G^2/Hz, one-sided
    FILE* f = std::fopen(psd.c_str(), "w");
    std::fprintf(f, "20 %g\n2000 %g\n", level, level);
    std::fclose(f);
    f = std::fopen(sine.c_str(), "w");
    std::fprintf(f, "100 2.0\n250 1.5\n500 1.0\n");
    std::fclose(f);

    std::mt19937_64 gen(42);
    std::normal_distribution<double> normal(0, std::sqrt(level * fs / 2));
    const double two_pi = 2 * std::acos(-1.0);
    f = std::fopen(accel.c_str(), "w");
    for (int i = 0; i < samples; ++i) {
      double t = i / fs;
      double a = normal(gen) + 2.0 * std::sin(two_pi * 100 * t) + 1.5 * std::sin(two_pi * 250 * t) +
                 1.0 * std::sin(two_pi * 500 * t);
      kfprintf(f, "%14.7e %14.7e\n", t, a);
    }
    std::fclose(f);
  }
  ~bench_files() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

const bench_files& files() {
  static bench_files f;
  return f;
}

// What the program does before its report: both specification files, the
// history file, and the analysis.
void BM_AnalyseFile(benchmark::State& state) {
  const bench_files& f = files();
  for (auto _ : state) {
    specification spec = read_specification(f.psd, f.sine);
    history h = read_history(f.accel);
    verification v = verify(spec, h, verify_options{});
    if (!v.pass()) state.SkipWithError("the benchmark's history should pass");
    benchmark::DoNotOptimize(v.band.share);
  }
}
BENCHMARK(BM_AnalyseFile)->Unit(benchmark::kMillisecond);

void BM_ReadHistory(benchmark::State& state) {
  const bench_files& f = files();
  for (auto _ : state) {
    history h = read_history(f.accel);
    benchmark::DoNotOptimize(h.accel.data());
  }
}
BENCHMARK(BM_ReadHistory)->Unit(benchmark::kMillisecond);

void BM_VerifyInMemory(benchmark::State& state) {
  const bench_files& f = files();
  specification spec = read_specification(f.psd, f.sine);
  history h = read_history(f.accel);
  for (auto _ : state) {
    verification v = verify(spec, h, verify_options{});
    benchmark::DoNotOptimize(v.band.share);
  }
}
BENCHMARK(BM_VerifyInMemory)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
