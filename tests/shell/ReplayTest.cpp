#include "shell/Replay.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

TEST(ReplayParse, ReadsEveryEventKind) {
  std::vector<ReplayEvent> ev;
  std::string error;
  ASSERT_TRUE(ParseReplay("# a comment\n\n0 move 1 2\r\n1 down 3 4\n1 up 3 4\n2 key 13 alt\n"
                          "2 key 65 alt ctrl shift\n3 char 200\n4 shot x.png\n9 quit\n",
                          ev, error))
      << error;
  ASSERT_EQ(ev.size(), 8u);
  EXPECT_EQ(ev[0].input.kind, WindowEvent::Kind::MouseMove);
  EXPECT_EQ(ev[1].input.kind, WindowEvent::Kind::MouseDown);
  EXPECT_EQ(ev[2].input.kind, WindowEvent::Kind::MouseUp);
  EXPECT_EQ(ev[3].input.vk, 13);
  EXPECT_TRUE(ev[3].input.alt);
  EXPECT_FALSE(ev[3].input.ctrl);
  EXPECT_TRUE(ev[4].input.shift);
  EXPECT_EQ(ev[5].input.ch, 200);
  EXPECT_EQ(ev[6].kind, ReplayEvent::Kind::Shot);
  EXPECT_EQ(ev[6].file, "x.png");
  EXPECT_EQ(ev[7].kind, ReplayEvent::Kind::Quit);
  EXPECT_EQ(ev[7].tick, 9);
}

TEST(ReplayParse, MalformedLinesNameTheirLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"0 jump 1 2", "line 1: unknown event 'jump'"},
      {"0 move 1", "line 1: 'move' takes X Y"},
      {"0 move 1 2\nx move 1 2", "line 2: bad tick 'x'"},
      {"-1 quit", "line 1: bad tick '-1'"},
      {"0 char 300", "line 1: 'char' takes a code 0..255"},
      {"0 key 13 meta", "line 1: unknown modifier 'meta'"},
      {"5 quit\n4 quit", "line 2: ticks must not go backwards"},
      {"0 shot", "line 1: 'shot' takes one file name"},
      {"7", "line 1: expected TICK and an event"},
  };
  for (const auto& [text, message] : cases) {
    std::vector<ReplayEvent> ev;
    std::string error;
    EXPECT_FALSE(ParseReplay(text, ev, error)) << text;
    EXPECT_EQ(error, message) << text;
  }
}

TEST(ReplayPlayer, HandsOutEventsAsTheirTickComes) {
  std::vector<ReplayEvent> ev;
  std::string error;
  ASSERT_TRUE(ParseReplay("0 move 1 1\n2 move 2 2\n2 move 3 3\n", ev, error));
  ReplayPlayer player(ev);
  ReplayEvent e;
  EXPECT_TRUE(player.Next(0, e));
  EXPECT_FALSE(player.Next(1, e));
  EXPECT_TRUE(player.Next(2, e));
  EXPECT_TRUE(player.Next(2, e));
  EXPECT_EQ(e.input.x, 3);
  EXPECT_TRUE(player.Finished());
}

}  // namespace
}  // namespace qx
