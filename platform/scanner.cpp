#include "platform/scanner.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

void text_scanner::attach_file(FILE* f) {
  *this = text_scanner();
  kind_ = kind::file;
  file_ = f;
}

void text_scanner::attach_fd(int fd) {
  *this = text_scanner();
  kind_ = kind::fd;
  fd_ = fd;
}

void text_scanner::attach_memory(const char* data, size_t size) {
  *this = text_scanner();
  kind_ = kind::memory;
  mem_ = data;
  mem_size_ = size;
}

// Makes at least need characters available from pos_, unless the input ends.
bool text_scanner::fill(size_t need) {
  while (end_ - pos_ < need) {
    if (eof_ || kind_ == kind::none) return false;
    if (pos_ > 0) {
      std::memmove(buf_, buf_ + pos_, end_ - pos_);
      end_ -= pos_;
      pos_ = 0;
    }
    size_t room = sizeof buf_ - end_;
    size_t got = 0;
    switch (kind_) {
      case kind::file:
        got = std::fread(buf_ + end_, 1, room, file_);
        if (got == 0) {
          if (std::ferror(file_)) error_ = true;
          eof_ = true;
        }
        break;
      case kind::fd: {
        ssize_t r;
        do r = ::read(fd_, buf_ + end_, room);
        while (r < 0 && errno == EINTR);
        if (r <= 0) {
          if (r < 0) error_ = true;
          eof_ = true;
        } else {
          got = size_t(r);
        }
        break;
      }
      case kind::memory:
        got = room < mem_size_ ? room : mem_size_;
        std::memcpy(buf_ + end_, mem_, got);
        mem_ += got;
        mem_size_ -= got;
        if (got == 0) eof_ = true;
        break;
      case kind::none:
        return false;
    }
    end_ += got;
  }
  return true;
}

int text_scanner::peek(size_t k) {
  if (end_ - pos_ <= k && !fill(k + 1)) return -1;
  return static_cast<unsigned char>(buf_[pos_ + k]);
}

void text_scanner::advance(size_t k) {
  while (k > 0) {
    if (pos_ == end_ && !fill(1)) return;
    size_t n = end_ - pos_ < k ? end_ - pos_ : k;
    pos_ += n;
    k -= n;
  }
}

void text_scanner::skip_space() {
  for (;;) {
    int c = peek();
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') advance();
    else return;
  }
}

namespace {

inline bool is_digit(int c) { return c >= '0' && c <= '9'; }

// Enough significant digits to decide the rounding of any double: digits
// beyond these only matter through whether any of them is non-zero.
constexpr size_t kept_digits = 800;
constexpr long exponent_limit = 100000000;  // far beyond any float's range

// Scans the number text into a short equivalent for strtod/strtof:
// sign, at most kept_digits digits (plus a sticky 1 for dropped non-zero
// digits) and a decimal exponent.
bool scan_text(text_scanner& s, std::string& out) {
  s.skip_space();
  size_t k = 0;
  int c = s.peek(0);
  bool neg = false;
  if (c == '+' || c == '-') {
    neg = c == '-';
    k = 1;
  }
  // A number needs a digit, either first or right after a point.
  c = s.peek(k);
  if (!(is_digit(c) || (c == '.' && is_digit(s.peek(k + 1))))) return false;
  s.advance(k);

  std::string digits;
  long exp10 = 0;       // value = 0.digits... scaled: digits * 10^exp10
  bool sticky = false;  // a dropped digit was not zero
  auto take = [&](int d, bool fraction) {
    if (digits.empty() && d == '0') {
      if (fraction && exp10 > -exponent_limit) --exp10;
      return;
    }
    if (digits.size() < kept_digits) {
      digits += char(d);
      if (fraction && exp10 > -exponent_limit) --exp10;
    } else {
      if (d != '0') sticky = true;
      if (!fraction && exp10 < exponent_limit) ++exp10;
    }
  };
  while (is_digit(c = s.peek())) {
    take(c, false);
    s.advance();
  }
  if (c == '.') {
    s.advance();
    while (is_digit(c = s.peek())) {
      take(c, true);
      s.advance();
    }
  }
  if (c == 'e' || c == 'E') {
    size_t j = 1;
    int sc = s.peek(1);
    bool eneg = false;
    if (sc == '+' || sc == '-') {
      eneg = sc == '-';
      j = 2;
    }
    if (is_digit(s.peek(j))) {
      s.advance(j);
      long e = 0;
      while (is_digit(c = s.peek())) {
        if (e < exponent_limit) e = e * 10 + (c - '0');
        s.advance();
      }
      exp10 += eneg ? -e : e;
    }
  }
  if (digits.empty()) {
    out = neg ? "-0" : "0";
    return true;
  }
  if (sticky) {
    digits += '1';
    --exp10;
  }
  if (exp10 > exponent_limit) exp10 = exponent_limit;
  if (exp10 < -2 * exponent_limit) exp10 = -2 * exponent_limit;
  out.clear();
  if (neg) out += '-';
  out += digits;
  out += 'e';
  out += std::to_string(exp10);
  return true;
}

}  // namespace

bool scan_number(text_scanner& s, double& value) {
  std::string t;
  if (!scan_text(s, t)) return false;
  value = std::strtod(t.c_str(), nullptr);
  return true;
}

bool scan_number(text_scanner& s, float& value) {
  std::string t;
  if (!scan_text(s, t)) return false;
  value = std::strtof(t.c_str(), nullptr);
  return true;
}

int scan_pair(text_scanner& s, double& a, double& b) {
  if (!scan_number(s, a)) return 0;
  if (!scan_number(s, b)) return 1;
  return 2;
}
