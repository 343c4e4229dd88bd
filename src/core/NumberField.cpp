#include "core/NumberField.h"

#include <cmath>
#include <limits>

namespace aktarim {

std::string FormatNumberField(int32_t width, int32_t decimals, int32_t mode, double value,
                              bool zeroPad) {
    // Truncation to a 32-bit integer; values outside its range saturate
    // instead of being undefined.
    double truncated = std::trunc(value);
    int32_t integerPart = 0;
    if (std::isnan(truncated))
        integerPart = 0;
    else if (truncated >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        integerPart = std::numeric_limits<int32_t>::max();
    else if (truncated <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        integerPart = std::numeric_limits<int32_t>::min();
    else
        integerPart = static_cast<int32_t>(truncated);

    std::string text = std::to_string(integerPart);
    if (decimals > 0) {
        double fraction = value - static_cast<double>(integerPart);
        text += '.';
        for (int32_t i = 0; i < decimals; ++i) {
            fraction *= 10;
            const double t = std::trunc(fraction);
            const int64_t whole =
                std::isfinite(t) && std::fabs(t) < 9.2e18 ? static_cast<int64_t>(t) : 0;
            const int64_t digit = whole % 10;
            text += std::to_string(digit);
        }
    }
    if (mode != 1 && mode != 2) return text;
    const size_t w = width > 0 ? static_cast<size_t>(width) : 0;
    if (text.size() < w) {
        const size_t pad = w - text.size();
        if (mode == 1)
            text.insert(0, pad, zeroPad ? '0' : ' ');
        else
            text.append(pad, ' ');
    } else if (text.size() > w) {
        text.erase(0, text.size() - w);
    }
    return text;
}

int ProgressPercent(int64_t done, int64_t total) {
    if (done <= 0) return 0;
    if (total <= 0 || done >= total) return 100;
    // Exact integer rounding, halves to the even neighbour.
    const int64_t scaled = done * 100;
    int64_t q = scaled / total;
    const int64_t r = scaled % total;
    if (2 * r > total || (2 * r == total && (q % 2) == 1)) ++q;
    return static_cast<int>(q);
}

}  // namespace aktarim
