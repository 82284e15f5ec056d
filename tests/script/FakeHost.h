// A small in-memory element tree behind the ScriptHost interface, for interpreter tests:
// properties by name (any case), children by Id, translations and a captured error log.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "script/ScriptHost.h"
#include "script/Tokeniser.h"

namespace qx::test {

class FakeHost : public ScriptHost {
 public:
  struct Element {
    std::string id;
    std::string className;
    ElementHandle parent = 0;
    std::map<std::string, ScriptValue> props;  // upper-case names
    std::vector<ElementHandle> children;
  };

  FakeHost() { SetHost(this); }
  ~FakeHost() override { SetHost(nullptr); }
  FakeHost(const FakeHost&) = delete;
  FakeHost& operator=(const FakeHost&) = delete;

  ElementHandle AddElement(const std::string& id, const std::string& className, ElementHandle parent) {
    elements_.push_back({id, className, parent, {}, {}});
    const auto handle = static_cast<ElementHandle>(elements_.size());
    if (parent != 0) At(parent).children.push_back(handle);
    if (root_ == 0) root_ = handle;
    return handle;
  }
  void SetProp(ElementHandle e, const std::string& name, const ScriptValue& v) { Slot(e, name) = v; }
  ScriptValue Prop(ElementHandle e, const std::string& name) { return Slot(e, name); }
  void SetCurrent(ElementHandle e, std::string event = {}) {
    current_ = e;
    event_ = std::move(event);
  }
  void AddTranslation(const std::string& key, const std::string& text) { texts_[key] = text; }
  const std::vector<std::string>& Log() const { return log_; }
  void ClearLog() { log_.clear(); }
  int propReads = 0;

  bool GetPropValue(ElementHandle e, const std::string& name, ScriptValue& value) override {
    ++propReads;
    if (!Valid(e)) return false;
    const std::string key = UpperCaseAscii(name);
    Element& el = At(e);
    if (const auto it = el.props.find(key); it != el.props.end()) {
      value = it->second;
      return true;
    }
    for (ElementHandle c : el.children) {
      if (UpperCaseAscii(At(c).id) == key) {
        value = ScriptValue::Element(c);
        return true;
      }
    }
    return false;
  }
  bool SetPropValue(ElementHandle e, const std::string& name, const ScriptValue& value) override {
    if (!Valid(e)) return false;
    const auto it = At(e).props.find(UpperCaseAscii(name));
    if (it == At(e).props.end()) return false;
    it->second = value;
    return true;
  }
  bool TakesName(ElementHandle e, const std::string& name) override {
    return !Valid(e) || At(e).props.count(UpperCaseAscii(name)) > 0;
  }
  uint64_t NamesStamp(ElementHandle e) override { return Valid(e) ? (namesVersion_ << 20) | e : 0; }
  ElementHandle ParentOf(ElementHandle e) override { return Valid(e) ? At(e).parent : 0; }
  ElementHandle Root() override { return root_; }
  ElementHandle CurrentElement() override { return current_; }
  std::string CurrentEventName() override { return event_; }
  std::string Describe(ElementHandle e) override {
    return Valid(e) ? At(e).id + " <" + At(e).className + ">" : std::string();
  }
  std::string TranslateText(const std::string& reference) override {
    const auto it = texts_.find(reference);
    return it == texts_.end() ? std::string() : it->second;
  }
  void AppendErrorLog(const std::string& line) override { log_.push_back(line); }
  std::string ResolveGameFile(const std::string&) override { return {}; }

 private:
  bool Valid(ElementHandle e) const { return e >= 1 && e <= elements_.size(); }
  Element& At(ElementHandle e) { return elements_[e - 1]; }
  // A property, made when missing (the names taken change then).
  ScriptValue& Slot(ElementHandle e, const std::string& name) {
    auto& props = At(e).props;
    const auto [it, added] = props.try_emplace(UpperCaseAscii(name));
    if (added) ++namesVersion_;
    return it->second;
  }

  std::vector<Element> elements_;
  ElementHandle root_ = 0;
  ElementHandle current_ = 0;
  std::string event_;
  std::map<std::string, std::string> texts_;
  std::vector<std::string> log_;
  uint64_t namesVersion_ = 1;
};

}  // namespace qx::test
