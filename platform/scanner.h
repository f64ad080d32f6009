// A streaming text scanner and the number syntax of the program.
//
// Numbers, in the console dialogue and in the PSD and sine files, have one
// syntax: optional sign, digits with an optional fraction (at least one digit
// in all), optional exponent (e or E, optional sign, at least one digit; an
// "e" with no valid exponent after it is not taken). "inf", "nan" and
// hexadecimal are not numbers. The longest text of that form is taken and
// converted correctly rounded; nothing is consumed when no number is there.
//
// The scanner reads its source in blocks and keeps a bounded window, so a
// file of any size, or one number of a million digits, is read in bounded
// memory.
#pragma once

#include <cstddef>
#include <cstdio>

class text_scanner {
 public:
  text_scanner() = default;
  // Reads the stream f (not owned).
  void attach_file(FILE* f);
  // Reads the file descriptor fd with read(2), as much as is there at a time
  // (so a console line is served as soon as it is typed).
  void attach_fd(int fd);
  // Reads a fixed block of memory (not copied: it must outlive the scanner's use).
  void attach_memory(const char* data, size_t size);

  // The character k places ahead (k < lookahead), or -1 at the end of input.
  int peek(size_t k = 0);
  void advance(size_t k = 1);
  // Skips blanks, tabs, line ends and the other isspace characters.
  void skip_space();
  // True once the source reported an error other than the end of input.
  bool failed() const { return error_; }
  // The file descriptor read by attach_fd, or -1 for another source.
  int source_fd() const { return kind_ == kind::fd ? fd_ : -1; }

  static constexpr size_t lookahead = 8;

 private:
  bool fill(size_t need);

  enum class kind { none, file, fd, memory };
  kind kind_ = kind::none;
  FILE* file_ = nullptr;
  int fd_ = -1;
  const char* mem_ = nullptr;
  size_t mem_size_ = 0;
  bool eof_ = false;
  bool error_ = false;
  static constexpr size_t block = 1 << 14;
  char buf_[block + lookahead];
  size_t pos_ = 0, end_ = 0;
};

// Scans one number (white space skipped first). Returns false, leaving value
// unchanged, when no number is there. A double result overflows to infinity
// and underflows to a subnormal or zero, as correct rounding gives.
bool scan_number(text_scanner& s, double& value);
// The same, rounded straight to float (not through a double).
bool scan_number(text_scanner& s, float& value);

// scanf-style "%lf %lf": returns how many of the two numbers were converted
// (0, 1 or 2); a holder that was not converted keeps its value.
int scan_pair(text_scanner& s, double& a, double& b);
