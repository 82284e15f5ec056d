// The bundled demo played as a visitor plays it, from replays: the whole game from the intro
// to the ending, and a game saved through the game's own menu in one run and loaded in the
// next. Screenshots are compared with reference pictures within a small tolerance, the trace
// must show the events each step causes, and the game's error log must stay empty.
// Set QX_UPDATE_GOLDEN=1 to rewrite the references after an intended change (and look at them).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "Golden.h"
#include "RunCommand.h"
#include "ScratchFiles.h"
#include "resources/ImageDecoders.h"

namespace {

namespace fs = std::filesystem;

const std::string kQxrun = std::string(QX_BINARY_DIR) + "/qxrun";
const fs::path kDemo = fs::path(QX_BINARY_DIR) / "games" / "demo";
const fs::path kReplays = fs::path(QX_TEST_DATA_DIR) / "demo";
const fs::path kGolden = fs::path(QX_TEST_DATA_DIR) / "golden" / "demo";

using qx::test::Box;
using qx::test::ExpectAlike;
using qx::test::LoadShot;

void ExpectGolden(const fs::path& shot, const std::vector<Box>& skip = {}) {
  qx::test::ExpectMatchesReference(shot, kGolden / shot.filename(), skip);
}

// A scratch folder holding a copy of the built game, so that its ini, saved state and error
// log are this test's alone.
class DemoRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(kDemo / "demo.qxf")) << "the demo game is built with the default target";
    fs::copy(kDemo, dir_.path() / "demo", fs::copy_options::recursive);
    for (const char* name : {"korvane.err", "demo.ini", "demo.sav"}) fs::remove(dir_.path() / "demo" / name);
  }
  fs::path Game(const std::string& name) const { return dir_.path() / "demo" / name; }
  fs::path Here(const std::string& name) const { return dir_.path() / name; }

  // Plays a replay; the trace's lines without their tick numbers.
  std::vector<std::string> Play(const std::string& replay) {
    const std::string trace = Here("trace.txt").string();
    const qx::test::CommandResult run = qx::test::RunCommand(
        "cd " + dir_.path().string() + " && " + kQxrun + " --headless --fixed-step --seed 7 --replay " +
        (kReplays / replay).string() + " --trace " + trace + " demo/demo.qxf");
    EXPECT_EQ(run.status, 0) << run.output;
    std::vector<std::string> events;
    std::istringstream in(qx::test::ReadText(trace));
    for (std::string line; std::getline(in, line);) {
      const size_t blank = line.find(' ');
      if (blank != std::string::npos) events.push_back(line.substr(blank + 1));
    }
    return events;
  }

  // The game's scripts ran without an error.
  void ExpectNoScriptErrors() { EXPECT_EQ(qx::test::ReadText(Game("korvane.err").string()), ""); }

  qx::test::ScratchDir dir_;
};

// `wanted` appear in `events` in this order (other events may come between them).
void ExpectInOrder(const std::vector<std::string>& events, const std::vector<std::string>& wanted) {
  auto at = events.begin();
  for (const std::string& w : wanted) {
    at = std::find_if(at, events.end(), [&](const std::string& e) { return e.rfind(w, 0) == 0; });
    ASSERT_NE(at, events.end()) << "missing, or out of order: " << w;
    ++at;
  }
}

TEST_F(DemoRun, PlayedFromTheIntroToTheEnding) {
  const std::vector<std::string> events = Play("playthrough.txt");
  ExpectNoScriptErrors();
  ExpectInOrder(events, {
      "Screen TITLE TQXScreen 10", "Init The Clockmaker's House TQXDB 0", "Show TITLE TQXScreen 10",
      "ms_In NEW TQXImage 16",
      // settings: the slider, the language both ways, back to the title
      "ms_Down SETUP TQXImage 20", "Screen SETTINGS TQXScreen 30", "ms_Down SNDTRACK TQXImage 34",
      "ms_Move SNDTRACK", "ms_Up SNDTRACK TQXImage 34", "ms_Down RUS TQXImage 48", "Show SETTINGS",
      "ms_Down ENG TQXImage 46", "Show SETTINGS", "ms_Down BACK TQXImage 50", "Screen TITLE TQXScreen 10",
      // a new game runs every Init again; the name, then the hall through the loading screen
      "ms_Down NEW TQXImage 16", "InitPr The Clockmaker's House TQXDB 0", "Init LOADING TQXScreen 5",
      "Screen NAME TQXScreen 60", "Show NAME", "ms_Down OK TQXImage 67", "Init LOADING TQXScreen 5",
      "Process LOADING TQXScreen 5", "Screen HALL TQXScreen 200", "Show HALL TQXScreen 200",
      "ms_Down KEYFIND TQXImage 208", "ms_Down WDOOR TQXImage 207", "ms_Down WDOOR TQXImage 207",
      "Screen WORKSHOP TQXScreen 500", "ms_Down GEARSOCKET TQXShape 506", "ms_Down TOHALL TQXImage 512",
      "Screen HALL TQXScreen 200", "ms_Down TOLIBRARY TQXShape 206", "Screen LIBRARY TQXScreen 400",
      "ms_Down NOTE TQXImage 404", "ms_Down PAPER TQXImage 122",
      "ms_Down GEARFIND TQXImage 405", "ms_Down LENSFIND TQXImage 406", "ms_In BAG TQXImList 71",
      "ms_Down TOGALLERY TQXShape 403", "Screen HUB TQXScreen 300", "Update DOOR1 TQXImage 301",
      "Update DOOR8 TQXImage 315", "ms_In DOOR2 TQXImage 303", "ms_Down BACK TQXImage 325",
      "Screen LIBRARY TQXScreen 400", "ms_Down TOHALL TQXShape 402", "Screen HALL TQXScreen 200",
      "ms_Down WDOOR TQXImage 207", "Screen WORKSHOP TQXScreen 500",
      "ms_Down GEARSOCKET TQXShape 506", "ms_Down MACHINE TQXShape 508", "ms_Down LENSSOCKET TQXShape 507",
      "ms_Down MACHINE TQXShape 508", "ms_Down FDOOR TQXImage 511", "Screen ENDING TQXScreen 600",
      "Show ENDING TQXScreen 600", "ms_Down QUIT TQXImage 610", "Exit The Clockmaker's House TQXDB 0"});
  // the settings the player chose, in the ini: the runtime's [Def] keys and the game's own
  const std::string ini = qx::test::ReadText(Game("demo.ini").string());
  EXPECT_NE(ini.find("Snd=90"), std::string::npos) << ini;
  EXPECT_NE(ini.find("Lang=eng.lng"), std::string::npos) << ini;
  EXPECT_NE(ini.find("LastRoom=ENDING"), std::string::npos) << ini;
  for (const char* shot : {"title.png", "settings_ru.png", "name.png", "loading.png", "hall.png", "letter.png",
                           "library.png", "hub.png", "workshop.png", "ending.png"}) {
    ExpectGolden(Here(shot));
  }
}

TEST_F(DemoRun, AGameSavedThroughTheMenuComesBackInTheNextRun) {
  const std::vector<std::string> first = Play("save.txt");
  ExpectNoScriptErrors();
  ExpectInOrder(first, {"ms_Down KEYFIND TQXImage 208", "anStop MOUSE TQXAnim 210", "ms_Down MENUBTN TQXImage 293",
                        "ms_Down SAVE TQXImage 97", "ms_Down RESUME TQXImage 95", "ms_Down MENUBTN TQXImage 293",
                        "ms_Down QUIT TQXImage 103", "Exit The Clockmaker's House TQXDB 0"});
  ASSERT_GT(fs::file_size(Game("demo.sav")), 0u);
  const std::string iniAfterFirst = qx::test::ReadText(Game("demo.ini").string());
  EXPECT_NE(iniAfterFirst.find("Saved=1"), std::string::npos) << iniAfterFirst;
  fs::rename(Here("before.png"), Here("saved.png"));

  const std::vector<std::string> second = Play("load.txt");
  ExpectNoScriptErrors();
  ExpectInOrder(second, {"ms_Down CONT TQXImage 18", "Load The Clockmaker's House TQXDB 0",
                         "Screen HALL TQXScreen 200", "Show HALL TQXScreen 200"});
  // The hall as it was saved: the key found (in the inventory, gone from the floor), the
  // name, the mouse sitting. The fire and the pendulum move by themselves and are left out.
  const std::vector<Box> moving = {{340, 350, 520, 548}, {618, 286, 692, 504}};
  ExpectAlike(LoadShot(Here("after.png")), LoadShot(Here("saved.png")), moving);
  EXPECT_EQ(qx::test::ReadText(Game("demo.ini").string()), iniAfterFirst);
}

}  // namespace

namespace {

// One playthrough in a folder of its own: the full trace (ticks included) and the shots.
struct Playthrough {
  std::string trace;
  std::map<std::string, std::vector<uint8_t>> shots;
};

Playthrough PlayInFolder(const fs::path& dir, const std::string& extra) {
  fs::copy(kDemo, dir / "demo", fs::copy_options::recursive);
  for (const char* name : {"korvane.err", "demo.ini", "demo.sav"}) fs::remove(dir / "demo" / name);
  const qx::test::CommandResult run = qx::test::RunCommand(
      "cd " + dir.string() + " && " + kQxrun + " --headless --fixed-step --seed 7 " + extra + " --replay " +
      (kReplays / "playthrough.txt").string() + " --trace trace.txt demo/demo.qxf");
  EXPECT_EQ(run.status, 0) << run.output;
  Playthrough p;
  p.trace = qx::test::ReadText((dir / "trace.txt").string());
  for (const auto& file : fs::directory_iterator(dir)) {
    if (file.path().extension() == ".png") p.shots[file.path().filename().string()] = qx::test::ReadBytes(file.path().string());
  }
  return p;
}

}  // namespace

// Pictures decoded ahead on worker threads change nothing a player sees: the same events on
// the same ticks and the same pictures, screen change for screen change, as the serial path.
TEST(DemoDecodeAhead, TheWholePlaythroughIsTheSameWithTheSerialPath) {
  qx::test::ScratchDir serialDir, parallelDir;
  const Playthrough serial = PlayInFolder(serialDir.path(), "--serial-decode");
  const Playthrough parallel = PlayInFolder(parallelDir.path(), "");
  EXPECT_NE(serial.trace.find("Screen HALL TQXScreen 200"), std::string::npos);
  EXPECT_EQ(parallel.trace, serial.trace);
  ASSERT_EQ(serial.shots.size(), 10u);
  ASSERT_EQ(parallel.shots.size(), serial.shots.size());
  for (const auto& [name, bytes] : serial.shots) {
    ASSERT_TRUE(parallel.shots.count(name)) << name;
    EXPECT_TRUE(parallel.shots.at(name) == bytes) << name << " differs";
  }
}
