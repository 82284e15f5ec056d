// qxrun: plays a game described by a ".qxf" file.
#include <SDL.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/Log.h"
#include "base/OptionNumber.h"
#include "base/Random.h"
#include "builtins/Builtins.h"
#include "platform/Platform.h"
#include "platform/Signals.h"
#include "render/GfxTimer.h"
#include "script/ScriptBudget.h"
#include "shell/GameFinder.h"
#include "shell/MainForm.h"
#include "shell/SourceWatch.h"
#include "shell/WhereReport.h"
#include "runtime/GameDataPlaces.h"

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

  CLI::App app{"qxrun: plays a point-and-click game described by a .qxf game file.", "qxrun"};
  app.footer(
      "Keys while playing:\n"
      "  Alt+Enter  switch between a window and full screen\n"
      "  F5         the menu: resume, save, load, sound and music volume, full screen, quit\n"
      "  F12        a screenshot into qxrun/ of your pictures folder\n"
      "  F11        with --dev: the inspector (F11 again hides it)\n"
      "  (--no-menu gives F5 and F12 to the game.)\n"
      "\n"
      "Where files go:\n"
      "  The game's settings, saved state and error log (korvane.err) are kept in the game's folder\n"
      "  while it can be written, else in a folder of the game's own under ~/.local/share/qxrun/\n"
      "  ($XDG_DATA_HOME/qxrun/, or --data-dir DIR); the menu's save slots are always there.\n"
      "  qxrun --where [GAME] prints every place qxrun reads or writes for a game.\n"
      "\n"
      "Exit status:\n"
      "  0  the game ran and was closed\n"
      "  1  the game could not start (no game, an unreadable or empty game file, no graphics device)\n"
      "  2  a bad command line (an unknown option, a bad value, a named game that is not there)\n");
  app.set_version_flag("--version", std::string("qxrun ") + QX_VERSION);
  std::string game;
  bool windowed = false, headless = false, fixedStep = false, verbose = false, where = false,
       serialDecode = false;
  // Numbers are read after parsing, so that a bad one gets a message a person understands.
  std::string framesText, seedText, budgetText;
  std::string screenshot, replayFile, recordFile, traceFile, dataDir;
  app.add_option("GAME", game, "a .qxf game file, or a folder holding one (default: the game beside "
                               "the program, else the bundled demo)")
      ->type_name("");
  app.add_flag("--windowed", windowed, "stay in a window (the same as a first argument /TESTMODE)");
  app.add_flag("--headless", headless, "no visible window, no sound device (SDL offscreen and dummy drivers)");
  app.add_flag("--fixed-step", fixedStep, "exactly one process tick per frame, no sleeping (reproducible runs)");
  auto* framesOption = app.add_option("--frames", framesText, "stop after N frames (0 or more)")->type_name("N");
  app.add_option("--screenshot", screenshot, "write the back buffer as a PNG file at exit")->type_name("FILE");
  app.add_option("--replay", replayFile, "feed input from a replay file")->type_name("FILE");
  app.add_option("--record", recordFile, "write the input given while playing as a replay file")->type_name("FILE");
  app.add_option("--trace", traceFile, "write one line per element event and screen change")->type_name("FILE");
  auto* seedOption = app.add_option("--seed", seedText, "seed of the random generator (0 or more)")->type_name("N");
  budgetText = std::to_string(qx::kDefaultScriptBudget);
  app.add_option("--script-budget", budgetText,
                 "statements and loop passes one event run may take before it is stopped (0: no limit)")
      ->type_name("N")
      ->capture_default_str();
  app.add_flag("--verbose", verbose, "detailed diagnostics on stderr");
  app.add_flag("--serial-decode", serialDecode,
               "decode a screen's pictures one after the other on the game thread, not on worker threads");
  std::string scale = "fit", filter = "linear";
  bool noMenu = false;
  app.add_option("--scale", scale, "how the picture fills the window: fit (the default) or integer (whole factors)")
      ->check(CLI::IsMember({"fit", "integer"}));
  app.add_option("--filter", filter, "how the picture is scaled: linear (smooth, the default) or nearest (sharp pixels)")
      ->check(CLI::IsMember({"linear", "nearest"}));
  app.add_flag("--no-menu", noMenu, "no runtime menu: F5 and F12 go to the game");
  app.add_option("--data-dir", dataDir, "keep the player's files that the game folder cannot take in DIR")->type_name("DIR");
  bool resetState = false;
  app.add_flag("--reset-state", resetState,
               "start as if the saved state were empty (the file is neither read nor deleted; the game's next save replaces it)");
  std::string watchSource;
  app.add_option("--watch", watchSource,
                 "build the game from its YAML source and play it; when the source or a file it names changes, "
                 "build it again and start the new game afresh on the current screen (for authors)")
      ->type_name("SRC.yaml");
  bool dev = false;
  app.add_flag("--dev", dev,
               "for authors: F11 shows the inspector (the element under the pointer, its properties and "
               "variables) instead of reaching the game, and a saved state naming Keys the game lacks is reported");
  app.add_flag("--where", where, "print every place qxrun reads or writes for the game, and stop");

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
  int64_t frames = -1;
  uint64_t seed = 0, scriptBudget = qx::kDefaultScriptBudget;
  for (const std::string& problem :
       {!*framesOption ? std::string() : qx::ReadOptionNumber<int64_t>("--frames", framesText, 0, INT64_MAX, frames),
        !*seedOption ? std::string() : qx::ReadOptionNumber<uint64_t>("--seed", seedText, 0, UINT64_MAX, seed),
        qx::ReadOptionNumber<uint64_t>("--script-budget", budgetText, 0, UINT64_MAX, scriptBudget)}) {
    if (!problem.empty()) return Fail(problem + " (see qxrun --help)");
  }

  qx::SetVerbose(verbose);
  qx::SetScriptBudget(scriptBudget);
  if (*seedOption) qx::SeedRandom(seed);
  else qx::SeedRandomFromSystem();

  qx::ShellOptions options;
  options.programPath = ProgramPath(argv[0]);
  options.testMode = testMode || windowed;
  options.requireGame = true;
  options.menuEnabled = !noMenu;
  options.resetState = resetState;
  options.devTools = dev;
  options.screenshotFolder = qx::GameDataPlaces::ScreenshotFolder();
  options.frameLimit = frames;
  options.screenshotPath = screenshot;
  options.recordPath = recordFile;
  options.tracePath = traceFile;
  options.serialDecode = serialDecode;
  options.makeInterpreter = [](int, const qx::GameLink& game) { return qx::MakeGameInterpreter(game); };
  // The demo beside the program in a build folder, else in the share folder of an install.
  options.demoGamePath = qx::FindSharedFile(options.programPath, QX_SHARE_FROM_BIN, qx::kDemoGameFile);
  // The menu's fonts (fonts/menu-*.fnt), found the same way.
  {
    const std::string text = qx::FindSharedFile(options.programPath, QX_SHARE_FROM_BIN, "fonts/menu-text.fnt");
    if (!text.empty()) options.menuFontFolder = std::filesystem::path(text).parent_path().string();
  }
  if (!options.demoGamePath.empty()) {
    options.toolFontArchive = (std::filesystem::path(options.demoGamePath).parent_path() / "data.res").string();
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
  std::unique_ptr<qx::SourceWatch> watch;
  qx::TFormMain* watchedForm = nullptr;
  if (!watchSource.empty()) {
    if (!game.empty()) return Fail("--watch plays the game of its source: name no GAME beside it");
    std::error_code ec;
    if (!std::filesystem::is_regular_file(watchSource, ec)) return Fail("cannot find the source " + watchSource);
    watch = std::make_unique<qx::SourceWatch>(watchSource);
    std::string buildError;
    if (!watch->Build(buildError)) {
      std::fprintf(stderr, "qxrun: cannot build %s: %s\n", watchSource.c_str(), buildError.c_str());
      return 1;
    }
    qx::LogDetail("watch", "built " + watch->Source() + " into " + watch->Output());
    options.gamePath = watch->Output();
    options.gameFolder = watch->Folder();
    options.idle = [&watch, &watchedForm] {
      if (watchedForm) watch->Poll(*watchedForm);
    };
  }
  options.dataHome = qx::GameDataPlaces::DefaultDataHome();
  if (!dataDir.empty()) {
    std::error_code ec;
    options.dataFolder = std::filesystem::absolute(dataDir, ec).string();
  }
  if (where) {
    qx::WhereQuery query;
    query.gamePath = qx::ChooseGame(options.gamePath, options.programPath, qx::DefaultZembricIniPath(),
                                    options.demoGamePath).path;
    query.dataHome = options.dataHome;
    query.dataFolder = options.dataFolder;
    query.settingsPath = qx::DefaultZembricIniPath();
    query.screenshotFolder = options.screenshotFolder;
    std::fputs(qx::DescribePlaces(query).c_str(), stdout);
    return 0;
  }
  if (!replayFile.empty()) {
    std::string error;
    if (!qx::LoadReplayFile(replayFile, options.replay, error)) return Fail(error);
  }

  qx::PlatformSet platform;
  std::string error;
  qx::PresentOptions present;
  present.scale = scale == "integer" ? qx::PresentScale::Integer : qx::PresentScale::Fit;
  present.filter = filter == "nearest" ? qx::PresentFilter::Nearest : qx::PresentFilter::Linear;
  if (!qx::CreatePlatform(headless, 1024, 768, platform, error, present)) {
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
    watchedForm = &form;
    status = form.Run();
    watchedForm = nullptr;
  }
  platform.Release();
  SDL_Quit();
  return status;
}
