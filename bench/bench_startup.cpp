// Start-up of qxrun as a player meets it, run as a child process (headless, fixed step):
// process start to the exit after the first presented frame of the demo, the demo to its
// title, and a game of 100 pictures of 1024 x 768 (50 PNG, 50 JPEG on its start screen) to
// the exit after its start screen is loaded; the peak resident memory of each. The game is made at run time with
// qxtool. Medians of the runs; the load of the machine goes with the figures.
//   build/bench/bench_startup [--runs N] [--keep DIR]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BenchPictures.h"

extern char** environ;

namespace {

using namespace qx::bench;
namespace fs = std::filesystem;

constexpr int kPictures = 100;

struct RunResult {
  double ms = 0;
  long peakKb = 0;
  int status = -1;
};

RunResult Spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  RunResult r;
  pid_t pid = 0;
  const double start = NowMs();
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) return r;
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  r.ms = NowMs() - start;
  r.peakKb = usage.ru_maxrss;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  posix_spawn_file_actions_destroy(&actions);
  return r;
}

// A game of one start screen holding every picture, built by qxtool.
bool MakeGame(const fs::path& dir) {
  fs::create_directories(dir / "pics");
  std::ofstream yaml(dir / "game.yaml");
  yaml << "class: TQXDB\nId: Hundred\nInitScreen: 1\nchildren:\n  - class: TQXScreen\n    Key: 1\n    Id: ALL\n"
       << "    children:\n";
  for (int i = 0; i < kPictures; ++i) {
    const std::string name = "pics/p" + std::to_string(i) + (i % 2 ? ".jpg" : ".png");
    const std::string path = (dir / name).string();
    const bool ok = i % 2 ? WriteJpegFile(path, 1024, 768, static_cast<uint32_t>(i))
                          : WritePngPicture(path, 1024, 768, static_cast<uint32_t>(i));
    if (!ok) return false;
    yaml << "      - class: TQXImage\n        Key: " << 100 + i << "\n        Id: P" << i << "\n        imImage: "
         << name << "\n        rX: " << (i % 10) * 90 << "\n        rY: " << (i / 10) * 70 << "\n";
  }
  yaml.close();
  const RunResult built = Spawn({QX_QXTOOL_PATH, "game", "build", (dir / "game.yaml").string(), "-o",
                                 (dir / "game.qxf").string()});
  return built.status == 0;
}

struct Figures {
  double ms;
  long peakKb;
  bool ok;
};

Figures Measure(const std::vector<std::string>& args, int runs) {
  std::vector<double> times;
  long peak = 0;
  bool ok = true;
  for (int i = 0; i < runs; ++i) {
    const RunResult r = Spawn(args);
    ok = ok && r.status == 0;
    times.push_back(r.ms);
    peak = std::max(peak, r.peakKb);
  }
  std::sort(times.begin(), times.end());
  return {times[times.size() / 2], peak, ok};
}

void Print(const char* what, const Figures& f) {
  std::printf("%-60s %8.0f ms  peak RSS %6.1f MB%s\n", what, f.ms, static_cast<double>(f.peakKb) / 1024.0,
              f.ok ? "" : "  (qxrun failed)");
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  std::string keep;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (!std::strcmp(argv[i], "--keep") && i + 1 < argc) {
      keep = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--runs N] [--keep DIR]\n", argv[0]);
      return 2;
    }
  }
  const fs::path dir = keep.empty() ? fs::temp_directory_path() / ("qx-bench-startup-" + std::to_string(::getpid()))
                                    : fs::path(keep);
  if (!MakeGame(dir)) {
    std::fprintf(stderr, "bench_startup: cannot make the 100-picture game in %s\n", dir.string().c_str());
    return 1;
  }
  const std::vector<std::string> headless = {"--headless", "--fixed-step"};
  auto args = [&](const std::string& game, const char* frames, std::vector<std::string> extra = {}) {
    std::vector<std::string> a = {QX_QXRUN_PATH, game};
    a.insert(a.end(), headless.begin(), headless.end());
    a.push_back("--frames");
    a.push_back(frames);
    a.insert(a.end(), extra.begin(), extra.end());
    return a;
  };
  std::printf("qxrun start-up, headless (offscreen GL), median of %d runs\n", runs);
  Print("demo: to the exit after the first presented frame", Measure(args(QX_DEMO_GAME_PATH, "1"), runs));
  Print("demo: to the title (340 frames, past the intro logos)", Measure(args(QX_DEMO_GAME_PATH, "340"), runs));
  // Without intro logos the game initialises and loads its start screen at tick 18.
  Print("100 pictures: to the exit after they are loaded (20 frames)",
        Measure(args((dir / "game.qxf").string(), "20"), runs));
  if (keep.empty()) fs::remove_all(dir);
  return 0;
}
