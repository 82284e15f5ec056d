#include "resources/NameFold.h"

#include <array>

namespace qx {
namespace {

constexpr std::array<uint8_t, 256> MakeFoldTable() {
  std::array<uint8_t, 256> t{};
  for (int i = 0; i < 256; ++i) t[i] = static_cast<uint8_t>(i);
  for (int c = 'a'; c <= 'z'; ++c) t[c] = static_cast<uint8_t>(c - 32);
  for (int c = 0xE0; c <= 0xFF; ++c) t[c] = static_cast<uint8_t>(c - 32);  // а..я -> А..Я
  // The Cyrillic letters outside the main block, lower-case byte -> upper-case byte.
  constexpr uint8_t pairs[][2] = {
      {0x90, 0x80}, {0x83, 0x81}, {0x9A, 0x8A}, {0x9C, 0x8C}, {0x9D, 0x8D}, {0x9E, 0x8E},
      {0x9F, 0x8F}, {0xA2, 0xA1}, {0xBC, 0xA3}, {0xB4, 0xA5}, {0xB8, 0xA8}, {0xBA, 0xAA},
      {0xBF, 0xAF}, {0xB3, 0xB2}, {0xBE, 0xBD}};
  for (const auto& p : pairs) t[p[0]] = p[1];
  return t;
}

constexpr std::array<uint8_t, 256> kFold = MakeFoldTable();

}  // namespace

uint8_t FoldCase1251(uint8_t byte) { return kFold[byte]; }

std::string FoldName1251(std::string_view name) {
  std::string out(name);
  for (char& c : out) c = static_cast<char>(kFold[static_cast<uint8_t>(c)]);
  return out;
}

bool SameName1251(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (kFold[static_cast<uint8_t>(a[i])] != kFold[static_cast<uint8_t>(b[i])]) return false;
  }
  return true;
}

}  // namespace qx
