#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "core/NumberField.h"

using namespace aktarim;

TEST(FormatNumberField, WidthsModesAndCutting) {
    struct Case {
        int32_t width, decimals, mode;
        double value;
        bool zeroPad;
        const char* expected;
    };
    constexpr std::array<Case, 14> cases = {{
        {2, 0, 1, 7, true, "07"},
        {4, 0, 1, 2024, true, "2024"},
        {3, 0, 1, 1, true, "001"},
        {5, 0, 1, 123456, true, "23456"},  // the leading digit goes, not the last
        {3, 0, 1, 1000, true, "000"},
        {4, 0, 1, -5, true, "00-5"},  // the sign is padded like a digit
        {6, 0, 1, 42, false, "    42"},
        {6, 0, 2, 42, true, "42    "},
        {0, 0, 1, 42, true, ""},
        {3, 2, 1, 1.25, true, ".25"},
        {2, 0, 0, 12345, true, "12345"},  // other modes neither pad nor cut
        {2, 0, 1, 7.9, true, "07"},       // truncated, never rounded
        {7, 3, 2, 3.5, true, "3.500  "},
        {-3, 0, 1, 42, true, ""},
    }};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.width << "," << c.decimals << "," << c.mode << "," << c.value);
        EXPECT_EQ(FormatNumberField(c.width, c.decimals, c.mode, c.value, c.zeroPad), c.expected);
    }
}

TEST(FormatNumberField, HugeAndNonFiniteValuesDoNotCrash) {
    EXPECT_EQ(FormatNumberField(10, 0, 1, 1e300, true), "2147483647");
    EXPECT_EQ(FormatNumberField(3, 0, 1, std::nan(""), true), "000");
}

TEST(ProgressPercent, RoundsHalvesToEvenAndStaysInRange) {
    std::string eight;
    for (int n = 1; n <= 8; ++n) eight += std::to_string(ProgressPercent(n, 8)) + " ";
    EXPECT_EQ(eight, "12 25 38 50 62 75 88 100 ");
    EXPECT_EQ(ProgressPercent(1, 3), 33);
    EXPECT_EQ(ProgressPercent(2, 3), 67);
    EXPECT_EQ(ProgressPercent(1, 200), 0);  // 0.5 rounds to 0
    EXPECT_EQ(ProgressPercent(3, 200), 2);  // 1.5 rounds to 2
    EXPECT_EQ(ProgressPercent(5, 0), 100);  // nothing counted, records arrived
    EXPECT_EQ(ProgressPercent(9, 8), 100);  // more arrived than counted
    EXPECT_EQ(ProgressPercent(0, 0), 0);
}
