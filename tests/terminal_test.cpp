// The final key read from a terminal, through a pseudo-terminal; and the
// output-name rules of the dialogue.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "tests/test_util.h"

namespace {

// Reads from the terminal's master side until text appears or time runs out.
bool read_until(int fd, std::string& seen, const std::string& text, int timeout_ms) {
  while (seen.find(text) == std::string::npos) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, timeout_ms) <= 0) return false;
    char buf[4096];
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) return false;
    seen.append(buf, size_t(n));
  }
  return true;
}

TEST(Terminal, KeyIsOneByteWithoutEchoOrLineEnd) {
  scratch_dir d;
  d.write("psd.txt", "20 0.01\n200 0.01\n");
  d.write("sine.txt", "");
  int master = -1;
  pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (::chdir(d.path().c_str()) != 0) ::_exit(127);
    ::execl(KESTRUNE_EXE, "kestrune", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  std::string seen;
  ASSERT_TRUE(read_until(master, seen, "PSD input file.", 10000));
  const std::string typed = "psd.txt\nsine.txt\na.txt\nv.txt\nd.txt\n0.1\n1000\n";
  ASSERT_EQ(::write(master, typed.data(), typed.size()), ssize_t(typed.size()));
  ASSERT_TRUE(read_until(master, seen, "Press any key to exit.", 20000)) << seen;
  // Give the program time to switch the terminal before the key arrives.
  ::usleep(200000);
  ASSERT_EQ(::write(master, "k", 1), 1);  // no line end follows
  int status = 0;
  for (int i = 0; i < 100 && ::waitpid(pid, &status, WNOHANG) == 0; ++i) ::usleep(50000);
  if (!WIFEXITED(status)) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    FAIL() << "kestrune did not end after one key";
  }
  EXPECT_EQ(WEXITSTATUS(status), 'k');
  std::string tail;
  read_until(master, tail, "\x01never", 200);
  EXPECT_EQ(tail.find('k'), std::string::npos) << "the key was echoed";
  ::close(master);
}

struct name_case {
  const char* name;
  std::vector<std::string> outputs;  // the three output names
  std::string message;               // the end of the console output; "" when the run passes
};

TEST(OutputNames, RefusedBeforeTheyAreOpened) {
  const std::string over = "\n Error:  the output file %s would overwrite another file of this run \n";
  auto overwrite = [&](const std::string& n) {
    std::string m = over;
    m.replace(m.find("%s"), 2, n);
    return m;
  };
  const std::string long_name(260, 'x');
  const name_case cases[] = {
      {"the PSD file", {"psd.txt", "v.txt", "d.txt"}, overwrite("psd.txt")},
      {"the sine file by another spelling", {"a.txt", "./sub/../sine.txt", "d.txt"}, overwrite("./sub/../sine.txt")},
      {"an output opened before", {"a.txt", "v.txt", "a.txt"}, overwrite("a.txt")},
      {"gauss.out", {"a.txt", "gauss.out", "d.txt"}, overwrite("gauss.out")},
      {"a hard link to the PSD file", {"link.txt", "v.txt", "d.txt"}, overwrite("link.txt")},
      {"a name of 260 characters", {"a.txt", long_name, "d.txt"},
       "\n Error:  file names may not exceed 259 characters \n"},
      {"a folder that does not exist", {"a.txt", "v.txt", "nowhere/d.txt"},
       " Failed to open file: nowhere/d.txt \n"},
      {"devices are allowed, also twice", {"/dev/null", "/dev/null", "d.txt"}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    scratch_dir d;
    d.write("psd.txt", "20 0.01\n200 0.01\n");
    d.write("sine.txt", "");
    ::mkdir(d.file("sub").c_str(), 0755);
    ASSERT_EQ(::link(d.file("psd.txt").c_str(), d.file("link.txt").c_str()), 0);
    run_result r = run_kestrune(d.path(), answers({"psd.txt", "sine.txt", c.outputs[0], c.outputs[1],
                                                   c.outputs[2], "0.1", "1000"}));
    if (c.message.empty()) {
      EXPECT_EQ(r.status, 0);
      continue;
    }
    EXPECT_EQ(r.status, 1);
    ASSERT_GE(r.out.size(), c.message.size());
    EXPECT_EQ(r.out.substr(r.out.size() - c.message.size()), c.message);
    // The specification is intact, and outputs opened before stay, empty.
    EXPECT_EQ(d.read("psd.txt"), "20 0.01\n200 0.01\n");
    if (c.outputs[0] == "a.txt") {
      EXPECT_TRUE(d.exists("a.txt"));
      EXPECT_EQ(d.read("a.txt"), "");
    }
  }
}

TEST(OutputNames, InputNameOfMoreThan259Characters) {
  scratch_dir d;
  run_result r = run_kestrune(d.path(), answers({std::string(300, 'p')}));
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.out.ends_with("\n Enter the name of the PSD input file. \n"
                              "\n Error:  file names may not exceed 259 characters \n"));
}

}  // namespace
