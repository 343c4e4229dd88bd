#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/Collation.h"

using namespace aktarim;

TEST(TurkishCollation, NamesSortInAlphabeticalOrder) {
    // The names a personnel grid holds, shuffled as byte order would leave them.
    std::vector<std::string> names = {"Zeynep", "Çiğdem", "Özlem", "Ümit",  "İpek",  "İsmail",
                                      "Şükran", "Ayşe",   "Cem",   "Irmak", "Ilgın", "Okan",
                                      "Selin",  "Umut",   "Gül",   "Ğ",     "Hakan", "Derya"};
    std::sort(names.begin(), names.end(), TurkishLess);
    const std::vector<std::string> expected = {
        "Ayşe", "Cem",    "Çiğdem", "Derya", "Gül",   "Ğ",      "Hakan", "Ilgın", "Irmak",
        "İpek", "İsmail", "Okan",   "Özlem", "Selin", "Şükran", "Umut",  "Ümit",  "Zeynep"};
    EXPECT_EQ(names, expected);
}

TEST(TurkishCollation, PairsOfTexts) {
    struct Case {
        const char* a;
        const char* b;
        int sign;  // of CompareTurkish(a, b)
    };
    const Case cases[] = {
        {"C", "Ç", -1},        {"Cz", "Ça", -1},    {"G", "Ğ", -1},      {"Gz", "Ğa", -1},
        {"O", "Ö", -1},        {"Oz", "Öa", -1},    {"S", "Ş", -1},      {"Sz", "Şa", -1},
        {"U", "Ü", -1},        {"Uz", "Üa", -1},    {"I", "İ", -1},      {"ı", "i", -1},
        {"Iz", "İa", -1},      {"ız", "ia", -1},    {"h", "ı", -1},      {"i", "j", -1},
        {"I", "ı", 1},         {"İ", "i", 1},       {"Ilık", "ılık", 1}, {"İzmir", "izmir", 1},
        {"ılık", "İzmir", -1}, {"ali", "Ali", -1},  {"Ali", "alim", -1}, {"hala", "hâlâ", -1},
        {"hâlâ", "halk", -1},  {"", "a", -1},       {"10", "9", -1},     {"9", "A", -1},
        {"Zeynep", "é", -1},   {"Ayşe", "Ayşe", 0}, {"Cem ", "Cem", 1},  {"a\xFF", "a\xFE", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " <> " + c.b);
        const int result = CompareTurkish(c.a, c.b);
        EXPECT_EQ((result > 0) - (result < 0), c.sign);
        const int reverse = CompareTurkish(c.b, c.a);
        EXPECT_EQ((reverse > 0) - (reverse < 0), -c.sign);
    }
}
