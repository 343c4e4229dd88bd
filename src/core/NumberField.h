#pragma once
#include <cstdint>
#include <string>

namespace aktarim {

// A number as fixed-width text. mode 1: right-aligned, padded on the left with
// '0' (zeroPad) or ' '; mode 2: left-aligned, padded on the right with ' ';
// other modes neither pad nor cut. Text longer than width keeps its rightmost
// characters. The value is truncated toward zero, never rounded.
std::string FormatNumberField(int32_t width, int32_t decimals, int32_t mode, double value,
                              bool zeroPad);

// The common call: width digits, zero-padded, no decimals.
inline std::string ZeroPadded(int64_t value, int32_t width) {
    return FormatNumberField(width, 0, 1, static_cast<double>(value), true);
}

// done / total * 100 rounded half to even, kept within 0..100 (a total of 0 or
// less counts as complete once anything is done).
int ProgressPercent(int64_t done, int64_t total);

}  // namespace aktarim
