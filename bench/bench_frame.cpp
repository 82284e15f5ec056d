// One frame of a 200-element screen on the null back ends: the process tick (every element's
// Process script), the render of every layer and the canvas's submission, as TFormMain's
// frame runs them. 100 shapes and 100 images of a 64 x 64 picture, each with a Process script
// that moves it; beside it in the same run, the same screen without scripts.
//   build/bench/bench_frame [--frames N]
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "BenchPictures.h"
#include "builtins/Builtins.h"
#include "elements/QXImage.h"
#include "elements/QXScreen.h"
#include "elements/QXShape.h"
#include "platform/null/NullAudio.h"
#include "platform/null/NullGfx.h"
#include "platform/null/NullWindow.h"
#include "runtime/RuntimeState.h"
#include "scene/QXDB.h"
#include "shell/MainForm.h"

namespace {

using namespace qx;
using namespace qx::bench;
namespace fs = std::filesystem;

constexpr int kElements = 200;

const char* kMoveScript =
    "rX := rX + 3;\n"
    "IF rX > 960 THEN rX := 0;\n"
    "rY := rY + 1;\n"
    "IF rY > 700 THEN rY := 0;";

struct Game {
  NullWindow window;
  NullAudio audio;
  NullGfx gfx;
  FixedStepTimerClock clock{TGfxTimer::PeriodFor(kProcessTicksPerSecond)};
  std::unique_ptr<TFormMain> form;

  Game(const fs::path& dir, bool scripts) {
    ResetRuntime();
    ShellOptions options;
    options.testMode = true;
    options.makeInterpreter = [](int, const GameLink& game) { return MakeGameInterpreter(game); };
    form = std::make_unique<TFormMain>(window, audio, gfx, clock, std::move(options));
    form->FormCreate();
    form->SkipIntro();
    TQXDB* root = form->Root();
    root->SetGameFolder(dir.string());
    auto* screen = new TQXScreen(root);
    screen->Id = "ROOM";
    for (int i = 0; i < kElements; ++i) {
      TQXElement* e = nullptr;
      if (i % 2 == 0) {
        auto* shape = new TQXShape(screen);
        shape->SetSizeX(40);
        shape->SetSizeY(30);
        e = shape;
      } else {
        auto* image = new TQXImage(screen);
        image->SetImImage("sprite.png");
        e = image;
      }
      e->Id = "E" + std::to_string(i);
      e->rX = (i * 37) % 960;
      e->rY = (i * 53) % 700;
      if (scripts) e->SetScript(ScriptSlot::Process, kMoveScript);
    }
    SetCurrentScreen(screen);
    screen->LoadResources();
    screen->DoShow();
  }
  ~Game() {
    form.reset();
    ResetRuntime();
  }

  // One frame in microseconds: the tick (as the timer runs it once per frame at the fixed
  // step), then the render and present of TimerTimer.
  double Frame() {
    const double start = NowMs();
    form->TimerProcess();
    form->TimerTimer();
    const double us = (NowMs() - start) * 1000.0;
    gfx.calls.clear();
    gfx.draws.clear();
    return us;
  }
};

struct Figures {
  double median, best;
};

Figures Measure(Game& game, int frames) {
  for (int i = 0; i < 30; ++i) game.Frame();  // warm-up: scripts prepared, buffers grown
  std::vector<double> t;
  for (int i = 0; i < frames; ++i) t.push_back(game.Frame());
  std::sort(t.begin(), t.end());
  return {t[t.size() / 2], t.front()};
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = CountOption(argc, argv, "--frames", 600);
  const fs::path dir = fs::temp_directory_path() / ("qx-bench-frame-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  WritePngPicture((dir / "sprite.png").string(), 64, 64, 7);
  Figures with{}, without{};
  {
    Game game(dir, true);
    with = Measure(game, frames);
  }
  {
    Game game(dir, false);
    without = Measure(game, frames);
  }
  fs::remove_all(dir);
  std::printf("one frame of a %d-element screen (process, render, canvas submission), %d frames\n", kElements, frames);
  std::printf("with a Process script on every element  median %7.1f us  best %7.1f us\n", with.median, with.best);
  std::printf("the same screen without scripts          median %7.1f us  best %7.1f us\n", without.median, without.best);
  return 0;
}
