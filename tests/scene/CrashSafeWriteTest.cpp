// The player's ini file and the saved state survive a kill at any moment: a child process
// rewrites both through the root over and over and is killed (SIGKILL) at a random moment,
// 2,000 times; after every kill each file holds the whole of the last version written or the
// whole of the one being written, never a part, a mix or an empty file that held data.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <optional>
#include <random>
#include <thread>

#include "SceneTestSupport.h"
#include "base/SafeFile.h"
#include "scene/IniFile.h"
#include "scene/SavedState.h"

namespace qx {
namespace {

namespace fs = std::filesystem;
using test::ReadText;
using test::SceneFixture;
using test::WriteText;

// The writer's progress, in memory shared with the test: the version each file is being
// given, and the last one it was given whole (-1: none yet).
struct Progress {
  std::atomic<int64_t> iniWriting{-1}, iniDone{-1};
  std::atomic<int64_t> stateWriting{-1}, stateDone{-1};
  std::atomic<bool> stateFirst{false};  // which file the writer takes first, set by the test
  std::atomic<int64_t> forked{0}, ready{0};  // steady-clock microseconds: fork, files opened
};

int64_t NowMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The player's ini before the first write: it holds data, so an empty file is a failure.
constexpr const char* kFirstIni = "; the player's settings\n[Def]\nSnd=80\nMuz=40\nFS=0\n\n[Scores]\nBest=12\n";

// Version n's bulk: 10 to 90 KB, so that the writes take a while and differ in length.
std::string Bulk(int64_t n) {
  std::string s = std::to_string(n) + ":";
  s.append(static_cast<size_t>(10000 + (n % 5) * 20000), static_cast<char>('a' + n % 26));
  return s;
}

struct Game {
  SceneFixture f;
  TQXShape* shape;
  Progress* progress;

  Game() {
    auto* screen = f.Add<TQXScreen>(f.root.get(), "ROOM", 2);
    shape = f.Add<TQXShape>(screen, "NOTE", 3);
    void* shared = ::mmap(nullptr, sizeof(Progress), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    EXPECT_NE(shared, MAP_FAILED);
    progress = new (shared) Progress;
    Reset();
    // The state records the root's IniFile: the versions made here name it as the writer's do.
    f.root->SetPropValue("IniFile", ScriptValue::Str("player.ini"));
  }
  ~Game() { ::munmap(progress, sizeof(Progress)); }

  std::string IniPath() const { return f.folder / "player.ini"; }
  std::string StatePath() const { return f.folder / "save.dat"; }

  // The ini as it was before the first write, and no saved state yet.
  void Reset() {
    fs::remove_all(f.folder.path());
    fs::create_directories(f.folder.path());
    WriteText(IniPath(), kFirstIni);
    progress->~Progress();
    new (progress) Progress;
  }

  // What each version of the files holds.
  std::string IniText(int64_t n) const {
    if (n < 0) return kFirstIni;
    TIniFile ini(kFirstIni);
    ini.WriteString("Scores", "Replay", Bulk(n));
    return ini.Text();
  }
  std::string StateText(int64_t n) {
    if (n <= 0) return "";  // version 0: the empty state made when the game opens it
    shape->Tag = Bulk(n);
    return WriteStateData(*f.root);
  }

  // The writer: opens both files as a loading game does, then rewrites them in turn for
  // ever, each version after those already started.
  [[noreturn]] void Write() {
    Progress& p = *progress;
    TQXDB& root = *f.root;
    root.SetPropValue("IniFile", ScriptValue::Str(""));  // opened afresh, as a loading game does
    root.SetPropValue("IniFile", ScriptValue::Str("player.ini"));
    const bool first = p.stateDone < 0;
    if (first) p.stateWriting = 0;
    root.SetPropValue("FileRS", ScriptValue::Str("save.dat"));  // made empty when missing
    if (first) p.stateDone = 0;
    p.ready = NowMicros();
    const auto writeIni = [&] {
      const int64_t ini = std::max(p.iniWriting.load(), p.iniDone.load()) + 1;
      p.iniWriting = ini;
      if (!root.Ini() || !root.Ini()->WriteString("Scores", "Replay", Bulk(ini))) ::_exit(3);
      p.iniDone = ini;
    };
    const auto writeState = [&] {
      const int64_t state = std::max(p.stateWriting.load(), p.stateDone.load()) + 1;
      shape->Tag = Bulk(state);
      p.stateWriting = state;
      if (!root.SaveState()) ::_exit(4);
      p.stateDone = state;
    };
    if (p.stateFirst) writeState();
    for (;;) {
      writeIni();
      writeState();
    }
  }

  // Starts the writer and kills it after `delay`; false when it ended by itself.
  bool KillAfter(std::chrono::microseconds delay) {
    progress->forked = NowMicros();
    const pid_t child = ::fork();
    if (child == 0) Write();
    std::this_thread::sleep_for(delay);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  }

  // Which of the two versions `text` is: the done one or the one being written; nothing
  // when it is neither.
  static std::optional<int64_t> Which(const std::string& text, int64_t done, int64_t writing,
                                      const std::function<std::string(int64_t)>& versionText) {
    if (text == versionText(done)) return done;
    if (writing != done && text == versionText(writing)) return writing;
    return std::nullopt;
  }
};

// Temporary files the writer left beside its files.
int StrayFiles(const fs::path& folder) {
  int n = 0;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    if (name != "player.ini" && name != "save.dat" && name != "korvane.err") ++n;
  }
  return n;
}

TEST(CrashSafeWrites, TheIniAndTheSavedStateAreWholeAfterEveryKill) {
  Game g;
  // How long the writer takes to open the files and one turn (both files) here. The kills
  // land while it starts, within the first file's write and the start of the second's, and
  // the files take turns at being first.
  EXPECT_TRUE(g.KillAfter(std::chrono::milliseconds(300)));
  const int64_t start = g.progress->ready - g.progress->forked;
  const int64_t turns = std::max<int64_t>(1, g.progress->stateDone.load());
  const int64_t turn = std::max<int64_t>(1, 300000 - start) / turns;
  const auto longest = std::chrono::microseconds(std::clamp<int64_t>(start * 3 / 2 + turn * 6 / 10, 200, 40000));
  RecordProperty("startMicroseconds", static_cast<int>(start));
  RecordProperty("turnMicroseconds", static_cast<int>(turn));
  g.Reset();

  std::mt19937 random(1234);
  std::uniform_int_distribution<int64_t> delay(0, longest.count());
  int iniMissing = 0, stateMissing = 0, emptyStates = 0, newVersions = 0;
  constexpr int kRounds = 2000;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    Progress& p = *g.progress;
    p.stateFirst = round % 2 == 1;
    ASSERT_TRUE(g.KillAfter(std::chrono::microseconds(delay(random)))) << "the writer failed";

    // The ini always exists: it held data before the first write.
    const int64_t iniDone = p.iniDone, iniWriting = p.iniWriting;
    std::error_code ec;
    ASSERT_TRUE(fs::is_regular_file(g.IniPath(), ec));
    const std::optional<int64_t> ini =
        Game::Which(ReadText(g.IniPath()), iniDone, iniWriting, [&g](int64_t n) { return g.IniText(n); });
    ASSERT_TRUE(ini) << "the ini holds neither version " << iniDone << " nor " << iniWriting << " ("
                     << fs::file_size(g.IniPath()) << " bytes)";

    // The state is missing only until the game first opened it, then empty until the
    // first save.
    const int64_t stateDone = p.stateDone, stateWriting = p.stateWriting;
    std::optional<int64_t> state;
    if (!fs::exists(g.StatePath(), ec)) {
      ASSERT_LT(stateDone, 0) << "the saved state vanished";
      ++stateMissing;
      state = -1;
    } else {
      const std::string text = ReadText(g.StatePath());
      state = Game::Which(text, stateDone, stateWriting, [&g](int64_t n) { return g.StateText(n); });
      ASSERT_TRUE(state) << "the saved state holds neither version " << stateDone << " nor " << stateWriting
                         << " (" << text.size() << " bytes)";
      if (text.empty()) ++emptyStates;
    }
    if (*ini < 0) ++iniMissing;
    if (*ini != iniDone || *state != stateDone) ++newVersions;
    // The next writer carries on from what the files hold.
    p.iniDone = p.iniWriting = *ini;
    p.stateDone = p.stateWriting = *state;
  }
  // The kills met every stage: before the first write, between writes and inside them.
  RecordProperty("iniUnwritten", iniMissing);
  RecordProperty("stateMissing", stateMissing);
  RecordProperty("emptyStates", emptyStates);
  RecordProperty("killedAfterTheRename", newVersions);
  RecordProperty("strayFiles", StrayFiles(g.f.folder.path()));
  EXPECT_GT(g.progress->stateDone.load(), 10);
  EXPECT_GT(g.progress->iniDone.load(), 10);
  // A kill while a file is written leaves nothing behind where the file system can make
  // unnamed files: a copy stays only when the kill fell between naming and renaming.
  const int probe = ::open(g.f.folder.path().c_str(), O_TMPFILE | O_WRONLY, 0644);
  if (probe >= 0) {
    ::close(probe);
    EXPECT_LE(StrayFiles(g.f.folder.path()), kRounds / 10);
  }
  // Such copies go with the next write once nobody has touched them for ten minutes.
  const timespec old[2] = {{::time(nullptr) - 700, 0}, {::time(nullptr) - 700, 0}};
  for (const auto& e : fs::directory_iterator(g.f.folder.path())) ::utimensat(AT_FDCWD, e.path().c_str(), old, 0);
  std::string error;
  for (const std::string& path : {g.IniPath(), g.StatePath()}) {
    const std::string text = ReadText(path);
    EXPECT_TRUE(WriteFileAtomically(path, text.data(), text.size(), error)) << error;
  }
  EXPECT_EQ(StrayFiles(g.f.folder.path()), 0);
}

}  // namespace
}  // namespace qx
