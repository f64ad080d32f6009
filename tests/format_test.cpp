#include <gtest/gtest.h>
#include "platform/format.h"
TEST(Format, Placeholder) { EXPECT_EQ(kformat("%14.7e", 0.0), "0.0000000e+000"); }
