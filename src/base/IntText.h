// Whole texts read as decimal integers. Each form reads all of the text (nothing may follow
// the digits) and fails on an empty text or a number beyond the type. Other readers keep
// their own rule on purpose: the settings files also take hexadecimal (IniFile), game
// sources take hexadecimal and more (GameSource), script text has its own numbers.
#pragma once

#include <charconv>
#include <string_view>

namespace qx {

// Digits with an optional '-': keys in an image list's ELEMENTS, the n of KEYX[n], the group
// labels of the board puzzle.
template <class Int>
bool ParseWholeInt(std::string_view text, Int& out) {
  const char* last = text.data() + text.size();
  const auto [p, ec] = std::from_chars(text.data(), last, out);
  return !text.empty() && ec == std::errc() && p == last;
}

// The same with a leading '+' taken as well: the n of CHILD[n], a volume in the sound table.
template <class Int>
bool ParseSignedWholeInt(std::string_view text, Int& out) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  return ParseWholeInt(text, out);
}

}  // namespace qx
