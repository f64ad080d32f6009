// The console and file formatting: three exponent digits, the width applied
// to the widened text, %ld of a 32-bit int.
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

#include "platform/format.h"

namespace {

struct case_d {
  const char* fmt;
  double value;
  const char* expected;
};

void expect_cases(const std::vector<case_d>& cases) {
  for (const auto& c : cases)
    EXPECT_EQ(kformat(c.fmt, c.value), c.expected) << c.fmt << " of " << c.value;
}

TEST(Format, ScientificHasThreeExponentDigits) {
  expect_cases({
      {"%14.7e", 0.0, "0.0000000e+000"},
      {"%14.7e", 1.0, "1.0000000e+000"},
      {"%14.7e", -1.5, "-1.5000000e+000"},
      {"%14.7e", 4.9999999e-5, "4.9999999e-005"},
      {"%14.7e", -2.5e-7, "-2.5000000e-007"},
      {"%14.7e", 1e-100, "1.0000000e-100"},
      {"%14.7e", -1.2345678e300, "-1.2345678e+300"},
      {"%14.7e", 9.99999996, "1.0000000e+001"},  // rounding carries into the exponent
      {"%14.7e", 4.9406564584124654e-324, "4.9406565e-324"},
      {"%10.4e", 6.0582, "6.0582e+000"},  // wider than the field: not cut
      {"%10.4e", 7.6483e-3, "7.6483e-003"},
      {"%e", 1e200, "1.000000e+200"},
      {"%20.3e", 1e5, "          1.000e+005"},
      {"%-16.3e", 1.0, "1.000e+000      "},
      {"%014.3e", -1.0, "-0001.000e+000"},
      {"%+12.2e", 3.0, "  +3.00e+000"},
  });
}

TEST(Format, GeneralChoosesStyleAsTheCLibraryDoes) {
  expect_cases({
      {"%10.3g", 2000.0, "    2e+003"},
      {"%10.3g", 500.0, "       500"},
      {"%10.3g", -29.3, "     -29.3"},
      {"%10.3g", 0.0258, "    0.0258"},
      {"%10.3g", 1e-5, "    1e-005"},
      {"%10.3g", 20000.0, "    2e+004"},
      {"%10.3g", 0.0, "         0"},
      {"%14.5g", 1e-30, "        1e-030"},
      {"%14.5g", 0.007, "         0.007"},
      {"%14.5g", -1e-100, "       -1e-100"},
      {"%12.4g", 0.99, "        0.99"},
      {"%12.4g", 123456.0, "  1.235e+005"},
      {"%14.4g", 0.06103515625, "       0.06104"},
      {"%14.4g", 1e4, "        1e+004"},
      {"%g", 1e100, "1e+100"},
      {"%g", 1e-300, "1e-300"},
  });
}

TEST(Format, InfinityAndNanAsTheCLibraryPrintsThemPadded) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  expect_cases({
      {"%14.7e", inf, "           inf"},
      {"%14.7e", -inf, "          -inf"},
      {"%10.3g", nan, "       nan"},
      {"%10.3g", -nan, "      -nan"},
      {"%010.3g", inf, "       inf"},  // no zero padding for a word
  });
}

TEST(Format, IntegersStringsAndText) {
  EXPECT_EQ(kformat("\n white 1 np= %ld", 65536), "\n white 1 np= 65536");
  EXPECT_EQ(kformat("%ld|%ld", -1, 2147483647), "-1|2147483647");
  EXPECT_EQ(kformat("%5ld|%-5ld|", 42, 42), "   42|42   |");
  EXPECT_EQ(kformat(" Failed to open file: %s \n", "a.txt"), " Failed to open file: a.txt \n");
  EXPECT_EQ(kformat("100%% %s", ""), "100% ");
  EXPECT_EQ(kformat("\n k=%ld  freq[k]=%14.5g  freq[k-1]=%14.5g \n", 1, 10.0, 20.0),
            "\n k=1  freq[k]=            10  freq[k-1]=            20 \n");
  EXPECT_EQ(kformat("%14.7e %14.7e\n", 0.001, -3.25), "1.0000000e-003 -3.2500000e+000\n");
  std::string long_name(300, 'x');
  EXPECT_EQ(kformat("<%s>", long_name.c_str()), "<" + long_name + ">");
}

TEST(Format, StreamWriteReturnsItsLength) {
  FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(kfprintf(f, "%14.7e %14.7e\n", 0.0, 1.0), 30);
  std::rewind(f);
  char buf[64] = {};
  ASSERT_EQ(std::fread(buf, 1, sizeof buf, f), 30u);
  EXPECT_STREQ(buf, "0.0000000e+000 1.0000000e+000\n");
  std::fclose(f);
}

}  // namespace
