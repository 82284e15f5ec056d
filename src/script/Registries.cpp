// Native-function and declared-procedure registries.
#include "script/Registries.h"

namespace qx {

uint64_t NextRegistryGeneration() {
  static uint64_t counter = 0;  // the interpreter runs on one thread
  return ++counter;
}

bool TFuncList::Add(std::string_view name, NativeFunction handler) {
  if (!IsIdentifier(name)) return false;
  items_.push_back({UpperCaseAscii(name), std::move(handler), std::string(name)});
  generation_.Renew();
  return true;
}

int TFuncList::Find(std::string_view upperName) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].Name == upperName) return static_cast<int>(i);
  }
  return -1;
}

void TFuncList::Remove(int index) {
  items_.erase(items_.begin() + index);
  generation_.Renew();
}

void TFuncList::SetHandler(int index, NativeFunction handler) {
  items_[index].Handler = std::move(handler);
  generation_.Renew();
}

int TProcList::Find(std::string_view name) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].Name == name) return static_cast<int>(i);
  }
  return -1;
}

bool TProcList::Get(std::string_view name, TProcedure& proc) const {
  const int i = Find(name);
  if (i < 0) return false;
  proc = items_[i];
  return true;
}

bool TProcList::Add(const TProcedure& proc) {
  if (Find(proc.Name) >= 0) return false;
  items_.push_back(proc);
  generation_.Renew();
  return true;
}

void TProcList::Clear() {
  if (items_.empty()) return;
  items_.clear();
  generation_.Renew();
}

}  // namespace qx
