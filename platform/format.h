// printf-style formatting for the console and the output files.
//
// Same rules as the C library's printf, with two differences that the
// program's console and files rely on:
//   - the e and g conversions always write at least three exponent digits
//     ("%14.7e" of 0 is "0.0000000e+000", "%10.3g" of 2000 is "    2e+003"),
//     and the field width is applied to the widened text;
//   - the l modifier on d, i, u and x takes a 32-bit int ("%ld").
// Infinity and NaN print as the C library prints them, padded to the width.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <string>

// Appends the formatted text to out.
void kvformat(std::string& out, const char* fmt, va_list ap);
std::string kformat(const char* fmt, ...);

// Formats and writes to a stream; returns the number of bytes handed to it.
int kfprintf(FILE* f, const char* fmt, ...);
