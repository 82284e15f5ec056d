// Whole numbers given to command-line options, read with the messages a person understands
// ("--frames must be 0 or more") instead of a parser's type ranges.
#pragma once

#include <charconv>
#include <limits>
#include <string>
#include <string_view>

namespace qx {

// What values `option` takes, as a person says it: "0 or more", "from 1 to 256".
template <class Int>
std::string OptionRangeText(Int min, Int max) {
  if (max == std::numeric_limits<Int>::max()) return std::to_string(min) + " or more";
  return "from " + std::to_string(min) + " to " + std::to_string(max);
}

// Reads `text` as a whole decimal number of `option` between `min` and `max`. The empty
// answer means it was read into `out`; otherwise it is the message to show, naming the option.
template <class Int>
std::string ReadOptionNumber(std::string_view option, std::string_view text, Int min, Int max, Int& out) {
  const std::string range = OptionRangeText(min, max);
  std::string_view digits = text;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  const bool negative = !digits.empty() && digits.front() == '-';
  const std::string_view magnitude = negative ? digits.substr(1) : digits;
  if (magnitude.empty() || magnitude.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::string(option) + " must be a whole number, " + range + " (not '" + std::string(text) + "')";
  }
  Int value{};
  const char* last = digits.data() + digits.size();
  const auto [end, ec] = std::from_chars(digits.data(), last, value);
  // Too large for the type, or a minus sign an unsigned type refuses: out of range either way.
  const bool read = ec == std::errc() && end == last;
  if (negative ? !read || value < min : read && value < min) return std::string(option) + " must be " + range;
  if (!read || value > max) {
    if (max == std::numeric_limits<Int>::max()) return std::string(option) + " must be at most " + std::to_string(max);
    return std::string(option) + " must be " + range;
  }
  out = value;
  return {};
}

}  // namespace qx
