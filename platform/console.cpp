#include "platform/console.h"

#include <cstdarg>
#include <cstdlib>
#include <string>
#include <termios.h>
#include <unistd.h>

#include "platform/format.h"

FILE* con_out = stdout;
void (*fatal_hook)() = nullptr;

namespace {
text_scanner* make_console_in() {
  static text_scanner s;
  s.attach_fd(STDIN_FILENO);
  return &s;
}
}  // namespace

text_scanner& con_in() {
  static text_scanner* s = make_console_in();
  return *s;
}

int kprintf(const char* fmt, ...) {
  std::string s;
  va_list ap;
  va_start(ap, fmt);
  kvformat(s, fmt, ap);
  va_end(ap);
  return int(std::fwrite(s.data(), 1, s.size(), con_out));
}

namespace {
inline bool is_space(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
}  // namespace

bool con_read_word(char* dst, size_t cap) {
  std::fflush(con_out);
  text_scanner& in = con_in();
  in.skip_space();
  size_t n = 0;
  bool fits = true;
  for (int c; (c = in.peek()) >= 0 && !is_space(c); in.advance()) {
    if (n + 1 >= cap) {
      // Too long: stop here rather than read on, since a console input
      // without white space (such as /dev/zero) would never end the word.
      fits = false;
      break;
    }
    dst[n++] = char(c);
  }
  if (cap > 0) dst[n] = '\0';
  return fits;
}

void con_read_float(float& value) {
  std::fflush(con_out);
  scan_number(con_in(), value);
}

int con_read_key() {
  std::fflush(con_out);
  if (con_in().source_fd() == STDIN_FILENO && isatty(STDIN_FILENO)) {
    termios saved;
    if (tcgetattr(STDIN_FILENO, &saved) == 0) {
      termios raw = saved;
      raw.c_lflag &= ~tcflag_t(ICANON | ECHO);
      raw.c_cc[VMIN] = 1;
      raw.c_cc[VTIME] = 0;
      tcsetattr(STDIN_FILENO, TCSANOW, &raw);
      unsigned char c = 0;
      ssize_t r = ::read(STDIN_FILENO, &c, 1);
      tcsetattr(STDIN_FILENO, TCSANOW, &saved);
      return r == 1 ? c : 0;
    }
  }
  text_scanner& in = con_in();
  for (int c; (c = in.peek()) >= 0; in.advance()) {
    if (c != '\n' && c != '\r') {
      in.advance();
      return c;
    }
  }
  return 0;
}

void fatal_exit() {
  std::fflush(nullptr);
  if (fatal_hook) fatal_hook();
  std::exit(1);
}

void fatal(const char* fmt, ...) {
  std::string s;
  va_list ap;
  va_start(ap, fmt);
  kvformat(s, fmt, ap);
  va_end(ap);
  std::fwrite(s.data(), 1, s.size(), con_out);
  fatal_exit();
}
