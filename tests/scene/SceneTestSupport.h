// Shared helpers for scene tests: a fake interpreter whose "programs" are named actions,
// and small trees built in code.
#pragma once

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <memory>
#include <string>
#include <vector>

#include "ScratchFiles.h"
#include "elements/QXImage.h"
#include "elements/QXScreen.h"
#include "elements/QXShape.h"
#include "runtime/MediaCache.h"
#include "runtime/RuntimeState.h"
#include "scene/EventScripts.h"
#include "scene/QXDB.h"
#include "scene/SceneScriptHost.h"

namespace qx::test {

// Every run is recorded as "EVENT:ID:PROGRAM"; a program named in `actions` also runs its
// action (which may set variables or raise further events).
struct FakeScripts {
  std::vector<std::string> runs;
  std::map<std::string, std::function<void(TVarList&)>> actions;
  std::vector<int> depths;
};

class FakeInterpreter final : public EventInterpreter {
 public:
  FakeInterpreter(FakeScripts& scripts, int index) : scripts_(scripts), index_(index) {}
  std::string Prepare(const std::string& source) override { return source.empty() ? "" : "P:" + source; }
  void ClearVars() override { vars_.Clear(); }
  bool Run(const std::string& prepared) override {
    const std::string program = prepared.substr(2);
    TQXElement* e = Scripts().CurrentElement;
    scripts_.runs.push_back(Scripts().CurrentEventName + ":" + (e ? e->Id : "?") + ":" + program);
    scripts_.depths.push_back(index_);
    auto it = scripts_.actions.find(program);
    if (it != scripts_.actions.end()) it->second(vars_);
    return true;
  }
  const TVarList& Vars() const override { return vars_; }

 private:
  FakeScripts& scripts_;
  int index_;
  TVarList vars_;
};

// Installs the fake pool and a script host for one test, and cleans up the process-wide state.
class SceneFixture {
 public:
  SceneFixture() {
    ResetRuntime();
    CreateInterpreterPool([this](int i) { return std::make_unique<FakeInterpreter>(scripts, i); });
    root = std::make_unique<TQXDB>();
    // Files the tree names (a state file, an ini) land in a scratch game folder, not in
    // whatever folder the tests run in.
    root->SetGameFolder(folder.path().string());
    host = std::make_unique<SceneScriptHost>(root.get());
    SetHost(host.get());
  }
  ~SceneFixture() {
    root.reset();
    Media().Clear();
    FreeInterpreterPool();
    Scripts() = ScriptContext{};
    SetHost(nullptr);
    ResetRuntime();
  }

  template <class T>
  T* Add(TQXElement* parent, const std::string& id, int32_t key) {
    T* e = new T(parent);  // owned by the parent
    e->Id = id;
    e->Key = key;
    return e;
  }

  FakeScripts scripts;
  std::unique_ptr<TQXDB> root;
  std::unique_ptr<SceneScriptHost> host;
  ScratchDir folder;  // the root's game folder
};

}  // namespace qx::test
