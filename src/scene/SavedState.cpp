#include "scene/SavedState.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <limits>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "base/Ascii.h"
#include "scene/QXDB.h"
#include "scene/QXElement.h"

namespace qx {
namespace {

constexpr int kExtendedBias = 16383;
constexpr uint64_t kIntegerBit = uint64_t{1} << 63;

void PutExtended(bool negative, int biasedExponent, uint64_t mantissa, uint8_t out[kExtendedSize]) {
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(mantissa >> (8 * i));
  const auto signExp = static_cast<uint16_t>((negative ? 0x8000 : 0) | (biasedExponent & 0x7FFF));
  out[8] = static_cast<uint8_t>(signExp);
  out[9] = static_cast<uint8_t>(signExp >> 8);
}

void Int64ToExtended(int64_t value, uint8_t out[kExtendedSize]) {
  if (value == 0) {
    PutExtended(false, 0, 0, out);
    return;
  }
  const bool negative = value < 0;
  // The magnitude in unsigned arithmetic, so that INT64_MIN has one too.
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  const int lz = std::countl_zero(magnitude);
  PutExtended(negative, kExtendedBias + 63 - lz, magnitude << lz, out);
}

struct ExtendedParts {
  bool negative = false;
  int exponent = 0;      // the biased 15-bit field
  uint64_t mantissa = 0; // with its explicit integer bit
};

ExtendedParts SplitExtended(const uint8_t in[kExtendedSize]) {
  ExtendedParts p;
  for (int i = 0; i < 8; ++i) p.mantissa |= static_cast<uint64_t>(in[i]) << (8 * i);
  const int signExp = in[8] | (in[9] << 8);
  p.negative = (signExp & 0x8000) != 0;
  p.exponent = signExp & 0x7FFF;
  return p;
}

// A finite non-zero extended value as mantissa (integer bit set) x 2^(exponent - 63).
void Normalize(const ExtendedParts& p, uint64_t& mantissa, int& exponent) {
  exponent = (p.exponent == 0 ? 1 : p.exponent) - kExtendedBias;
  const int lz = std::countl_zero(p.mantissa);
  mantissa = p.mantissa << lz;
  exponent -= lz;
}

uint32_t ReadU32(const char* p) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(p[i])) << (8 * i);
  return v;
}

void PutU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>(v >> (8 * i));
}

bool IsOneOf(const std::string& name, std::initializer_list<const char*> names) {
  for (const char* n : names) {
    if (name == n) return true;
  }
  return false;
}

// The saver's rules name classes of the registry, and an element answers with its exact
// class's entry: the checks below are by class, as the state format defines them.

// Names the saver never writes as an element's property: identity, scripts, the state file
// itself, and the integer position of kinds whose real position is saved instead.
bool NeverSavedAsProperty(const TQXElement& e, const std::string& upperName) {
  if (IsOneOf(upperName, {"NOTSAVE", "ID", "CURKEY", "FILERS", "INTERPOL", "INTERPOLSC", "MSKEEP", "KEY"})) return true;
  if (upperName.rfind("EX", 0) == 0) return true;
  if (upperName == "X" || upperName == "Y") {
    return e.IsExactly(ClassId::Image) || e.IsExactly(ClassId::Shape) || e.IsExactly(ClassId::Text);
  }
  return false;
}

void PreOrder(TQXElement* e, std::vector<TQXElement*>& out) {
  out.push_back(e);
  for (TQXElement* child : e->Children()) PreOrder(child, out);
}

}  // namespace

// --- 80-bit extended ------------------------------------------------------------------------

void DoubleToExtended(double value, uint8_t out[kExtendedSize]) {
  const auto bits = std::bit_cast<uint64_t>(value);
  const bool negative = (bits >> 63) != 0;
  const int exp = static_cast<int>((bits >> 52) & 0x7FF);
  const uint64_t frac = bits & ((uint64_t{1} << 52) - 1);
  if (exp == 0x7FF) {
    PutExtended(negative, 0x7FFF, kIntegerBit | (frac << 11), out);  // infinity or NaN (payload kept)
  } else if (exp == 0) {
    if (frac == 0) {
      PutExtended(negative, 0, 0, out);
    } else {
      // A subnormal double is a normal extended number.
      const int lz = std::countl_zero(frac);
      PutExtended(negative, kExtendedBias - 1074 + 63 - lz, frac << lz, out);
    }
  } else {
    PutExtended(negative, exp - 1023 + kExtendedBias, kIntegerBit | (frac << 11), out);
  }
}

double ExtendedToDouble(const uint8_t in[kExtendedSize]) {
  const ExtendedParts p = SplitExtended(in);
  const uint64_t sign = p.negative ? kIntegerBit : 0;
  const uint64_t infinity = uint64_t{0x7FF} << 52;
  if (p.exponent == 0x7FFF) {
    if (p.mantissa == kIntegerBit) return std::bit_cast<double>(sign | infinity);
    // NaN (or a pseudo-infinity, which modern processors treat as one): quiet, payload kept.
    return std::bit_cast<double>(sign | infinity | (uint64_t{1} << 51) | ((p.mantissa >> 11) & ((uint64_t{1} << 52) - 1)));
  }
  if (p.mantissa == 0) return std::bit_cast<double>(sign);
  uint64_t m = 0;
  int e = 0;
  Normalize(p, m, e);
  if (e > 1023) return std::bit_cast<double>(sign | infinity);
  if (e >= -1022) {
    uint64_t keep = m >> 11;
    const uint64_t rest = m & 0x7FF;
    if (rest > 0x400 || (rest == 0x400 && (keep & 1))) ++keep;
    if (keep == (uint64_t{1} << 53)) {
      keep >>= 1;
      if (++e > 1023) return std::bit_cast<double>(sign | infinity);
    }
    return std::bit_cast<double>(sign | (static_cast<uint64_t>(e + 1023) << 52) | (keep & ((uint64_t{1} << 52) - 1)));
  }
  // Subnormal in double: keep x 2^-1074, rounded once.
  const int shift = 11 + (-1022 - e);
  if (shift > 64) return std::bit_cast<double>(sign);
  uint64_t keep, rest, half;
  if (shift == 64) {
    keep = 0;
    rest = m;
    half = kIntegerBit;
  } else {
    keep = m >> shift;
    rest = m & ((uint64_t{1} << shift) - 1);
    half = uint64_t{1} << (shift - 1);
  }
  if (rest > half || (rest == half && (keep & 1))) ++keep;
  return std::bit_cast<double>(sign | keep);  // 2^52 here is the smallest normal, as it should be
}

bool ExtendedToInt64(const uint8_t in[kExtendedSize], int64_t& out) {
  const ExtendedParts p = SplitExtended(in);
  if (p.exponent == 0x7FFF) return false;
  if (p.mantissa == 0) {
    out = 0;
    return true;
  }
  uint64_t m = 0;
  int e = 0;
  Normalize(p, m, e);
  if (e < 0 || e > 63) return false;
  if (e == 63) {
    if (!p.negative || m != kIntegerBit) return false;
    out = INT64_MIN;
    return true;
  }
  const int shift = 63 - e;
  if ((m & ((uint64_t{1} << shift) - 1)) != 0) return false;
  const auto magnitude = static_cast<int64_t>(m >> shift);
  out = p.negative ? -magnitude : magnitude;
  return true;
}

// --- records --------------------------------------------------------------------------------

bool ParseStateRecords(std::string_view data, std::vector<StateRecord>& records, StateReadReport* report) {
  StateReadReport local;
  StateReadReport& r = report ? *report : local;
  r = StateReadReport{};
  size_t pos = 0;
  const auto fail = [&](size_t start, std::string reason) {
    r.damaged = true;
    r.damageOffset = start;
    r.reason = std::move(reason);
    return false;
  };
  while (pos < data.size()) {
    const size_t start = pos;
    const auto left = [&] { return data.size() - pos; };
    if (left() < 8) return fail(start, "record cut short");
    StateRecord rec;
    rec.key = static_cast<int32_t>(ReadU32(data.data() + pos));
    const auto nameLength = static_cast<int32_t>(ReadU32(data.data() + pos + 4));
    pos += 8;
    if (nameLength < 0) return fail(start, "negative name length");
    if (static_cast<size_t>(nameLength) > left()) return fail(start, "name runs past the end");
    rec.name.assign(data.data() + pos, static_cast<size_t>(nameLength));
    pos += static_cast<size_t>(nameLength);
    if (left() < 1) return fail(start, "record cut short");
    rec.type = data[pos++];
    switch (rec.type) {
      case kStateInteger:
        if (left() < 4) return fail(start, "value cut short");
        rec.value = ScriptValue::Int(static_cast<int32_t>(ReadU32(data.data() + pos)));
        pos += 4;
        break;
      case kStateWord:
        if (left() < 2) return fail(start, "value cut short");
        rec.value = ScriptValue::Word(static_cast<uint16_t>(static_cast<uint8_t>(data[pos]) |
                                                            (static_cast<uint8_t>(data[pos + 1]) << 8)));
        pos += 2;
        break;
      case kStateElement:
        if (left() < 4) return fail(start, "value cut short");
        rec.elementKey = static_cast<int32_t>(ReadU32(data.data() + pos));
        pos += 4;
        break;
      case kStateExtended: {
        if (left() < kExtendedSize) return fail(start, "value cut short");
        uint8_t ext[kExtendedSize];
        std::memcpy(ext, data.data() + pos, kExtendedSize);
        pos += kExtendedSize;
        const double d = ExtendedToDouble(ext);
        int64_t i = 0;
        // A 64-bit integer the double cannot hold exactly comes back whole.
        const bool exactInDouble = d >= -9223372036854775808.0 && d < 9223372036854775808.0 &&
                                   ExtendedToInt64(ext, i) && static_cast<int64_t>(d) == i;
        rec.value = (!exactInDouble && ExtendedToInt64(ext, i)) ? ScriptValue::Int64(i) : ScriptValue::Float(d);
        break;
      }
      case kStateString: {
        if (left() < 4) return fail(start, "value cut short");
        const auto length = static_cast<int32_t>(ReadU32(data.data() + pos));
        pos += 4;
        if (length < 0) return fail(start, "negative string length");
        if (static_cast<size_t>(length) > left()) return fail(start, "string runs past the end");
        rec.value = ScriptValue::Str(std::string(data.data() + pos, static_cast<size_t>(length)));
        pos += static_cast<size_t>(length);
        break;
      }
      default:
        return fail(start, "unknown type letter");
    }
    records.push_back(std::move(rec));
    ++r.records;
  }
  return true;
}

void AppendStateRecord(std::string& out, const StateRecord& rec) {
  PutU32(out, static_cast<uint32_t>(rec.key));
  PutU32(out, static_cast<uint32_t>(rec.name.size()));
  out += rec.name;
  out += rec.type;
  switch (rec.type) {
    case kStateInteger: PutU32(out, static_cast<uint32_t>(rec.value.IntValue())); break;
    case kStateWord: {
      const auto w = static_cast<uint16_t>(rec.value.Int64Value());
      out += static_cast<char>(w);
      out += static_cast<char>(w >> 8);
      break;
    }
    case kStateElement: PutU32(out, static_cast<uint32_t>(rec.elementKey)); break;
    case kStateExtended: {
      uint8_t ext[kExtendedSize];
      if (rec.value.Kind() == ValueKind::Int64) Int64ToExtended(rec.value.Int64Value(), ext);
      else DoubleToExtended(rec.value.FloatValue(), ext);
      out.append(reinterpret_cast<const char*>(ext), kExtendedSize);
      break;
    }
    case kStateString:
      PutU32(out, static_cast<uint32_t>(rec.value.StrValue().size()));
      out += rec.value.StrValue();
      break;
    default: break;  // not produced by RecordValue
  }
}

bool RecordValue(const ScriptValue& value, const TQXDB& root, int32_t noElementKey, StateRecord& rec) {
  switch (value.Kind()) {
    case ValueKind::Empty: return false;
    case ValueKind::Integer:
      rec.type = kStateInteger;
      rec.value = ScriptValue::Int(value.IntValue());
      return true;
    case ValueKind::Boolean:
      rec.type = kStateInteger;
      rec.value = ScriptValue::Int(value.BoolValue() ? -1 : 0);
      return true;
    case ValueKind::Word:
      rec.type = kStateWord;
      rec.value = ScriptValue::Word(static_cast<uint16_t>(value.Int64Value()));
      return true;
    case ValueKind::Int64: {
      const int64_t v = value.Int64Value();
      if (v >= INT32_MIN && v <= INT32_MAX) {
        rec.type = kStateInteger;
        rec.value = ScriptValue::Int(static_cast<int32_t>(v));
      } else {
        rec.type = kStateExtended;
        rec.value = ScriptValue::Int64(v);
      }
      return true;
    }
    case ValueKind::Float:
    case ValueKind::DateTime:
      rec.type = kStateExtended;
      rec.value = ScriptValue::Float(value.FloatValue());
      return true;
    case ValueKind::String:
      rec.type = kStateString;
      rec.value = ScriptValue::Str(value.StrValue());
      return true;
    case ValueKind::Element: {
      rec.type = kStateElement;
      const TQXElement* e = root.FromHandle(value.ElementHandle());
      rec.elementKey = e ? e->Key : noElementKey;
      rec.value = value;
      return true;
    }
  }
  return false;
}

// --- saving -----------------------------------------------------------------------------------

namespace {

struct Saver {
  const TQXDB& root;
  int32_t noElementKey;
  bool withNotSave;
  std::vector<StateRecord>& out;

  void Add(const TQXElement& e, const std::string& name, const ScriptValue& value) {
    StateRecord rec;
    rec.key = e.Key;
    rec.name = name;
    if (RecordValue(value, root, noElementKey, rec)) out.push_back(std::move(rec));
  }

  void Visit(TQXElement& e) {
    // Key frames belong to their animation's definition, not to the game's progress.
    if (e.IsExactly(ClassId::AnKey)) return;
    if (!e.NotSave || withNotSave) {
      ScriptValue v;
      for (const PropInfo& prop : e.Class().props) {
        const std::string name = UpperAscii(prop.name);
        if (NeverSavedAsProperty(e, name)) continue;
        if (e.GetPropValue(name, v)) Add(e, name, v);
      }
      if (e.Variables) {
        std::vector<std::string> names;
        for (int i = 0; i < e.Variables->Count(); ++i) names.push_back((*e.Variables)[i].Name);
        for (const std::string& name : names) {
          if (e.GetPropValue(name, v)) Add(e, name, v);
        }
      }
      if (e.IsExactly(ClassId::ImList) && e.GetPropValue("ELEMENTS", v)) Add(e, "ELEMENTS", v);
    }
    for (TQXElement* child : e.Children()) Visit(*child);
  }
};

// A Key no element has, stored for references to no element.
int32_t UnusedKey(TQXDB& root) {
  std::vector<TQXElement*> all;
  PreOrder(&root, all);
  std::unordered_set<int32_t> keys;
  for (const TQXElement* e : all) keys.insert(e->Key);
  int32_t k = INT32_MIN;
  while (keys.count(k)) ++k;  // at most as many steps as there are elements
  return k;
}

}  // namespace

std::vector<StateRecord> CollectStateRecords(TQXDB& root, bool withNotSave) {
  std::vector<StateRecord> records;
  Saver saver{root, UnusedKey(root), withNotSave, records};
  saver.Visit(root);
  return records;
}

std::string WriteStateData(TQXDB& root) {
  std::string out;
  for (const StateRecord& rec : CollectStateRecords(root)) AppendStateRecord(out, rec);
  return out;
}

// --- loading ------------------------------------------------------------------------------------

StateApplyReport ApplyStateRecords(TQXDB& root, const std::vector<StateRecord>& records, bool withNotSave) {
  StateApplyReport report;
  // The tree does not change while a state loads, so pre-order positions stay valid; the
  // first element of a Key in pre-order is the one a search from the root finds.
  std::vector<TQXElement*> order;
  PreOrder(&root, order);
  std::unordered_map<int32_t, size_t> firstOfKey;
  for (size_t i = 0; i < order.size(); ++i) firstOfKey.emplace(order[i]->Key, i);
  const auto find = [&](int32_t key) -> std::optional<size_t> {
    const auto it = firstOfKey.find(key);
    if (it == firstOfKey.end()) return std::nullopt;
    return it->second;
  };

  std::optional<size_t> current;  // the element of the last record that found one
  for (const StateRecord& rec : records) {
    std::optional<size_t> at;
    if (current && order[*current]->Key == rec.key) {
      at = current;
    } else if (current && *current + 1 < order.size() && order[*current + 1]->Key == rec.key) {
      at = *current + 1;  // records come in pre-order: the next element is the likely one
    } else {
      at = find(rec.key);
    }
    if (!at) {
      ++report.skipped;
      if (std::find(report.unknownKeys.begin(), report.unknownKeys.end(), rec.key) == report.unknownKeys.end()) {
        report.unknownKeys.push_back(rec.key);
      }
      continue;
    }
    current = at;
    TQXElement& e = *order[*at];
    if (e.NotSave && !withNotSave) {
      ++report.skipped;
      continue;
    }
    // A damaged or foreign file must not change an element's identity or scripts: names the
    // saver never writes as properties are taken only by a variable of that name.
    if (NeverSavedAsProperty(e, UpperAscii(rec.name)) && !(e.Variables && e.Variables->Find(rec.name) >= 0)) {
      ++report.skipped;
      continue;
    }
    ScriptValue value = rec.value;
    if (rec.type == kStateElement) {
      const std::optional<size_t> target = find(rec.elementKey);
      value = ScriptValue::Element(target ? order[*target]->Handle() : 0);
    }
    if (e.SetPropValue(rec.name, value)) ++report.assigned;
    else ++report.skipped;
  }
  return report;
}

}  // namespace qx
