// The dialogue through the real executable: console text byte for byte, the
// PSD file's messages, the sample-rate rule, the duration cap, exit status.
#include <cmath>
#include <gtest/gtest.h>
#include <regex>

#include "driver/run.h"
#include "driver/state.h"
#include "tests/test_util.h"

namespace {

const std::string psd_prompt =
    "\n Enter the name of the PSD input file. \n File: psd.txt opened. \n\n\n";
const std::string sine_prompt =
    "\n Enter the name of the Sine input file. \n File: sine.txt opened. \n\n\n";
const std::string names_prompts =
    "\n ******* Output Filenames ******** \n"
    "\n\n Enter the output acceleration time history filename. \n"
    "\n\n Enter the output velocity time history filename. \n"
    "\n\n Enter the output displacement time history filename. \n"
    "\n Enter the duration (seconds) \n";

std::string before_loop(const std::string& out) { return out.substr(0, out.find("\n white ")); }

TEST(Dialogue, ConsoleTextUpToTheSegmentLoop) {
  scratch_dir d;
  d.write("psd.txt", "10 0.01\n1000 0.01\n");
  d.write("sine.txt", "50 1\n");
  const std::string expected_head =
      std::string(banner_text) + psd_prompt +
      "            10            0.01 \n"
      "          1000            0.01 \n"
      "\n npsd=2 \n"
      "\n intlog \n"
      "\n  df=       0.495  fmax=        1000  npsd=2001 \n" +
      sine_prompt +
      "            50               1 \n" + names_prompts +
      "\n\n The minimum suggested sample rate is     1e+004 (samples/sec). \n"
      "\n Enter the sample rate (samples/sec) \n"
      "\n df   =         0.6104 Hz"
      "\n fmax =           2500 Hz"
      "\n dur  =          1.638 sec\n"
      "\n\n ns = 8192 \n"
      "\n Input PSD \n\n";
  // One answer per line, and the same answers typed ahead on one line.
  for (const std::string& input : {answers({"psd.txt", "sine.txt", "a.txt", "v.txt", "d.txt", "1", "5000"}),
                                   std::string("psd.txt sine.txt a.txt v.txt d.txt 1 5000\n")}) {
    run_result r = run_kestrune(d.path(), input);
    EXPECT_EQ(r.status, 0);
    std::string head = before_loop(r.out);
    ASSERT_GE(head.size(), expected_head.size());
    EXPECT_EQ(head.substr(0, expected_head.size()), expected_head);
    // The summary: a flat 0.01 G^2/Hz from 10 Hz to the last grid point, and
    // its velocity and displacement counterparts 386^2/(2 pi f)^2 and ^4.
    std::smatch m;
    std::string tail = head.substr(expected_head.size());
    ASSERT_TRUE(std::regex_match(tail, m, std::regex(
        "   acceleration = (\\S+) grms\n"
        "   velocity     = (\\S+) inch/sec rms\n"
        "   displacement = (\\S+) inch rms\n"))) << tail;
    const double w = 2 * M_PI, k = 386.0 * 386.0, f1 = 10, f2 = 1000;
    EXPECT_NEAR(std::stod(m[1]), std::sqrt(0.01 * (f2 - f1)), 2e-3);
    EXPECT_NEAR(std::stod(m[2]), std::sqrt(0.01 * k / (w * w) * (1 / f1 - 1 / f2)), 2e-3);
    EXPECT_NEAR(std::stod(m[3]), std::sqrt(0.01 * k / std::pow(w, 4) / 3 * (std::pow(f1, -3) - std::pow(f2, -3))), 1e-5);
    EXPECT_EQ(m[1].str().size(), 11u);  // "%10.4e" with a three-digit exponent
  }
}

TEST(Dialogue, NumberThatCannotBeReadKeepsItsZeroAndStays) {
  scratch_dir d;
  // "abc" is not a duration: the duration stays 0, the text stays and is
  // not a sample rate either, so the rate stays 0 and fails the first check.
  run_result r = run_spec(d, "10 0.01\n1000 0.01\n", "", "abc", "5000");
  EXPECT_EQ(r.status, 1);
  const std::string tail =
      names_prompts +
      "\n\n The minimum suggested sample rate is     1e+004 (samples/sec). \n"
      "\n Enter the sample rate (samples/sec) \n"
      "\n Error:  the sample rate must be >=           2000 \n";
  ASSERT_GE(r.out.size(), tail.size());
  EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
}

struct psd_case {
  const char* name;
  std::string file;
  std::string echo;  // console text after the PSD file's "opened" lines
  bool passes;       // reading ends with the count line
};

std::string repeat(const std::string& s, int n) {
  std::string r;
  for (int i = 0; i < n; ++i) r += s;
  return r;
}

std::string ascending_pairs(int n) {
  std::string r;
  for (int i = 1; i <= n; ++i) r += std::to_string(i) + " 0.01\n";
  return r;
}

TEST(PsdFile, MessagesAndEchoes) {
  const std::string two_coords = "\n Error:  at least two coordinates are required.";
  const psd_case cases[] = {
      {"header line", "Freq PSD\n10 0.01\n1000 0.01\n", two_coords, false},
      {"trailing comment", "10 0.01\n1000 0.02\n# end of spec 5 5\n",
       "            10            0.01 \n          1000            0.02 \n\n npsd=2 \n", true},
      {"psd of zero", "10 0\n1000 0.01\n",
       "            10          1e-030 \n          1000            0.01 \n\n npsd=2 \n", true},
      {"frequency zero not stored", "0 0.5\n10 0.01\n0 3\n1000 0.01\n",
       "            10            0.01 \n          1000            0.01 \n\n npsd=2 \n", true},
      {"2500 zero pairs count", repeat("0 1\n", 2500) + "10 0.01\n1000 0.01\n", two_coords, false},
      {"pairs after the 2500th ignored", ascending_pairs(2500) + "1 1\n",
       "", true},
      {"equal frequencies", "10 0.01\n10 0.02\n1000 0.02\n",
       "            10            0.01 \n            10            0.02 \n          1000            0.02 \n\n npsd=3 \n",
       true},
      {"descending", "100 0.01\n10 0.01\n1000 0.01\n",
       "           100            0.01 \n            10            0.01 \n"
       "\n k=1  freq[k]=            10  freq[k-1]=           100 \n"
       "\n Error: frequencies must be in ascending order",
       false},
      {"odd count pairs the last frequency with the psd before it", "10 0.01\n1000",
       "            10            0.01 \n          1000            0.01 \n\n npsd=2 \n", true},
      {"one breakpoint", "10 0.01\n", "            10            0.01 \n" + two_coords, false},
      {"empty file", "", two_coords, false},
      {"only a frequency", "10", "            10          1e-030 \n" + two_coords, false},
      {"negative frequency before negative psd", "-10 -0.01\n", "\n Error: frequencies must be >0;", false},
      {"negative psd", "10 0.01\n20 -0.01\n", "            10            0.01 \n\n Error: psd must be > 0;", false},
      {"zero frequency with negative psd", "0 -1\n", "\n Error: psd must be > 0;", false},
      {"inf is not a number", "10 0.01\ninf 0.01\n", "            10            0.01 \n" + two_coords, false},
      {"nan is not a number", "nan 0.01\n10 0.01\n1000 0.01\n", two_coords, false},
      {"frequency too large for a float", "10 0.01\n1e39 0.01\n", "            10            0.01 \n\n Error: number out of range;", false},
      {"psd too large for a float", "10 1e39\n", "\n Error: number out of range;", false},
      {"psd below the normal floats", "10 1e-39\n", "\n Error: number out of range;", false},
      {"frequency below the normal floats", "1e-45 1\n", "\n Error: number out of range;", false},
      {"negative checked before range", "1e39 -1\n", "\n Error: psd must be > 0;", false},
      {"zero frequency not range-checked", "0 1e300\n10 0.01\n1000 0.01\n",
       "            10            0.01 \n          1000            0.01 \n\n npsd=2 \n", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    scratch_dir d;
    d.write("psd.txt", c.file);
    // No sine file: a PSD that passes ends at the sine file's open.
    run_result r = run_kestrune(d.path(), answers({"psd.txt", "missing.txt"}));
    EXPECT_EQ(r.status, 1);
    const std::string head = std::string(banner_text) + psd_prompt;
    ASSERT_EQ(r.out.substr(0, head.size()), head);
    std::string rest = r.out.substr(head.size());
    if (c.passes) {
      size_t grid = rest.find("\n intlog \n");
      ASSERT_NE(grid, std::string::npos) << rest.substr(0, 300);
      if (!c.echo.empty()) {
        EXPECT_EQ(rest.substr(0, grid), c.echo);
      }
      EXPECT_NE(rest.find(" Failed to open file: missing.txt \n"), std::string::npos);
    } else {
      EXPECT_EQ(rest, c.echo);
    }
  }
}

TEST(PsdFile, ReadsAtMost2500Pairs) {
  scratch_dir d;
  d.write("psd.txt", ascending_pairs(2500) + "1 1\n");
  run_result r = run_kestrune(d.path(), answers({"psd.txt"}));
  EXPECT_NE(r.out.find("          2500            0.01 \n\n npsd=2500 \n"), std::string::npos);
}

TEST(PsdFile, MissingOrFolder) {
  scratch_dir d;
  ::mkdir(d.file("folder").c_str(), 0755);
  for (const char* name : {"nothing.txt", "folder"}) {
    run_result r = run_kestrune(d.path(), answers({name}));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, std::string(banner_text) + "\n Enter the name of the PSD input file. \n" +
                         " Failed to open file: " + name + " \n");
  }
  // The end of the console input: the name is empty and cannot be opened.
  run_result r = run_kestrune(d.path(), "");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, std::string(banner_text) + "\n Enter the name of the PSD input file. \n" +
                       " Failed to open file:  \n");
}

TEST(SampleRate, BoundsAndTheirOrder) {
  const std::string prompt = "\n Enter the sample rate (samples/sec) \n";
  const struct {
    const char* sine;
    const char* sr;
    const char* error;  // nullptr: passes
    const char* suggestion;
  } cases[] = {
      {"", "4000", nullptr, "    2e+004"},            // exactly 2 fmax
      {"", "3999.99", "          4000", "    2e+004"},
      {"1500 1\n", "6000", nullptr, "    2e+004"},    // exactly 4 fsine_max
      {"1500 1\n", "5999.5", "          6000", "    2e+004"},
      {"3000 1\n100 2\n", "12000", nullptr, "    3e+004"},  // the larger tone counts
      {"3000 1\n", "3000", "          4000", "    3e+004"},  // both fail: the first is reported
      {"", "-5", "          4000", "    2e+004"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.sine) + " at " + c.sr);
    scratch_dir d;
    run_result r = run_spec(d, "20 0.01\n2000 0.01\n", c.sine, "0.01", c.sr);
    EXPECT_NE(r.out.find(std::string("\n\n The minimum suggested sample rate is ") + c.suggestion +
                         " (samples/sec). \n"),
              std::string::npos);
    std::string after = r.out.substr(r.out.find(prompt) + prompt.size());
    if (c.error) {
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(after, std::string("\n Error:  the sample rate must be >= ") + c.error + " \n");
      // The three outputs were opened before: they exist, empty.
      for (const char* f : {"a.txt", "v.txt", "d.txt"}) {
        EXPECT_TRUE(d.exists(f)) << f;
        EXPECT_EQ(d.read(f), "") << f;
      }
    } else {
      EXPECT_EQ(r.status, 0);
      EXPECT_EQ(after.substr(0, 9), "\n df   = ");
    }
  }
}

TEST(SampleRate, DurationMustSpanASample) {
  for (const char* dur : {"0", "-1", "0.0001"}) {
    scratch_dir d;
    run_result r = run_spec(d, "20 0.01\n2000 0.01\n", "", dur, "5000");
    EXPECT_EQ(r.status, 1) << dur;
    const std::string msg = "\n Enter the sample rate (samples/sec) \n\n Error:  the duration must span at least one sample \n";
    EXPECT_EQ(r.out.substr(r.out.size() - msg.size()), msg) << dur;
  }
}

// Runs the dialogue in-process (no frame sizing) with the given duration and rate.
void dialogue_in_process(scratch_dir& d, const char* dur, const char* sr) {
  d.write("psd.txt", "20 0.01\n200 0.01\n");
  d.write("sine.txt", "");
  reset_state();
  console_capture cap;
  console_input(answers({d.file("psd.txt"), d.file("sine.txt"), d.file("a.txt"), d.file("v.txt"),
                         d.file("d.txt"), dur, sr}));
  run_dialogue();
  for (FILE* f : {st.accel_file, st.vel_file, st.disp_file}) std::fclose(f);
}

TEST(DurationCap, CapsAtOneFullSegment) {
  scratch_dir d;
  dialogue_in_process(d, "100", "1000");
  EXPECT_EQ(st.dur, 65.53600311279297f);
  EXPECT_EQ(double(st.dur), 65.53600311279297);
  EXPECT_EQ(st.nt, 65536);
  EXPECT_EQ(double(st.T), 137.6256103515625);
  EXPECT_EQ(double(st.dt), 0.0010000000474974513);
  EXPECT_EQ(st.tmax, 100.0);

  dialogue_in_process(d, "32.768", "2000");  // 65536 exactly: not capped
  EXPECT_EQ(st.dur, 32.768f);
  EXPECT_EQ(st.nt, 65536);

  dialogue_in_process(d, "10", "1000");
  EXPECT_EQ(st.dur, 10.0f);
  EXPECT_EQ(st.nt, 10000);
  EXPECT_EQ(st.T, 21.0f);
  EXPECT_EQ(st.tmax, 10.0);
}

TEST(ExitStatus, IsTheKeyAfterTheReport) {
  scratch_dir d;
  const struct {
    std::string after;
    int status;
  } cases[] = {{"", 0}, {"\n\nQ", 'Q'}, {" ", ' '}, {"\r\nz rest", 'z'}};
  for (const auto& c : cases) {
    run_result r = run_spec(d, "20 0.01\n200 0.01\n", "", "0.1", "1000", c.after);
    EXPECT_EQ(r.status, c.status);
    EXPECT_TRUE(r.out.ends_with("\n Output file units: accel(G), vel(in/sec), disp(in) \n"
                                "\n Press any key to exit. \n"));
  }
}

}  // namespace

namespace {

TEST(SineFile, MessagesEchoesAndTheLargestFrequency) {
  const struct {
    const char* name;
    std::string file;
    std::string echo;  // console text after the sine file's "opened" lines
    int status;        // 0: the run goes on to the output names
    const char* suggestion;
  } cases[] = {
      {"empty file", "", "", 0, "    2e+004"},
      {"header line", "Freq Amp\n100 1\n", "", 0, "    2e+004"},
      {"amplitude zero", "100 0\n", "           100               0 \n", 0, "    2e+004"},
      {"descending", "1500 1\n300 2\n", "          1500               1 \n           300               2 \n", 0,
       "    2e+004"},
      {"largest tone sets the suggestion", "300 2\n3000 1\n100 1\n",
       "           300               2 \n          3000               1 \n           100               1 \n", 0,
       "    3e+004"},
      {"frequency zero not stored", "0 5\n100 1\n", "           100               1 \n", 0, "    2e+004"},
      {"odd count", "100 1\n200", "           100               1 \n           200               1 \n", 0,
       "    2e+004"},
      {"only a frequency: amplitude 0", "200", "           200               0 \n", 0, "    2e+004"},
      {"negative amplitude", "100 1\n200 -1\n",
       "           100               1 \n\n Error: sine amplitude must be > 0;", 1, nullptr},
      {"negative frequency first", "-100 -1\n", "\n Error: frequencies must be >0;", 1, nullptr},
      {"zero frequency, negative amplitude", "0 -1\n", "\n Error: sine amplitude must be > 0;", 1, nullptr},
      {"amplitude out of range", "100 1e39\n", "\n Error: number out of range;", 1, nullptr},
      {"frequency out of range", "1e-40 1\n", "\n Error: number out of range;", 1, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    scratch_dir d;
    d.write("psd.txt", "20 0.01\n2000 0.01\n");
    d.write("sine.txt", c.file);
    run_result r = run_kestrune(d.path(), answers({"psd.txt", "sine.txt", "a.txt", "v.txt", "d.txt"}));
    size_t at = r.out.find(sine_prompt);
    ASSERT_NE(at, std::string::npos);
    std::string rest = r.out.substr(at + sine_prompt.size());
    if (c.status == 1) {
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(rest, c.echo);
      EXPECT_FALSE(d.exists("a.txt"));
    } else {
      EXPECT_EQ(rest.substr(0, rest.find("\n ******* Output Filenames")), c.echo);
      EXPECT_NE(rest.find(std::string("sample rate is ") + c.suggestion), std::string::npos);
    }
  }
}

TEST(SineFile, ZeroFrequencyPairsCountTowards2500) {
  scratch_dir d;
  d.write("psd.txt", "20 0.01\n2000 0.01\n");
  d.write("sine.txt", repeat("0 1\n", 2500) + "100 1\n");
  run_result r = run_kestrune(d.path(), answers({"psd.txt", "sine.txt", "a.txt", "v.txt", "d.txt"}));
  EXPECT_NE(r.out.find(sine_prompt + names_prompts), std::string::npos);
}

}  // namespace
