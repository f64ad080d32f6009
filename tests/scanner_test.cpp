// Number syntax and the console reads: words, numbers, typed-ahead answers,
// the key from a non-terminal input.
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

#include "platform/console.h"
#include "platform/scanner.h"
#include "tests/test_util.h"

namespace {

struct scan_case {
  const char* text;
  bool taken;
  double value;       // when taken
  const char* rest;   // what is left for the next read
};

std::string rest_of(text_scanner& s) {
  std::string r;
  for (int c; (c = s.peek()) >= 0; s.advance()) r += char(c);
  return r;
}

TEST(Scanner, TakesTheLongestNumberAndLeavesTheRest) {
  const scan_case cases[] = {
      {"12", true, 12, ""},
      {"  \n\t-3.5e2 x", true, -350, " x"},
      {"+.5", true, 0.5, ""},
      {"5.", true, 5, ""},
      {"1e5", true, 1e5, ""},
      {"1E-2,", true, 0.01, ","},
      {"1.5e", true, 1.5, "e"},       // an e without exponent is not taken
      {"1.5e+x", true, 1.5, "e+x"},
      {"2e-", true, 2, "e-"},
      {"7 8", true, 7, " 8"},
      {"0x10", true, 0, "x10"},       // no hexadecimal
      {"-0", true, -0.0, ""},
      {"000123.4500", true, 123.45, ""},
      {"inf", false, 0, "inf"},
      {"nan", false, 0, "nan"},
      {"-inf", false, 0, "-inf"},
      {"abc", false, 0, "abc"},
      {".", false, 0, "."},
      {"-.e1", false, 0, "-.e1"},
      {"+", false, 0, "+"},
      {"", false, 0, ""},
  };
  for (const auto& c : cases) {
    text_scanner s;
    s.attach_memory(c.text, std::strlen(c.text));
    double v = 99;
    EXPECT_EQ(scan_number(s, v), c.taken) << c.text;
    EXPECT_EQ(v, c.taken ? c.value : 99.0) << c.text;
    if (!c.taken) s.skip_space();
    EXPECT_EQ(rest_of(s), c.rest) << c.text;
  }
}

// Joins texts (operator+ on a literal trips a false -Wrestrict in g++ 12).
std::string cat(std::initializer_list<std::string> parts) {
  std::string s;
  for (const auto& p : parts) s.append(p);
  return s;
}

double to_double(const std::string& t) {
  text_scanner s;
  s.attach_memory(t.data(), t.size());
  double v = -1;
  EXPECT_TRUE(scan_number(s, v)) << t;
  return v;
}

float to_float(const std::string& t) {
  text_scanner s;
  s.attach_memory(t.data(), t.size());
  float v = -1;
  EXPECT_TRUE(scan_number(s, v)) << t;
  return v;
}

TEST(Scanner, RoundsCorrectlyToDoubleAndStraightToFloat) {
  EXPECT_EQ(to_double("0.1"), 0.1);
  EXPECT_EQ(to_double("1e39"), 1e39);
  EXPECT_EQ(to_double("1e400"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(to_double("1e-400"), 0.0);
  EXPECT_EQ(to_double("4.9406564584124654e-324"), 4.9406564584124654e-324);
  EXPECT_EQ(to_double("2.2250738585072011e-308"), 2.2250738585072011e-308);
  // A float rounded through a double can differ from one rounded straight:
  // 1 + 2^-24 + 2^-60 rounds up in float directly, but its double is the tie
  // 1 + 2^-24, which rounds to even (down).
  EXPECT_EQ(to_float("1.000000059604644776" "1628170830"), 1.00000011920928955078125f);
  EXPECT_EQ(to_float("1e39"), std::numeric_limits<float>::infinity());
  EXPECT_EQ(to_float("-1e39"), -std::numeric_limits<float>::infinity());
  EXPECT_EQ(to_float("0.001"), 0.001f);
  EXPECT_EQ(to_float("1e-50"), 0.0f);
}

TEST(Scanner, VeryLongNumbersInBoundedMemory) {
  // A million digits: the value is decided by the first hundreds of digits
  // and by whether any later digit is not zero.
  std::string big = cat({"1", std::string(1000000, '0')});
  EXPECT_EQ(to_double(big), std::numeric_limits<double>::infinity());
  std::string tiny = cat({"0.", std::string(1000000, '0'), "1"});
  EXPECT_EQ(to_double(tiny), 0.0);
  std::string third = cat({"0.", std::string(1000000, '3')});
  EXPECT_EQ(to_double(third), 1.0 / 3.0);
  // Just above the tie between 1 and its successor in double: the sticky
  // digit far out decides the rounding.
  std::string tie = "1.00000000000000011102230246251565404236316680908203125";
  EXPECT_EQ(to_double(tie), 1.0);  // exact tie: to even
  EXPECT_EQ(to_double(cat({tie, std::string(2000, '0'), "1"})), 1.0000000000000002);
  EXPECT_EQ(to_double(cat({"1e", std::string(5000, '9')})), std::numeric_limits<double>::infinity());
  EXPECT_EQ(to_double(cat({"1e-", std::string(5000, '9')})), 0.0);
}

TEST(Scanner, PairsKeepTheHolderThatWasNotConverted) {
  const char* text = "10 0.5\n20\n0.7 30 x";
  text_scanner s;
  s.attach_memory(text, std::strlen(text));
  double a = 0, b = 0;
  EXPECT_EQ(scan_pair(s, a, b), 2);
  EXPECT_EQ(a, 10);
  EXPECT_EQ(b, 0.5);
  EXPECT_EQ(scan_pair(s, a, b), 2);  // pairs are formed by order, not by line
  EXPECT_EQ(a, 20);
  EXPECT_EQ(b, 0.7);
  EXPECT_EQ(scan_pair(s, a, b), 1);
  EXPECT_EQ(a, 30);
  EXPECT_EQ(b, 0.7);
  EXPECT_EQ(scan_pair(s, a, b), 0);
}

TEST(Scanner, ReadsAFileAcrossItsBlocks) {
  FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  for (int i = 1; i <= 5000; ++i) std::fprintf(f, "%d.25 ", i);
  std::rewind(f);
  text_scanner s;
  s.attach_file(f);
  double sum = 0, v;
  int n = 0;
  while (scan_number(s, v)) {
    sum += v;
    ++n;
  }
  EXPECT_EQ(n, 5000);
  EXPECT_EQ(sum, 5000.0 * 5001.0 / 2.0 + 0.25 * 5000);
  EXPECT_FALSE(s.failed());
  std::fclose(f);
}

TEST(ConsoleRead, WordsNumbersAndTypedAheadAnswers) {
  console_input("  psd.txt sine.txt\n\n out.txt 12.5 abc 7\n");
  char w[260];
  EXPECT_TRUE(con_read_word(w, sizeof w));
  EXPECT_STREQ(w, "psd.txt");
  EXPECT_TRUE(con_read_word(w, sizeof w));
  EXPECT_STREQ(w, "sine.txt");
  EXPECT_TRUE(con_read_word(w, sizeof w));
  EXPECT_STREQ(w, "out.txt");
  float x = 0;
  con_read_float(x);
  EXPECT_EQ(x, 12.5f);
  con_read_float(x);  // "abc" is not a number: unchanged, and it stays
  EXPECT_EQ(x, 12.5f);
  EXPECT_TRUE(con_read_word(w, sizeof w));
  EXPECT_STREQ(w, "abc");
  con_read_float(x);
  EXPECT_EQ(x, 7.0f);
  // At the end of input a word is empty and a number unchanged.
  EXPECT_TRUE(con_read_word(w, sizeof w));
  EXPECT_STREQ(w, "");
  con_read_float(x);
  EXPECT_EQ(x, 7.0f);
}

TEST(ConsoleRead, OverlongWordIsFlaggedWithoutReadingOn) {
  std::string name(300, 'n');
  console_input(cat({name, " next"}));
  char w[260];
  EXPECT_FALSE(con_read_word(w, sizeof w));
  EXPECT_EQ(std::string(w), std::string(259, 'n'));
  // The rest of the word stays unread: an endless word must not hang.
  EXPECT_TRUE(con_read_word(w, sizeof w));
  EXPECT_EQ(std::string(w), std::string(300 - 259, 'n'));
  std::string exact(259, 'e');
  console_input(exact);
  EXPECT_TRUE(con_read_word(w, sizeof w));
  EXPECT_EQ(std::string(w), exact);
}

TEST(ConsoleRead, KeyIsTheNextCharacterThatIsNotALineEnd) {
  const struct {
    const char* input;
    int key;
  } cases[] = {
      {"", 0}, {"\n", 0}, {"\r\n\n", 0}, {"\n\nx", 'x'}, {" ", ' '},
      {"\r\nqrs", 'q'}, {"\xff", 255},
  };
  for (const auto& c : cases) {
    console_input(c.input);
    EXPECT_EQ(con_read_key(), c.key) << "input '" << c.input << "'";
  }
}

}  // namespace
