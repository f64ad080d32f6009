// The stages that keep tables for the run, or reorder in one permutation,
// against the step-by-step stages of tests/plain_stages: the same console
// text, the same generator state and the same working state byte for byte
// after every stage; and whole runs against the bytes of the plain build.
#include <cfloat>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <unistd.h>

#include "driver/run.h"
#include "driver/state.h"
#include "output/output.h"
#include "platform/console.h"
#include "synth/synth.h"
#include "tests/plain_stages.h"
#include "tests/test_util.h"

namespace {

struct snapshot {
  synthesis_state s;
  uint32_t rand;
};

std::unique_ptr<snapshot> take() {
  auto p = std::make_unique<snapshot>();
  std::memcpy(static_cast<void*>(&p->s), &st, sizeof st);
  p->rand = rand15_state;
  return p;
}

void put(const snapshot& p) {
  std::memcpy(static_cast<void*>(&st), &p.s, sizeof st);
  rand15_state = p.rand;
}

// The three output streams of integth as temporary files; text() hands back
// what was written since the last call and empties the file.
struct streams {
  streams() {
    for (FILE*& f : file) f = std::tmpfile();
    st.accel_file = file[0];
    st.vel_file = file[1];
    st.disp_file = file[2];
  }
  ~streams() {
    for (FILE* f : file) std::fclose(f);
  }
  std::string text() {
    std::string all;
    for (FILE* f : file) {
      std::fflush(f);
      std::rewind(f);
      char buf[1 << 16];
      for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) all.append(buf, n);
      all += '|';
      std::rewind(f);
      EXPECT_EQ(::ftruncate(::fileno(f), 0), 0);
    }
    return all;
  }
  FILE* file[3];
};

// Runs the plain stage and then, from the same state, the fast one; expects
// the same console text, files, generator and state, and leaves the state
// as the fast stage left it.
void expect_same(void (*fast)(), void (*reference)(), const std::string& what, streams* out = nullptr) {
  auto before = take();
  std::string plain_text, fast_text, plain_files, fast_files;
  {
    console_capture cap;
    reference();
    plain_text = cap.text();
  }
  if (out) plain_files = out->text();
  auto expected = take();
  put(*before);
  {
    console_capture cap;
    fast();
    fast_text = cap.text();
  }
  if (out) fast_files = out->text();
  EXPECT_EQ(fast_text, plain_text) << what;
  EXPECT_TRUE(fast_files == plain_files) << what << ": the files differ";
  EXPECT_EQ(rand15_state, expected->rand) << what;
  const unsigned char* a = reinterpret_cast<const unsigned char*>(&st);
  const unsigned char* b = reinterpret_cast<const unsigned char*>(&expected->s);
  size_t at = 0;
  while (at < sizeof st && a[at] == b[at]) ++at;
  EXPECT_EQ(at, sizeof st) << what << ": the state differs first at byte " << at;
}

TEST(FastPath, BitReversalIsTheShuffleForEveryFrame) {
  std::mt19937 bitrev_gen(4242);
  std::uniform_real_distribution<float> u(-1, 1);
  for (int n = 1; n <= 16; ++n) {
    reset_state();
    st.m = st.ns = st.np = 1 << n;
    st.nstages = n;
    for (int i = 0; i < sample_cap; ++i) {
      st.cdata[i] = {u(bitrev_gen), u(bitrev_gen)};
      st.scratch[i] = {u(bitrev_gen), u(bitrev_gen)};
    }
    expect_same(bitrev, plain::bitrev, "bitrev m=" + std::to_string(st.m));
    expect_same(cbitrev, plain::cbitrev, "cbitrev m=" + std::to_string(st.m));
  }
}

TEST(FastPath, DrawLookupIsTheFirstMatchAtEveryDraw) {
  in_scratch here;
  reset_state();
  gauss();
  std::fclose(st.gauss_file);
  auto check_all = [](const char* table) {
    for (int r = 0; r < 32768; ++r)
      for (int sign : {16383, 16384}) {
        const float fast = noise_sample(r, sign), ref = plain::noise_sample(r, sign);
        ASSERT_EQ(std::memcmp(&fast, &ref, sizeof fast), 0) << table << " draw " << r << "/" << sign;
      }
  };
  check_all("the Gaussian table");
  // A table that overlaps itself low down: the lookup follows the table in
  // the state and its first match.
  std::swap(st.gauss_p[40], st.gauss_p[45]);
  st.gauss_p[300] = 0.2f;
  st.gauss_p[301] = 0.9f;
  check_all("a doctored table");
}

// A stage that opens "gauss.out", with the stream closed at once: its
// address is not the point.
template <void (*stage)()>
void closing() {
  stage();
  std::fclose(st.gauss_file);
  st.gauss_file = nullptr;
}

TEST(FastPath, GaussTableOnceMatchesEveryCall) {
  in_scratch here;
  reset_state();
  for (int call = 0; call < 2; ++call) {
    std::filesystem::remove(here.dir().file("gauss.out"));
    expect_same(closing<gauss>, closing<plain::gauss>, "gauss call " + std::to_string(call));
    EXPECT_TRUE(here.dir().exists("gauss.out"));
  }
}

// The long case's stages and smaller frames, three segments each, through
// the dialogue: each stage against its plain form from the same state.
TEST(FastPath, SegmentsStageByStage) {
  const struct {
    const char *duration, *rate;
    int m, nt;
  } cases[] = {{"1600", "8192", 65536, 65536},
               {"2", "4096", 16384, 8192},
               {"0.05", "5000", 512, 250},
               {"1", "4000", 8192, 4000},
               {"20", "8192", 65536, 65536}};
  const std::string dir = std::string(KESTRUNE_SOURCE_DIR) + "/examples/";
  for (const auto& c : cases) {
    in_scratch here;
    console_input(answers({dir + "psd.txt", dir + "sine.txt", "a.txt", "v.txt", "d.txt", c.duration, c.rate}));
    {
      console_capture quiet;
      run_dialogue();
      fftsize();
    }
    ASSERT_EQ(st.m, c.m);
    ASSERT_EQ(st.nt, c.nt);
    for (FILE* f : {st.accel_file, st.vel_file, st.disp_file}) std::fclose(f);
    streams out;
    const std::string frame = std::string("m=") + std::to_string(c.m) + " segment ";
    for (int seg = 1; seg <= 3; ++seg) {
      const std::string at = frame + std::to_string(seg) + ": ";
      expect_same(white, plain::white, at + "white");
      expect_same(fft, plain::fft, at + "fft");
      expect_same(scalefft, plain::scalefft, at + "scalefft");
      expect_same(ifft, plain::ifft, at + "ifft");
      {
        console_capture quiet;
        scaleth();
        addsine();
      }
      expect_same(integth, plain::integth, at + "integth", &out);
      if (testing::Test::HasFailure()) return;
    }
  }
}

// Bins of magnitude 0 keep the signs that cos and sin of their phase give:
// zeros of both signs, bins on and near the axes, near pi, infinities, NaN.
TEST(FastPath, ScalefftOnEveryKindOfBin) {
  const float tiny = 1e-30f, inf = INFINITY, nan = NAN;
  const cpx specials[] = {{0, 0},      {-0.0f, 0},    {0, -0.0f},   {-0.0f, -0.0f}, {1, 0},       {-1, 0},
                          {1, -0.0f},  {-1, -0.0f},   {0, 1},       {0, -1},        {-0.0f, 1},   {-0.0f, -1},
                          {tiny, 1},   {-tiny, 1},    {1, tiny},    {1, -tiny},     {-1, tiny},   {-1, -tiny},
                          {1, 1e-6f},  {-1, 1.2e-7f}, {-1, -3e-8f}, {3e-8f, -1},    {-3e-8f, 1},  {inf, 1},
                          {1, inf},    {-inf, -inf},  {nan, 1},     {1, nan},       {FLT_MAX, FLT_MIN},
                          {FLT_TRUE_MIN, -1},         {-FLT_MAX, -FLT_TRUE_MIN},    {0.3f, -0.4f}};
  const int count = int(sizeof specials / sizeof specials[0]);
  std::mt19937 bins_gen(77);
  std::normal_distribution<float> normal;
  // Grids: rising; not rising (the scan); and the same bins against a
  // changed PSD, which the bin magnitudes must follow.
  const std::vector<std::vector<float>> grids[] = {
      {{10, 20, 40, 80}, {1, 4, 16, 2}}, {{10, 40, 20, 80}, {1, 4, 16, 2}}, {{10, 20, 40, 80}, {1, 4, 8, 2}}};
  for (const auto& g : grids) {
    for (int shift = 0; shift < 3; ++shift) {
      reset_state();
      st.m = st.ns = st.np = st.ig = 256;
      st.df = 0.5f;
      st.npsd = 4;
      for (int j = 0; j < 4; ++j) {
        st.freq[j] = g[0][size_t(j)];
        st.psd[j] = g[1][size_t(j)];
      }
      for (int j = 0; j < 3; ++j)
        st.slope[j] = float(std::log(double(st.psd[j + 1]) / st.psd[j]) / std::log(double(st.freq[j + 1]) / st.freq[j]));
      for (int k = 0; k < 256; ++k) {
        st.fbin[k] = float(k * 0.5);
        st.cdata[k] = (k + shift) % 3 ? specials[(k + shift) % count] : cpx{normal(bins_gen), normal(bins_gen)};
      }
      if (shift == 2) {  // bins that fall back, and a NaN bin
        st.fbin[100] = 3;
        st.fbin[150] = nan;
      }
      expect_same(scalefft, plain::scalefft, "scalefft grid " + std::to_string(g[0][1]) + " shift " + std::to_string(shift));
    }
  }
}

// 64-bit FNV-1a of a text.
uint64_t fnv(const std::string& s) {
  uint64_t h = 0xcbf29ce484222325u;
  for (unsigned char c : s) h = (h ^ c) * 0x100000001b3u;
  return h;
}

// Whole runs on the shipped example against the bytes the step-by-step
// build (before the per-run tables and the own formatting) wrote.
TEST(FastPath, WholeRunsWriteThePlainBuildsBytes) {
  const struct {
    const char *duration, *rate;
    uint64_t accel, vel, disp, console;
  } cases[] = {
      {"20", "8192", 0x5eff34d8714f844du, 0xb6e5d105649498dbu, 0x196b682ba12a55fdu, 0x08fd29451f4b0014u},
      {"3", "4100", 0xaac4a0e310f0bd17u, 0xe2efb48b71de3547u, 0xa7eda032bbe5f353u, 0xceb3eb44b47c962bu},
  };
  const std::string ex = std::string(KESTRUNE_SOURCE_DIR) + "/examples/";
  for (const auto& c : cases) {
    scratch_dir d;
    d.write("psd.txt", read_file(ex + "psd.txt"));
    d.write("sine.txt", read_file(ex + "sine.txt"));
    run_result r = run_kestrune(d.path(), answers({"psd.txt", "sine.txt", "a.txt", "v.txt", "d.txt", c.duration, c.rate}));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(fnv(d.read("a.txt")), c.accel) << c.rate;
    EXPECT_EQ(fnv(d.read("v.txt")), c.vel) << c.rate;
    EXPECT_EQ(fnv(d.read("d.txt")), c.disp) << c.rate;
    EXPECT_EQ(fnv(r.out), c.console) << c.rate;
  }
}

}  // namespace
