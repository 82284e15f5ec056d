#include "scene/GameFile.h"

#include <cstring>
#include <vector>

#include "base/Log.h"
#include "scene/QXElement.h"

namespace qx {
namespace {

// A bounds-checked little-endian reader over one blob.
class BlobReader {
 public:
  BlobReader(std::string_view data, size_t baseOffset) : data_(data), base_(baseOffset) {}
  size_t Pos() const { return pos_; }
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
  // A 32-bit length and that many bytes. `why` explains a failure.
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

// State of one whole read: nesting, the element path, the report.
struct ReadState {
  GameFileReport* report = nullptr;
  GameFileReport local;
  int depth = 0;
  std::vector<std::string> path;
  size_t baseOffset = 0;  // file offset of the blob being read
};

ReadState* gState = nullptr;

std::string PathText(const ReadState& st) {
  std::string out;
  for (const std::string& p : st.path) {
    if (!out.empty()) out += '/';
    out += p;
  }
  return out;
}

std::string PathPart(const TQXElement& e) {
  return e.Id.empty() ? e.Class().displayName : e.Class().displayName + " '" + e.Id + "'";
}

void Damage(ReadState& st, const std::string& what, size_t offset) {
  ++st.report->damaged;
  std::string line = "damaged game file: " + what;
  if (IsVerbose()) line += " (byte " + std::to_string(offset) + ", in " + PathText(st) + ")";
  LogError("game", line);
}

bool ReadValue(BlobReader& in, TQXElement& element, int index, PropType type, const char*& why) {
  PropValue v;
  switch (type) {
    case PropType::Double:
      if (!in.Double(v.d)) {
        why = "a property value runs past the end of the data";
        return false;
      }
      break;
    case PropType::String: {
      std::string_view s;
      if (!in.String(s, why)) return false;
      v.s.assign(s);
      break;
    }
    default: {
      int32_t n = 0;
      if (!in.Int32(n)) {
        why = "a property value runs past the end of the data";
        return false;
      }
      // Unsigned kinds keep their 32 bits as an unsigned value.
      v.i = type == PropType::Cardinal ? static_cast<int64_t>(static_cast<uint32_t>(n)) : n;
      break;
    }
  }
  element.SetProp(index, v);
  return true;
}

bool ReadBlob(TQXElement& element, std::string_view blob, ReadState& st) {
  BlobReader in(blob, st.baseOffset);
  const char* why = nullptr;
  std::string_view className;
  if (!in.String(className, why)) {
    Damage(st, std::string(why) + " (class name)", in.FileOffset());
    return false;
  }
  int32_t count = 0;
  if (!in.Int32(count)) {
    Damage(st, "the property count runs past the end of the data", in.FileOffset());
    return false;
  }
  const auto& props = element.Class().props;
  const int classCount = static_cast<int>(props.size());
  if (count < 0) {
    Damage(st, "a negative property count; the element's data is skipped", in.FileOffset() - 4);
    return false;
  }
  const int n = count < classCount ? count : classCount;
  for (int i = 0; i < n; ++i) {
    const size_t at = in.FileOffset();
    if (!ReadValue(in, element, i, props[i].type, why)) {
      Damage(st, std::string(why) + " (property " + props[i].name + ")", at);
      return false;
    }
  }
  if (count > classCount) {
    // The values beyond the class's properties would be misread as children.
    Damage(st, std::to_string(count) + " property values for a class with " + std::to_string(classCount) +
                   "; its children are not read",
           in.FileOffset());
    return false;
  }

  bool ok = true;
  while (!in.AtEnd()) {
    const size_t childOffset = in.FileOffset() + 4;
    std::string_view child;
    if (!in.String(child, why)) {
      Damage(st, std::string(why) + " (child element)", in.FileOffset());
      return false;
    }
    // The parent reads the child's class name from inside its blob: a length byte, then the name
    // after the 4-byte length.
    const size_t nameLength = child.empty() ? 0 : static_cast<uint8_t>(child[0]);
    if (child.size() < 4 || child.size() - 4 < nameLength) {
      Damage(st, "a child's class name is longer than its data; the child is skipped", childOffset);
      ok = false;
      continue;
    }
    const std::string_view childClass = child.substr(4, nameLength);
    if (st.depth + 1 >= kMaxElementDepth) {
      ++st.report->skipped;
      Damage(st, "elements nested deeper than " + std::to_string(kMaxElementDepth) + " levels are skipped",
             childOffset);
      ok = false;
      continue;
    }
    TQXElement* created = element.CreateChild(childClass);
    if (!created) {
      ++st.report->skipped;
      LogDetail("game", "child of class '" + std::string(childClass) + "' skipped with its subtree under " +
                            PathText(st));
      continue;
    }
    const size_t savedBase = st.baseOffset;
    st.baseOffset = childOffset;
    if (!created->LoadFromData(child)) ok = false;
    st.baseOffset = savedBase;
  }
  return ok;
}

}  // namespace

bool ReadElementData(TQXElement& element, std::string_view blob, GameFileReport* report) {
  ReadState st;
  st.report = report ? report : &st.local;
  ReadState* saved = gState;
  gState = &st;
  const bool ok = element.LoadFromData(blob);
  gState = saved;
  return ok;
}

bool TQXElement::LoadFromData(std::string_view data) {
  // A load started on its own (not from a parent's read) gets a fresh state.
  if (!gState) return ReadElementData(*this, data);
  ReadState& st = *gState;
  ++st.report->elements;
  st.path.push_back(PathPart(*this));
  ++st.depth;
  const bool ok = ReadBlob(*this, data, st);
  --st.depth;
  st.path.pop_back();
  return ok;
}

namespace {

void PutInt32(std::string& out, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

void PutString(std::string& out, std::string_view s) {
  PutInt32(out, static_cast<int32_t>(s.size()));
  out.append(s);
}

}  // namespace

std::string WriteElementData(TQXElement& element) {
  std::string out;
  const ClassInfo& info = element.Class();
  PutString(out, info.name);
  PutInt32(out, static_cast<int32_t>(info.props.size()));
  for (int i = 0; i < static_cast<int>(info.props.size()); ++i) {
    const PropValue v = element.GetProp(i);
    switch (info.props[i].type) {
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
  for (TQXElement* child : element.Children()) PutString(out, WriteElementData(*child));
  return out;
}

}  // namespace qx
