#include "core/Text.h"

#include <array>
#include <unordered_map>

#include "core/Errors.h"

namespace aktarim {
namespace {

// 0x80..0x9F and the six Turkish letters that differ from Latin-1; the
// undefined bytes keep their own value as a C1 control.
constexpr std::array<char32_t, 32> kHigh80 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x008E, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x009E, 0x0178};

constexpr char32_t ByteToCodePoint(unsigned char b) {
    if (b >= 0x80 && b < 0xA0) return kHigh80[b - 0x80];
    switch (b) {
        case 0xD0:
            return 0x011E;  // Ğ
        case 0xDD:
            return 0x0130;  // İ
        case 0xDE:
            return 0x015E;  // Ş
        case 0xF0:
            return 0x011F;  // ğ
        case 0xFD:
            return 0x0131;  // ı
        case 0xFE:
            return 0x015F;  // ş
        default:
            return b;
    }
}

const std::unordered_map<char32_t, unsigned char>& ReverseTable() {
    static const auto table = [] {
        std::unordered_map<char32_t, unsigned char> t;
        for (int b = 0x80; b < 0x100; ++b)
            t.emplace(ByteToCodePoint(static_cast<unsigned char>(b)), b);
        return t;
    }();
    return table;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Decodes one UTF-8 character at text[i]; returns its length (1 for a
// malformed byte, reported as cp = -1).
size_t DecodeUtf8(std::string_view text, size_t i, int64_t& cp) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    size_t len = 0;
    char32_t value = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, value = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, value = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, value = b0 & 0x07, min = 0x10000;
    } else {
        cp = -1;
        return 1;
    }
    if (i + len > text.size()) {
        cp = -1;
        return 1;
    }
    for (size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80) {
            cp = -1;
            return 1;
        }
        value = (value << 6) | (b & 0x3F);
    }
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        cp = -1;
        return 1;
    }
    cp = value;
    return len;
}

}  // namespace

std::string Cp1254ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80)
            out.push_back(c);
        else
            AppendUtf8(out, ByteToCodePoint(b));
    }
    return out;
}

std::string Utf8ToCp1254(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const auto& reverse = ReverseTable();
    for (size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            out.push_back(text[i++]);
            continue;
        }
        int64_t cp = 0;
        i += DecodeUtf8(text, i, cp);
        auto it = cp < 0 ? reverse.end() : reverse.find(static_cast<char32_t>(cp));
        out.push_back(it == reverse.end() ? '?' : static_cast<char>(it->second));
    }
    return out;
}

std::string Utf16LeToUtf8(std::string_view bytes) {
    constexpr char32_t kReplacement = 0xFFFD;
    std::string out;
    out.reserve(bytes.size() / 2 + bytes.size() / 8);
    const auto unit = [&](size_t i) {
        return static_cast<char32_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    };
    size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        const char32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        AppendUtf8(out, u >= 0xD800 && u <= 0xDFFF ? kReplacement : u);
    }
    if (i < bytes.size()) AppendUtf8(out, kReplacement);
    return out;
}

std::string Utf8ToUtf16Le(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    const auto put = [&](char32_t u) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
    };
    for (size_t i = 0; i < text.size();) {
        int64_t cp = 0;
        i += DecodeUtf8(text, i, cp);
        if (cp < 0) {
            put(0xFFFD);
        } else if (cp >= 0x10000) {
            const auto v = static_cast<char32_t>(cp - 0x10000);
            put(0xD800 + (v >> 10));
            put(0xDC00 + (v & 0x3FF));
        } else {
            put(static_cast<char32_t>(cp));
        }
    }
    return out;
}

std::string NotAnIntegerMessage(std::string_view text) {
    return "'" + std::string(text) + "' is not a valid integer value";
}

int32_t StrToInt(std::string_view text) {
    std::string_view digits = text;
    bool negative = false;
    if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    // Leading zeros do not count towards the length: "000000000123" is 123.
    while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
    int64_t value = 0;
    if (digits.empty() || digits.size() > 10)
        throw AppError(ErrorKind::Conversion, NotAnIntegerMessage(text));
    for (char c : digits) {
        if (c < '0' || c > '9') throw AppError(ErrorKind::Conversion, NotAnIntegerMessage(text));
        value = value * 10 + (c - '0');
    }
    if (negative) value = -value;
    if (value < INT32_MIN || value > INT32_MAX)
        throw AppError(ErrorKind::Conversion, NotAnIntegerMessage(text));
    return static_cast<int32_t>(value);
}

bool IsValidUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        int64_t cp = 0;
        i += DecodeUtf8(text, i, cp);
        if (cp < 0) return false;
    }
    return true;
}

size_t Utf8Length(std::string_view text) {
    size_t n = 0;
    for (size_t i = 0; i < text.size(); ++n) {
        int64_t cp = 0;
        i += DecodeUtf8(text, i, cp);
    }
    return n;
}

std::string Utf8Left(std::string_view text, size_t characters) {
    size_t i = 0;
    for (size_t n = 0; n < characters && i < text.size(); ++n) {
        int64_t cp = 0;
        i += DecodeUtf8(text, i, cp);
    }
    return std::string(text.substr(0, i));
}

std::string Utf8CharAt(std::string_view text, size_t position) {
    if (position == 0) return {};
    size_t i = 0;
    for (size_t n = 1; i < text.size(); ++n) {
        int64_t cp = 0;
        const size_t len = DecodeUtf8(text, i, cp);
        if (n == position) return std::string(text.substr(i, len));
        i += len;
    }
    return {};
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 0x20) text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 0x20) text.remove_suffix(1);
    return text;
}

}  // namespace aktarim
