// kestrune-verify as a program: kestrune's own histories, the fail cases,
// bad input and the command line.
#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <sys/wait.h>

#include "platform/format.h"
#include "verify_test_util.h"

namespace {

struct run_result {
  int status = -1;
  std::string out, err;
};

// Runs kestrune-verify with the arguments in dir.
run_result verify_in(const scratch_dir& dir, const std::string& args) {
  std::string cmd = "cd '" + dir.path() + "' && '" VERIFY_EXE "' " + args + " >verify.out 2>verify.err";
  int rc = std::system(cmd.c_str());
  run_result r;
  r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  r.out = read_file(dir / "verify.out");
  r.err = read_file(dir / "verify.err");
  return r;
}

// Runs kestrune in dir on the specification given as text; the history goes
// to accel_name.
void synthesise(const scratch_dir& dir, const std::string& psd, const std::string& sine,
                const char* duration, const char* rate, const std::string& accel_name) {
  dir.write("syn_psd.txt", psd);
  dir.write("syn_sine.txt", sine);
  dir.write("answers.txt", "syn_psd.txt\nsyn_sine.txt\n" + accel_name + "\nsyn_vel.txt\nsyn_disp.txt\n" +
                               duration + "\n" + rate + "\n");
  std::string cmd = "cd '" + dir.path() + "' && '" KESTRUNE_EXE "' <answers.txt >kestrune.out 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << read_file(dir / "kestrune.out");
}

const std::string example_psd = read_file(KESTRUNE_SOURCE_DIR "/examples/psd.txt");
const std::string example_sine = read_file(KESTRUNE_SOURCE_DIR "/examples/sine.txt");

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(VerifyProgram, ShippedExamplePassesAndTwiceItFails) {
  scratch_dir dir;
  dir.write("psd.txt", example_psd);
  dir.write("sine.txt", example_sine);
  synthesise(dir, example_psd, example_sine, "10", "20000", "accel.txt");

  run_result r = verify_in(dir, "psd.txt sine.txt accel.txt --plot plot.svg");
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(has(r.out, "Result: PASS")) << r.out;
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(has(read_file(dir / "plot.svg"), "<svg"));
  r = verify_in(dir, "psd.txt sine.txt accel.txt --plot plot.PDF");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(read_file(dir / "plot.PDF").rfind("%PDF", 0), 0u);

  // The same history at twice the level: +6 dB.
  std::string doubled, text = read_file(dir / "accel.txt");
  std::istringstream lines(text);
  for (double t, a; lines >> t >> a;) doubled += kformat("%14.7e %14.7e\n", t, 2 * a);
  dir.write("doubled.txt", doubled);
  r = verify_in(dir, "psd.txt sine.txt doubled.txt");
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  for (const char* failure : {"\n  tone 100 Hz: ", "\n  tone 250 Hz: ", "\n  tone 500 Hz: ",
                              "\n  random PSD: 0.0 % of"})
    EXPECT_TRUE(has(r.out, failure)) << failure << "\n" << r.out;
}

TEST(VerifyProgram, HistoryWithoutOneToneFailsOnThatTone) {
  scratch_dir dir;
  dir.write("psd.txt", example_psd);
  dir.write("sine.txt", example_sine);
  synthesise(dir, example_psd, "100 2.0\n500 1.0\n", "10", "20000", "accel.txt");
  run_result r = verify_in(dir, "psd.txt sine.txt accel.txt");
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  std::string verdict = r.out.substr(r.out.find("Result: FAIL"));
  EXPECT_TRUE(has(verdict, "\n  tone 250 Hz: ")) << verdict;
  EXPECT_FALSE(has(verdict, "tone 100 Hz") || has(verdict, "tone 500 Hz") || has(verdict, "random PSD"))
      << verdict;
}

TEST(VerifyProgram, HistoryTenDecibelsLowAbove500HzFailsThere) {
  scratch_dir dir;
  dir.write("psd.txt", example_psd);
  dir.write("sine.txt", example_sine);
  // The example's PSD below 500 Hz, a tenth of it above.
  double p500 = 0.04 * std::pow(500 / 350.0, std::log(0.007 / 0.04) / std::log(2000 / 350.0));
  std::string low = kformat("20 0.01\n80 0.04\n350 0.04\n500 %.9g\n500 %.9g\n2000 0.0007\n", p500,
                            p500 / 10);
  synthesise(dir, low, example_sine, "10", "20000", "accel.txt");
  run_result r = verify_in(dir, "psd.txt sine.txt accel.txt");
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  std::string verdict = r.out.substr(r.out.find("Result: FAIL"));
  EXPECT_TRUE(has(verdict, "\n  random PSD: ")) << verdict;
  EXPECT_FALSE(has(verdict, "tone")) << verdict;
  // Every line outside the band lies above 500 Hz, less the window's reach.
  size_t at = r.out.find("lines outside lie between ");
  ASSERT_NE(at, std::string::npos) << r.out;
  EXPECT_GT(std::stod(r.out.substr(at + 26)), 495) << r.out.substr(at, 60);
}

TEST(VerifyProgram, SteepSpecificationAndTonesAtTheBandEdgesPass) {
  struct spec_case {
    const char* name;
    const char* psd;
    const char* sine;
  };
  // The tones are large enough against the random part around them that a
  // right history meets the 10 % tolerance by more than three of the
  // report's 1-sigma, whatever the realisation.
  const spec_case cases[] = {
      // +12.6 dB/octave up to 60 Hz, -20 dB/octave from 500 Hz.
      {"steep", "20 0.0005\n60 0.05\n500 0.05\n1000 0.0005\n", "150 3.0\n"},
      {"tones at the band edges", "50 0.02\n1000 0.02\n", "52 2.0\n990 2.0\n"},
  };
  for (const spec_case& c : cases) {
    scratch_dir dir;
    dir.write("psd.txt", c.psd);
    dir.write("sine.txt", c.sine);
    synthesise(dir, c.psd, c.sine, "8", "10000", "accel.txt");
    run_result r = verify_in(dir, "psd.txt sine.txt accel.txt --plot plot.svg");
    EXPECT_EQ(r.status, 0) << c.name << "\n" << r.out << r.err;
    EXPECT_TRUE(has(read_file(dir / "plot.svg"), "<svg")) << c.name;
  }
}

// A short history of seeded white noise at 0.0005 G^2/Hz from 20 to 1000 Hz,
// sampled at 4000 samples/s, and its specification.
void write_noise_case(const scratch_dir& dir, int n) {
  std::mt19937_64 gen(1234);
  std::normal_distribution<double> normal(0, std::sqrt(0.0005 * 4000 / 2));
  std::string text;
  for (int i = 0; i < n; ++i) text += kformat("%14.7e %14.7e\n", i / 4000.0, normal(gen));
  dir.write("noise.txt", text);
  dir.write("psd.txt", "20 0.0005\n1000 0.0005\n");
  dir.write("sine.txt", "");
}

TEST(VerifyProgram, BadInputIsReportedOnStandardErrorWithStatus2) {
  struct bad_case {
    const char* args;
    const char* expected;  // in standard error
  };
  const bad_case cases[] = {
      {"psd.txt sine.txt missing.txt", "cannot open the acceleration file missing.txt"},
      {"missing.txt sine.txt noise.txt", "cannot open the PSD file missing.txt"},
      {"psd.txt sine.txt header.txt", "header.txt:1: the time is not a number"},
      {"psd.txt sine.txt jitter.txt", "jitter.txt:1001: the time step is not uniform"},
      {"psd.txt sine.txt short.txt", "too short for one analysis frame"},
      {"psd.txt sine.txt noise.txt --resolution 0.1", "too short for one analysis frame"},
      {"psd.txt sine.txt noise.txt --plot plot.jpg", "must end in .svg, .pdf"},
      {"psd.txt sine.txt noise.txt --plot no/such/dir/plot.svg", "cannot write the plot file"},
      {"psd.txt sine.txt noise.txt --tolerance -3", "--tolerance"},
      {"psd.txt sine.txt noise.txt --frobnicate", "frobnicate"},
      {"psd.txt sine.txt", "ACCEL_FILE"},
  };
  scratch_dir dir;
  write_noise_case(dir, 8192);
  std::string noise = read_file(dir / "noise.txt");
  dir.write("header.txt", "time accel\n" + noise);
  auto line_start = [&](int line) {
    size_t at = 0;
    for (int i = 1; i < line; ++i) at = noise.find('\n', at) + 1;
    return at;
  };
  std::string jitter = noise;
  jitter.replace(line_start(1001), 14, kformat("%14.7e", 1000.6 / 4000));
  dir.write("jitter.txt", jitter);
  dir.write("short.txt", noise.substr(0, line_start(41)));
  for (const bad_case& c : cases) {
    run_result r = verify_in(dir, c.args);
    EXPECT_EQ(r.status, 2) << c.args << "\n" << r.err;
    EXPECT_TRUE(has(r.err, c.expected)) << c.args << "\n" << r.err;
    EXPECT_EQ(r.out, "") << c.args;
  }
  // The history itself is fine.
  run_result r = verify_in(dir, "psd.txt sine.txt noise.txt");
  EXPECT_EQ(r.status, 0) << r.out << r.err;
}

TEST(VerifyProgram, HelpAndVersion) {
  scratch_dir dir;
  run_result r = verify_in(dir, "--help");
  EXPECT_EQ(r.status, 0);
  for (const char* part : {"PSD_FILE", "SINE_FILE", "ACCEL_FILE", "--sine-tolerance", "--tolerance",
                           "--lines-within", "--resolution", "--plot", "--version"})
    EXPECT_TRUE(has(r.out, part)) << part;
  r = verify_in(dir, "--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("kestrune-verify ", 0), 0u) << r.out;
}

}  // namespace
