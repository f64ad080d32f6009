// Large and hostile input through the executable: a PSD file of hundreds of
// megabytes, a line with no line end, one number of a hundred million
// digits, NUL bytes, /dev/zero. The readers stream: they stop after 2500
// pairs or at the first text that is not a number, and their memory does not
// grow with the size of the file or of one number.
//
// The PSD file is a FIFO fed by a thread, so nothing big touches the disk.
// The memory is the peak resident set of the kestrune process itself
// (VmHWM, which starts afresh at exec), read while kestrune waits at the
// sine file's prompt on a console input that the test holds open.
#include <atomic>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "tests/test_util.h"

namespace {

constexpr size_t big = size_t(256) << 20;  // bytes

// The text of a FIFO: a head, then `filler` repeated up to `size` bytes in
// all, then a tail (only reached if the reader reads that far).
struct feed {
  std::string head;
  std::string filler;
  size_t size = 0;
  std::string tail;
};

// Writes a feed into a FIFO for one reader; counts the bytes taken.
class fifo_feeder {
 public:
  fifo_feeder(const std::string& path, feed f) : path_(path), feed_(std::move(f)) {
    ::mkfifo(path_.c_str(), 0644);
    thread_ = std::thread([this] { run(); });
  }
  ~fifo_feeder() { finish(); }
  // Waits for the feeder to end and returns the bytes the reader took (up
  // to what the pipe buffers hold).
  size_t finish() {
    if (thread_.joinable()) thread_.join();
    return written_;
  }

 private:
  bool put(int fd, const char* p, size_t n) {
    while (n > 0) {
      ssize_t w = ::write(fd, p, n);
      if (w <= 0) return false;  // the reader has closed (EPIPE)
      written_ += size_t(w);
      p += w;
      n -= size_t(w);
    }
    return true;
  }
  void run() {
    // Waits up to 60 s for the reader, and not at all once the FIFO is
    // removed; it is never opened for reading here.
    int fd = -1;
    for (int i = 0; i < 6000 && fd < 0; ++i) {
      fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd < 0 && errno != ENXIO) return;
      if (fd < 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (fd < 0) return;
    ::fcntl(fd, F_SETFL, 0);
    std::string block;
    if (!feed_.filler.empty())
      while (block.size() < (1 << 20)) block += feed_.filler;
    bool open = put(fd, feed_.head.data(), feed_.head.size());
    for (size_t left = feed_.size; open && left > 0;) {
      size_t n = std::min(left, block.size());
      open = put(fd, block.data(), n);
      left -= n;
    }
    if (open) put(fd, feed_.tail.data(), feed_.tail.size());
    ::close(fd);
  }
  std::string path_;
  feed feed_;
  std::atomic<size_t> written_{0};
  std::thread thread_;
};

struct watched_run {
  std::string out;
  int status = -1;
  long hwm_kb = -1;  // peak resident set at the sine prompt; -1 if it ended before
};

long vm_hwm_kb(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

// Runs kestrune in dir with `typed` on a console pipe that stays open until
// the sine file's prompt appears (or kestrune ends); then measures and
// closes it, so the run ends at the empty sine name.
watched_run run_watched(const std::string& dir, const std::string& typed, int timeout_s = 120) {
  int in[2], out[2];
  if (::pipe(in) != 0 || ::pipe(out) != 0) return {};
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::close(in[1]);
    ::close(out[0]);
    if (::chdir(dir.c_str()) != 0) ::_exit(127);
    ::execl(KESTRUNE_EXE, "kestrune", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  if (::write(in[1], typed.data(), typed.size()) != ssize_t(typed.size())) ADD_FAILURE() << "console write";
  watched_run r;
  bool console_open = true;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_s);
  for (;;) {
    pollfd p{out[0], POLLIN, 0};
    if (::poll(&p, 1, 100) > 0) {
      char buf[65536];
      ssize_t n = ::read(out[0], buf, sizeof buf);
      if (n <= 0) break;  // kestrune has ended
      r.out.append(buf, size_t(n));
    }
    if (console_open && r.out.find("Enter the name of the Sine input file.") != std::string::npos) {
      r.hwm_kb = vm_hwm_kb(pid);
      ::close(in[1]);
      console_open = false;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "kestrune did not end within " << timeout_s << " s";
      ::kill(pid, SIGKILL);
      break;
    }
  }
  if (console_open) ::close(in[1]);
  ::close(out[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFEXITED(status)) r.status = WEXITSTATUS(status);
  return r;
}

// The echo and count of an accepted PSD, as the console shows them.
const std::string two_pairs = "            20            0.01 \n          2000            0.01 \n\n npsd=2 \n";
const std::string two_coords = "\n Error:  at least two coordinates are required.";

struct stream_case {
  const char* name;
  feed text;
  std::string echo;  // the console text after "opened"
  bool read_to_end;  // the reader takes the whole feed
};

TEST(HostileInput, HugePsdStreamsInBoundedMemory) {
  std::signal(SIGPIPE, SIG_IGN);  // the feeder sees EPIPE when the reader stops
  std::string pairs_2500;
  for (int i = 1; i <= 2600; ++i) pairs_2500 += std::to_string(i) + " 0.01 ";
  const stream_case cases[] = {
      {"small", {"20 0.01\n2000 0.01\n", "", 0, ""}, two_pairs, true},
      {"hundreds of MB of blanks on one line with no line end", {"20 0.01", " \t", big, " 2000 0.01"}, two_pairs, true},
      {"one number of a hundred million digits", {"20.", "0", big / 2, "1 0.01 2000 0.01"}, two_pairs, true},
      {"pairs without end on one line: 2500 read", {pairs_2500, "3000 0.01 ", big, ""}, "", false},
      {"NUL bytes after the pairs", {"20 0.01 2000 0.01", std::string(1, '\0'), big, ""}, two_pairs, false},
  };
  long small_kb = -1;
  for (const stream_case& c : cases) {
    SCOPED_TRACE(c.name);
    scratch_dir d;
    fifo_feeder feeder(d.file("psd.fifo"), c.text);
    watched_run r = run_watched(d.path(), "psd.fifo\n");
    ::unlink(d.file("psd.fifo").c_str());
    const size_t taken = feeder.finish();
    const size_t total = c.text.head.size() + c.text.size + c.text.tail.size();
    // The run reaches the sine file's prompt, then ends at its empty name.
    EXPECT_EQ(r.status, 1);
    ASSERT_GT(r.hwm_kb, 0) << r.out.substr(r.out.size() > 300 ? r.out.size() - 300 : 0);
    const std::string opened = " File: psd.fifo opened. \n\n\n";
    size_t at = r.out.find(opened);
    ASSERT_NE(at, std::string::npos);
    const std::string rest = r.out.substr(at + opened.size());
    if (!c.echo.empty()) {
      EXPECT_EQ(rest.substr(0, c.echo.size()), c.echo);
    } else {
      EXPECT_NE(rest.find("          2500            0.01 \n\n npsd=2500 \n"), std::string::npos);
    }
    // The reader took the whole feed, or stopped within the first few blocks.
    if (c.read_to_end) {
      EXPECT_EQ(taken, total);
    } else {
      EXPECT_LT(taken, size_t(4) << 20);
    }
    if (small_kb < 0) {
      small_kb = r.hwm_kb;
      continue;
    }
    // A few hundred kB of slack: allocator and stdio noise, nothing that
    // grows with the input.
    EXPECT_LE(r.hwm_kb, small_kb + 1024) << "peak resident set " << r.hwm_kb << " kB against " << small_kb << " kB";
  }
}

// Runs kestrune with the file at stdin_path as its console input; a hang
// ends as a signal, not as a stuck test.
run_result run_with_console(const std::string& dir, const std::string& stdin_path) {
  return run_kestrune_from(dir, stdin_path, [] { ::alarm(30); });
}

TEST(HostileInput, DevicesAndNulBytes) {
  const std::string psd_opened = " File: psd.txt opened. \n\n\n";
  const struct {
    const char* name;
    std::string psd;                  // the PSD file's text
    std::vector<std::string> typed;   // the console input
    std::string tail;                 // the console ends with this
  } cases[] = {
      {"a NUL byte before the pairs", std::string("\0 20 0.01 2000 0.01", 19), {"psd.txt"}, psd_opened + two_coords},
      {"a NUL byte after a frequency", std::string("20\0 0.01 2000 0.01", 18), {"psd.txt"},
       psd_opened + "            20          1e-030 \n" + two_coords},
      {"/dev/zero as the PSD file", "", {"/dev/zero"}, " File: /dev/zero opened. \n\n\n" + two_coords},
      {"/dev/zero as the sine file: no tones", "20 0.01 2000 0.01", {"psd.txt", "/dev/zero"},
       " File: /dev/zero opened. \n\n\n\n ******* Output Filenames ******** \n"
       "\n\n Enter the output acceleration time history filename. \n Failed to open file:  \n"},
      {"a duration of a million digits", "20 0.01 2000 0.01",
       {"psd.txt", "/dev/null", "/dev/null", "/dev/null", "/dev/null", "0." + std::string(1000000, '0') + "1", "5000"},
       "\n Enter the sample rate (samples/sec) \n\n Error:  the duration must span at least one sample \n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    scratch_dir d;
    d.write("psd.txt", c.psd);
    d.write("typed.txt", answers(c.typed));
    run_result r = run_with_console(d.path(), d.file("typed.txt"));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.ends_with(c.tail)) << r.out.substr(r.out.size() > 300 ? r.out.size() - 300 : 0);
  }
  // /dev/zero as the console: the first name is a word of NUL bytes that
  // never ends, refused once it passes 259 characters.
  scratch_dir d;
  run_result r = run_with_console(d.path(), "/dev/zero");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.out.ends_with("\n Enter the name of the PSD input file. \n"
                              "\n Error:  file names may not exceed 259 characters \n"));
}

}  // namespace
