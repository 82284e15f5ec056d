#include "scene/SceneScriptHost.h"

#include <filesystem>

#include "runtime/RuntimeState.h"
#include "scene/EventScripts.h"
#include "scene/QXDB.h"

namespace qx {

namespace {
TQXElement* Resolve(TQXDB* root, ElementHandle h) { return root ? root->FromHandle(h) : nullptr; }
}  // namespace

bool SceneScriptHost::GetPropValue(ElementHandle element, const std::string& name, ScriptValue& value) {
  TQXElement* e = Resolve(root_, element);
  return e && e->GetPropValue(name, value);
}

bool SceneScriptHost::SetPropValue(ElementHandle element, const std::string& name, const ScriptValue& value) {
  TQXElement* e = Resolve(root_, element);
  return e && e->SetPropValue(name, value);
}

bool SceneScriptHost::TakesName(ElementHandle element, const std::string& name) {
  TQXElement* e = Resolve(root_, element);
  return !e || e->TakesPropertyName(name);
}

uint64_t SceneScriptHost::NamesStamp(ElementHandle element) {
  // An element's own variables are the only names it takes that can change, and no two
  // variable lists share a stamp.
  TQXElement* e = Resolve(root_, element);
  return e && e->Variables ? e->Variables->Generation() : 0;
}

ElementHandle SceneScriptHost::ParentOf(ElementHandle element) {
  TQXElement* e = Resolve(root_, element);
  return e && e->Parent() ? e->Parent()->Handle() : 0;
}

ElementHandle SceneScriptHost::Root() { return root_ ? root_->Handle() : 0; }

ElementHandle SceneScriptHost::CurrentElement() {
  TQXElement* e = Scripts().CurrentElement;
  return e ? e->Handle() : 0;
}

std::string SceneScriptHost::CurrentEventName() { return Scripts().CurrentEventName; }

std::string SceneScriptHost::Describe(ElementHandle element) {
  TQXElement* e = Resolve(root_, element);
  return e ? e->Describe() : std::string();
}

std::string SceneScriptHost::TranslateText(const std::string& reference) {
  return root_ ? root_->TranslateText(reference) : std::string();
}

void SceneScriptHost::AppendErrorLog(const std::string& line) {
  lastErrorLine_ = line;
  // The log follows the player's places (the data folder when the game folder cannot be
  // written); when even that fails it is tried in the game folder as ever.
  std::string folder = Runtime().GameFolder;
  if (root_ && !root_->Places().GameFolder().empty()) {
    if (const std::optional<std::string> path = root_->Places().PrepareWrite("korvane.err")) {
      folder = std::filesystem::path(*path).parent_path().string();
    }
  }
  AppendErrorLogLine(folder, line);
}

std::string SceneScriptHost::ResolveGameFile(const std::string& name) {
  if (!root_) return {};
  return root_->Files().ResolveFile(name).value_or(std::string());
}

}  // namespace qx
