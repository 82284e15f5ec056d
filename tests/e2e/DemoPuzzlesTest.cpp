// The demo's puzzle rooms played from replays, one per room, each solving its puzzle through
// the natives as a player would (clicks and drags only). Every run builds a small game around
// the rooms' own source files (games/demo/rooms/puzzle_*.yaml) that starts in the room under
// test, with a stand-in hall (Id HUB) that writes the room's SOLVED flag to the ini file when
// the replay leaves through the room's Back button. A run passes when the room saw its solved
// moment (the trace line of Update WON), the flag reached the hall, pixels of the screenshots
// show the solved state, and the error log stays empty.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "RunCommand.h"
#include "ScratchFiles.h"
#include "resources/ImageDecoders.h"

namespace {

namespace fs = std::filesystem;
using qx::test::ReadText;
using qx::test::RunCommand;
using qx::test::WriteText;

const fs::path kBuild = QX_BINARY_DIR;
const fs::path kRooms = fs::path(QX_SOURCE_DIR) / "games" / "demo" / "rooms";
const fs::path kReplays = fs::path(QX_TEST_DATA_DIR) / "demo" / "puzzles";

// The mean colour of a 7 x 7 box of a screenshot should be near an expected one: enough to
// tell water from a dry pipe, a lit lamp from a dark one, the ribbon from the wall behind it.
struct Probe {
  const char* shot;
  int x, y;
  uint32_t rgb;  // 0xRRGGBB
  const char* what;
};

struct Room {
  const char* id;
  int key;
  const char* replay;
  std::vector<Probe> probes;
};

std::ostream& operator<<(std::ostream& os, const Room& r) { return os << r.id; }

double Distance(const qx::TBitmap& shot, const Probe& p, uint32_t& mean) {
  double sum[3] = {0, 0, 0};
  int n = 0;
  for (int y = std::max(0, p.y - 3); y <= std::min(shot.height - 1, p.y + 3); ++y) {
    for (int x = std::max(0, p.x - 3); x <= std::min(shot.width - 1, p.x + 3); ++x) {
      const uint32_t c = shot.Pixel(x, y);
      for (int ch = 0; ch < 3; ++ch) sum[ch] += (c >> (16 - 8 * ch)) & 0xFF;
      ++n;
    }
  }
  double d2 = 0;
  mean = 0;
  for (int ch = 0; ch < 3; ++ch) {
    const double m = sum[ch] / n;
    mean = (mean << 8) | static_cast<uint32_t>(std::lround(m));
    const double e = (p.rgb >> (16 - 8 * ch)) & 0xFF;
    d2 += (m - e) * (m - e);
  }
  return std::sqrt(d2);
}

// The game the replays play: the puzzle rooms and their shared screens, the room under test
// as the first screen, and the stand-in hall; the demo's own language, sound and font files.
std::string TestGame(const Room& room) {
  std::string yaml =
      "class: TQXDB\n"
      "Id: puzzle test\n"
      "InitScreen: " + std::to_string(room.key) + "\n"
      "FileRS: test.sav\n"
      "FileFonts: data.res\n"
      "Lang: eng.lng\n"
      "IniFile: test.ini\n"
      "SoundFile: sounds.ini\n"
      "children:\n"
      "  - class: TQXScreen\n"
      "    Key: 300\n"
      "    Id: HUB\n"
      "    exShow: |\n"
      "      SetIni('Test', 'Solved', QXDB." + room.id + ".SOLVED);\n";
  std::vector<std::string> rooms;
  for (const auto& entry : fs::directory_iterator(kRooms)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("puzzle_", 0) == 0 && entry.path().extension() == ".yaml") rooms.push_back(entry.path().string());
  }
  std::sort(rooms.begin(), rooms.end());
  for (const std::string& r : rooms) yaml += "  - include: " + r + "\n";
  return yaml;
}

class DemoPuzzles : public ::testing::TestWithParam<Room> {};

TEST_P(DemoPuzzles, ReplaySolvesTheRoom) {
  const Room& room = GetParam();
  const fs::path demo = kBuild / "games" / "demo";
  ASSERT_TRUE(fs::exists(demo / "pictures" / "puzzles")) << "the demo game is built with the default target";
  qx::test::ScratchDir work;
  // A copy of the built demo (pictures, sounds, fonts, particles, the joined language and sound
  // files), so that the run's error log and saved files are its own.
  const fs::path game = work.path() / "game";
  fs::copy(demo, game, fs::copy_options::recursive);
  fs::remove(game / "korvane.err");
  // Without the intro logos the room shows at tick 38 (the replays click from there on).
  fs::remove_all(game / "logos");
  const std::string qxtool = (kBuild / "qxtool").string();
  WriteText((game / "puzzles.yaml").string(), TestGame(room));
  const auto built = RunCommand(qxtool + " game build " + (game / "puzzles.yaml").string() + " -o " +
                                (game / "puzzles.qxf").string());
  ASSERT_EQ(built.status, 0) << built.output;

  const auto run = RunCommand("cd " + work.path().string() + " && " + (kBuild / "qxrun").string() +
                              " --headless --fixed-step --seed 15 --trace trace.txt --replay " +
                              (kReplays / room.replay).string() + " game/puzzles.qxf");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(ReadText((game / "korvane.err").string()), "");

  // The solved moment came once, in the room, and the hall read the flag.
  const std::string trace = ReadText(work / "trace.txt");
  const std::string shown = " Show " + std::string(room.id) + " TQXScreen " + std::to_string(room.key) + "\n";
  const size_t show = trace.find(shown);
  ASSERT_NE(show, std::string::npos) << "the room was never shown";
  const size_t won = trace.find(" Update WON ", show);
  EXPECT_NE(won, std::string::npos) << "the puzzle was not solved";
  if (won != std::string::npos) {
    EXPECT_EQ(trace.find(" Update WON ", won + 1), std::string::npos) << "solved twice";
  }
  EXPECT_NE(trace.find(" Show HUB TQXScreen 300\n", show), std::string::npos) << "the Back button did not lead to the hall";
  EXPECT_NE(ReadText((game / "test.ini").string()).find("Solved=1"), std::string::npos);

  for (const Probe& p : room.probes) {
    SCOPED_TRACE(std::string(p.shot) + ": " + p.what);
    qx::TBitmap shot;
    std::string error;
    ASSERT_TRUE(qx::LoadPictureFile(work / p.shot, shot, error)) << error;
    uint32_t mean = 0;
    const double d = Distance(shot, p, mean);
    char got[16];
    std::snprintf(got, sizeof got, "%06X", mean);
    EXPECT_LT(d, 48) << "mean colour " << got << " at " << p.x << "," << p.y;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rooms, DemoPuzzles,
    ::testing::Values(
        // Water runs from the tank to the spout: the pipe next to the tank and the stream under
        // the spout are blue only once it flows.
        Room{"PZPIPES", 1800, "pipes.replay",
             {{"start.png", 660, 320, 0x0C1E28, "no water under the spout yet"},
              {"start.png", 181, 606, 0x9D612E, "the first pipe is dry copper"},
              {"solved.png", 660, 320, 0x3B6B94, "water pours from the spout"},
              {"solved.png", 181, 606, 0x618CAB, "the first pipe holds water"},
              {"solved.png", 512, 16, 0xE9D381, "the Solved ribbon"}}},
        // Both towers stand at the right: the small green disc on top of the right peg, the
        // nested cups on the right of the shelf.
        Room{"PZTOWER", 1600, "tower.replay",
             {{"start.png", 410, 440, 0x997E51, "the right peg is bare"},
              {"start.png", 920, 440, 0x5D4129, "no cups on the right"},
              {"solved.png", 410, 440, 0x63A36E, "the green disc tops the right peg"},
              {"solved.png", 920, 440, 0xBC7B7A, "the cups stand on the right"},
              {"solved.png", 512, 16, 0xE9D381, "the Solved ribbon"}}},
        // Every planet sits on its ring of the chart, every bead in its hole of the tray.
        Room{"PZFIELD", 1400, "field.replay",
             {{"start.png", 268, 436, 0x060A18, "the blue planet's ring is empty"},
              {"start.png", 626, 272, 0x0A1A10, "the red bead's hole is empty"},
              {"solved.png", 268, 436, 0x5A88BD, "the blue planet on its ring"},
              {"solved.png", 626, 272, 0xA22C2C, "the red bead in its hole"},
              {"solved.png", 512, 16, 0xE9D381, "the Solved ribbon"}}},
        // The hubs of both nets moved to the middle of their drawings, where no knot was.
        Room{"PZUNTANGLE", 1500, "untangle.replay",
             {{"start.png", 362, 306, 0x151932, "no knot in the larger net's middle"},
              {"start.png", 792, 254, 0x161C34, "no knot in the smaller net's middle"},
              {"solved.png", 362, 306, 0xB0812F, "a hub of the larger net"},
              {"solved.png", 792, 254, 0x41859F, "the hub of the smaller net"},
              {"solved.png", 512, 16, 0xE9D381, "the Solved ribbon"}}},
        // Every belt is gone: where plates ran there is only the dark channel.
        Room{"PZSLIDE", 1700, "slide.replay",
             {{"start.png", 296, 135, 0x9A9396, "a plate on the first belt"},
              {"start.png", 296, 420, 0x66707E, "a plate on the fourth belt"},
              {"solved.png", 296, 135, 0x18130D, "the first belt is gone"},
              {"solved.png", 296, 420, 0x0F0C07, "the fourth belt is gone"},
              {"solved.png", 512, 16, 0xE9D381, "the Solved ribbon"}}},
        // Most crystals are gone: cells that held a red and a blue crystal are empty.
        Room{"PZLABELS", 1300, "labels.replay",
             {{"start.png", 228, 408, 0xD47670, "a red crystal"},
              {"start.png", 280, 200, 0x6FACE0, "a blue crystal"},
              {"solved.png", 228, 408, 0x25222F, "the red crystal's cell is empty"},
              {"solved.png", 280, 200, 0x1F1D28, "the blue crystal's cell is empty"},
              {"solved.png", 512, 16, 0xE9D381, "the Solved ribbon"}}},
        // The keys have left the tubes and the locks under them stand open.
        Room{"PZCOLUMN", 1200, "column.replay",
             {{"start.png", 112, 278, 0x604922, "the first key in its tube"},
              {"start.png", 112, 560, 0x0D0E15, "the first lock is shut"},
              {"solved.png", 112, 560, 0x424244, "the first lock's shackle is up"},
              {"solved.png", 412, 560, 0x424244, "the third lock's shackle is up"},
              {"solved.png", 512, 16, 0xE9D381, "the Solved ribbon"}}},
        // Every place's meter has given way to its badge and the map's meter is full.
        Room{"PZMETERS", 1100, "meters.replay",
             {{"start.png", 190, 350, 0x382D20, "the beach's meter is empty"},
              {"start.png", 700, 516, 0x2B2924, "the map's meter is empty"},
              {"solved.png", 190, 350, 0x949C42, "the beach's badge"},
              {"solved.png", 834, 350, 0x949C42, "the cave's badge"},
              {"solved.png", 700, 516, 0xE7AB42, "the map's meter is full"},
              {"solved.png", 512, 16, 0xE9D381, "the Solved ribbon"}}}),
    [](const ::testing::TestParamInfo<Room>& info) { return std::string(info.param.id); });

}  // namespace
