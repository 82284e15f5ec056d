// The built-ins that follow the common Pascal run-time library, against a table of results
// computed once by FreePascal (tests/data/stdlib/rtl_reference.pas writes it).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "script/lib/DateTime.h"
#include "script/lib/TextFunctions.h"

namespace qx {
namespace {

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> parts;
  std::stringstream ss(line);
  for (std::string p; std::getline(ss, p, '|');) parts.push_back(p);
  return parts;
}

std::string Text(const std::string& hex) {
  if (hex == "-") return {};
  std::string s;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) s.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return s;
}

double Dbl(const std::string& hex) {
  const uint64_t bits = std::stoull(hex, nullptr, 16);
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}

std::string Hex(double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, 8);
  char buf[20];
  std::snprintf(buf, sizeof buf, "%016llX", static_cast<unsigned long long>(bits));
  return buf;
}

double IntPowerLike(double base, int exponent) {
  // Repeated squaring, as the run-time library does it.
  double result = 1.0;
  double b = base;
  int64_t e = exponent < 0 ? -int64_t{exponent} : exponent;
  while (e > 0) {
    if (e & 1) result *= b;
    b *= b;
    e >>= 1;
  }
  return exponent < 0 ? 1.0 / result : result;
}

TEST(RtlReference, EveryLineMatches) {
  std::ifstream in(std::string(QX_TEST_DATA_DIR) + "/stdlib/rtl_reference.txt");
  ASSERT_TRUE(in) << "missing reference table";
  std::map<std::string, int> checked;
  for (std::string line; std::getline(in, line);) {
    const auto f = Split(line);
    const std::string& name = f[0];
    const std::string& expect = f.back();
    std::string got;
    if (name == "Copy") got = CopyChars(Text(f[1]), std::stoll(f[2]), std::stoll(f[3]));
    else if (name == "Pos") got = std::to_string(PositionOf(Text(f[1]), Text(f[2])));
    else if (name == "Trim") got = TrimText(Text(f[1]));
    else if (name == "TrimLeft") got = TrimLeftText(Text(f[1]));
    else if (name == "TrimRight") got = TrimRightText(Text(f[1]));
    else if (name == "Round") got = std::to_string(static_cast<int64_t>(std::nearbyint(Dbl(f[1]))));
    else if (name == "Trunc") got = std::to_string(static_cast<int64_t>(std::trunc(Dbl(f[1]))));
    else if (name == "Int") got = Hex(std::trunc(Dbl(f[1])));
    else if (name == "Frac") got = Hex(Dbl(f[1]) - std::trunc(Dbl(f[1])));
    else if (name == "Floor") got = std::to_string(static_cast<int64_t>(std::floor(Dbl(f[1]))));
    else if (name == "Ceil") got = std::to_string(static_cast<int64_t>(std::ceil(Dbl(f[1]))));
    else if (name == "IntPower") got = Hex(IntPowerLike(Dbl(f[1]), std::stoi(f[2])));
    else if (name == "IntToStr") got = std::to_string(std::stoll(f[1]));
    else if (name == "StrToInt") {
      const auto v = ParseInt32Text(Text(f[1]));
      got = v ? std::to_string(*v) : "ERR";
    } else if (name == "EncodeDate") {
      const auto v = EncodeDate(std::stoi(f[1]), std::stoi(f[2]), std::stoi(f[3]));
      got = v ? Hex(*v) : "ERR";
    } else if (name == "IncMonth") {
      const auto v = IncMonth(Dbl(f[1]), std::stoi(f[2]));
      got = v ? Hex(*v) : "ERR";
    } else if (name == "DayOfWeek") {
      got = std::to_string(DayOfWeek(Dbl(f[1])));
    } else {
      ADD_FAILURE() << "unknown function " << name;
      continue;
    }
    // Strings are compared as hex in the table.
    if (name == "Copy" || name == "Trim" || name == "TrimLeft" || name == "TrimRight") {
      EXPECT_EQ(got, Text(expect)) << line;
    } else if (name == "IntToStr") {
      EXPECT_EQ(got, Text(expect)) << line;
    } else {
      EXPECT_EQ(got, expect) << line;
    }
    ++checked[name];
  }
  EXPECT_EQ(checked.size(), 17u);
  EXPECT_GT(checked["Round"], 300);
}

}  // namespace
}  // namespace qx
