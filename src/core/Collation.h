#pragma once
// Alphabetical order of Turkish text, for sorting the grids' text columns:
// a b c ç d e f g ğ h ı i j k l m n o ö p q r s ş t u ü v w x y z, where the
// capital of ı is I and the capital of i is İ. Case and the circumflex of
// â, î, û decide only between texts that are otherwise equal; digits and
// punctuation come before letters, other scripts after them.
#include <string_view>

namespace aktarim {

// <0, 0 or >0 as a sorts before, with or after b (UTF-8 texts).
int CompareTurkish(std::string_view a, std::string_view b);

inline bool TurkishLess(std::string_view a, std::string_view b) { return CompareTurkish(a, b) < 0; }

}  // namespace aktarim
