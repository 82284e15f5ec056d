// Game text is single-byte code page 1251; the OS boundary (file names, captions, YAML,
// log output) speaks UTF-8. These are the only conversions between the two.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qx {

// The Unicode code point of a 1251 byte (U+0098 for the one unassigned byte, 0x98).
uint32_t Cp1251ToUnicode(uint8_t byte);
// The 1251 byte of a code point, or nothing when 1251 has no such character.
std::optional<uint8_t> UnicodeToCp1251(uint32_t codePoint);

std::string Cp1251ToUtf8(std::string_view text);
// Fails (nothing) on malformed UTF-8 or a character with no 1251 form; `badOffset`, when
// given, receives the byte offset of the first offending character.
std::optional<std::string> Utf8ToCp1251(std::string_view text, size_t* badOffset = nullptr);

// Upper and lower case of code page 1251 text: Latin and Cyrillic letters, whatever the
// host locale.
std::string Upper1251(std::string_view s);
std::string Lower1251(std::string_view s);

}  // namespace qx
