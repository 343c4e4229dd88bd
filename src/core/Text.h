#pragma once
// Program text is UTF-8; every file the program writes is code page 1254.
#include <cstdint>
#include <string>
#include <string_view>

namespace aktarim {

// All 256 bytes map to a code point and back, so any file content survives a
// read/write cycle; the bytes 1254 leaves undefined map to the C1 controls.
std::string Cp1254ToUtf8(std::string_view bytes);
// A character that 1254 cannot hold becomes '?', as does a malformed UTF-8 byte.
std::string Utf8ToCp1254(std::string_view text);

// UTF-16 LE bytes (without their byte order mark) to UTF-8 and back. An
// unpaired surrogate or a lone last byte reads as U+FFFD; malformed UTF-8
// writes as U+FFFD.
std::string Utf16LeToUtf8(std::string_view bytes);
std::string Utf8ToUtf16Le(std::string_view text);

// Signed 32-bit decimal; anything else (the empty text too) throws
// AppError(Conversion, "'<text>' is not a valid integer value").
int32_t StrToInt(std::string_view text);
std::string NotAnIntegerMessage(std::string_view text);

// Well-formed UTF-8: no stray or missing continuation byte, no overlong form,
// no surrogate, nothing past U+10FFFF. The one decoder behind every function
// here, and behind the wire's check of the texts a terminal sends.
bool IsValidUtf8(std::string_view text);

// Length and prefix counted in characters, not bytes.
size_t Utf8Length(std::string_view text);
std::string Utf8Left(std::string_view text, size_t characters);
// The character at a 1-based position, empty when the text is shorter.
std::string Utf8CharAt(std::string_view text, size_t position);

// Removes leading and trailing blanks and control characters (bytes <= 0x20).
std::string_view TrimBlanks(std::string_view text);

}  // namespace aktarim
