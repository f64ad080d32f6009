#include "tests/test_util.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/console.h"

scratch_dir::scratch_dir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "kestrune-test-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

scratch_dir::~scratch_dir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void scratch_dir::write(const std::string& name, const std::string& text) const {
  write_file(file(name), text);
}
std::string scratch_dir::read(const std::string& name) const { return read_file(file(name)); }
bool scratch_dir::exists(const std::string& name) const {
  return std::filesystem::exists(file(name));
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_file(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

run_result run_kestrune_from(const std::string& dir, const std::string& stdin_path, void (*prepare)()) {
  const std::string out_path = dir + "/.stdout";
  pid_t pid = ::fork();
  if (pid == 0) {
    int in = ::open(stdin_path.c_str(), O_RDONLY);
    int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || ::chdir(dir.c_str()) != 0) ::_exit(127);
    ::dup2(in, 0);
    ::dup2(out, 1);
    if (prepare) prepare();
    ::execl(KESTRUNE_EXE, "kestrune", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  run_result r;
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFEXITED(status)) r.status = WEXITSTATUS(status);
  r.out = read_file(out_path);
  ::unlink(out_path.c_str());
  return r;
}

run_result run_kestrune(const std::string& dir, const std::string& input) {
  const std::string in_path = dir + "/.stdin";
  write_file(in_path, input);
  run_result r = run_kestrune_from(dir, in_path);
  ::unlink(in_path.c_str());
  return r;
}

run_result run_spec(const scratch_dir& d, const std::string& psd, const std::string& sine,
                    const std::string& dur, const std::string& sr, const std::string& after) {
  d.write("psd.txt", psd);
  d.write("sine.txt", sine);
  return run_kestrune(d.path(), answers({"psd.txt", "sine.txt", "a.txt", "v.txt", "d.txt", dur, sr}) + after);
}

std::string answers(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\n";
  return s;
}

console_capture::console_capture() : saved_(con_out) {
  mem_ = ::open_memstream(&buf_, &size_);
  con_out = mem_;
}

console_capture::~console_capture() {
  con_out = saved_;
  std::fclose(mem_);
  std::free(buf_);
}

std::string console_capture::text() {
  std::fflush(mem_);
  return std::string(buf_, size_);
}

void console_input(const std::string& text) {
  static std::string held;
  held = text;
  con_in().attach_memory(held.data(), held.size());
}

const char* const banner_text =
    "\n\n kestrune    ver 1.2   August 12, 2008"
    "\n\n by the kestrune developers \n"
    "\n\n This program synthesizes a time history to satisfy"
    "\n a specified Sine-on-Random function. "
    "\n\n Two input files are required. "
    "\n\n The PSD input file must have two columns: "
    "\n    Frequency(Hz) & PSD(G^2/Hz) "
    "\n\n The Sine input file must have two columns: "
    "\n    Frequency(Hz) & Accel(G peak) "
    "\n\n Each input file may contain up to 100 coordinates. "
    "\n The format is free, but no header lines are allowed. \n";
