#include "scene/GameFile.h"

#include <cstring>
#include <memory>

#include "base/Log.h"
#include "scene/QXDB.h"

namespace qx {
namespace {

// A bounds-checked little-endian reader over one blob.
class BlobReader {
 public:
  BlobReader(std::string_view data, size_t baseOffset) : data_(data), base_(baseOffset) {}
  size_t FileOffset() const { return base_ + pos_; }
  bool AtEnd() const { return pos_ >= data_.size(); }
  size_t Remaining() const { return data_.size() - pos_; }

  bool Int32(int32_t& v) {
    if (Remaining() < 4) return false;
    uint32_t u = 0;
    for (int i = 3; i >= 0; --i) u = (u << 8) | static_cast<uint8_t>(data_[pos_ + i]);
    v = static_cast<int32_t>(u);
    pos_ += 4;
    return true;
  }
  bool Double(double& v) {
    if (Remaining() < 8) return false;
    uint64_t u = 0;
    for (int i = 7; i >= 0; --i) u = (u << 8) | static_cast<uint8_t>(data_[pos_ + i]);
    std::memcpy(&v, &u, 8);
    pos_ += 8;
    return true;
  }
  // A 32-bit length and that many bytes; `why` explains a failure.
  bool String(std::string_view& s, const char*& why) {
    int32_t n = 0;
    if (!Int32(n)) {
      why = "a string length runs past the end of the data";
      return false;
    }
    if (n < 0) {
      why = "a string has a negative length";
      pos_ -= 4;
      return false;
    }
    if (static_cast<size_t>(n) > Remaining()) {
      why = "a string runs past the end of the data";
      pos_ -= 4;
      return false;
    }
    s = data_.substr(pos_, static_cast<size_t>(n));
    pos_ += static_cast<size_t>(n);
    return true;
  }

 private:
  std::string_view data_;
  size_t base_;
  size_t pos_ = 0;
};

struct ParseState {
  GameFileReport* report = nullptr;
  int depth = 0;
  std::vector<std::string> path;
};

std::string PathText(const ParseState& st) {
  std::string out;
  for (const std::string& p : st.path) out += (out.empty() ? "" : "/") + p;
  return out;
}

void Damage(ParseState& st, const std::string& what, size_t offset) {
  ++st.report->damaged;
  std::string line = "damaged game file: " + what;
  if (IsVerbose()) line += " (byte " + std::to_string(offset) + ", in " + PathText(st) + ")";
  if (st.report->firstDamage.empty()) st.report->firstDamage = line;
  if (st.report->logDamage) LogError("game", line);
}

bool ReadValue(BlobReader& in, PropType type, PropValue& v, const char*& why) {
  switch (type) {
    case PropType::Double:
      if (in.Double(v.d)) return true;
      why = "a property value runs past the end of the data";
      return false;
    case PropType::String: {
      std::string_view s;
      if (!in.String(s, why)) return false;
      v.s.assign(s);
      return true;
    }
    default: {
      int32_t n = 0;
      if (!in.Int32(n)) {
        why = "a property value runs past the end of the data";
        return false;
      }
      // Unsigned kinds keep their 32 bits as an unsigned value.
      v.i = type == PropType::Cardinal ? static_cast<int64_t>(static_cast<uint32_t>(n)) : n;
      return true;
    }
  }
}

bool Parse(std::string_view blob, size_t base, const ClassInfo& cls, ElementRecord& rec, ParseState& st) {
  rec.cls = &cls;
  ++st.report->elements;
  BlobReader in(blob, base);
  const char* why = nullptr;
  std::string_view className;
  if (!in.String(className, why)) {
    Damage(st, std::string(why) + " (class name)", in.FileOffset());
    return false;
  }
  // Here the id is not known yet; the path names the class until the Id value is read.
  int32_t count = 0;
  if (!in.Int32(count)) {
    Damage(st, "the property count runs past the end of the data", in.FileOffset());
    return false;
  }
  if (count < 0) {
    Damage(st, "a negative property count; the element's data is skipped", in.FileOffset() - 4);
    return false;
  }
  const int classCount = static_cast<int>(cls.props.size());
  const int n = count < classCount ? count : classCount;
  rec.values.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const size_t at = in.FileOffset();
    PropValue v;
    if (!ReadValue(in, cls.props[i].type, v, why)) {
      Damage(st, std::string(why) + " (property " + cls.props[i].name + ")", at);
      return false;
    }
    if (cls.props[i].field == PropField::Id && !v.s.empty()) st.path.back() += " '" + v.s + "'";
    rec.values.push_back(std::move(v));
  }
  if (count > classCount) {
    // The values beyond the class's properties would be misread as children.
    Damage(st,
           std::to_string(count) + " property values for " + cls.name + ", which has " +
               std::to_string(classCount) + "; its children are not read",
           in.FileOffset());
    return false;
  }

  bool ok = true;
  while (!in.AtEnd()) {
    const size_t childBase = in.FileOffset() + 4;
    std::string_view child;
    if (!in.String(child, why)) {
      Damage(st, std::string(why) + " (child element)", in.FileOffset());
      return false;
    }
    // The class name is read from inside the child's blob: a length byte, then the name
    // after the 4-byte length.
    const size_t nameLength = child.empty() ? 0 : static_cast<uint8_t>(child[0]);
    if (child.size() < 4 || child.size() - 4 < nameLength) {
      Damage(st, "a child's class name is longer than its data; the child is skipped", childBase);
      ok = false;
      continue;
    }
    const std::string_view childClass = child.substr(4, nameLength);
    const ClassInfo* childInfo = FindClass(childClass);
    if (!childInfo || !childInfo->AllowsParent(cls.name)) {
      ++st.report->skipped;
      LogDetail("game", "a child of class '" + std::string(childClass) + "' is skipped with its subtree under " +
                            PathText(st));
      continue;
    }
    if (st.depth + 1 >= kMaxElementDepth) {
      ++st.report->skipped;
      Damage(st, "elements nested deeper than " + std::to_string(kMaxElementDepth) + " levels are skipped",
             childBase);
      ok = false;
      continue;
    }
    ElementRecord& childRec = rec.children.emplace_back();
    ++st.depth;
    st.path.push_back(childInfo->displayName);
    if (!Parse(child, childBase, *childInfo, childRec, st)) ok = false;
    st.path.pop_back();
    --st.depth;
  }
  return ok;
}

void PutInt32(std::string& out, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

void PutString(std::string& out, std::string_view s) {
  PutInt32(out, static_cast<int32_t>(s.size()));
  out.append(s);
}

}  // namespace

bool ParseElementBlob(std::string_view blob, const ClassInfo& cls, ElementRecord& record, GameFileReport* report) {
  GameFileReport local;
  ParseState st;
  st.report = report ? report : &local;
  st.path.push_back(cls.displayName);
  return Parse(blob, 0, cls, record, st);
}

void InstantiateRecord(TQXElement& element, const ElementRecord& record) {
  for (size_t i = 0; i < record.values.size(); ++i) element.SetProp(static_cast<int>(i), record.values[i]);
  // Each child takes its part through LoadFromRecord, so kinds that act after their data is
  // read (animation keys) do so on both roads, from a blob and from a parent's record.
  for (const ElementRecord& childRec : record.children) {
    if (TQXElement* child = element.CreateChild(childRec.cls->name)) child->LoadFromRecord(childRec);
  }
}

void TQXElement::LoadFromRecord(const ElementRecord& record) { InstantiateRecord(*this, record); }

bool TQXElement::LoadFromData(std::string_view data, GameFileReport* report) {
  ElementRecord record;
  const bool ok = ParseElementBlob(data, Class(), record, report);
  LoadFromRecord(record);
  return ok;
}

bool ReadElementData(TQXElement& element, std::string_view blob, GameFileReport* report) {
  return element.LoadFromData(blob, report);
}

std::string WriteRecord(const ElementRecord& record) {
  std::string out;
  PutString(out, record.cls->name);
  PutInt32(out, static_cast<int32_t>(record.values.size()));
  for (size_t i = 0; i < record.values.size(); ++i) {
    const PropValue& v = record.values[i];
    switch (record.cls->props[i].type) {
      case PropType::Double: {
        uint64_t u = 0;
        std::memcpy(&u, &v.d, 8);
        for (int b = 0; b < 8; ++b) out.push_back(static_cast<char>((u >> (8 * b)) & 0xFF));
        break;
      }
      case PropType::String: PutString(out, v.s); break;
      default: PutInt32(out, static_cast<int32_t>(static_cast<uint32_t>(v.i))); break;
    }
  }
  for (const ElementRecord& child : record.children) PutString(out, WriteRecord(child));
  return out;
}

ElementRecord RecordOf(TQXElement& element) {
  ElementRecord rec;
  rec.cls = &element.Class();
  const int n = static_cast<int>(rec.cls->props.size());
  rec.values.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) rec.values.push_back(element.GetProp(i));
  for (TQXElement* child : element.Children()) rec.children.push_back(RecordOf(*child));
  return rec;
}

std::string WriteElementData(TQXElement& element) { return WriteRecord(RecordOf(element)); }

}  // namespace qx
