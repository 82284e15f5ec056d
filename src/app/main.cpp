// qxrun: plays a game described by a ".qxf" file.
#include <SDL.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/Log.h"
#include "base/Random.h"
#include "builtins/Builtins.h"
#include "platform/Platform.h"
#include "platform/Signals.h"
#include "render/GfxTimer.h"
#include "script/ScriptBudget.h"
#include "shell/GameFinder.h"
#include "shell/MainForm.h"

namespace {

constexpr int kExitUsage = 2;

std::string ProgramPath(const char* argv0) {
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) return self.string();
  return std::filesystem::absolute(argv0, ec).string();
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "qxrun: %s\n", message.c_str());
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  bool testMode = false;
  // The original switch: a first argument "/TESTMODE", in any letter case, keeps the game windowed.
  if (!args.empty()) {
    std::string first = args.front();
    for (char& c : first) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (first == "/TESTMODE") {
      testMode = true;
      args.erase(args.begin());
    }
  }

  CLI::App app{"qxrun: plays a point-and-click game described by a .qxf game file."};
  app.set_version_flag("--version", std::string("qxrun ") + QX_VERSION);
  std::string game;
  bool windowed = false, headless = false, fixedStep = false, verbose = false, serialDecode = false;
  int64_t frames = -1;
  uint64_t seed = 0;
  std::string screenshot, replayFile, recordFile, traceFile;
  app.add_option("GAME", game, "a .qxf game file, or a folder holding one (default: the game beside "
                               "the program, else the bundled demo)");
  app.add_flag("--windowed", windowed, "stay in a window (the same as a first argument /TESTMODE)");
  app.add_flag("--headless", headless, "no visible window, no sound device (SDL offscreen and dummy drivers)");
  app.add_flag("--fixed-step", fixedStep, "exactly one process tick per frame, no sleeping (reproducible runs)");
  app.add_option("--frames", frames, "stop after N frames")->check(CLI::NonNegativeNumber);
  app.add_option("--screenshot", screenshot, "write the back buffer as a PNG file at exit");
  app.add_option("--replay", replayFile, "feed input from a replay file");
  app.add_option("--record", recordFile, "write the input given while playing as a replay file");
  app.add_option("--trace", traceFile, "write one line per element event and screen change");
  auto* seedOption = app.add_option("--seed", seed, "seed of the random generator");
  uint64_t scriptBudget = qx::kDefaultScriptBudget;
  app.add_option("--script-budget", scriptBudget,
                 "statements and loop passes one event run may take before it is stopped (0: no limit)")
      ->check([](const std::string& text) {
        return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos
                   ? std::string()
                   : std::string("expected a whole number, 0 or more");
      })
      ->capture_default_str();
  app.add_flag("--verbose", verbose, "detailed diagnostics on stderr");
  app.add_flag("--serial-decode", serialDecode,
               "decode a screen's pictures one after the other on the game thread, not on worker threads");

  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    return Fail(std::string(e.what()) + " (see qxrun --help)");
  }

  qx::SetVerbose(verbose);
  qx::SetScriptBudget(scriptBudget);
  if (*seedOption) qx::SeedRandom(seed);
  else qx::SeedRandomFromSystem();

  qx::ShellOptions options;
  options.programPath = ProgramPath(argv[0]);
  options.testMode = testMode || windowed;
  options.frameLimit = frames;
  options.screenshotPath = screenshot;
  options.recordPath = recordFile;
  options.tracePath = traceFile;
  options.serialDecode = serialDecode;
  options.makeInterpreter = [](int, const qx::GameLink& game) { return qx::MakeGameInterpreter(game); };
  {
    const auto exeDir = std::filesystem::path(options.programPath).parent_path();
    std::error_code ec;
    const auto demo = exeDir / "games" / "demo" / "demo.qxf";
    if (std::filesystem::is_regular_file(demo, ec)) options.demoGamePath = demo.string();
  }
  if (!game.empty()) {
    std::error_code ec;
    if (std::filesystem::is_directory(game, ec)) {
      options.gamePath = qx::FindQxfInFolder(game);
      if (options.gamePath.empty()) return Fail("no .qxf game file in " + game);
    } else if (std::filesystem::is_regular_file(game, ec)) {
      options.gamePath = game;
    } else {
      return Fail("cannot find the game " + game);
    }
  }
  if (!replayFile.empty()) {
    std::string error;
    if (!qx::LoadReplayFile(replayFile, options.replay, error)) return Fail(error);
  }

  qx::PlatformSet platform;
  std::string error;
  if (!qx::CreatePlatform(headless, 1024, 768, platform, error)) {
    std::fprintf(stderr, "qxrun: %s\n", error.c_str());
    return 1;
  }
  qx::InstallCloseSignals();
  std::unique_ptr<qx::TimerClock> clock;
  if (fixedStep) {
    // One reading per frame, exactly one process tick apart.
    clock = std::make_unique<qx::FixedStepTimerClock>(qx::TGfxTimer::PeriodFor(qx::kProcessTicksPerSecond));
  } else {
    clock = std::make_unique<qx::SteadyTimerClock>();
  }
  int status;
  {
    qx::TFormMain form(*platform.window, *platform.audio, *platform.gfx, *clock, std::move(options));
    status = form.Run();
  }
  platform.Release();
  SDL_Quit();
  return status;
}
