// The scripts' view of a loaded game: element handles resolved through the root, the
// running event, the root's texts, and the error log in the game folder.
#pragma once

#include "script/ScriptHost.h"

namespace qx {

class TQXDB;

class SceneScriptHost final : public ScriptHost {
 public:
  explicit SceneScriptHost(TQXDB* root) : root_(root) {}
  void SetRoot(TQXDB* root) { root_ = root; }
  // The line last appended to korvane.err through this host (the --dev inspector shows it).
  const std::string& LastErrorLine() const { return lastErrorLine_; }

  bool GetPropValue(ElementHandle element, const std::string& name, ScriptValue& value) override;
  bool SetPropValue(ElementHandle element, const std::string& name, const ScriptValue& value) override;
  bool TakesName(ElementHandle element, const std::string& name) override;
  uint64_t NamesStamp(ElementHandle element) override;
  ElementHandle ParentOf(ElementHandle element) override;
  ElementHandle Root() override;
  ElementHandle CurrentElement() override;
  std::string CurrentEventName() override;
  std::string Describe(ElementHandle element) override;
  std::string TranslateText(const std::string& reference) override;
  void AppendErrorLog(const std::string& line) override;
  std::string ResolveGameFile(const std::string& name) override;

 private:
  std::string lastErrorLine_;
  TQXDB* root_;
};

}  // namespace qx
