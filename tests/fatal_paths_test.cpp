// Every fatal path of kestrune in one table, through the executable: the
// exact message where the run stops, exit status 1, and what is left on
// disk (which outputs exist, what they hold, and that files written before
// the run are untouched unless the run opened them as outputs). A second
// test reads the program's sources and checks that every message given to
// fatal() appears in the table.
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "driver/state.h"
#include "output/output.h"
#include "platform/console.h"
#include "tests/test_util.h"

namespace {

// The files every case starts from; a case may replace or add to them.
const std::map<std::string, std::string> base_files = {
    {"psd.txt", "20 0.01\n2000 0.01\n"},
    {"sine.txt", "100 1\n"},
    {"old.txt", "written before the run\n"},
};

struct fatal_case {
  const char* name;
  const char* format;                         // the message as the source gives it to fatal()
  std::map<std::string, std::string> files;   // added to or replacing base_files
  std::vector<std::string> typed;             // the answers, one per line
  std::string tail;                           // the console ends with this
  std::vector<std::string> empty = {};        // outputs that exist, empty
  std::map<std::string, size_t> lines = {};   // outputs that hold this many lines
  bool unprivileged = false;                  // run as a user that permissions bind
};

const char* const open_fmt = " Failed to open file: %s \n";
const char* const long_fmt = "\n Error:  file names may not exceed 259 characters \n";
const char* const read_fmt = "\n Error:  failed to read file: %s \n";
const char* const over_fmt = "\n Error:  the output file %s would overwrite another file of this run \n";
const char* const rate_fmt = "\n Error:  the sample rate must be >= %14.5g \n";
const char* const range_fmt = "\n Error: number out of range;";
const char* const freq_fmt = "\n Error: frequencies must be >0;";
const char* const write_fmt = "\n Error:  failed to write file: %s \n";

const std::string psd_prompt = "\n Enter the name of the PSD input file. \n";
const std::string sine_prompt = "\n Enter the name of the Sine input file. \n";
const std::string rate_prompt = "\n Enter the sample rate (samples/sec) \n";
const std::string opened_psd = " File: psd.txt opened. \n\n\n";
const std::string psd_echo = "            20            0.01 \n          2000            0.01 \n";
const std::string opened_sine = " File: sine.txt opened. \n\n\n";
const std::string vel_prompt = "\n\n Enter the output velocity time history filename. \n";
const std::string disp_prompt = "\n\n Enter the output displacement time history filename. \n";

std::vector<std::string> run_answers(const std::string& psd, const std::string& sine, const std::string& a,
                                     const std::string& v, const std::string& d, const std::string& dur,
                                     const std::string& sr) {
  return {psd, sine, a, v, d, dur, sr};
}
std::vector<std::string> normal(const std::string& dur = "1", const std::string& sr = "5000") {
  return run_answers("psd.txt", "sine.txt", "a.txt", "v.txt", "d.txt", dur, sr);
}

const std::string name259(259, 'n'), name260(260, 'n');

std::vector<fatal_case> cases() {
  return {
      // ---- The PSD file ----
      {"PSD file missing", open_fmt, {}, {"nothing.txt"}, psd_prompt + " Failed to open file: nothing.txt \n"},
      {"PSD file is a folder", open_fmt, {}, {"folder"}, psd_prompt + " Failed to open file: folder \n"},
      {"PSD file unreadable", open_fmt, {}, {"locked.txt"}, psd_prompt + " Failed to open file: locked.txt \n",
       {}, {}, true},
      {"PSD name at the end of the console input", open_fmt, {}, {}, psd_prompt + " Failed to open file:  \n"},
      {"PSD name of 259 characters is only missing", open_fmt, {}, {name259},
       psd_prompt + " Failed to open file: " + name259 + " \n"},
      {"PSD name of 260 characters", long_fmt, {}, {name260}, psd_prompt + long_fmt},
      {"PSD file read error", read_fmt, {}, {"/proc/self/mem"},
       " File: /proc/self/mem opened. \n\n\n\n Error:  failed to read file: /proc/self/mem \n"},
      {"PSD negative frequency", freq_fmt, {{"psd.txt", "20 0.01\n-5 0.01\n"}}, {"psd.txt"},
       opened_psd + "            20            0.01 \n" + freq_fmt},
      {"PSD negative value", "\n Error: psd must be > 0;", {{"psd.txt", "20 -0.01\n"}}, {"psd.txt"},
       opened_psd + "\n Error: psd must be > 0;"},
      {"PSD frequency out of range", range_fmt, {{"psd.txt", "20 0.01\n1e39 0.01\n"}}, {"psd.txt"},
       opened_psd + "            20            0.01 \n" + range_fmt},
      {"PSD value out of range", range_fmt, {{"psd.txt", "20 1e-40\n"}}, {"psd.txt"}, opened_psd + range_fmt},
      {"PSD frequencies descending", "\n Error: frequencies must be in ascending order",
       {{"psd.txt", "200 0.01\n20 0.01\n"}}, {"psd.txt"},
       opened_psd + "           200            0.01 \n            20            0.01 \n"
                    "\n k=1  freq[k]=            20  freq[k-1]=           200 \n"
                    "\n Error: frequencies must be in ascending order"},
      {"PSD of one breakpoint", "\n Error:  at least two coordinates are required.", {{"psd.txt", "20 0.01\n"}},
       {"psd.txt"}, opened_psd + "            20            0.01 \n\n Error:  at least two coordinates are required."},
      {"PSD band too narrow for the fine grid", "\n Error:  the PSD band is too narrow for the fine grid \n",
       {{"psd.txt", "100 0.01\n100 0.02\n"}}, {"psd.txt"},
       "\n npsd=2 \n\n intlog \n\n Error:  the PSD band is too narrow for the fine grid \n"},

      // ---- The sine file ----
      {"sine file missing", open_fmt, {}, {"psd.txt", "nothing.txt"}, sine_prompt + " Failed to open file: nothing.txt \n"},
      {"sine file is a folder", open_fmt, {}, {"psd.txt", "folder"}, sine_prompt + " Failed to open file: folder \n"},
      {"sine name of 260 characters", long_fmt, {}, {"psd.txt", name260}, sine_prompt + long_fmt},
      {"sine file read error", read_fmt, {}, {"psd.txt", "/proc/self/mem"},
       " File: /proc/self/mem opened. \n\n\n\n Error:  failed to read file: /proc/self/mem \n"},
      {"sine negative frequency", freq_fmt, {{"sine.txt", "-100 1\n"}}, {"psd.txt", "sine.txt"}, opened_sine + freq_fmt},
      {"sine negative amplitude", "\n Error: sine amplitude must be > 0;", {{"sine.txt", "100 1\n200 -1\n"}},
       {"psd.txt", "sine.txt"},
       opened_sine + "           100               1 \n\n Error: sine amplitude must be > 0;"},
      {"sine frequency out of range", range_fmt, {{"sine.txt", "1e-39 1\n"}}, {"psd.txt", "sine.txt"},
       opened_sine + range_fmt},
      {"sine amplitude out of range", range_fmt, {{"sine.txt", "100 1e39\n"}}, {"psd.txt", "sine.txt"},
       opened_sine + range_fmt},

      // ---- Output names: outputs opened before the failing one stay, empty ----
      {"output in a folder that does not exist", open_fmt, {}, run_answers("psd.txt", "sine.txt", "a.txt", "v.txt", "nowhere/d.txt", "1", "5000"),
       disp_prompt + " Failed to open file: nowhere/d.txt \n", {"a.txt", "v.txt"}},
      {"output name of 260 characters", long_fmt, {}, run_answers("psd.txt", "sine.txt", "a.txt", name260, "d.txt", "1", "5000"),
       vel_prompt + long_fmt, {"a.txt"}},
      {"output over the PSD file", over_fmt, {}, run_answers("psd.txt", "sine.txt", "a.txt", "psd.txt", "d.txt", "1", "5000"),
       vel_prompt + "\n Error:  the output file psd.txt would overwrite another file of this run \n", {"a.txt"}},
      {"output over the sine file", over_fmt, {}, run_answers("psd.txt", "sine.txt", "sine.txt", "v.txt", "d.txt", "1", "5000"),
       "\n Error:  the output file sine.txt would overwrite another file of this run \n"},
      {"output over an earlier output", over_fmt, {}, run_answers("psd.txt", "sine.txt", "a.txt", "v.txt", "./a.txt", "1", "5000"),
       disp_prompt + "\n Error:  the output file ./a.txt would overwrite another file of this run \n", {"a.txt", "v.txt"}},
      {"output over gauss.out", over_fmt, {{"gauss.out", "not ours\n"}}, run_answers("psd.txt", "sine.txt", "gauss.out", "v.txt", "d.txt", "1", "5000"),
       "\n Error:  the output file gauss.out would overwrite another file of this run \n"},
      {"an existing file as output is truncated, then the rate fails", rate_fmt, {},
       run_answers("psd.txt", "sine.txt", "old.txt", "v.txt", "d.txt", "1", "3999"),
       rate_prompt + "\n Error:  the sample rate must be >=           4000 \n", {"old.txt", "v.txt", "d.txt"}},

      // ---- Duration and sample rate ----
      {"sample rate below twice the last PSD frequency", rate_fmt, {}, normal("1", "3999.5"),
       rate_prompt + "\n Error:  the sample rate must be >=           4000 \n", {"a.txt", "v.txt", "d.txt"}},
      {"sample rate below four times the largest tone", rate_fmt, {{"sine.txt", "1500 1\n"}}, normal("1", "5999"),
       rate_prompt + "\n Error:  the sample rate must be >=           6000 \n", {"a.txt", "v.txt", "d.txt"}},
      {"sample rate that cannot be read", rate_fmt, {}, normal("1", "fast"),
       rate_prompt + "\n Error:  the sample rate must be >=           4000 \n", {"a.txt", "v.txt", "d.txt"}},
      {"duration spanning no sample", "\n Error:  the duration must span at least one sample \n", {}, normal("0.0001", "5000"),
       rate_prompt + "\n Error:  the duration must span at least one sample \n", {"a.txt", "v.txt", "d.txt"}},

      // ---- The segment loop: nothing of the failing segment is written. A
      // failed write is found when the streams are closed: what the other
      // files got stays, 4096 samples of the first segment and the sample
      // exactly at the duration (1 s, with dt = 1/4096 exact) from the second.
      {"PSD above the limit of 1000000 at a bin", "\n spec = %12.4g \n", {{"psd.txt", "20 2e6\n2000 2e6\n"}}, normal(),
       "\n scalefft \n ig = 8192 \n\n spec =       2e+006 \n", {"a.txt", "v.txt", "d.txt", "gauss.out"}},
      {"no FFT bin inside the PSD band", "\n Error:  no FFT bin falls inside the PSD band \n",
       {{"psd.txt", "100 0.01\n100.5 0.01\n"}, {"sine.txt", ""}}, normal("0.1", "1000"),
       "\n scaleth \n Error:  no FFT bin falls inside the PSD band \n", {"a.txt", "v.txt", "d.txt", "gauss.out"}},
      {"a history that overflows: a band near 1e-30 Hz, one sample every 2.5e29 s", "\n Error:  the history in %s is not finite \n",
       {{"psd.txt", "1e-30 1e6\n2e-30 1e6\n"}, {"sine.txt", ""}}, normal("2.5e32", "4e-30"),
       "\n addsine \n Error:  the history in d.txt is not finite \n", {"d.txt", "gauss.out"}, {{"a.txt", 999}, {"v.txt", 999}}},
      {"write to a full device", write_fmt, {{"sine.txt", ""}}, run_answers("psd.txt", "sine.txt", "a.txt", "/dev/full", "d.txt", "1", "4096"),
       "\n addsine \n Error:  failed to write file: /dev/full \n", {"gauss.out"}, {{"a.txt", 4097}, {"d.txt", 4097}}},
      {"two writes to a full device, reported in order", write_fmt, {{"sine.txt", ""}},
       run_answers("psd.txt", "sine.txt", "a.txt", "/dev/full", "/dev/full", "1", "4096"),
       "\n addsine \n Error:  failed to write file: /dev/full \n\n Error:  failed to write file: /dev/full \n",
       {"gauss.out"}, {{"a.txt", 4097}}},
  };
}

size_t count_lines(const std::string& s) { return size_t(std::count(s.begin(), s.end(), '\n')); }

// run_kestrune, optionally as a user that file permissions bind (root is not
// bound by them: there the child drops to "nobody" once its files are open).
void drop_privileges() {
  if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(126);
}

run_result run_as(const scratch_dir& d, const std::string& input, bool unprivileged) {
  if (!unprivileged) return run_kestrune(d.path(), input);
  d.write("typed.txt", input);
  ::chmod(d.path().c_str(), 0755);
  return run_kestrune_from(d.path(), d.file("typed.txt"), drop_privileges);
}

TEST(FatalPaths, EachEndsWithItsMessageAndStatusOneLeavingTheDiskAsItWas) {
  for (const fatal_case& c : cases()) {
    SCOPED_TRACE(c.name);
    scratch_dir d;
    std::map<std::string, std::string> files = base_files;
    for (const auto& [name, text] : c.files) files[name] = text;
    for (const auto& [name, text] : files) d.write(name, text);
    ::mkdir(d.file("folder").c_str(), 0755);
    d.write("locked.txt", "20 0.01\n2000 0.01\n");
    ::chmod(d.file("locked.txt").c_str(), 0);

    run_result r = run_as(d, answers(c.typed), c.unprivileged);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.ends_with(c.tail)) << "console ends with:\n"
                                         << r.out.substr(r.out.size() > c.tail.size() + 80 ? r.out.size() - c.tail.size() - 80 : 0);

    // Outputs: those opened exist (empty or with their lines), none other.
    std::set<std::string> opened(c.empty.begin(), c.empty.end());
    for (const auto& [name, n] : c.lines) opened.insert(name);
    for (const std::string& name : c.empty) {
      EXPECT_TRUE(d.exists(name)) << name;
      EXPECT_EQ(d.read(name), "") << name;
    }
    for (const auto& [name, n] : c.lines) EXPECT_EQ(count_lines(d.read(name)), n) << name;
    for (const char* name : {"a.txt", "v.txt", "d.txt", "gauss.out"}) {
      if (!opened.count(name) && !files.count(name)) {
        EXPECT_FALSE(d.exists(name)) << name;
      }
    }
    // Files that were there before keep their text unless opened as outputs.
    for (const auto& [name, text] : files) {
      if (!opened.count(name)) {
        EXPECT_EQ(d.read(name), text) << name;
      }
    }
  }
}

// The overflow check comes before a line is written, in every file.
TEST(FatalPaths, NoInfinityOrNanIsWritten) {
  scratch_dir d;
  for (int bad : {0, 1}) {
    EXPECT_EXIT(
        {
          reset_state();
          std::strcpy(st.accel_name, "a.txt");
          st.accel_file = std::fopen(d.file("a.txt").c_str(), "w");
          st.vel_file = std::fopen(d.file("v.txt").c_str(), "w");
          st.disp_file = std::fopen(d.file("d.txt").c_str(), "w");
          st.nt = 4;
          st.dt = 0.25f;
          st.tmax = 10;
          st.cdata[bad].re = bad ? std::numeric_limits<float>::quiet_NaN() : std::numeric_limits<float>::infinity();
          con_out = stderr;
          integth();
        },
        testing::ExitedWithCode(1), "^\n Error:  the history in a.txt is not finite \n$");
    EXPECT_EQ(count_lines(d.read("a.txt")), size_t(bad)) << bad;
    EXPECT_EQ(d.read("v.txt"), "");
  }
}

// The C string literal at text[at] (just after its opening quote), unescaped.
std::string literal(const std::string& text, size_t at) {
  std::string s;
  for (size_t i = at; i < text.size() && text[i] != '"'; ++i) {
    if (text[i] != '\\') {
      s += text[i];
      continue;
    }
    char e = text[++i];
    s += e == 'n' ? '\n' : e == 't' ? '\t' : e;
  }
  return s;
}

TEST(FatalPaths, TableHoldsEveryMessageOfTheSources) {
  std::set<std::string> in_table;
  for (const fatal_case& c : cases()) in_table.insert(c.format);

  std::set<std::string> in_sources;
  const std::string root = KESTRUNE_SOURCE_DIR;
  for (const char* dir : {"platform", "driver", "input", "analysis", "synth", "output"}) {
    for (const auto& entry : std::filesystem::directory_iterator(root + "/" + dir)) {
      const std::string text = read_file(entry.path().string());
      for (size_t at = 0; (at = text.find("fatal(\"", at)) != std::string::npos; ++at)
        in_sources.insert(literal(text, at + 7));
    }
  }
  // The one message printed before fatal_exit() rather than through fatal().
  in_sources.insert(write_fmt);

  EXPECT_GE(in_sources.size(), 15u);  // the scan found the program's messages
  for (const std::string& m : in_sources) EXPECT_TRUE(in_table.count(m)) << "not in the table: " << m;
  for (const std::string& m : in_table) EXPECT_TRUE(in_sources.count(m)) << "not in the sources: " << m;
}

}  // namespace
