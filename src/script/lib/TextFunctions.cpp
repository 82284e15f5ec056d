#include "script/lib/TextFunctions.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

#include "base/CodePage.h"

namespace qx {

std::string CopyChars(std::string_view s, int64_t index, int64_t count) {
  if (index < 1) index = 1;
  if (count < 1 || index > static_cast<int64_t>(s.size())) return {};
  return std::string(s.substr(static_cast<size_t>(index - 1), static_cast<size_t>(count)));
}

int PositionOf(std::string_view sub, std::string_view s) {
  if (sub.empty()) return 0;
  const size_t at = s.find(sub);
  return at == std::string_view::npos ? 0 : static_cast<int>(at) + 1;
}

std::string TrimLeftText(std::string_view s) {
  size_t b = 0;
  while (b < s.size() && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  return std::string(s.substr(b));
}

std::string TrimRightText(std::string_view s) {
  size_t e = s.size();
  while (e > 0 && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return std::string(s.substr(0, e));
}

std::string TrimText(std::string_view s) { return TrimRightText(TrimLeftText(s)); }

std::string FloatToStrFixed(double v) {
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
  std::vector<char> buf(400);
  const int n = std::snprintf(buf.data(), buf.size(), "%.15f", v);
  std::string s(buf.data(), n > 0 ? static_cast<size_t>(n) : 0);
  if (s.find('.') != std::string::npos) {
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

std::optional<int32_t> ParseInt32Text(std::string_view s) {
  const char* first = s.data();
  const char* last = first + s.size();
  if (first != last && *first == '+') ++first;
  if (first == last || *first == '+') return std::nullopt;
  int32_t v = 0;
  auto [p, ec] = std::from_chars(first, last, v);
  if (ec != std::errc() || p != last) return std::nullopt;
  return v;
}

namespace {

struct Spec {
  std::string prefix;  // literal text before the conversion ("%%" pairs become "%")
  std::string flags;
  int width = -1;
  int precision = -1;
  char conversion = 0;
  std::string suffix;  // text after the conversion
};

// Parses a collected specifier: "%", flags, width, precision, one conversion letter. "%%"
// anywhere is a literal percent sign. Nothing for anything else.
std::optional<Spec> ParseSpec(std::string_view spec) {
  Spec s;
  size_t i = 0;
  while (i < spec.size()) {
    if (spec[i] != '%') {
      s.prefix += spec[i++];
      continue;
    }
    if (i + 1 < spec.size() && spec[i + 1] == '%') {
      s.prefix += '%';
      i += 2;
      continue;
    }
    break;
  }
  if (i >= spec.size()) return s;  // no conversion at all: only literal text
  ++i;
  while (i < spec.size() && std::string_view("-+ #0").find(spec[i]) != std::string_view::npos) s.flags += spec[i++];
  auto number = [&](int& out) {
    if (i >= spec.size() || spec[i] < '0' || spec[i] > '9') return true;
    int64_t v = 0;
    while (i < spec.size() && spec[i] >= '0' && spec[i] <= '9') {
      v = v * 10 + (spec[i++] - '0');
      if (v > kMaxFormatWidth) return false;
    }
    out = static_cast<int>(v);
    return true;
  };
  if (!number(s.width)) return std::nullopt;
  if (i < spec.size() && spec[i] == '.') {
    ++i;
    s.precision = 0;
    if (!number(s.precision)) return std::nullopt;
  }
  if (i >= spec.size()) return std::nullopt;
  s.conversion = spec[i++];
  if (std::string_view("diuxXoeEfFgGsc").find(s.conversion) == std::string_view::npos) return std::nullopt;
  s.suffix = std::string(spec.substr(i));
  return s;
}

std::string PrintfOne(const Spec& s, const char* length, auto value) {
  std::string fmt = "%" + s.flags;
  if (s.width >= 0) fmt += std::to_string(s.width);
  if (s.precision >= 0) fmt += "." + std::to_string(s.precision);
  fmt += length;
  fmt += s.conversion;
  // Width and precision are capped, so the text is bounded; measure it all the same.
  const int n = std::snprintf(nullptr, 0, fmt.c_str(), value);
  if (n < 0) return {};
  std::vector<char> buf(static_cast<size_t>(n) + 1);
  std::snprintf(buf.data(), buf.size(), fmt.c_str(), value);
  return std::string(buf.data(), static_cast<size_t>(n));
}

}  // namespace

std::optional<std::string> FormatOneValue(std::string_view specText, const ScriptValue& value) {
  const std::optional<Spec> spec = ParseSpec(specText);
  if (!spec) return std::nullopt;
  const Spec& s = *spec;
  if (s.conversion == 0) return s.prefix;
  std::string body;
  switch (s.conversion) {
    case 'd':
    case 'i':
    case 'u':
    case 'x':
    case 'X':
    case 'o': {
      // Integers only: a Float does not fit (the caller retries it truncated).
      if (!value.IsIntegerKind() && value.Kind() != ValueKind::Boolean && value.Kind() != ValueKind::Element) {
        return std::nullopt;
      }
      int64_t v = 0;
      if (!value.TryToInt64(v)) return std::nullopt;
      Spec t = s;
      if (s.conversion == 'i') t.conversion = 'd';
      body = PrintfOne(t, "ll", static_cast<long long>(v));
      break;
    }
    case 'e':
    case 'E':
    case 'f':
    case 'F':
    case 'g':
    case 'G': {
      double v = 0;
      if (value.IsString() || !value.TryToDouble(v)) return std::nullopt;
      body = PrintfOne(s, "", v);
      break;
    }
    case 's': {
      // Any value prints as its text; precision cuts it.
      std::string text = value.ToText();
      if (s.precision >= 0 && static_cast<size_t>(s.precision) < text.size()) text.resize(s.precision);
      const bool left = s.flags.find('-') != std::string::npos;
      if (s.width > static_cast<int>(text.size())) {
        const std::string pad(static_cast<size_t>(s.width) - text.size(), ' ');
        text = left ? text + pad : pad + text;
      }
      body = std::move(text);
      break;
    }
    case 'c': {
      int64_t v = 0;
      if (value.IsString()) {
        if (value.StrValue().size() != 1) return std::nullopt;
        v = static_cast<unsigned char>(value.StrValue()[0]);
      } else if (!value.TryToInt64(v)) {
        return std::nullopt;
      }
      body.assign(1, static_cast<char>(v & 0xFF));
      if (s.width > 1) body.insert(s.flags.find('-') != std::string::npos ? body.size() : 0, s.width - 1, ' ');
      break;
    }
  }
  return s.prefix + body + s.suffix;
}

bool FormatText(std::string_view pattern, std::span<const ScriptValue> values, std::string& out, std::string& error) {
  out.clear();
  size_t next = 0;
  std::string spec;
  bool inSpec = false;
  for (char c : pattern) {
    if (!inSpec) {
      if (c == '%') {
        inSpec = true;
        spec = "%";
      } else {
        out += c;
      }
      continue;
    }
    spec += c;
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (!letter) continue;
    inSpec = false;
    if (next >= values.size()) continue;  // no value left: the specifier is dropped
    const ScriptValue& v = values[next++];
    std::optional<std::string> text = FormatOneValue(spec, v);
    if (!text && !v.IsString()) {
      double d = 0;
      int64_t truncated = 0;
      if (v.TryToDouble(d) && std::isfinite(d) && std::fabs(d) < 9.2e18) {
        truncated = static_cast<int64_t>(std::trunc(d));
        text = FormatOneValue(spec, ScriptValue::Int64(truncated));
      }
    }
    if (!text) {
      error = "Format '" + spec + "' invalid or incompatible with argument";
      return false;
    }
    out += *text;
  }
  if (inSpec) out += spec;  // an unfinished specifier stays as it is
  return true;
}

}  // namespace qx
