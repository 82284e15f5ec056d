// Script variables: TVar (a name and a value) and TVarList (ordered, exact-name lookup,
// first match wins), the identifier test, and the element paths through which a name
// that is no variable reaches an element's properties.
#pragma once

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
bool IsIdentChar(unsigned char c);

// The validity test for new variables and function names. After a "[" only digits, "-",
// "," and a final "]" may follow (array element names such as A[1,2]).
bool IsIdentifier(std::string_view name);

class TVarList {
 public:
  int Find(std::string_view name) const;
  int Count() const { return static_cast<int>(items_.size()); }
  const TVar& operator[](int i) const { return items_[i]; }
  TVar& operator[](int i) { return items_[i]; }

  // Appends a copy unless the name exists (then true, nothing changes). False when the name
  // is not an identifier. A dotted name is added with an "Add var" warning in the log.
  bool Add(const TVar& var);
  bool AddIfMissing(const TVar& var);
  // The assignment rule: an existing entry, else an element path from the current
  // element, else a new entry (Add).
  bool Assign(const TVar& var);
  bool SetExisting(std::string_view name, const ScriptValue& value);
  // A copy of the entry, else the element path's value; `var.Name` is set to `name`.
  bool Get(const std::string& name, TVar& var) const;
  bool GetLocal(std::string_view name, TVar& var) const;
  void CopyTo(TVarList& target) const;
  void Clear() { items_.clear(); }
  // Whether some entry's name starts with `prefix` (array detection).
  bool AnyStartsWith(std::string_view prefix) const;
  // Whether an array named `name` exists: an entry named `name` + "[" ...
  bool HasArray(std::string_view name) const;
  // Find and HasArray in one pass over the list.
  int FindWithArray(std::string_view name, bool& hasArray) const;
  // Appends without any check (parameter lists of native calls: names "VAR"/"VALUE").
  void Append(TVar var) { items_.push_back(std::move(var)); }

 private:
  std::vector<TVar> items_;
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
