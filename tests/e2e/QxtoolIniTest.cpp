// qxtool ini join: per-room UTF-8 fragments become one code page 1251 language file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "RunCommand.h"
#include "ScratchFiles.h"

namespace {

using qx::test::ReadText;
using qx::test::RunCommand;
using qx::test::WriteText;

const std::string kTool = std::string(QX_BINARY_DIR) + "/qxtool";

TEST(QxtoolIni, JoinMergesSectionsInOrderAndWritesCodePage1251) {
  qx::test::ScratchDir dir;
  WriteText(dir / "a.ini", "\xEF\xBB\xBF; comment\n[Menu]\nStart = Начать\n\n[Hall]\r\nTitle=Зал\r\n");
  WriteText(dir / "b.ini", "# another\n[menu]\nQuit=Выход\n[Pipes]\nHint= =x= \n");
  const auto r = RunCommand(kTool + " ini join " + (dir / "a.ini") + " " + (dir / "b.ini") + " -o " + (dir / "out.lng"));
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(ReadText(dir / "out.lng"),
            "[Menu]\r\nStart=\xCD\xE0\xF7\xE0\xF2\xFC\r\nQuit=\xC2\xFB\xF5\xEE\xE4\r\n\r\n"
            "[Hall]\r\nTitle=\xC7\xE0\xEB\r\n\r\n"
            "[Pipes]\r\nHint==x=\r\n\r\n");
}

TEST(QxtoolIni, JoinRefusesWhatItCannotCarry) {
  const std::pair<std::string, std::string> cases[] = {
      {"[A]\nK=1\n[a]\nk=2\n", "in.ini:4: [A] k is given already at "},
      {"K=1\n", "in.ini:1: a key before the first [section]"},
      {"[A]\nno equals sign\n", "in.ini:2: expected KEY=VALUE"},
      {"[A\n", "in.ini:1: a section line must be [NAME]"},
      {"[A]\nK=\xE2\x82\xAC\xF0\x9F\x98\x80\n", "in.ini:2: a character has no code page 1251 form"},
  };
  for (const auto& [text, message] : cases) {
    qx::test::ScratchDir dir;
    WriteText(dir / "in.ini", text);
    const auto r = RunCommand("cd " + dir.path().string() + " && " + kTool + " ini join in.ini -o out.lng");
    EXPECT_EQ(r.status, 1) << text;
    EXPECT_NE(r.output.find("qxtool: " + message), std::string::npos) << r.output;
    EXPECT_FALSE(std::filesystem::exists(dir / "out.lng"));
  }
}

}  // namespace
