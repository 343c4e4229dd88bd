#include "core/Collation.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace aktarim {
namespace {

// Lower-case letters in alphabetical order.
constexpr char32_t kAlphabet[] = U"abcçdefgğhıijklmnoöpqrsştuüvwxyz";
constexpr uint32_t kLetterBase = 0x110000;  // letters sort after every non-letter
constexpr uint32_t kOtherBase = 0x120000;   // letters of other scripts after ours

struct Weight {
    uint32_t primary;   // the letter, whatever its case and accent
    uint32_t tertiary;  // 0 plain lower case, +1 accent, +2 upper case
};

// Decodes one code point; a malformed byte stands for itself (as U+FFFD
// would lose the difference between two malformed texts).
char32_t NextCodePoint(std::string_view text, size_t& i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    int extra = 0;
    char32_t cp = lead;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        cp = lead & 0x07;
    }
    if (extra > 0 && i + extra >= text.size()) extra = -1;  // cut short
    for (int k = 1; k <= extra; ++k)
        if ((byte(i + k) & 0xC0) != 0x80) extra = -1;
    if (extra <= 0) {
        ++i;
        return lead;
    }
    for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (byte(i + k) & 0x3F);
    i += extra + 1;
    return cp;
}

uint32_t LetterIndex(char32_t lower) {
    for (uint32_t k = 0; kAlphabet[k] != 0; ++k)
        if (kAlphabet[k] == lower) return k;
    return UINT32_MAX;
}

Weight WeightOf(char32_t cp) {
    char32_t lower = cp;
    uint32_t tertiary = 0;
    if (cp >= U'A' && cp <= U'Z') {
        lower = cp == U'I' ? U'ı' : cp + 0x20;
        tertiary = 2;
    } else if (cp == U'İ') {
        lower = U'i';
        tertiary = 2;
    } else {
        switch (cp) {
            case U'Ç':
                lower = U'ç';
                tertiary = 2;
                break;
            case U'Ğ':
                lower = U'ğ';
                tertiary = 2;
                break;
            case U'Ö':
                lower = U'ö';
                tertiary = 2;
                break;
            case U'Ş':
                lower = U'ş';
                tertiary = 2;
                break;
            case U'Ü':
                lower = U'ü';
                tertiary = 2;
                break;
            case U'â':
                lower = U'a';
                tertiary = 1;
                break;
            case U'Â':
                lower = U'a';
                tertiary = 3;
                break;
            case U'î':
                lower = U'i';
                tertiary = 1;
                break;
            case U'Î':
                lower = U'i';
                tertiary = 3;
                break;
            case U'û':
                lower = U'u';
                tertiary = 1;
                break;
            case U'Û':
                lower = U'u';
                tertiary = 3;
                break;
            default:
                break;
        }
    }
    const uint32_t letter = LetterIndex(lower);
    if (letter != UINT32_MAX) return {kLetterBase + letter, tertiary};
    // Letters of other alphabets (é, ä, ...) keep their code point order,
    // after ours; everything below 'A' (blanks, digits, punctuation) first.
    const bool otherLetter = cp >= 0xC0;
    return {otherLetter ? kOtherBase + cp : static_cast<uint32_t>(cp), 0};
}

std::vector<Weight> Weights(std::string_view text) {
    std::vector<Weight> weights;
    weights.reserve(text.size());
    for (size_t i = 0; i < text.size();) weights.push_back(WeightOf(NextCodePoint(text, i)));
    return weights;
}

}  // namespace

int CompareTurkish(std::string_view a, std::string_view b) {
    const std::vector<Weight> wa = Weights(a);
    const std::vector<Weight> wb = Weights(b);
    const size_t common = std::min(wa.size(), wb.size());
    for (size_t k = 0; k < common; ++k)
        if (wa[k].primary != wb[k].primary) return wa[k].primary < wb[k].primary ? -1 : 1;
    if (wa.size() != wb.size()) return wa.size() < wb.size() ? -1 : 1;
    for (size_t k = 0; k < common; ++k)
        if (wa[k].tertiary != wb[k].tertiary) return wa[k].tertiary < wb[k].tertiary ? -1 : 1;
    // Equal to the eye: byte order keeps the sort total and stable.
    return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

}  // namespace aktarim
