// The runtime menu played through qxrun: a replay saves to a slot, changes the game, loads the
// slot back and compares the pictures; the game is paused while the menu is open but the
// ticks go on; --no-menu gives F5 back to the game.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "RunCommand.h"
#include "ScratchFiles.h"

namespace qx::test {
namespace {
namespace fs = std::filesystem;

// A one-screen game whose intro is over by tick 103: a click on BUTTON moves MARK, and so
// does F5 when it reaches the game's key-down event. No Load event, no loading screen.
constexpr const char* kGame = R"(class: TQXDB
Id: Menu Test
InitScreen: 1
exKeyDown: |
  IF KEYDOWNED = 116 THEN QXDB.ROOM.MARK.rX := 600;
children:
  - class: TQXScreen
    Key: 1
    Id: ROOM
    exProcess: |
      T := 1;
    children:
      - class: TQXShape
        Key: 2
        Id: BUTTON
        rX: 100
        rY: 100
        hxColor: 0x3080FF
        exMouseDown: |
          QXDB.ROOM.MARK.rX := 300;
      - class: TQXShape
        Key: 3
        Id: MARK
        rX: 100
        rY: 400
        hxColor: 0x20C040
)";

class MenuGame : public testing::Test {
 protected:
  void SetUp() override {
    WriteText(P("game.yaml"), kGame);
    const CommandResult r = RunCommand(std::string(QX_BINARY_DIR) + "/qxtool game build " + P("game.yaml") +
                                       " -o " + P("game.qxf"));
    ASSERT_EQ(r.status, 0) << r.output;
  }
  std::string P(const std::string& name) const { return (dir_.path() / name).string(); }
  CommandResult Play(const std::string& replay, int frames, const std::string& options = "") {
    WriteText(P("replay.txt"), replay);
    return RunCommand("env -u XDG_CONFIG_HOME HOME=" + P("home") + " XDG_DATA_HOME=" + P("data") + " " +
                      QX_BINARY_DIR + "/qxrun --headless --fixed-step --frames " + std::to_string(frames) + " " +
                      options + " --replay " + P("replay.txt") + " --trace " + P("trace.txt") + " " + P("game.qxf"));
  }
  // The trace's lines as (tick, event, element).
  std::vector<std::vector<std::string>> Trace() const {
    std::vector<std::vector<std::string>> lines;
    std::ifstream in(P("trace.txt"));
    for (std::string line; std::getline(in, line);) {
      std::istringstream fields(line);
      std::vector<std::string> words;
      for (std::string w; fields >> w;) words.push_back(w);
      lines.push_back(words);
    }
    return lines;
  }
  std::vector<int> ProcessTicks() const {
    std::vector<int> ticks;
    for (const auto& w : Trace()) {
      if (w.size() > 1 && w[1] == "Process") ticks.push_back(std::stoi(w[0]));
    }
    return ticks;
  }
  static bool Has(const std::vector<int>& ticks, int tick) {
    return std::find(ticks.begin(), ticks.end(), tick) != ticks.end();
  }

  ScratchDir dir_;
};

TEST_F(MenuGame, ASlotSavedFromTheMenuBringsTheGameBackAsItWas) {
  const CommandResult r = Play("110 key 116\n112 key 83\n114 key 49\n116 key 13\n120 key 27\n"
                               "122 shot " + P("A.png") + "\n"
                               "124 down 150 150\n125 up 150 150\n"
                               "128 shot " + P("B.png") + "\n"
                               "130 key 116\n132 key 76\n134 key 49\n136 key 13\n"
                               "140 shot " + P("C.png") + "\n",
                               150);
  ASSERT_EQ(r.status, 0) << r.output;
  const std::string a = ReadText(P("A.png")), b = ReadText(P("B.png")), c = ReadText(P("C.png"));
  ASSERT_FALSE(a.empty());
  EXPECT_NE(b, a) << "the click changed nothing";
  EXPECT_EQ(c, a) << "the slot did not bring the game back";
  const fs::path slots = fs::path(P("data")) / "qxrun" / "game-Menu_Test" / "slots";
  EXPECT_TRUE(fs::is_regular_file(slots / "slot1.qxs"));
  EXPECT_TRUE(fs::is_regular_file(slots / "slot1.png"));
  // Paused while open (110..120 and 130..136), the ticks counted on: the click lands on its
  // tick and the game processes again right after each close.
  const std::vector<int> process = ProcessTicks();
  for (int tick : {111, 115, 119, 131, 135}) EXPECT_FALSE(Has(process, tick)) << tick;
  for (int tick : {109, 121, 129, 137, 149}) EXPECT_TRUE(Has(process, tick)) << tick;
  bool clickAt124 = false;
  for (const auto& w : Trace()) clickAt124 |= w.size() > 2 && w[0] == "124" && w[1] == "ms_Down" && w[2] == "BUTTON";
  EXPECT_TRUE(clickAt124);
  // The keys went to the menu, none to the game.
  for (const auto& w : Trace()) EXPECT_FALSE(w.size() > 1 && w[1] == "key_Down") << w[0];
}

// Damaged slots are refused with a reason and the game goes on; a slot whose thumbnail is
// gone still loads.
TEST_F(MenuGame, DamagedSlotsAreRefusedAndASlotWithoutItsThumbnailStillLoads) {
  CommandResult r = Play("110 key 116\n112 key 83\n114 key 49\n116 key 13\n120 key 27\n"
                         "122 shot " + P("A.png") + "\n", 125);
  ASSERT_EQ(r.status, 0) << r.output;
  const fs::path slots = fs::path(P("data")) / "qxrun" / "game-Menu_Test" / "slots";
  const std::string good = ReadText((slots / "slot1.qxs").string());
  ASSERT_GT(good.size(), 40u);
  fs::remove(slots / "slot1.png");
  WriteText((slots / "slot2.qxs").string(), "not a slot at all");
  WriteText((slots / "slot3.qxs").string(), good.substr(0, good.size() - 5));
  std::string oversized = good;
  for (size_t i = 29; i < 33; ++i) oversized[i] = '\xFF';  // the music name's length
  WriteText((slots / "slot4.qxs").string(), oversized);
  // The click changes the game; slots 2, 3 and 4 do not load, slot 1 does.
  r = Play("110 down 150 150\n111 up 150 150\n"
           "115 key 116\n117 key 76\n119 key 50\n121 key 13\n123 key 51\n125 key 13\n127 key 52\n129 key 13\n"
           "131 shot " + P("menu.png") + "\n133 key 49\n135 key 13\n140 shot " + P("C.png") + "\n", 145);
  ASSERT_EQ(r.status, 0) << r.output;
  for (const char* name : {"slot2.qxs: not a save slot", "slot3.qxs: damaged record", "slot4.qxs: the slot's header"}) {
    EXPECT_NE(r.output.find(name), std::string::npos) << name << "\n" << r.output;
  }
  EXPECT_EQ(ReadText(P("C.png")), ReadText(P("A.png")));
  EXPECT_TRUE(Has(ProcessTicks(), 139));  // the menu closed on loading slot 1
}

TEST_F(MenuGame, WithNoMenuF5ReachesTheGamesKeyDownEvent) {
  const CommandResult r = Play("110 key 116\n112 key 123\n115 shot " + P("shot.png") + "\n", 120, "--no-menu");
  ASSERT_EQ(r.status, 0) << r.output;
  std::vector<std::string> keys;
  for (const auto& w : Trace()) {
    if (w.size() > 1 && w[1] == "key_Down") keys.push_back(w[0]);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"110", "112"}));  // F5 and F12 both
  // The game went on (no menu opened) and no screenshot was taken by the runtime.
  EXPECT_TRUE(Has(ProcessTicks(), 113));
  EXPECT_FALSE(fs::exists(P("home") + "/Pictures"));
}

}  // namespace
}  // namespace qx::test
