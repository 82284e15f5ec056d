#include "elements/GameSource.h"

#include <yaml-cpp/yaml.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>

#include "base/Ascii.h"
#include "base/CodePage.h"
#include "base/SafeFile.h"
#include "elements/ElementKinds.h"

namespace qx {
namespace {

// --- reading ----------------------------------------------------------------------------

// The file a node was read from: the source itself or one of the files it includes.
// Errors name it, and includes inside it are found relative to its folder.
struct SourceFile {
  std::string name;
  const SourceFile* includedBy = nullptr;
  const std::string* text = nullptr;  // its text, to tell the style of a value at its mark
};

class SourceError {
 public:
  SourceError(const YAML::Mark& mark, std::string path, std::string what, const SourceFile* file = nullptr)
      : line_(mark.is_null() ? 0 : mark.line + 1),
        path_(std::move(path)),
        what_(std::move(what)),
        file_(file ? file->name : std::string()) {}
  std::string Text(const std::string& file) const {
    std::string s = file_.empty() ? file : file_;
    if (line_ > 0) s += ":" + std::to_string(line_);
    s += ": ";
    if (!path_.empty()) s += path_ + ": ";
    return s + what_;
  }
  void SetFileIfUnset(const SourceFile& file) {
    if (file_.empty()) file_ = file.name;
  }

 private:
  int line_;
  std::string path_;
  std::string what_;
  std::string file_;
};

// How many includes may nest; deeper is taken for a loop the name check missed (links).
constexpr int kMaxIncludeDepth = 32;

struct ReadContext {
  const SourceIncludeReader* readInclude = nullptr;
};

// What the YAML parser says ("end of sequence not found", "illegal map value") names its own
// state, not the author's slip, which is most often a line's indentation.
std::string SyntaxError(const std::string& what) {
  return "not valid YAML here (" + what + "): most often a line is indented unlike the properties beside it";
}

int LineOf(const YAML::Mark& mark) { return mark.is_null() ? 0 : mark.line + 1; }

// A literal block scalar's text starts on the line after its "|".
int TextLineOf(const YAML::Node& value, const SourceFile& file) {
  const YAML::Mark mark = value.Mark();
  if (mark.is_null() || !file.text || mark.pos < 0 || static_cast<size_t>(mark.pos) >= file.text->size()) return 0;
  return (*file.text)[static_cast<size_t>(mark.pos)] == '|' ? mark.line + 2 : 0;
}

std::string FolderOf(const std::string& name) {
  const size_t slash = name.find_last_of('/');
  return slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
}

bool ParseInteger(std::string_view text, int64_t& out) {
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return false;
  uint64_t v = 0;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v, base);
  if (ec != std::errc() || p != text.data() + text.size() || v > (uint64_t{1} << 40)) return false;
  out = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
  return true;
}

bool ParseDouble(const std::string& text, double& out) {
  if (text == ".nan" || text == ".NaN" || text == ".NAN") {
    out = std::numeric_limits<double>::quiet_NaN();
    return true;
  }
  if (text == ".inf" || text == "+.inf" || text == ".Inf") {
    out = std::numeric_limits<double>::infinity();
    return true;
  }
  if (text == "-.inf" || text == "-.Inf") {
    out = -std::numeric_limits<double>::infinity();
    return true;
  }
  const char* first = text.data();
  if (*first == '+') ++first;
  auto [p, ec] = std::from_chars(first, text.data() + text.size(), out);
  return ec == std::errc() && p == text.data() + text.size();
}

PropValue ParseValue(const PropInfo& prop, const YAML::Node& node, const std::string& path) {
  PropValue v;
  const auto fail = [&](const std::string& what) -> SourceError {
    return SourceError(node.Mark(), path, std::string(prop.name) + ": " + what);
  };
  if (!node.IsScalar() && !node.IsNull()) throw fail("expected a single value");
  const std::string text = node.IsNull() ? std::string() : node.Scalar();
  switch (prop.type) {
    case PropType::String: {
      size_t bad = 0;
      auto converted = Utf8ToCp1251(text, &bad);
      if (!converted) throw fail("a character at byte " + std::to_string(bad) + " has no code page 1251 form");
      v.s = std::move(*converted);
      return v;
    }
    case PropType::Double:
      if (!ParseDouble(text, v.d)) throw fail("'" + text + "' is not a number");
      return v;
    case PropType::Boolean:
    case PropType::Enum:
      for (size_t i = 0; i < prop.enumNames.size(); ++i) {
        if (EqualsNoCaseAscii(text, prop.enumNames[i])) {
          v.i = static_cast<int64_t>(i);
          return v;
        }
      }
      if (ParseInteger(text, v.i) && v.i >= 0 && v.i < static_cast<int64_t>(prop.enumNames.size())) return v;
      {
        std::string names;
        for (const char* n : prop.enumNames) names += (names.empty() ? "" : ", ") + std::string(n);
        throw fail("'" + text + "' is none of " + names);
      }
    default: {
      if (!ParseInteger(text, v.i)) throw fail("'" + text + "' is not an integer");
      int64_t lo = std::numeric_limits<int32_t>::min(), hi = std::numeric_limits<int32_t>::max();
      if (prop.type == PropType::Cardinal) hi = std::numeric_limits<uint32_t>::max();
      if (prop.type == PropType::Byte) lo = 0, hi = 255;
      if (prop.type == PropType::Word) lo = 0, hi = 65535;
      if (v.i < lo || v.i > hi) {
        throw fail(text + " is outside " + std::to_string(lo) + ".." + std::to_string(hi));
      }
      if (prop.type == PropType::Cardinal && v.i < 0) v.i = static_cast<uint32_t>(static_cast<int32_t>(v.i));
      return v;
    }
  }
}

void ReadElement(const YAML::Node& node, const std::string& path, const ClassInfo* parent, ElementRecord& rec,
                 int depth, const SourceFile& file, const ReadContext& ctx, RecordPlaces* places);

// A children entry `- include: NAME` stands for the element mapping of the file NAME, found
// relative to the including file's folder.
bool IsInclude(const YAML::Node& node) { return node.IsMap() && node.size() == 1 && node["include"]; }

std::string ChildPath(const std::string& parentPath, const YAML::Node& child, const std::string& fallback) {
  if (child.IsMap()) {
    const YAML::Node id = child["Id"] ? child["Id"] : child["ID"] ? child["ID"] : child["id"];
    if (id && id.IsScalar() && !id.Scalar().empty()) return parentPath + "/" + id.Scalar();
  }
  return fallback;
}

void ReadInclude(const YAML::Node& node, const std::string& parentPath, std::string path, const ClassInfo* parent,
                 ElementRecord& rec, int depth, const SourceFile& file, const ReadContext& ctx, RecordPlaces* places) {
  const YAML::Node target = node["include"];
  if (!target.IsScalar() || target.Scalar().empty()) {
    throw SourceError(target.Mark(), path, "include needs a file name", &file);
  }
  std::string name = target.Scalar();
  if (name.front() != '/') name = FolderOf(file.name) + name;
  name = std::filesystem::path(name).lexically_normal().generic_string();
  int nesting = 0;
  for (const SourceFile* f = &file; f; f = f->includedBy, ++nesting) {
    if (f->name == name) throw SourceError(target.Mark(), path, "including " + name + " makes a loop", &file);
  }
  if (nesting > kMaxIncludeDepth) throw SourceError(target.Mark(), path, "includes are nested too deep", &file);
  std::string text, why;
  if (!ctx.readInclude || !(*ctx.readInclude)(name, text, why)) {
    throw SourceError(target.Mark(), path, "cannot include " + name + (why.empty() ? "" : ": " + why), &file);
  }
  const SourceFile included{name, &file, &text};
  YAML::Node doc;
  try {
    doc = YAML::Load(text);
  } catch (const YAML::Exception& e) {
    throw SourceError(e.mark, "", SyntaxError(e.msg), &included);
  }
  if (!doc || doc.IsNull()) throw SourceError(YAML::Mark::null_mark(), "", "the file holds no element", &included);
  if (IsInclude(doc)) throw SourceError(doc.Mark(), path, "an included file must hold an element", &included);
  path = ChildPath(parentPath, doc, path);
  try {
    ReadElement(doc, path, parent, rec, depth, included, ctx, places);
  } catch (const YAML::Exception& e) {
    throw SourceError(e.mark, path, e.msg, &included);
  }
}

void ReadElement(const YAML::Node& node, const std::string& path, const ClassInfo* parent, ElementRecord& rec,
                 int depth, const SourceFile& file, const ReadContext& ctx, RecordPlaces* places) {
  if (!node.IsMap()) throw SourceError(node.Mark(), path, "an element must be a mapping", &file);
  const YAML::Node classNode = node["class"];
  if (!classNode || !classNode.IsScalar()) throw SourceError(node.Mark(), path, "the element has no class", &file);
  const ClassInfo* cls = FindClass(classNode.Scalar());
  if (!cls) throw SourceError(classNode.Mark(), path, "unknown class '" + classNode.Scalar() + "'", &file);
  if (parent ? !cls->AllowsParent(parent->name) : cls->id != ClassId::DB) {
    throw SourceError(classNode.Mark(), path,
                      parent ? cls->name + " cannot be a child of " + parent->name : "the root must be a TQXDB",
                      &file);
  }
  if (depth >= kMaxElementDepth) throw SourceError(node.Mark(), path, "elements are nested too deep", &file);
  rec = DefaultRecord(*cls);
  if (places) {
    places->file = file.name;
    places->line = LineOf(node.Mark());
    places->propLines.assign(cls->props.size(), 0);
    places->textLines.assign(cls->props.size(), 0);
  }
  std::vector<bool> given(cls->props.size(), false);
  try {
    for (const auto& entry : node) {
      const std::string key = entry.first.Scalar();
      if (key == "class" || key == "children") continue;
      const int index = cls->FindProp(key);
      if (index < 0) throw SourceError(entry.first.Mark(), path, cls->name + " has no property '" + key + "'");
      if (given[index]) throw SourceError(entry.first.Mark(), path, "'" + key + "' is given twice");
      given[index] = true;
      rec.values[index] = ParseValue(cls->props[index], entry.second, path);
      if (places) {
        places->propLines[index] = LineOf(entry.second.Mark());
        places->textLines[index] = TextLineOf(entry.second, file);
      }
    }
  } catch (SourceError& e) {
    e.SetFileIfUnset(file);  // ParseValue does not know the file
    throw;
  }
  const YAML::Node children = node["children"];
  if (!children || children.IsNull()) return;
  if (!children.IsSequence()) throw SourceError(children.Mark(), path, "children must be a list", &file);
  for (size_t i = 0; i < children.size(); ++i) {
    const YAML::Node child = children[i];
    std::string childPath = path + "/" + std::to_string(i + 1);
    RecordPlaces* childPlaces = places ? &places->children.emplace_back() : nullptr;
    if (IsInclude(child)) {
      ReadInclude(child, path, childPath, cls, rec.children.emplace_back(), depth + 1, file, ctx, childPlaces);
      continue;
    }
    ReadElement(child, ChildPath(path, child, childPath), cls, rec.children.emplace_back(), depth + 1, file, ctx,
                childPlaces);
  }
}

// --- writing ----------------------------------------------------------------------------

std::string DoubleText(double d) {
  if (std::isnan(d)) return ".nan";
  if (std::isinf(d)) return d > 0 ? ".inf" : "-.inf";
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, d);
  std::string s(buf, r.ptr);
  // Keep a mark of a real number, so the value reads as one at a glance.
  if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
  return s;
}

bool IsColourProperty(const PropInfo& prop) { return std::string_view(prop.name).find("Color") != std::string_view::npos; }

bool SameValue(PropType type, const PropValue& a, const PropValue& b) {
  switch (type) {
    case PropType::Double: {
      uint64_t x = 0, y = 0;
      std::memcpy(&x, &a.d, 8);
      std::memcpy(&y, &b.d, 8);
      return x == y;
    }
    case PropType::String: return a.s == b.s;
    default: return a.i == b.i;
  }
}

void EmitString(YAML::Emitter& out, const std::string& cp1251) {
  const std::string utf8 = Cp1251ToUtf8(cp1251);
  // A block keeps scripts readable; anything a block cannot carry exactly (carriage
  // returns, tabs, control characters, blanks at a line's edge) goes in double quotes.
  // A literal block ends with exactly one line break when read back.
  bool block = utf8.size() >= 2 && utf8.back() == '\n' && utf8[utf8.size() - 2] != '\n' &&
               utf8.front() != ' ' && utf8.front() != '\n';
  for (size_t i = 0; block && i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if ((c < 0x20 && c != '\n') || c == 0x7F) block = false;
    if (c == '\n' && i > 0 && utf8[i - 1] == ' ') block = false;
  }
  bool plain = !utf8.empty() && utf8.front() != ' ' && utf8.back() != ' ';
  for (unsigned char c : utf8) {
    if (c < 0x20 || c == 0x7F || c == 0xC2) plain = false;  // controls, and U+0080..U+00BF to be safe
  }
  if (block) out << YAML::Literal << utf8;
  else if (plain) out << utf8;  // the emitter still quotes where YAML needs it
  else out << YAML::DoubleQuoted << utf8;
}

void EmitElement(YAML::Emitter& out, const ElementRecord& rec, bool all) {
  const std::vector<PropValue>& defaults = DefaultValues(*rec.cls);
  out << YAML::BeginMap;
  out << YAML::Key << "class" << YAML::Value << rec.cls->name;
  for (size_t i = 0; i < rec.values.size(); ++i) {
    const PropInfo& prop = rec.cls->props[i];
    if (!all && SameValue(prop.type, rec.values[i], defaults[i])) continue;
    out << YAML::Key << prop.name << YAML::Value;
    if (prop.type == PropType::String) EmitString(out, rec.values[i].s);
    else out << FormatPropValue(prop, rec.values[i]);
  }
  if (!rec.children.empty()) {
    out << YAML::Key << "children" << YAML::Value << YAML::BeginSeq;
    for (const ElementRecord& child : rec.children) EmitElement(out, child, all);
    out << YAML::EndSeq;
  }
  out << YAML::EndMap;
}

}  // namespace

std::string FormatPropValue(const PropInfo& prop, const PropValue& value) {
  switch (prop.type) {
    case PropType::Double: return DoubleText(value.d);
    case PropType::String: {
      YAML::Emitter out;
      out << YAML::DoubleQuoted << Cp1251ToUtf8(value.s);
      return out.c_str();
    }
    case PropType::Boolean:
      return value.i == 0 ? "false" : value.i == 1 ? "true" : std::to_string(value.i);
    case PropType::Enum:
      if (value.i >= 0 && value.i < static_cast<int64_t>(prop.enumNames.size())) return prop.enumNames[value.i];
      return std::to_string(value.i);
    case PropType::Cardinal:
      if (IsColourProperty(prop)) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x%06llX", static_cast<unsigned long long>(value.i));
        return buf;
      }
      return std::to_string(value.i);
    default: return std::to_string(value.i);
  }
}

bool RecordFromYaml(const std::string& text, const std::string& fileName, ElementRecord& root, std::string& error,
                    const SourceIncludeReader& readInclude) {
  return RecordFromYaml(text, fileName, root, error, readInclude, nullptr);
}

bool RecordFromYaml(const std::string& text, const std::string& fileName, ElementRecord& root, std::string& error,
                    const SourceIncludeReader& readInclude, RecordPlaces* places) {
  const SourceFile file{fileName, nullptr, &text};
  const ReadContext ctx{&readInclude};
  if (places) *places = RecordPlaces{};
  try {
    const YAML::Node doc = YAML::Load(text);
    if (!doc || doc.IsNull()) {
      error = fileName + ": the file holds no game";
      return false;
    }
    ReadElement(doc, "root", nullptr, root, 0, file, ctx, places);
    return true;
  } catch (const SourceError& e) {
    error = e.Text(fileName);
  } catch (const YAML::ParserException& e) {
    error = fileName + ":" + std::to_string(e.mark.line + 1) + ": " + SyntaxError(e.msg);
  } catch (const YAML::Exception& e) {
    error = fileName + ":" + std::to_string(e.mark.line + 1) + ": " + e.msg;
  }
  return false;
}

bool ReadSourceInclude(const std::string& name, std::string& text, std::string& why) {
  return ReadWholeFile(name, text, why, size_t{64} << 20);
}

bool RecordFromYaml(const std::string& text, const std::string& fileName, ElementRecord& root, std::string& error) {
  return RecordFromYaml(text, fileName, root, error, ReadSourceInclude);
}

std::string YamlFromRecord(const ElementRecord& root, bool allProperties) {
  YAML::Emitter out;
  out.SetIndent(2);
  EmitElement(out, root, allProperties);
  return std::string("# qxrun game source\n") + out.c_str() + "\n";
}

std::string SchemaText() {
  std::string out;
  for (const ClassInfo& cls : ClassTable()) {
    const std::vector<PropValue>& defaults = DefaultValues(cls);
    for (size_t i = 0; i < cls.props.size(); ++i) {
      const PropInfo& p = cls.props[i];
      out += cls.name + " " + std::to_string(i) + " " + p.name + " " + PropTypeName(p.type) + " " +
             FormatPropValue(p, defaults[i]) + "\n";
    }
    out += cls.name + " parents";
    if (cls.allowedParents.empty()) out += " -";
    for (const std::string& parent : cls.allowedParents) out += " " + parent;
    out += "\n";
  }
  return out;
}

}  // namespace qx
