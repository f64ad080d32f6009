// printf into a std::string, with the C library's own rules (two-digit
// exponents, integers of their real width), checked by the compiler.
#pragma once

#include <string>

std::string strf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
