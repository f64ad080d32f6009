#include "verify/strf.h"

#include <cstdarg>
#include <cstdio>

std::string strf(const char* fmt, ...) {
  va_list ap, again;
  va_start(ap, fmt);
  va_copy(again, ap);
  int n = std::vsnprintf(nullptr, 0, fmt, ap);
  va_end(ap);
  std::string s(size_t(n > 0 ? n : 0), '\0');
  std::vsnprintf(s.data(), s.size() + 1, fmt, again);
  va_end(again);
  return s;
}
