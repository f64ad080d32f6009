// Helpers shared by the tests: scratch folders, running the kestrune
// executable, and running stages in-process with the console captured.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

// A fresh folder under the system's temporary folder, removed afterwards.
class scratch_dir {
 public:
  scratch_dir();
  ~scratch_dir();
  scratch_dir(const scratch_dir&) = delete;
  scratch_dir& operator=(const scratch_dir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  void write(const std::string& name, const std::string& text) const;
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;

 private:
  std::string path_;
};

// Runs a test body inside a scratch folder: white() writes "gauss.out" in
// the working folder.
class in_scratch {
 public:
  in_scratch() : old_(std::filesystem::current_path()) { std::filesystem::current_path(dir_.path()); }
  ~in_scratch() { std::filesystem::current_path(old_); }
  const scratch_dir& dir() const { return dir_; }

 private:
  scratch_dir dir_;
  std::filesystem::path old_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& text);

struct run_result {
  std::string out;  // everything printed on standard output
  int status = -1;  // exit status, or -1 when the process did not exit normally
};

// Runs kestrune in dir with input as its standard input (a file, not a
// terminal) and returns its console output and exit status.
run_result run_kestrune(const std::string& dir, const std::string& input);
// The same with the file at stdin_path as standard input; prepare, when
// given, runs in the child just before kestrune starts.
run_result run_kestrune_from(const std::string& dir, const std::string& stdin_path, void (*prepare)() = nullptr);

// Writes psd.txt and sine.txt into d, then runs kestrune there with the
// outputs a.txt, v.txt and d.txt, the duration and the rate; after follows
// the answers (the final key).
run_result run_spec(const scratch_dir& d, const std::string& psd, const std::string& sine,
                    const std::string& dur, const std::string& sr, const std::string& after = "");

// The answers of a dialogue, one per line.
std::string answers(const std::vector<std::string>& lines);

// Captures the console (con_out) while alive; text() returns what was printed.
class console_capture {
 public:
  console_capture();
  ~console_capture();
  std::string text();

 private:
  FILE* saved_;
  FILE* mem_;
  char* buf_ = nullptr;
  size_t size_ = 0;
};

// Resets the working state and attaches the console input to text (kept alive
// by the helper until the next call).
void console_input(const std::string& text);

// The banner, as kestrune prints it first.
extern const char* const banner_text;
