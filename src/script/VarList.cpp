#include "script/VarList.h"

#include <algorithm>
#include <functional>

namespace qx {


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

namespace {

// Short lists are scanned; from this length on, lookups go through the hash index.
constexpr size_t kIndexFrom = 12;

uint64_t NextNamesGeneration() {
  static uint64_t counter = 0;  // the interpreter runs on one thread
  return ++counter;
}

size_t HashName(std::string_view name) { return std::hash<std::string_view>{}(name); }

inline bool SameName(const std::string& a, std::string_view b) {
  return a.size() == b.size() && SameNameBytes(a.data(), b.data(), b.size());
}

inline bool HasDot(std::string_view name) {
  for (char c : name) {
    if (c == '.') return true;
  }
  return false;
}

// The array name of an element name ("A" of "A[1,2]"), or "" for a plain name.
std::string_view ArrayBase(std::string_view name) {
  const size_t bracket = name.find('[');
  return bracket == std::string_view::npos ? std::string_view() : name.substr(0, bracket);
}

}  // namespace

TVarList::TVarList() : generation_(NextNamesGeneration()) {}
TVarList::TVarList(const TVarList& other)
    : items_(other.items_.begin(), other.items_.begin() + static_cast<long>(other.count_)),
      count_(other.count_),
      generation_(NextNamesGeneration()) {}
TVarList::TVarList(TVarList&& other) noexcept
    : items_(std::move(other.items_)), count_(other.count_), generation_(NextNamesGeneration()) {
  Trim();
  other.Touch();
  other.items_.clear();
  other.count_ = 0;
}
TVarList& TVarList::operator=(const TVarList& other) {
  if (this != &other) {
    if (!marks_.empty()) SaveAll();
    items_.assign(other.items_.begin(), other.items_.begin() + static_cast<long>(other.count_));
    count_ = other.count_;
    Touch();
  }
  return *this;
}
TVarList& TVarList::operator=(TVarList&& other) noexcept {
  if (this != &other) {
    if (!marks_.empty()) SaveAll();
    items_ = std::move(other.items_);
    count_ = other.count_;
    Trim();
    other.items_.clear();
    other.count_ = 0;
    other.Touch();
    Touch();
  }
  return *this;
}
TVarList::~TVarList() = default;

void TVarList::Touch() {
  generation_ = NextNamesGeneration();
  indexed_ = false;
}

TVarList::ArrayCounts::iterator TVarList::ArrayEntry(std::string_view base) const {
  return std::lower_bound(arrays_.begin(), arrays_.end(), base,
                          [](const auto& entry, std::string_view b) { return entry.first < b; });
}

void TVarList::BuildIndex() const {
  size_t size = 32;
  while (size < count_ * 2) size *= 2;
  slots_.assign(size, -1);
  arrays_.clear();
  indexed_ = true;
  const size_t count = count_;
  for (size_t i = 0; i < count; ++i) {
    // Registers entry i as if it had just been appended.
    const std::string& name = items_[i].Name;
    size_t slot = HashName(name) & (slots_.size() - 1);
    bool duplicate = false;
    while (slots_[slot] >= 0) {
      if (items_[slots_[slot]].Name == name) {
        duplicate = true;  // unchecked appends may repeat a name: the first one wins
        break;
      }
      slot = (slot + 1) & (slots_.size() - 1);
    }
    if (!duplicate) slots_[slot] = static_cast<int32_t>(i);
    const std::string_view base = ArrayBase(name);
    if (base.empty()) continue;
    auto it = ArrayEntry(base);
    if (it != arrays_.end() && it->first == base) ++it->second;
    else arrays_.insert(it, {std::string(base), 1});
  }
}

void TVarList::IndexAppended() const {
  if (!indexed_) return;
  if (count_ * 2 > slots_.size()) {
    BuildIndex();
    return;
  }
  const size_t i = count_ - 1;
  const std::string& name = items_[i].Name;
  size_t slot = HashName(name) & (slots_.size() - 1);
  while (slots_[slot] >= 0) {
    if (items_[slots_[slot]].Name == name) break;
    slot = (slot + 1) & (slots_.size() - 1);
  }
  if (slots_[slot] < 0) slots_[slot] = static_cast<int32_t>(i);
  const std::string_view base = ArrayBase(name);
  if (base.empty()) return;
  auto it = ArrayEntry(base);
  if (it != arrays_.end() && it->first == base) ++it->second;
  else arrays_.insert(it, {std::string(base), 1});
}

// The last entry is about to be dropped. The index holds the entries as if appended one by
// one, so no probe run passes through the newest one's place: emptying it is enough.
void TVarList::IndexRemovingLast() const {
  const auto last = static_cast<int32_t>(count_ - 1);
  const std::string& name = items_[static_cast<size_t>(last)].Name;
  size_t slot = HashName(name) & (slots_.size() - 1);
  while (slots_[slot] >= 0) {
    if (items_[slots_[slot]].Name == name) {
      if (slots_[slot] == last) slots_[slot] = -1;  // else an older entry of that name stays
      break;
    }
    slot = (slot + 1) & (slots_.size() - 1);
  }
  const std::string_view base = ArrayBase(name);
  if (base.empty()) return;
  auto it = ArrayEntry(base);
  if (it != arrays_.end() && it->first == base && --it->second == 0) arrays_.erase(it);
}

int TVarList::IndexedFind(std::string_view name) const {
  if (!indexed_) BuildIndex();
  size_t slot = HashName(name) & (slots_.size() - 1);
  while (slots_[slot] >= 0) {
    if (items_[slots_[slot]].Name == name) return slots_[slot];
    slot = (slot + 1) & (slots_.size() - 1);
  }
  return -1;
}

int TVarList::Find(std::string_view name) const {
  if (count_ >= kIndexFrom) return IndexedFind(name);
  const size_t n = name.size();
  if (n == 0) {
    for (size_t i = 0; i < count_; ++i) {
      if (items_[i].Name.empty()) return static_cast<int>(i);
    }
    return -1;
  }
  const char first = name[0];
  for (size_t i = 0; i < count_; ++i) {
    const std::string& v = items_[i].Name;
    if (v.size() == n && v[0] == first && SameName(v, name)) return static_cast<int>(i);
  }
  return -1;
}

std::string CurrentElementDescription() { return Host().Describe(Host().CurrentElement()); }

void TVarList::NewTransition(Transition& t) {
  t.from = generation_;
  t.to = generation_ = NextNamesGeneration();
  t.name = items_[count_ - 1].Name;
}

bool TVarList::Add(const TVar& var) {
  if (Find(var.Name) >= 0) return true;
  if (!IsIdentifier(var.Name)) return false;
  if (var.Name.find('.') != std::string::npos) {
    // The line has no closing parenthesis; kept as the log's readers know it.
    Host().AppendErrorLog("Add var " + var.Name + " (in " + CurrentElementDescription() + " " +
                          Host().CurrentEventName());
  }
  Append(var);
  return true;
}

bool TVarList::AddIfMissing(const TVar& var) {
  if (Find(var.Name) >= 0) return true;
  if (!IsIdentifier(var.Name)) return false;
  Append(var);
  return true;
}

bool TVarList::Assign(const TVar& var) {
  const int i = Find(var.Name);
  if (i >= 0) {
    SetValueAt(i, var.Value);  // the name is the same
    return true;
  }
  return AssignMissing(var);
}

bool TVarList::AssignMissingSlow(const std::string& name, const ScriptValue& value, bool identifier,
                                 VarSlot* slot) {
  const bool dotted = !identifier && HasDot(name);
  if (!dotted) {
    // A one-segment path: a property of the current element, if there is one.
    ScriptHost& host = Host();
    const ElementHandle current = host.CurrentElement();
    if (current != 0 && host.SetPropValue(current, name, value)) return true;
  } else if (WriteElementPath(Host().CurrentElement(), name, value, this)) {
    return true;
  }
  // Writing an element's property does not touch this list, so the name is still missing.
  if (!identifier && !IsIdentifier(name)) return false;
  if (dotted) {
    Host().AppendErrorLog("Add var " + name + " (in " + CurrentElementDescription() + " " +
                          Host().CurrentEventName());
  }
  AppendNamed(name, value, slot);
  return true;
}

bool TVarList::SetExisting(std::string_view name, const ScriptValue& value) {
  const int i = Find(name);
  if (i < 0) return false;
  SetValueAt(i, value);
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
  for (size_t i = 0; i < count_; ++i) target.Add(items_[i]);
}

void TVarList::Clear() {
  if (!marks_.empty()) SaveAll();
  items_.clear();
  count_ = 0;
  saved_.clear();
  Touch();
}

void TVarList::RemoveAt(int i) {
  const auto at = static_cast<size_t>(i);
  Trim();
  if (!marks_.empty() && at < marks_.back().count) {
    Undo u;
    u.kind = Undo::Removed;
    u.index = i;
    u.entry = std::move(items_[at]);
    undo_.push_back(std::move(u));
  }
  items_.erase(items_.begin() + i);
  --count_;
  if (at < saved_.size()) saved_.erase(saved_.begin() + i);
  Touch();
}

// --- marks ------------------------------------------------------------------------------------

void TVarList::PopMarkUndoing() {
  const Mark m = marks_.back();
  Trim();
  bool namesKept = true;  // only values were saved: the entries before the mark kept their names
  // Newest first: every recorded index is right for the entries as they were then.
  while (undo_.size() > m.undoStart) {
    Undo& u = undo_.back();
    const auto at = static_cast<size_t>(u.index);
    switch (u.kind) {
      case Undo::Value: items_[at].Value = std::move(u.entry.Value); break;
      case Undo::Entry:
        items_[at] = std::move(u.entry);
        namesKept = false;
        break;
      case Undo::Removed:
        items_.insert(items_.begin() + u.index, std::move(u.entry));
        if (at <= saved_.size()) saved_.insert(saved_.begin() + u.index, 0);
        namesKept = false;
        break;
      case Undo::Replaced:
        items_ = std::move(u.all);
        saved_.clear();
        namesKept = false;
        break;
    }
    undo_.pop_back();
  }
  count_ = items_.size();
  if (!namesKept) indexed_ = false;
  DropNewEntries(m.count);
  marks_.pop_back();
  generation_ = m.generation;  // the same entries as then
}

void TVarList::KeepMark() {
  const size_t keptFrom = marks_.back().undoStart;
  marks_.pop_back();
  if (marks_.empty()) {
    undo_.clear();  // nothing left to undo to
    saved_.clear();
    return;
  }
  // The journal since the mark passes to the enclosing one, less the records about entries
  // that one did not have: it drops those entries anyway, and such an entry may later go
  // without a record, which would leave the older records pointing at the wrong place.
  const size_t count = marks_.back().count;
  undo_.erase(std::remove_if(undo_.begin() + static_cast<long>(keptFrom), undo_.end(),
                             [count](const Undo& u) {
                               return u.kind != Undo::Replaced && static_cast<size_t>(u.index) >= count;
                             }),
              undo_.end());
}

void TVarList::SaveValue(int i) {
  const Mark& m = marks_.back();
  const auto at = static_cast<size_t>(i);
  if (at >= m.count) return;  // new since the mark: dropped anyway
  if (saved_.size() < count_) saved_.resize(count_, 0);
  if (saved_[at] == m.id) return;  // the value at the mark is kept already
  saved_[at] = m.id;
  Undo u;
  u.kind = Undo::Value;
  u.index = i;
  u.entry.Value = items_[at].Value;
  undo_.push_back(std::move(u));
}

void TVarList::SaveEntry(int i) {
  const Mark& m = marks_.back();
  const auto at = static_cast<size_t>(i);
  if (at >= m.count) return;
  if (saved_.size() < count_) saved_.resize(count_, 0);
  saved_[at] = m.id;
  Undo u;
  u.kind = Undo::Entry;
  u.index = i;
  u.entry = items_[at];
  undo_.push_back(std::move(u));
}

void TVarList::SaveAll() {
  Undo u;
  u.kind = Undo::Replaced;
  u.all.assign(items_.begin(), items_.begin() + static_cast<long>(count_));
  undo_.push_back(std::move(u));
}

bool TVarList::AnyStartsWith(std::string_view prefix) const {
  for (size_t i = 0; i < count_; ++i) {
    const TVar& v = items_[i];
    if (v.Name.size() >= prefix.size() && v.Name.compare(0, prefix.size(), prefix) == 0) return true;
  }
  return false;
}

bool TVarList::HasArray(std::string_view name) const {
  if (count_ >= kIndexFrom && name.find('[') == std::string_view::npos) {
    // An entry "name[..." has its first "[" right after `name`: its array name is `name`.
    if (!indexed_) BuildIndex();
    auto it = ArrayEntry(name);
    return it != arrays_.end() && it->first == name;
  }
  for (size_t i = 0; i < count_; ++i) {
    const TVar& v = items_[i];
    if (v.Name.size() > name.size() && v.Name[name.size()] == '[' && v.Name.compare(0, name.size(), name) == 0)
      return true;
  }
  return false;
}

int TVarList::FindWithArray(std::string_view name, bool& hasArray) const {
  if (count_ >= kIndexFrom) {
    hasArray = HasArray(name);
    return Find(name);
  }
  int found = -1;
  hasArray = false;
  const size_t n = name.size();
  for (size_t i = 0; i < count_; ++i) {
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
