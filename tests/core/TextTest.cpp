#include <gtest/gtest.h>

#include "core/Text.h"

TEST(Text, Placeholder) { EXPECT_EQ(aktarim::StrToInt("12"), 12); }
