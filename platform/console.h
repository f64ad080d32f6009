// The console: formatted output, the dialogue's reads, the final key and the
// fatal-error exit.
#pragma once

#include <cstddef>
#include <cstdio>

#include "platform/scanner.h"

// Formatted console output (see platform/format.h); goes to con_out.
int kprintf(const char* fmt, ...);
// The console output stream, standard output unless a test sets another.
extern FILE* con_out;

// The console input, standard input read with read(2) unless a test
// attaches another source.
text_scanner& con_in();

// "%s": skips white space, line ends included, then takes the characters up
// to the next white space into dst. At the end of input the word is empty.
// A word longer than cap - 1 characters gives false, with its first cap - 1
// characters in dst and the rest left unread (the caller ends the run).
bool con_read_word(char* dst, size_t cap);

// "%f": skips white space and reads one number straight to float. When no
// number is there, value is unchanged and the text stays for the next read.
void con_read_float(float& value);

// The final key. On a terminal: one byte read from the terminal itself in
// non-canonical mode without echo (the terminal is restored afterwards).
// Otherwise: the next character of the remaining input that is not '\n' or
// '\r', or 0 at the end of input. Returns 0 to 255.
int con_read_key();

// Ends the run after an error: prints the message on the console, flushes
// every open stream and exits with status 1, so what was written stays.
[[noreturn]] void fatal(const char* fmt, ...);
// The exit of fatal() alone, for a message already printed.
[[noreturn]] void fatal_exit();

// Called by fatal_exit() after the flush, instead of exit(1), when set. It
// must not return (a fuzz target throws from it); tests and fuzzing only.
extern void (*fatal_hook)();
