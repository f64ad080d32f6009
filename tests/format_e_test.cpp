// format_e14 against the snprintf-based kformat("%14.7e").
#include <cfloat>
#include <cmath>
#include <gtest/gtest.h>

#include "platform/format.h"
#include "platform/format_e.h"
#include "tests/format_e_cases.h"

namespace {

std::string e14(double v) {
  char buf[2 * e14_max];
  return std::string(buf, format_e14(buf, v));
}

#define EXPECT_E14(text, v) EXPECT_EQ(e14(v), text) << #v

TEST(FormatE, Basic) {
  EXPECT_E14("0.0000000e+000", 0.0);
  EXPECT_E14("-0.0000000e+000", -0.0);
  EXPECT_E14("1.0000000e+000", 1.0);
  EXPECT_E14("4.2283831e+000", 4.22838306);
  EXPECT_E14("-1.2345678e-005", -1.2345678e-5);
  EXPECT_E14("9.9990005e+000", 9999 * double(0.001f));
  EXPECT_E14("1.0000000e+100", 1e100);
}

TEST(FormatE, RoundsHalfToEvenAndCarries) {
  EXPECT_E14("1.2345678e+007", 12345678.5);     // exact tie, 8 is even
  EXPECT_E14("1.2345678e+007", 12345677.5);     // exact tie, 7 is odd
  EXPECT_E14("1.0039062e+000", 1.00390625);     // 1 + 2^-8, a tie below 10
  EXPECT_E14("1.0039063e+000", std::nextafter(1.00390625, 2.0));
  EXPECT_E14("1.2345680e+008", 123456795.0);    // exact tie, 9 is odd: up, with a carry
  EXPECT_E14("9.9999999e+000", 9.99999995);     // the double lies just below the tie
  EXPECT_E14("1.0000000e+001", std::nextafter(9.99999995, 10.0));  // above it: into e+001
}

TEST(FormatE, MinAndMax) {
  EXPECT_E14("1.7976931e+308", DBL_MAX);
  EXPECT_E14("-1.7976931e+308", -DBL_MAX);
  EXPECT_E14("2.2250739e-308", DBL_MIN);
  EXPECT_E14("4.9406565e-324", DBL_TRUE_MIN);
  EXPECT_E14("2.2250739e-308", std::nextafter(DBL_MIN, 0.0));  // the largest subnormal
}

TEST(FormatE, NotFiniteAsTheCLibraryPrintsIt) {
  EXPECT_E14("           inf", INFINITY);
  EXPECT_E14("          -inf", -INFINITY);
  EXPECT_EQ(e14(NAN), kformat("%14.7e", double(NAN)));
}

TEST(FormatE, PowersOfTenEverywhere) {
  for (int k = -323; k <= 308; ++k) {
    const double p = std::strtod(("1e" + std::to_string(k)).c_str(), nullptr);
    for (double v : {p, std::nextafter(p, 0.0), std::nextafter(p, INFINITY)})
      ASSERT_EQ(e14(v), kformat("%14.7e", v)) << k;
  }
}

// A few million values of every kind; the exhaustive test runs tens of millions.
TEST(FormatE, MatchesKformatOnMillionsOfValues) {
  double first_bad = 0;
  EXPECT_EQ(format_e_cases::compare(20240611, 3000000, first_bad), 0u) << "first: " << kformat("%a", first_bad);
}

}  // namespace
