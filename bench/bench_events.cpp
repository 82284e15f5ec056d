// Scripts as a game runs them: the statement workloads as an element's Init script on the
// interpreter pool, where every new name is first offered to the element as a property.
// Prints each workload's best processor time beside the same script on a bare engine.
//   build/bench/bench_events [--reps N]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "CpuClock.h"
#include "ScriptWorkloads.h"
#include "elements/ElementKinds.h"
#include "elements/QXScreen.h"
#include "elements/QXShape.h"
#include "runtime/RuntimeState.h"
#include "builtins/Builtins.h"
#include "scene/EngineInterpreter.h"
#include "scene/EventScripts.h"
#include "scene/QXDB.h"
#include "scene/SceneScriptHost.h"
#include "script/lib/scriptfuncs.h"
#include "script/scriptengine.h"

namespace {

using namespace qx;
using bench::CpuMs;

struct Workload {
  const char* title;
  const char* script;
};

const Workload kWorkloads[] = {
    {"FOR loop, 1,000,000 passes: add and IF", bench::kLoopScript},
    {"200,000 calls of a declared FUNCTION", bench::kCallScript},
    {"100,000 element property reads and writes",
     "I := 0;\n"
     "FOR I := 1 TO 100000 DO rX := rX + 1"},
};

// root > SCREEN > SHAPE, with the pool of real interpreters and the scene as the host.
class Game {
 public:
  Game() {
    ResetRuntime();
    CreateInterpreterPool([this](int) { return MakeGameInterpreter(game_); });
    root_ = std::make_unique<TQXDB>(ElementKinds());
    game_.root = root_.get();
    root_->SetGameFolder(std::filesystem::temp_directory_path().string());
    host_ = std::make_unique<SceneScriptHost>(root_.get());
    SetHost(host_.get());
    auto* screen = new TQXScreen(root_.get());
    screen->Id = "SCREEN";
    shape = new TQXShape(screen);
    shape->Id = "SHAPE";
  }
  ~Game() {
    root_.reset();
    FreeInterpreterPool();
    SetHost(nullptr);
    ResetRuntime();
  }
  TQXShape* shape = nullptr;

 private:
  GameLink game_;
  std::unique_ptr<TQXDB> root_;
  std::unique_ptr<SceneScriptHost> host_;
};

double AsEvent(const Workload& w, int reps) {
  Game game;
  game.shape->SetScript(ScriptSlot::Init, w.script);
  double best = 1e300;
  for (int i = 0; i < reps; ++i) {
    game.shape->rX = 0;
    const double start = CpuMs();
    game.shape->DoInit();
    best = std::min(best, CpuMs() - start);
  }
  return best;
}

double OnBareEngine(const Workload& w, int reps) {
  TScriptEngine engine;
  RegisterStandardFunctions(engine);
  const TokenStream program = engine.Prepare(w.script);
  double best = 1e300;
  for (int i = 0; i < reps; ++i) {
    engine.Vars().Clear();
    engine.Vars().Add({"RX", ScriptValue::Int(0)});  // the property, as a variable
    const double start = CpuMs();
    engine.Run(program);
    best = std::min(best, CpuMs() - start);
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  int reps = 5;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--reps") && i + 1 < argc) {
      reps = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: %s [--reps N]\n", argv[0]);
      return 2;
    }
  }
  std::printf("%-44s %14s %14s\n", "workload (best of runs)", "as event ms", "bare engine ms");
  for (const Workload& w : kWorkloads)
    std::printf("%-44s %14.2f %14.2f\n", w.title, AsEvent(w, reps), OnBareEngine(w, reps));
  return 0;
}
