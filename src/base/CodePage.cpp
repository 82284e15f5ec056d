#include "base/CodePage.h"

namespace qx {
namespace {
// Code points of bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in order. The one
// unassigned byte, 0x98, maps to U+0098 both ways (as Windows does), so every byte survives
// a trip through UTF-8.
constexpr uint16_t kHigh[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}
}  // namespace

uint32_t Cp1251ToUnicode(uint8_t byte) {
  if (byte < 0x80) return byte;
  if (byte >= 0xC0) return 0x0410 + (byte - 0xC0);
  return kHigh[byte - 0x80];
}

std::optional<uint8_t> UnicodeToCp1251(uint32_t cp) {
  if (cp < 0x80) return static_cast<uint8_t>(cp);
  if (cp >= 0x0410 && cp <= 0x044F) return static_cast<uint8_t>(0xC0 + (cp - 0x0410));
  for (int i = 0; i < 64; ++i) {
    if (kHigh[i] == cp) return static_cast<uint8_t>(0x80 + i);
  }
  return std::nullopt;
}

std::string Cp1251ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    AppendUtf8(out, Cp1251ToUnicode(c));
  }
  return out;
}

std::optional<std::string> Utf8ToCp1251(std::string_view text, size_t* badOffset) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const size_t start = i;
    const auto lead = static_cast<unsigned char>(text[i++]);
    uint32_t cp = 0;
    int more = 0;
    if (lead < 0x80) {
      cp = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      cp = lead & 0x1F;
      more = 1;
    } else if ((lead & 0xF0) == 0xE0) {
      cp = lead & 0x0F;
      more = 2;
    } else if ((lead & 0xF8) == 0xF0) {
      cp = lead & 0x07;
      more = 3;
    } else {
      more = -1;
    }
    bool ok = more >= 0;
    for (int k = 0; ok && k < more; ++k) {
      if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
    }
    const std::optional<uint8_t> byte = ok ? UnicodeToCp1251(cp) : std::nullopt;
    if (!byte) {
      if (badOffset) *badOffset = start;
      return std::nullopt;
    }
    out.push_back(static_cast<char>(*byte));
  }
  return out;
}

namespace {

// The other-case partner of a 1251 letter through its Unicode code point.
uint8_t ChangeCase(uint8_t c, bool toUpper) {
  const uint32_t cp = Cp1251ToUnicode(c);
  uint32_t other = cp;
  if (toUpper) {
    if (cp >= 'a' && cp <= 'z') other = cp - 32;
    else if (cp >= 0x430 && cp <= 0x44F) other = cp - 0x20;  // а..я
    else if (cp >= 0x450 && cp <= 0x45F) other = cp - 0x50;  // ѐ..џ
    else if (cp == 0x491) other = 0x490;                     // ґ
  } else {
    if (cp >= 'A' && cp <= 'Z') other = cp + 32;
    else if (cp >= 0x410 && cp <= 0x42F) other = cp + 0x20;
    else if (cp >= 0x400 && cp <= 0x40F) other = cp + 0x50;
    else if (cp == 0x490) other = 0x491;
  }
  if (other == cp) return c;
  const std::optional<uint8_t> b = UnicodeToCp1251(other);
  return b ? *b : c;
}

struct CaseTables {
  uint8_t upper[256], lower[256];
  CaseTables() {
    for (int i = 0; i < 256; ++i) {
      upper[i] = ChangeCase(static_cast<uint8_t>(i), true);
      lower[i] = ChangeCase(static_cast<uint8_t>(i), false);
    }
  }
};
const CaseTables kCase;

}  // namespace

std::string Upper1251(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(kCase.upper[static_cast<uint8_t>(c)]);
  return out;
}

std::string Lower1251(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(kCase.lower[static_cast<uint8_t>(c)]);
  return out;
}

}  // namespace qx
