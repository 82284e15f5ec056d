// The interpreter's two registries: native functions (TFuncList) and the procedures and
// functions a script declares (TProcList). Both are short ordered lists with exact-name
// lookup, first match wins.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "script/Tokeniser.h"
#include "script/VarList.h"

namespace qx {

class TScriptEngine;

// A native function: gets the interpreter, the evaluated arguments (each named "VAR" when
// the argument was a bare existing variable, else "VALUE") and the caller's operand record
// for the result. Answers false when the arguments do not fit; an exception counts as false
// and its message is logged after the function name.
using NativeFunction = std::function<bool(TScriptEngine& engine, TVarList& params, TVar& result)>;

// A stamp that changes on every change of any registry, so parsed expressions can keep
// what a name resolved to until the lists change.
uint64_t NextRegistryGeneration();

// A registry's stamp, which every change renews and may also write to a sink that several
// registries share: the interpreter then tells with one comparison that none of its
// registries changed. A copy reports nowhere; a list given new contents by assignment gets a
// new stamp and keeps its own sink.
class RegistryStamp {
 public:
  RegistryStamp() = default;
  RegistryStamp(const RegistryStamp& other) : value_(other.value_) {}
  RegistryStamp& operator=(const RegistryStamp& other) {
    if (this != &other) Renew();
    return *this;
  }
  uint64_t Value() const { return value_; }
  void Renew() {
    value_ = NextRegistryGeneration();
    if (sink_) *sink_ = value_;
  }
  void ReportTo(uint64_t* sink) { sink_ = sink; }

 private:
  uint64_t value_ = NextRegistryGeneration();
  uint64_t* sink_ = nullptr;
};

struct TFunc {
  std::string Name;  // upper case
  NativeFunction Handler;
  std::string Spelling;  // as registered ("SetScreen"), for listings; lookups use Name
};

class TFuncList {
 public:
  // False when `name` is no identifier; otherwise appends the upper-cased name.
  bool Add(std::string_view name, NativeFunction handler);
  int Find(std::string_view upperName) const;
  void Remove(int index);
  void SetHandler(int index, NativeFunction handler);
  int Count() const { return static_cast<int>(items_.size()); }
  const TFunc& operator[](int i) const { return items_[i]; }
  uint64_t Generation() const { return generation_.Value(); }
  // Each change's stamp is also written to `*sink`.
  void ReportChangesTo(uint64_t* sink) { generation_.ReportTo(sink); }

 private:
  std::vector<TFunc> items_;
  RegistryStamp generation_;
};

struct TProcedure {
  std::string Name;    // upper case
  TokenStream Body;    // the single statement after the declaration
  std::string Params;  // parameter names, upper case, joined with CR LF; "" for none
  bool IsFunction = false;
};

class TProcList {
 public:
  int Find(std::string_view name) const;
  bool Get(std::string_view name, TProcedure& proc) const;
  // False when the name exists; otherwise appends a copy.
  bool Add(const TProcedure& proc);
  void Clear();
  int Count() const { return static_cast<int>(items_.size()); }
  const TProcedure& operator[](int i) const { return items_[i]; }
  uint64_t Generation() const { return generation_.Value(); }
  // Each change's stamp is also written to `*sink`.
  void ReportChangesTo(uint64_t* sink) { generation_.ReportTo(sink); }

 private:
  std::vector<TProcedure> items_;
  RegistryStamp generation_;
};

}  // namespace qx
