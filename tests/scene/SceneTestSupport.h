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
#include "elements/ElementKinds.h"
#include "elements/QXImage.h"
#include "elements/QXScreen.h"
#include "elements/QXShape.h"
#include "resources/GameFs.h"
#include "runtime/MediaCache.h"
#include "runtime/Services.h"
#include "runtime/SoundPlayer.h"
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

// Records what the root and the built-ins ask of the sounds, one line a call: "snd NAME
// VOLUME", "muz NAME VOLUME", "fade", "music volume N" (MusicVolume when it is applied).
class RecordingSounds final : public SoundPlayer {
 public:
  void PlaySound(const std::string& name, int32_t volume) override {
    calls.push_back("snd " + name + " " + std::to_string(volume));
  }
  void PlayMusic(const std::string& name, int32_t volume) override {
    calls.push_back("muz " + name + " " + std::to_string(volume));
  }
  void FadeOutAllMusic() override {
    if (onFade) onFade();
    else calls.push_back("fade");
  }
  void ApplyMusicVolume() override { calls.push_back("music volume " + std::to_string(Runtime().MusicVolume)); }

  std::vector<std::string> calls;
  std::function<void()> onFade;  // records a fade in its stead when set
};

// Installs the fake pool and a script host for one test, and cleans up the process-wide state.
// The root gets a files service and a media cache that only counts (no image list) unless
// the stage gives it an image list, an archive and a canvas.
class SceneFixture {
 public:
  SceneFixture() : SceneFixture(nullptr, nullptr, nullptr) {}
  SceneFixture(TGfxImages* images, TResArchive* archive, TGfxCanvas* canvas) : media(images, archive, &files) {
    ResetRuntime();
    CreateInterpreterPool([this](int i) { return std::make_unique<FakeInterpreter>(scripts, i); });
    Services services;
    services.canvas = canvas;
    services.media = &media;
    services.archive = archive;
    services.files = &files;
    services.sound = &sound;
    root = std::make_unique<TQXDB>(ElementKinds(), services);
    // Files the tree names (a state file, an ini) land in a scratch game folder, not in
    // whatever folder the tests run in.
    root->SetGameFolder(folder.path().string());
    host = std::make_unique<SceneScriptHost>(root.get());
    SetHost(host.get());
  }
  ~SceneFixture() {
    root.reset();
    media.Clear();
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
  TGameFs files{"."};
  MediaCache media;
  RecordingSounds sound;
  std::unique_ptr<TQXDB> root;
  std::unique_ptr<SceneScriptHost> host;
  ScratchDir folder;  // the root's game folder
};

}  // namespace qx::test
