#include <gtest/gtest.h>

#include <array>
#include <string>

#include "core/Errors.h"
#include "core/Text.h"

using namespace aktarim;

TEST(Cp1254, EveryByteRoundTrips) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(Utf8ToCp1254(Cp1254ToUtf8(all)), all);
}

TEST(Cp1254, TurkishLettersMapToTheirBytes) {
    struct Case {
        const char* utf8;
        unsigned char byte;
    };
    constexpr std::array<Case, 12> cases = {{{"ğ", 0xF0},
                                             {"Ğ", 0xD0},
                                             {"ı", 0xFD},
                                             {"İ", 0xDD},
                                             {"ş", 0xFE},
                                             {"Ş", 0xDE},
                                             {"ç", 0xE7},
                                             {"Ç", 0xC7},
                                             {"ö", 0xF6},
                                             {"Ö", 0xD6},
                                             {"ü", 0xFC},
                                             {"€", 0x80}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(Utf8ToCp1254(c.utf8), std::string(1, static_cast<char>(c.byte)));
        EXPECT_EQ(Cp1254ToUtf8(std::string(1, static_cast<char>(c.byte))), c.utf8);
    }
}

TEST(Cp1254, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToCp1254("a\xE2\x82\xB9"      // ₹ rupee sign
                           "b\xF0\x9F\x98\x80"  // emoji
                           "c"),
              "a?b?c");
    EXPECT_EQ(Utf8ToCp1254("x\xC3"), "x?");  // cut multi-byte sequence
    EXPECT_EQ(Utf8ToCp1254("\xFF\xFE"), "??");
}

TEST(StrToInt, AcceptsSignedDecimal32Bit) {
    struct Case {
        const char* text;
        int32_t value;
    };
    constexpr std::array<Case, 6> cases = {{{"0", 0},
                                            {"4370", 4370},
                                            {"-5", -5},
                                            {"+7", 7},
                                            {"2147483647", 2147483647},
                                            {"-2147483648", INT32_MIN}}};
    for (const auto& c : cases) EXPECT_EQ(StrToInt(c.text), c.value) << c.text;
}

TEST(StrToInt, RejectsEverythingElseWithTheSystemsMessage) {
    constexpr std::array<const char*, 9> bad = {"",  " 1",         "1 ",          "abc", "12a",
                                                "-", "2147483648", "99999999999", "1.5"};
    for (const char* text : bad) {
        try {
            StrToInt(text);
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const AppError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::Conversion);
            EXPECT_EQ(std::string(e.what()),
                      std::string("'") + text + "' is not a valid integer value");
        }
    }
}

TEST(Utf8, ValidityFollowsTheEncodingRules) {
    struct Case {
        const char* label;
        std::string text;
        bool valid;
    };
    const std::array cases = {
        Case{"empty", "", true},
        Case{"ASCII with a NUL", std::string("a\0b", 3), true},
        Case{"Turkish letters", "Çıkış İĞ", true},
        Case{"three bytes (euro)", "\xE2\x82\xAC", true},
        Case{"four bytes, the last code point", "\xF4\x8F\xBF\xBF", true},
        Case{"lone continuation byte", "a\x80", false},
        Case{"lead byte cut at the end", "x\xC3", false},
        Case{"four-byte lead cut short", "\xF0\x9F\x98", false},
        Case{"lead byte followed by ASCII", "\xC3(", false},
        Case{"overlong slash", "\xC0\xAF", false},
        Case{"overlong three bytes", "\xE0\x80\x80", false},
        Case{"surrogate", "\xED\xA0\x80", false},
        Case{"past U+10FFFF", "\xF4\x90\x80\x80", false},
        Case{"byte that never leads", "\xFF", false},
        Case{"1254 byte of a Turkish letter", "\xFD", false},
        Case{"emoji, four bytes", "\xF0\x9F\x98\x80", true},
        Case{"overlong NUL", "\xC0\x80", false},
        Case{"continuation byte between ASCII",
             "a\x80"
             "b",
             false},
        Case{"five-byte lead", "\xF8\x88\x80\x80\x80", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsValidUtf8(c.text), c.valid) << c.label;
}

TEST(Utf8, LengthAndPrefixCountCharacters) {
    EXPECT_EQ(Utf8Length("Çıkış"), 5u);
    EXPECT_EQ(Utf8Left("Gülşen Çelik", 4), "Gülş");
    EXPECT_EQ(Utf8Left("abc", 10), "abc");
    EXPECT_EQ(Utf8CharAt("Com3", 4), "3");
    EXPECT_EQ(Utf8CharAt("Com", 4), "");
    EXPECT_EQ(Utf8CharAt("ÇömX", 4), "X");
}
