// A screen change of 20 pictures of 1024 x 768 (10 PNG, 10 JPEG; two JPEGs with masks, two
// pictures with frame layouts) through the real shell, media cache and loading path on the
// null back ends: SetScreen until the new screen's Show has run. Beside it, in the same run,
// the sum of plain libpng / libjpeg-turbo decodes of the same files (the masks through our
// BMP reader, there being no library for it), and the change with pictures decoded one after
// the other on the game thread (--serial-decode) beside the change with them decoded ahead
// on worker threads. Two screens take turns, so every change decodes all 20 pictures of the
// screen it goes to.
//   build/bench/bench_screen [--rounds N]
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
#include "base/WorkPool.h"
#include "builtins/Builtins.h"
#include "elements/QXImage.h"
#include "elements/QXScreen.h"
#include "platform/null/NullAudio.h"
#include "platform/null/NullGfx.h"
#include "platform/null/NullWindow.h"
#include "resources/FileBytes.h"
#include "resources/ImageDecoders.h"
#include "runtime/RuntimeState.h"
#include "scene/QXDB.h"
#include "shell/MainForm.h"

namespace {

using namespace qx;
using namespace qx::bench;
namespace fs = std::filesystem;

constexpr int kWidth = 1024, kHeight = 768, kPictures = 20;

// The files of one screen's pictures, as the game names them, and every file on disk that
// loading them reads (masks included).
struct ScreenFiles {
  std::vector<std::string> pictures;
  std::vector<std::string> files;
};

ScreenFiles MakeScreenFiles(const fs::path& dir, const std::string& prefix) {
  ScreenFiles s;
  fs::create_directories(dir / "pics");
  for (int i = 0; i < kPictures; ++i) {
    const uint32_t seed = static_cast<uint32_t>(i * 7919 + prefix[0]);
    const std::string stem = prefix + std::to_string(i);
    std::string name;
    if (i % 2 == 0) {
      name = "pics/" + stem + ".png";
      WritePngPicture((dir / name).string(), kWidth, kHeight, seed);
    } else if (i == 3 || i == 7) {
      // A JPEG whose alpha comes from the 8-bit mask named by the part before '_'.
      name = "pics/" + stem + "_c.jpg";
      WriteJpegFile((dir / name).string(), kWidth, kHeight, seed);
      WriteMaskBmp((dir / ("pics/" + stem + ".bmp")).string(), kWidth, kHeight);
      s.files.push_back("pics/" + stem + ".bmp");
    } else {
      name = "pics/" + stem + ".jpg";
      WriteJpegFile((dir / name).string(), kWidth, kHeight, seed);
    }
    if (i == 4 || i == 9) {  // frame layouts: 4 x 2 and 2 x 3 frames
      const std::string an = name.substr(0, name.size() - 4) + ".an";
      std::FILE* f = std::fopen((dir / an).string().c_str(), "w");
      std::fputs(i == 4 ? "4\n2\n" : "2\n3\n", f);
      std::fclose(f);
    }
    s.pictures.push_back(name);
    s.files.push_back(name);
  }
  return s;
}

// The plain library decodes of every file, in ms.
double PlainDecodes(const fs::path& dir, const ScreenFiles& s) {
  std::vector<std::vector<uint8_t>> data;
  std::string error;
  for (const std::string& f : s.files) {
    data.emplace_back();
    ReadFileBytes((dir / f).string(), data.back(), error, 1 << 30);
  }
  std::vector<uint8_t> out;
  TBitmap bmp;
  const double start = NowMs();
  for (size_t i = 0; i < s.files.size(); ++i) {
    const std::string& f = s.files[i];
    if (f.ends_with(".png")) RawPng(data[i], out);
    else if (f.ends_with(".jpg")) RawJpeg(data[i], out);
    else DecodeBmp(data[i].data(), data[i].size(), bmp, error);
  }
  return NowMs() - start;
}

struct Game {
  NullWindow window;
  NullAudio audio;
  NullGfx gfx;
  FixedStepTimerClock clock{TGfxTimer::PeriodFor(kProcessTicksPerSecond)};
  std::unique_ptr<TFormMain> form;
  TQXScreen* screens[2] = {};

  Game(const fs::path& dir, const ScreenFiles (&files)[2]) {
    ResetRuntime();
    ShellOptions options;
    options.testMode = true;
    options.makeInterpreter = [](int, const GameLink& game) { return MakeGameInterpreter(game); };
    form = std::make_unique<TFormMain>(window, audio, gfx, clock, std::move(options));
    form->FormCreate();
    form->SkipIntro();
    TQXDB* root = form->Root();
    root->SetGameFolder(dir.string());
    Runtime().LoadNow = false;  // as while a game file is read: the pictures are only named
    for (int s = 0; s < 2; ++s) {
      auto* screen = new TQXScreen(root);
      screen->Id = s == 0 ? "A" : "B";
      screen->Key = s + 1;
      screen->SetScript(ScriptSlot::Update, s == 0 ? "SetScreen(QXDB.B);" : "SetScreen(QXDB.A);");
      screen->SetScript(ScriptSlot::Show, "rX := 0;");
      for (size_t i = 0; i < files[s].pictures.size(); ++i) {
        auto* image = new TQXImage(screen);
        image->Id = "P" + std::to_string(i);
        image->SetImImage(files[s].pictures[i]);
      }
      screens[s] = screen;
    }
    Runtime().LoadNow = true;
    SetCurrentScreen(screens[0]);
    screens[0]->LoadResources();
    screens[0]->DoShow();
  }
  ~Game() {
    form.reset();
    ResetRuntime();
  }

  // From the current screen to the other one: SetScreen, then the tick that loads it and
  // shows it. Milliseconds.
  double Switch(bool parallel) {
    form->Media().SetParallelDecode(parallel);
    TQXElement* from = Runtime().CurrentScreen;
    const double start = NowMs();
    from->DoUpdate();
    form->TimerProcess();
    const double ms = NowMs() - start;
    gfx.calls.clear();
    gfx.draws.clear();
    return ms;
  }
};

}  // namespace

int main(int argc, char** argv) {
  const int rounds = CountOption(argc, argv, "--rounds", 9);
  const fs::path dir = fs::temp_directory_path() / ("qx-bench-screen-" + std::to_string(::getpid()));
  const ScreenFiles files[2] = {MakeScreenFiles(dir, "a"), MakeScreenFiles(dir, "b")};
  std::vector<double> plain, serial, parallel;
  {
    Game game(dir, files);
    game.Switch(false);  // warm-up: files into the page cache, allocator grown, threads started
    game.Switch(true);
    for (int r = 0; r < rounds; ++r) {  // alternating, so that both meet the same load
      plain.push_back(PlainDecodes(dir, files[r % 2]));
      serial.push_back(game.Switch(false));
      parallel.push_back(game.Switch(true));
    }
  }
  fs::remove_all(dir);
  std::printf("screen change of %d pictures of %d x %d, median of %d changes; %d worker threads\n", kPictures, kWidth,
              kHeight, rounds, WorkPool::CoresUpTo(8));
  const double p = Median(plain), s = Median(serial), q = Median(parallel);
  std::printf("plain library decodes (sum)          %8.1f ms\n", p);
  std::printf("SetScreen to Show, serial decode     %8.1f ms  %.2fx the plain decodes\n", s, s / p);
  std::printf("SetScreen to Show, decoded ahead     %8.1f ms  %.2fx the plain decodes, %.2fx serial\n", q, q / p, q / s);
  std::printf("serial, per picture                  %8.2f ms\n", s / kPictures);
  return 0;
}
