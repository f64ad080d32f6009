// kestrune-verify's inputs: the specification through kestrune's readers,
// and the acceleration history.
#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "platform/console.h"
#include "platform/format.h"
#include "verify/errors.h"
#include "verify/history.h"
#include "verify/spec.h"
#include "verify_test_util.h"

namespace {

// The message of the input_error that fn throws; "" when it throws none.
template <class F>
std::string error_of(F&& fn) {
  try {
    fn();
  } catch (const input_error& e) {
    return e.what();
  }
  return "";
}

// ---------------------------------------------------------------------------
// Specification

const char* const good_psd = "20 0.01\n80 0.04\n350 0.04\n2000 0.007\n";
const char* const good_sine = "100 2.0\n250 1.5\n500 1.0\n";

TEST(VerifySpec, ReadsTheShippedExample) {
  specification spec = read_specification(KESTRUNE_SOURCE_DIR "/examples/psd.txt",
                                          KESTRUNE_SOURCE_DIR "/examples/sine.txt");
  EXPECT_EQ(spec.freq, (std::vector<double>{20, 80, 350, 2000}));
  ASSERT_EQ(spec.psd.size(), 4u);
  EXPECT_EQ(spec.psd[1], double(0.04f));  // kestrune's tables are float
  EXPECT_EQ(spec.tone_freq, (std::vector<double>{100, 250, 500}));
  EXPECT_EQ(spec.tone_amp, (std::vector<double>{2, 1.5, 1}));
  EXPECT_NEAR(spec.grms, 6.058, 0.001);  // kestrune reports 6.0581675 for it
  EXPECT_TRUE(spec.warnings.empty());
  // The readers' echo went nowhere near standard output, and the console
  // is kestrune's again.
  EXPECT_EQ(con_out, stdout);
  EXPECT_EQ(fatal_hook, nullptr);
}

TEST(VerifySpec, TonesAtOneFrequencyAddUpAndZeroTonesAreDropped) {
  scratch_dir dir;
  specification spec = read_specification(dir.write("p.txt", good_psd),
                                          dir.write("s.txt", "250 1.5\n100 2\n250 0.5\n300 0\n"));
  EXPECT_EQ(spec.tone_freq, (std::vector<double>{100, 250}));
  EXPECT_EQ(spec.tone_amp, (std::vector<double>{2, 2}));
  EXPECT_EQ(spec.zero_tones, 1);
}

TEST(VerifySpec, TextAfterThePairsIsReportedAsAWarning) {
  scratch_dir dir;
  specification spec = read_specification(dir.write("p.txt", good_psd),
                                          dir.write("s.txt", "frequency peak\n100 2\n"));
  EXPECT_TRUE(spec.tone_freq.empty());  // kestrune reads no tone from it either
  ASSERT_EQ(spec.warnings.size(), 1u);
  EXPECT_NE(spec.warnings[0].find("sine file"), std::string::npos);
}

TEST(VerifySpec, RefusedFilesNameTheFileAndTheReason) {
  struct bad_case {
    const char* psd;
    const char* sine;  // nullptr: no such file
    const char* expected;
  };
  const bad_case cases[] = {
      {"freq psd\n20 0.01\n2000 0.01\n", good_sine, "PSD file p.txt: at least two coordinates"},
      {"20 0.01\n", good_sine, "at least two coordinates are required"},
      {"20 0.01\n10 0.01\n", good_sine,
       "k=1 freq[k]= 10 freq[k-1]= 20; frequencies must be in ascending order"},
      {"20 -0.01\n2000 0.01\n", good_sine, "PSD file p.txt: psd must be > 0;"},
      {"-20 0.01\n2000 0.01\n", good_sine, "frequencies must be >0;"},
      {good_psd, "100 -2\n", "sine file s.txt: sine amplitude must be > 0;"},
      {good_psd, nullptr, "cannot open the sine file"},
  };
  for (const bad_case& c : cases) {
    scratch_dir dir;
    std::string p = dir.write("p.txt", c.psd);
    std::string s = c.sine ? dir.write("s.txt", c.sine) : dir / "s.txt";
    std::string msg = error_of([&] { read_specification(p, s); });
    // Paths in the message are the full ones; compare from the file name on.
    size_t at = msg.find(dir.path() + "/");
    while (at != std::string::npos) {
      msg.erase(at, dir.path().size() + 1);
      at = msg.find(dir.path() + "/");
    }
    EXPECT_NE(msg.find(c.expected), std::string::npos) << c.psd << " | " << msg;
    EXPECT_EQ(con_out, stdout);
  }
  EXPECT_NE(error_of([] { read_specification("/nonexistent/p.txt", "s.txt"); })
                .find("cannot open the PSD file /nonexistent/p.txt"),
            std::string::npos);
}

TEST(VerifySpec, LogLogRmsMatchesClosedForms) {
  struct rms_case {
    std::vector<double> f, p;
    double area;  // G^2
  };
  const double ln10 = std::log(10.0);
  const rms_case cases[] = {
      {{20, 2000}, {0.04, 0.04}, 0.04 * 1980},                           // flat
      {{10, 100}, {0.1, 0.01}, 0.1 * 10 * ln10},                         // slope -1: logarithmic
      {{10, 100}, {0.01, 1}, 0.01 / (10.0 * 10) * (1e6 - 1e3) / 3},      // P = c f^2
      {{10, 100, 100, 200}, {0.1, 0.1, 0.01, 0.01}, 0.1 * 90 + 0.01 * 100},  // a step
  };
  for (const rms_case& c : cases)
    EXPECT_NEAR(loglog_rms(c.f, c.p), std::sqrt(c.area), 1e-12 * std::sqrt(c.area));
}

TEST(VerifySpec, LogLogInterpolation) {
  std::vector<double> f = {10, 100, 100, 1000}, p = {0.01, 1, 0.1, 0.001};
  EXPECT_DOUBLE_EQ(loglog_at(f, p, 10), 0.01);
  EXPECT_NEAR(loglog_at(f, p, std::sqrt(1000.0)), 0.1, 1e-15);  // geometric means
  EXPECT_DOUBLE_EQ(loglog_at(f, p, 100), 0.1);                  // the later side of a step
  EXPECT_NEAR(loglog_at(f, p, std::sqrt(1e5)), 0.01, 1e-15);
  EXPECT_DOUBLE_EQ(loglog_at(f, p, 1000), 0.001);
}

// ---------------------------------------------------------------------------
// History

// Lines "t a" as kestrune writes them, for t = t0 + i dt.
std::string kestrune_lines(int n, double t0, double dt) {
  std::string s;
  for (int i = 0; i < n; ++i) s += kformat("%14.7e %14.7e\n", t0 + i * dt, std::sin(0.1 * i));
  return s;
}

TEST(VerifyHistory, ReadsKestruneOutput) {
  scratch_dir dir;
  history h = read_history(dir.write("a.txt", kestrune_lines(1000, 0, 5e-5)));
  ASSERT_EQ(h.accel.size(), 1000u);
  EXPECT_NEAR(h.dt, 5e-5, 1e-13);
  EXPECT_EQ(h.t0, 0);
  EXPECT_NEAR(h.accel[10], std::sin(1.0), 1e-7);
}

TEST(VerifyHistory, AcceptsOtherToolsLayouts) {
  struct layout {
    const char* name;
    std::string text;
    size_t n;
  };
  const layout cases[] = {
      {"tabs, CRLF and blank lines", "0\t1\r\n\r\n0.001\t2\r\n0.002\t3\r\n\n", 3},
      {"no final line end", "0 1\n0.001 2\n0.002 3", 3},
      {"leading blanks and signs", "  +0.0  -1e-1\n 1E-3 .5\n", 2},
      // Eight digits far from zero: the step shows as 0.9, 1.0 or 1.1 ms.
      {"times rounded to eight digits", kestrune_lines(5000, 1000.00004, 1e-3), 5000},
  };
  for (const layout& c : cases) {
    scratch_dir dir;
    std::string msg;
    history h;
    msg = error_of([&] { h = read_history(dir.write("a.txt", c.text)); });
    EXPECT_EQ(msg, "") << c.name;
    EXPECT_EQ(h.accel.size(), c.n) << c.name;
  }
}

TEST(VerifyHistory, RefusesWithTheLineWhereItBreaks) {
  struct bad_case {
    const char* name;
    std::string text;
    const char* expected;  // after "a.txt:"
  };
  std::string good = kestrune_lines(20, 0, 1e-3);
  auto replace_line = [&](int line, const std::string& with) {
    std::string s;
    int k = 1;
    size_t start = 0;
    for (size_t end; (end = good.find('\n', start)) != std::string::npos; start = end + 1, ++k)
      s += (k == line ? with : good.substr(start, end - start)) + "\n";
    return s;
  };
  const bad_case cases[] = {
      {"header line", "time accel\n" + good, "1: the time is not a number"},
      {"third column", replace_line(4, "0.003 1 2"), "4: more than two columns"},
      {"missing value", replace_line(3, "0.002"), "3: no acceleration"},
      {"text glued to a number", replace_line(5, "0.004 1.5g"), "5: the acceleration is not a number"},
      {"number out of range", replace_line(6, "0.005 1e999"), "6: the acceleration is out of range"},
      {"a line missing", replace_line(9, ""), "10: the time step is not uniform"},
      {"a time repeated", replace_line(12, "0.010 0"), "12: the time does not increase"},
      {"time running back", good + "0 0\n", "21: the time does not increase"},
      {"a time out of place", replace_line(7, "0.0068 0"), "7: the time step is not uniform"},
      {"one sample", "0 1\n", "holds 1 sample;"},
      {"empty", "", "holds 0 samples;"},
  };
  for (const bad_case& c : cases) {
    scratch_dir dir;
    std::string msg = error_of([&] { read_history(dir.write("a.txt", c.text)); });
    EXPECT_NE(msg.find(c.expected), std::string::npos) << c.name << ": " << msg;
  }

  // A rate that changes slowly: no step is far from the mean, but the
  // times leave the uniform grid.
  std::string drift;
  for (int i = 0; i < 2000; ++i) drift += kformat("%14.7e 0\n", 1e-3 * i * (1 + 2e-4 * i / 2000));
  scratch_dir dir;
  std::string msg = error_of([&] { read_history(dir.write("a.txt", drift)); });
  EXPECT_NE(msg.find("the time step is not uniform: time"), std::string::npos) << msg;

  EXPECT_NE(error_of([] { read_history("/nonexistent/a.txt"); })
                .find("cannot open the acceleration file /nonexistent/a.txt"),
            std::string::npos);
}

}  // namespace
