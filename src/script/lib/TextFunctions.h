// The text helpers behind the standard built-ins: 1-based copying and searching,
// trimming, number text, the code page 1251 letter case, and Format.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/CodePage.h"
#include "script/ScriptValue.h"

namespace qx {

// Count characters from Index (1-based); Index below 1 counts as 1.
std::string CopyChars(std::string_view s, int64_t index, int64_t count);
// 1-based position of the first occurrence; 0 when absent or when `sub` is empty.
int PositionOf(std::string_view sub, std::string_view s);
// Without characters at or below the blank (code 32) at the ends.
std::string TrimText(std::string_view s);
std::string TrimLeftText(std::string_view s);
std::string TrimRightText(std::string_view s);

// Fixed notation with 15 decimals, trailing zeros and a trailing point removed.
std::string FloatToStrFixed(double v);
// Optional sign and decimal digits, inside the 32-bit range.
std::optional<int32_t> ParseInt32Text(std::string_view s);

// Widths and precisions in Format specifiers are capped here; larger ones fail.
inline constexpr int kMaxFormatWidth = 4096;

// One value by one printf-like specifier ("%d", "%-8.2f", "%x", "%s" ...). Nothing when the
// specifier does not fit the value (for example "%d" with a Float) or is not understood.
std::optional<std::string> FormatOneValue(std::string_view spec, const ScriptValue& value);
// The pattern with each specifier replaced by the next value; when a value does not fit,
// it is tried again truncated to a 64-bit integer. False (with `error`) when neither fits.
bool FormatText(std::string_view pattern, std::span<const ScriptValue> values, std::string& out,
                std::string& error);

}  // namespace qx
