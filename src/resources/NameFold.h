// Letter-case folding of code page 1251 names (archive records, game file names): ASCII and
// the Cyrillic letters of 1251 compare without regard to case.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qx {

// The upper-case form of a 1251 byte; bytes that are not letters stay as they are.
uint8_t FoldCase1251(uint8_t byte);
std::string FoldName1251(std::string_view name);
bool SameName1251(std::string_view a, std::string_view b);

}  // namespace qx
