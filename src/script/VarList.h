// Script variables: TVar (a name and a value) and TVarList (ordered, exact-name lookup,
// first match wins), the identifier test, and the element paths through which a name
// that is no variable reaches an element's properties.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "script/ScriptHost.h"
#include "script/ScriptValue.h"

namespace qx {

struct TVar {
  std::string Name;
  ScriptValue Value;
};

// Bytes that may appear in names: ".", digits, Latin letters, "_", and the 1251 letters
// (0xA8, 0xB8, 0xC0..0xFF).
inline bool IsIdentChar(unsigned char c) {
  return c == '.' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == '_' || (c >= 'a' && c <= 'z') ||
         c == 0xA8 || c == 0xB8 || c >= 0xC0;
}

// Whether the `n` bytes at `p` and `q` are the same. Names are short: overlapping word
// compares beat both a byte loop and a library call here.
inline bool SameNameBytes(const char* p, const char* q, size_t n) {
  if (n >= 8) {
    for (size_t i = 0; i + 8 < n; i += 8) {
      uint64_t a, b;
      std::memcpy(&a, p + i, 8);
      std::memcpy(&b, q + i, 8);
      if (a != b) return false;
    }
    uint64_t a, b;  // the last 8 bytes, overlapping the words before
    std::memcpy(&a, p + n - 8, 8);
    std::memcpy(&b, q + n - 8, 8);
    return a == b;
  }
  if (n >= 4) {
    uint32_t a, b, c, d;  // the first and last 4 bytes
    std::memcpy(&a, p, 4);
    std::memcpy(&b, q, 4);
    std::memcpy(&c, p + n - 4, 4);
    std::memcpy(&d, q + n - 4, 4);
    return a == b && c == d;
  }
  for (size_t i = 0; i < n; ++i) {
    if (p[i] != q[i]) return false;
  }
  return true;
}

// The validity test for new variables and function names. After a "[" only digits, "-",
// "," and a final "]" may follow (array element names such as A[1,2]).
bool IsIdentifier(std::string_view name);

// What a lookup of one name found, kept by the caller until the list's names change.
struct VarSlot {
  uint64_t generation = 0;  // the list's Generation when found; 0: nothing kept
  int index = -1;
  bool hasArray = false;
  // The stamp that appending this name to the names of stamp `appendFrom` gave (stamps are
  // never shared between lists, so this holds for whichever list is at `appendFrom`).
  uint64_t appendFrom = 0, appendTo = 0;
};

class TVarList {
 public:
  TVarList();
  TVarList(const TVarList& other);
  TVarList(TVarList&& other) noexcept;
  TVarList& operator=(const TVarList& other);
  TVarList& operator=(TVarList&& other) noexcept;
  ~TVarList();

  int Find(std::string_view name) const;
  int Count() const { return static_cast<int>(count_); }
  const TVar& operator[](int i) const { return items_[i]; }
  // The entries in order, valid until the list next changes.
  const TVar* Entries() const { return items_.data(); }
  // Writable access may rename the entry, so the list re-reads its names before the next
  // lookup and takes a new Generation. Do not keep the reference across other calls.
  TVar& operator[](int i) {
    if (!marks_.empty()) SaveEntry(i);
    Touch();
    return items_[i];
  }

  // Appends a copy unless the name exists (then true, nothing changes). False when the name
  // is not an identifier. A dotted name is added with an "Add var" warning in the log.
  bool Add(const TVar& var);
  bool AddIfMissing(const TVar& var);
  // The assignment rule: an existing entry, else an element path from the current
  // element, else a new entry (Add).
  bool Assign(const TVar& var);
  // Assign for a name just looked up and not found: the element path, else a new entry.
  // `identifier`: the name is known to pass IsIdentifier and to hold no "." (a one-segment
  // path). `slot`, kept by the caller for this one name, remembers the new stamp so that the
  // same append next time need not compare names.
  [[gnu::always_inline]] bool AssignMissing(const std::string& name, const ScriptValue& value,
                                            bool identifier = false, VarSlot* slot = nullptr) {
    // A plain name with no current element to take it is simply a new entry.
    if (identifier && Host().CurrentElement() == 0) {
      AppendNamed(name, value, slot);
      return true;
    }
    return AssignMissingSlow(name, value, identifier, slot);
  }
  bool AssignMissing(const TVar& var) { return AssignMissing(var.Name, var.Value); }
  bool SetExisting(std::string_view name, const ScriptValue& value);
  // Replaces the value of entry `i`; its name stays.
  void SetValueAt(int i, ScriptValue&& value) {
    if (!marks_.empty()) SaveValue(i);
    items_[i].Value = std::move(value);
  }
  void SetValueAt(int i, const ScriptValue& value) {
    if (!marks_.empty()) SaveValue(i);
    items_[i].Value = value;
  }
  // The value of entry `i`, writable (the name stays as it is).
  ScriptValue& ValueAt(int i) {
    if (!marks_.empty()) SaveValue(i);
    return items_[i].Value;
  }
  // A copy of the entry, else the element path's value; `var.Name` is set to `name`.
  bool Get(const std::string& name, TVar& var) const;
  bool GetLocal(std::string_view name, TVar& var) const;
  void CopyTo(TVarList& target) const;
  void Clear();
  void RemoveAt(int i);
  // Whether some entry's name starts with `prefix` (array detection).
  bool AnyStartsWith(std::string_view prefix) const;
  // Whether an array named `name` exists: an entry named `name` + "[" ...
  bool HasArray(std::string_view name) const;
  // Find and HasArray in one go.
  int FindWithArray(std::string_view name, bool& hasArray) const;
  // FindWithArray, answered from `slot` while the names are unchanged.
  int FindCached(std::string_view name, VarSlot& slot, bool& hasArray) const {
    if (slot.generation != generation_) {
      slot.index = FindWithArray(name, slot.hasArray);
      slot.generation = generation_;
    }
    hasArray = slot.hasArray;
    return slot.index;
  }
  // Appends `count` entries, `names[i]` with `*values[i]`, as new entries: the names must be
  // identifiers missing from the list, and `to` the stamp the same appends gave before from
  // the present stamp. The values may be entries of the list. False, having changed
  // nothing, when there are not enough spare entries to take them in place.
  [[gnu::always_inline]] bool AppendFrame(const std::string* names, const ScriptValue* const* values, size_t count,
                                          uint64_t to) {
    if (items_.size() - count_ < count) return false;
    TVar* const spare = items_.data() + count_;
    for (size_t i = 0; i < count; ++i) Refill(spare[i], names[i], *values[i]);
    if (indexed_) [[unlikely]] {
      for (size_t i = 0; i < count; ++i) {
        ++count_;
        IndexAppended();
      }
    } else {
      count_ += count;
    }
    generation_ = to;
    return true;
  }
  // Appends without any check (parameter lists of native calls: names "VAR"/"VALUE").
  void Append(TVar&& var) {
    if (count_ < items_.size()) items_[count_] = std::move(var);
    else items_.push_back(std::move(var));
    ++count_;
    Appended();
  }
  void Append(const TVar& var) {
    if (count_ < items_.size()) items_[count_] = var;
    else items_.push_back(var);
    ++count_;
    Appended();
  }

  // A stamp of the names and their order: it changes whenever an entry may have been added,
  // removed or renamed (never for value changes), and no two lists share one. What a
  // lookup found stays true while the stamp is the same.
  uint64_t Generation() const { return generation_; }

  // Marks: every change made after PushMark (values, new, removed or renamed entries, even
  // Clear) is undone by the matching PopMark, which brings back the entries exactly and so
  // the stamp too. Marks nest. A call of a declared procedure runs between the two, at the
  // cost of what it changes rather than of a copy of all variables. KeepMark ends the newest
  // mark keeping every change (a failed call leaves the variables as they were at the
  // error); an enclosing mark still undoes them.
  void KeepMark();
  void PushMark() { marks_.push_back({count_, generation_, undo_.size(), ++nextMarkId_}); }
  void PopMark() {
    const Mark& m = marks_.back();
    if (undo_.size() != m.undoStart) {
      PopMarkUndoing();
      return;
    }
    // Nothing but new entries: drop them.
    DropNewEntries(m.count);
    generation_ = m.generation;
    marks_.pop_back();
  }

 private:
  struct Mark {
    size_t count;         // entries then; later ones are new
    uint64_t generation;  // the stamp then
    size_t undoStart;     // this mark's part of the journal
    uint32_t id;
  };
  struct Undo {
    enum Kind : uint8_t { Value, Entry, Removed, Replaced } kind = Value;
    int index = 0;
    TVar entry;              // Value: the old value; Entry, Removed: the old entry
    std::vector<TVar> all;   // Replaced: every old entry
  };
  void PopMarkUndoing();
  // Drops the entries from `count` on, newest first; the name index, if built, loses them
  // too (it is only kept while every name since it was built was appended). A dropped entry
  // keeps its name as a spare: the next call of the same procedure appends the same names at
  // the same places, and finds them there without building them again.
  void DropNewEntries(size_t count) {
    if (indexed_) [[unlikely]] {
      while (count_ > count) {
        IndexRemovingLast();
        DropLast();
      }
    }
    while (count_ > count) DropLast();
    if (saved_.size() > count_) saved_.resize(count_);
  }
  void DropLast() {
    --count_;
    ScriptValue& v = items_[count_].Value;
    if (v.IsString()) v = ScriptValue();  // no text held by a spare
  }
  // Spares dropped: the entries are exactly the live ones (before any other change of them).
  void Trim() {
    if (items_.size() != count_) items_.resize(count_);
  }
  void SaveValue(int i);  // before entry i's value changes under a mark
  void SaveEntry(int i);  // before entry i may be renamed under a mark
  void SaveAll();         // before all entries are replaced under a mark
  void Touch();     // names may change: new stamp, index rebuilt on demand
  // The last entry is new: the stamp moves on (to the stamp this append gave before).
  void Appended() {
    const std::string& name = items_[count_ - 1].Name;
    Transition& t = transitions_[(generation_ * 0x9E3779B97F4A7C15ull) >> 61];
    if (t.from == generation_ && t.to != 0 && t.name == name) generation_ = t.to;
    else NewTransition(t);
    if (indexed_) IndexAppended();
  }
  bool AssignMissingSlow(const std::string& name, const ScriptValue& value, bool identifier, VarSlot* slot);
  // The same append as the last one through `slot`, onto the same names: the stamp is known.
  [[gnu::always_inline]] void AppendNamed(const std::string& name, const ScriptValue& value, VarSlot* slot) {
    if (slot && slot->appendFrom == generation_ && slot->appendTo != 0 && count_ < items_.size() && !indexed_)
        [[likely]] {
      Refill(items_[count_], name, value);
      ++count_;
      generation_ = slot->appendTo;
      return;
    }
    AppendNamedFinding(name, value, slot);
  }
  [[gnu::noinline]] void AppendNamedFinding(const std::string& name, const ScriptValue& value, VarSlot* slot) {
    if (count_ < items_.size()) {
      Refill(items_[count_], name, value);
    } else {
      items_.push_back(TVar{name, value});  // braces: clang 14 has no parenthesised aggregate init
    }
    ++count_;
    if (slot && slot->appendFrom == generation_ && slot->appendTo != 0) {
      generation_ = slot->appendTo;
      if (indexed_) IndexAppended();
      return;
    }
    const uint64_t from = generation_;
    Appended();
    if (slot) {
      slot->appendFrom = from;
      slot->appendTo = generation_;
    }
  }
  static bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && SameNameBytes(a.data(), b.data(), a.size());
  }
  // A spare entry made `name` = `value`; its name is mostly the same already (kept from the
  // call before), so it is only written when it differs.
  [[gnu::always_inline]] static void Refill(TVar& spare, const std::string& name, const ScriptValue& value) {
    if (!SameText(spare.Name, name)) [[unlikely]] spare.Name = name;
    spare.Value = value;
  }
  void IndexAppended() const;
  void IndexRemovingLast() const;
  void BuildIndex() const;
  int IndexedFind(std::string_view name) const;

  std::vector<TVar> items_;  // the first count_ are the variables, the rest spares
  size_t count_ = 0;
  uint64_t generation_;
  // Appending a name to the names of one stamp always gives the same names, so it gives
  // the same new stamp: a procedure's parameters, added to the caller's variables on every
  // call, then find the lookups kept from the call before.
  struct Transition {
    uint64_t from = 0, to = 0;
    std::string name;
  };
  std::array<Transition, 8> transitions_;  // by the stamp appended to
  void NewTransition(Transition& t);
  std::vector<Mark> marks_;
  std::vector<Undo> undo_;
  std::vector<uint32_t> saved_;  // per entry: the mark its value was last saved for
  uint32_t nextMarkId_ = 0;
  // Long lists are looked up through a hash index of names (open addressing, item numbers)
  // and a count of array elements per array name; both are built when first needed.
  mutable std::vector<int32_t> slots_;
  using ArrayCounts = std::vector<std::pair<std::string, int32_t>>;
  mutable ArrayCounts arrays_;  // sorted by name
  ArrayCounts::iterator ArrayEntry(std::string_view base) const;  // where `base` is or would go
  mutable bool indexed_ = false;
};

// Element paths: leading "." steps to the parent; inner segments name element-valued
// properties, element variables of `vars`, or QXDB (the root); the last segment is read
// or written by name.
bool ReadElementPath(ElementHandle start, const std::string& path, ScriptValue& value, const TVarList* vars);
bool WriteElementPath(ElementHandle start, const std::string& path, const ScriptValue& value,
                      const TVarList* vars);

// The element description of the error log's lines for the current element.
std::string CurrentElementDescription();

}  // namespace qx
