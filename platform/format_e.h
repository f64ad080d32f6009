// "%14.7e" without the printf machinery, for the output files.
#pragma once

// The longest text format_e14 writes: a minus sign and 14 characters.
constexpr int e14_max = 15;

// Writes the text kformat("%14.7e", v) gives for v (platform/format.h: 8
// significant digits rounded half to even from the exact value of v, a sign
// and three exponent digits) at out, without a terminator, and returns the
// end of the text. A value of zero or more takes 14 characters, a negative
// one 15. Values it cannot settle by itself (a remainder too close to a
// tie, infinity, NaN) go through kformat.
char* format_e14(char* out, double v);
