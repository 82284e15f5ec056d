#include "script/VarList.h"

namespace qx {

bool IsIdentChar(unsigned char c) {
  return c == '.' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == '_' || (c >= 'a' && c <= 'z') ||
         c == 0xA8 || c == 0xB8 || c >= 0xC0;
}

bool IsIdentifier(std::string_view name) {
  if (name.empty()) return false;
  const auto first = static_cast<unsigned char>(name[0]);
  if (!IsIdentChar(first) || (first >= '0' && first <= '9')) return false;
  bool index = false;
  for (size_t i = 1; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (!index) {
      if (c == '[') index = true;
      else if (!IsIdentChar(c)) return false;
    } else if (c == ']') {
      if (i != name.size() - 1) return false;
    } else if (!((c >= '0' && c <= '9') || c == '-' || c == ',')) {
      return false;
    }
  }
  return true;
}

int TVarList::Find(std::string_view name) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].Name == name) return static_cast<int>(i);
  }
  return -1;
}

std::string CurrentElementDescription() { return Host().Describe(Host().CurrentElement()); }

bool TVarList::Add(const TVar& var) {
  if (Find(var.Name) >= 0) return true;
  if (!IsIdentifier(var.Name)) return false;
  if (var.Name.find('.') != std::string::npos) {
    // The line has no closing parenthesis; kept as the log's readers know it.
    Host().AppendErrorLog("Add var " + var.Name + " (in " + CurrentElementDescription() + " " +
                          Host().CurrentEventName());
  }
  items_.push_back(var);
  return true;
}

bool TVarList::AddIfMissing(const TVar& var) {
  if (Find(var.Name) >= 0) return true;
  if (!IsIdentifier(var.Name)) return false;
  items_.push_back(var);
  return true;
}

bool TVarList::Assign(const TVar& var) {
  const int i = Find(var.Name);
  if (i >= 0) {
    items_[i] = var;
    return true;
  }
  if (WriteElementPath(Host().CurrentElement(), var.Name, var.Value, this)) return true;
  return Add(var);
}

bool TVarList::SetExisting(std::string_view name, const ScriptValue& value) {
  const int i = Find(name);
  if (i < 0) return false;
  items_[i].Value = value;
  return true;
}

bool TVarList::Get(const std::string& name, TVar& var) const {
  var.Name = name;
  const int i = Find(name);
  if (i >= 0) {
    var = items_[i];
    return true;
  }
  return ReadElementPath(Host().CurrentElement(), name, var.Value, this);
}

bool TVarList::GetLocal(std::string_view name, TVar& var) const {
  const int i = Find(name);
  if (i < 0) return false;
  var = items_[i];
  return true;
}

void TVarList::CopyTo(TVarList& target) const {
  for (const TVar& v : items_) target.Add(v);
}

bool TVarList::AnyStartsWith(std::string_view prefix) const {
  for (const TVar& v : items_) {
    if (v.Name.size() >= prefix.size() && v.Name.compare(0, prefix.size(), prefix) == 0) return true;
  }
  return false;
}

bool TVarList::HasArray(std::string_view name) const {
  for (const TVar& v : items_) {
    if (v.Name.size() > name.size() && v.Name[name.size()] == '[' && v.Name.compare(0, name.size(), name) == 0)
      return true;
  }
  return false;
}

int TVarList::FindWithArray(std::string_view name, bool& hasArray) const {
  int found = -1;
  hasArray = false;
  const size_t n = name.size();
  for (size_t i = 0; i < items_.size(); ++i) {
    const std::string& v = items_[i].Name;
    const bool exact = v.size() == n;
    if (!exact && !(v.size() > n && v[n] == '[')) continue;
    if (v.compare(0, n, name) != 0) continue;
    if (!exact) hasArray = true;
    else if (found < 0) found = static_cast<int>(i);
  }
  return found;
}

namespace {

// Walks the path up to its last segment; answers the element that segment belongs to.
bool WalkPath(ElementHandle start, const std::string& path, const TVarList* vars, ElementHandle& element,
              std::string& last) {
  ScriptHost& host = Host();
  ElementHandle current = start;
  size_t pos = 0;
  while (pos < path.size() && path[pos] == '.') {
    ++pos;
    if (current == 0) return false;
    current = host.ParentOf(current);
  }
  while (true) {
    const size_t dot = path.find('.', pos);
    if (dot == std::string::npos) break;
    const std::string segment = path.substr(pos, dot - pos);
    if (segment.empty()) return false;
    ScriptValue v;
    TVar local;
    if (current != 0 && host.GetPropValue(current, segment, v)) {
      if (v.Kind() != ValueKind::Element) return false;
      current = v.ElementHandle();
    } else if (vars && vars->GetLocal(segment, local)) {
      if (local.Value.Kind() != ValueKind::Element) return false;
      current = local.Value.ElementHandle();
    } else if (segment == "QXDB") {
      current = host.Root();
    } else {
      return false;
    }
    pos = dot + 1;
  }
  element = current;
  last = path.substr(pos);
  return current != 0;
}

}  // namespace

bool ReadElementPath(ElementHandle start, const std::string& path, ScriptValue& value, const TVarList* vars) {
  ElementHandle element = 0;
  std::string last;
  if (!WalkPath(start, path, vars, element, last)) return false;
  return Host().GetPropValue(element, last, value);
}

bool WriteElementPath(ElementHandle start, const std::string& path, const ScriptValue& value,
                      const TVarList* vars) {
  ElementHandle element = 0;
  std::string last;
  if (!WalkPath(start, path, vars, element, last)) return false;
  return Host().SetPropValue(element, last, value);
}

}  // namespace qx
