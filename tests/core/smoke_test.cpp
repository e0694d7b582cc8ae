#include <gtest/gtest.h>

#include "resources/Strings.h"

TEST(StringTable, ConvertsToCp932) {
    EXPECT_EQ(Str(Sid::LogAborted).size(), 14u);
}
