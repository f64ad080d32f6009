#include "platform/format.h"

#include <cmath>
#include <cstring>

namespace {

struct conv_spec {
  bool left = false;      // '-'
  bool zero = false;      // '0'
  std::string flags;      // the flags other than '-' and '0', passed on
  int width = -1;
  int precision = -1;
  char conv = 0;
};

// Widens the exponent of a C-library e-style text ("1.5e+05") to three digits.
void widen_exponent(std::string& s) {
  size_t e = s.find_first_of("eE");
  if (e == std::string::npos || e + 1 >= s.size()) return;
  size_t digits = e + 1;
  if (s[digits] == '+' || s[digits] == '-') ++digits;
  size_t n = s.size() - digits;
  if (n < 3) s.insert(digits, 3 - n, '0');
}

// Pads s to the field width; zero padding goes after the sign.
void pad(std::string& out, std::string s, const conv_spec& cs, bool numeric) {
  if (cs.width > 0 && s.size() < size_t(cs.width)) {
    size_t fill = size_t(cs.width) - s.size();
    if (cs.left) {
      s.append(fill, ' ');
    } else if (cs.zero && numeric) {
      size_t at = (!s.empty() && (s[0] == '-' || s[0] == '+' || s[0] == ' ')) ? 1 : 0;
      s.insert(at, fill, '0');
    } else {
      s.insert(0, fill, ' ');
    }
  }
  out += s;
}

std::string sub_format(const conv_spec& cs, const char* length) {
  std::string f(1, '%');
  f += cs.flags;
  if (cs.precision >= 0) {
    f += '.';
    f += std::to_string(cs.precision);
  }
  f += length;
  f += cs.conv;
  return f;
}

template <class T>
std::string c_format(const std::string& f, T v) {
  char buf[512];
  int n = std::snprintf(buf, sizeof buf, f.c_str(), v);
  if (n < 0) return std::string();
  if (size_t(n) < sizeof buf) return std::string(buf, size_t(n));
  std::string big(size_t(n) + 1, '\0');
  std::snprintf(big.data(), big.size(), f.c_str(), v);
  big.resize(size_t(n));
  return big;
}

}  // namespace

void kvformat(std::string& out, const char* fmt, va_list ap) {
  for (const char* p = fmt; *p;) {
    if (*p != '%') {
      const char* q = std::strchr(p, '%');
      size_t n = q ? size_t(q - p) : std::strlen(p);
      out.append(p, n);
      p += n;
      continue;
    }
    ++p;
    if (*p == '%') {
      out += '%';
      ++p;
      continue;
    }
    conv_spec cs;
    for (;; ++p) {
      if (*p == '-') cs.left = true;
      else if (*p == '0') cs.zero = true;
      else if (*p == '+' || *p == ' ' || *p == '#') cs.flags += *p;
      else break;
    }
    if (*p == '*') {
      cs.width = va_arg(ap, int);
      if (cs.width < 0) { cs.left = true; cs.width = -cs.width; }
      ++p;
    } else {
      while (*p >= '0' && *p <= '9') cs.width = (cs.width < 0 ? 0 : cs.width * 10) + (*p++ - '0');
    }
    if (*p == '.') {
      ++p;
      cs.precision = 0;
      if (*p == '*') {
        cs.precision = va_arg(ap, int);
        ++p;
      } else {
        while (*p >= '0' && *p <= '9') cs.precision = cs.precision * 10 + (*p++ - '0');
      }
    }
    while (*p == 'l' || *p == 'h' || *p == 'z') ++p;  // all integers are 32-bit int
    cs.conv = *p;
    if (!*p) break;
    ++p;
    switch (cs.conv) {
      case 'd': case 'i': case 'u': case 'x': case 'X': case 'o':
        pad(out, c_format(sub_format(cs, ""), va_arg(ap, int)), cs, true);
        break;
      case 'c': {
        char c = char(va_arg(ap, int));
        pad(out, std::string(1, c), cs, false);
        break;
      }
      case 's': {
        const char* s = va_arg(ap, const char*);
        std::string t = s ? s : "(null)";
        if (cs.precision >= 0 && t.size() > size_t(cs.precision)) t.resize(size_t(cs.precision));
        pad(out, t, cs, false);
        break;
      }
      case 'e': case 'E': case 'g': case 'G': case 'f': case 'F': {
        double v = va_arg(ap, double);
        std::string t = c_format(sub_format(cs, ""), v);
        if (std::isfinite(v) && cs.conv != 'f' && cs.conv != 'F') widen_exponent(t);
        pad(out, t, cs, std::isfinite(v));
        break;
      }
      default:  // unknown conversion: keep the text as written
        out += '%';
        out += cs.conv;
        break;
    }
  }
}

std::string kformat(const char* fmt, ...) {
  std::string s;
  va_list ap;
  va_start(ap, fmt);
  kvformat(s, fmt, ap);
  va_end(ap);
  return s;
}

int kfprintf(FILE* f, const char* fmt, ...) {
  std::string s;
  va_list ap;
  va_start(ap, fmt);
  kvformat(s, fmt, ap);
  va_end(ap);
  return int(std::fwrite(s.data(), 1, s.size(), f));
}
