// The ini model: lookups without regard to case, the integer and boolean forms, writes that
// leave untouched lines byte for byte, and the read-write file written at once.
#include <gtest/gtest.h>

#include <filesystem>

#include "SceneTestSupport.h"
#include "scene/IniFile.h"
#include "shell/GameFinder.h"

namespace qx {
namespace {

using test::ReadText;
using test::ScratchDir;
using test::WriteText;

TEST(IniRead, SectionsAndKeysIgnoreCaseAndValuesAreTrimmed) {
  const TIniFile ini(
      "top=ignored\n"
      "[Def]\n"
      "  Snd =  80  \n"
      "; Muz=1\n"
      "Name=\"quoted\"\n"
      "Single='x'\n"
      "Half=\"open\n"
      "Bare\n"
      "[ \xCC\xE5\xED\xFE ]\n"  // a Cyrillic section name (1251)
      "Start=\xCD\xE0\xF7\xE0\xF2\xFC\r\n");
  EXPECT_EQ(ini.ReadString("def", "SND", "?"), "80");
  EXPECT_EQ(ini.ReadString(" DEF ", " snd ", "?"), "80");
  EXPECT_EQ(ini.ReadString("Def", "Muz", "?"), "?");  // a comment line is no entry
  EXPECT_EQ(ini.ReadString("Def", "Name", ""), "quoted");
  EXPECT_EQ(ini.ReadString("Def", "Single", ""), "x");
  EXPECT_EQ(ini.ReadString("Def", "Half", ""), "\"open");
  EXPECT_TRUE(ini.ValueExists("Def", "Bare"));
  EXPECT_EQ(ini.ReadString("Def", "Bare", "?"), "");
  EXPECT_EQ(ini.ReadString("", "top", "?"), "?");  // entries before the first section are unreachable
  EXPECT_EQ(ini.ReadString("\xEC\xE5\xED\xFE", "start", ""), "\xCD\xE0\xF7\xE0\xF2\xFC");
  EXPECT_TRUE(ini.SectionExists("DEF"));
  EXPECT_FALSE(ini.SectionExists("Main"));
}

TEST(IniRead, TheFirstSectionAndTheFirstKeyOfANameCount) {
  const TIniFile ini("[A]\nk=1\nk=2\n[B]\nk=3\n[a]\nk=4\nonly=5\n");
  EXPECT_EQ(ini.ReadString("A", "k", ""), "1");
  EXPECT_EQ(ini.ReadString("B", "K", ""), "3");
  EXPECT_EQ(ini.ReadString("A", "only", "?"), "?");  // in the repeated section, not looked into
}

TEST(IniRead, AByteOrderMarkDoesNotHideTheFirstSection) {
  const TIniFile ini("\xEF\xBB\xBF[Main]\nPath=/games/x.qxf\n");
  EXPECT_EQ(ini.ReadString("Main", "Path", ""), "/games/x.qxf");
}

TEST(IniRead, IntegersAndBooleans) {
  const TIniFile ini(
      "[S]\n"
      "dec=12\nneg= -5 \nplus=+7\nhex=$1F\nhex0x=0x10\nnhex=-$10\nall=$FFFFFFFF\n"
      "junk=12abc\nempty=\nbig=2147483648\nmin=-2147483648\ntoo=$100000000\nfloat=1.5\n"
      "t=1\nf=0\nword=yes\n");
  EXPECT_EQ(ini.ReadInteger("S", "dec", 9), 12);
  EXPECT_EQ(ini.ReadInteger("S", "neg", 9), -5);
  EXPECT_EQ(ini.ReadInteger("S", "plus", 9), 7);
  EXPECT_EQ(ini.ReadInteger("S", "hex", 9), 31);
  EXPECT_EQ(ini.ReadInteger("S", "hex0x", 9), 16);
  EXPECT_EQ(ini.ReadInteger("S", "nhex", 9), -16);
  EXPECT_EQ(ini.ReadInteger("S", "all", 9), -1);
  EXPECT_EQ(ini.ReadInteger("S", "min", 9), INT32_MIN);
  for (const char* bad : {"junk", "empty", "big", "too", "float", "missing"}) {
    EXPECT_EQ(ini.ReadInteger("S", bad, 9), 9) << bad;
  }
  EXPECT_TRUE(ini.ReadBool("S", "t", false));
  EXPECT_FALSE(ini.ReadBool("S", "f", true));
  EXPECT_TRUE(ini.ReadBool("S", "word", true));  // not a number: the default
  EXPECT_FALSE(ini.ReadBool("S", "word", false));
  EXPECT_TRUE(ini.ReadBool("S", "missing", true));
}

TEST(IniWrite, UntouchedLinesStayByteForByte) {
  const std::string original =
      "; player settings\r\n"
      "[Def]\r\n"
      "  Snd = 80   \r\n"
      "Muz=50\r\n"
      "\r\n"
      "[Other]  ; trailing words\r\n"
      "odd line without equals\r\n"
      "X=\ttabbed\r\n"
      "Last=1";  // no final line break
  TIniFile ini(original);
  ASSERT_EQ(ini.Text(), original);
  ASSERT_TRUE(ini.WriteInteger("def", "SND", 70));
  ASSERT_TRUE(ini.WriteString("Other", "x", "new"));
  EXPECT_EQ(ini.Text(),
            "; player settings\r\n"
            "[Def]\r\n"
            "  Snd = 70\r\n"  // the key's spelling and the blanks before the value stay
            "Muz=50\r\n"
            "\r\n"
            "[Other]  ; trailing words\r\n"
            "odd line without equals\r\n"
            "X=\tnew\r\n"
            "Last=1");
  EXPECT_EQ(ini.ReadInteger("Def", "Snd", 0), 70);
}

TEST(IniWrite, NewKeysJoinTheirSectionAndNewSectionsGoLast) {
  TIniFile ini("[Def]\r\nSnd=80\r\n\r\n[Main]\r\nPath=x\r\n\r\n");
  ASSERT_TRUE(ini.WriteBool("Def", "FS", false));
  ASSERT_TRUE(ini.WriteString("Extra", "Key", "v"));
  EXPECT_EQ(ini.Text(), "[Def]\r\nSnd=80\r\nFS=0\r\n\r\n[Main]\r\nPath=x\r\n\r\n[Extra]\r\nKey=v\r\n");

  TIniFile noBreak("[Def]\nSnd=1");
  ASSERT_TRUE(noBreak.WriteString("Def", "Muz", "2"));
  ASSERT_TRUE(noBreak.WriteString("New", "A", "3"));
  EXPECT_EQ(noBreak.Text(), "[Def]\nSnd=1\nMuz=2\n\n[New]\nA=3\n");

  TIniFile empty;
  ASSERT_TRUE(empty.WriteInteger("Def", "Snd", 5));
  EXPECT_EQ(empty.Text(), "[Def]\nSnd=5\n");
}

TEST(IniWrite, EntriesThatWouldBreakTheFileAreRefused) {
  TIniFile ini("[Def]\nA=1\n");
  const std::string before = ini.Text();
  std::string error;
  EXPECT_FALSE(ini.WriteString("Def", "A", "two\nlines", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(ini.WriteString("Def", "A", "cr\r", nullptr));
  EXPECT_FALSE(ini.WriteString("Def", "k=v", "1"));
  EXPECT_FALSE(ini.WriteString("Def", "[k", "1"));
  EXPECT_FALSE(ini.WriteString("Def", ";k", "1"));
  EXPECT_FALSE(ini.WriteString("De]f", "k", "1"));
  EXPECT_FALSE(ini.WriteString(" ", "k", "1"));
  EXPECT_FALSE(ini.WriteString("Def", "", "1"));
  EXPECT_EQ(ini.Text(), before);
}

TEST(IniFileOnDisk, EveryWriteReachesTheFileAtOnce) {
  ScratchDir dir;
  const std::string path = dir / "player.ini";
  TIniFile ini;
  ASSERT_TRUE(ini.Open(path));  // missing: starts empty, not created yet
  EXPECT_TRUE(ini.Writable());
  EXPECT_FALSE(std::filesystem::exists(path));
  ASSERT_TRUE(ini.WriteInteger("Def", "Snd", 40));
  EXPECT_EQ(ReadText(path), "[Def]\nSnd=40\n");
  ASSERT_TRUE(ini.WriteBool("Def", "FS", true));
  EXPECT_EQ(ReadText(path), "[Def]\nSnd=40\nFS=1\n");
  TIniFile again;
  ASSERT_TRUE(again.Load(path));
  EXPECT_FALSE(again.Writable());
  EXPECT_EQ(again.ReadInteger("Def", "Snd", 0), 40);
  // No temporary files are left beside it.
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1);
}

TEST(IniFileOnDisk, AFailedWriteIsUndoneAndAnUnreadableFileIsNeverReplaced) {
  ScratchDir dir;
  // A name so long that no temporary file fits beside it: every write fails.
  const std::string path = dir / (std::string(248, 'p') + ".ini");
  WriteText(path, "[Def]\nSnd=10\n");
  TIniFile ini;
  ASSERT_TRUE(ini.Open(path));
  std::string error;
  EXPECT_FALSE(ini.WriteInteger("Def", "Snd", 99, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ini.ReadInteger("Def", "Snd", 0), 10);  // the table still says what the file says
  EXPECT_EQ(ReadText(path), "[Def]\nSnd=10\n");

  TIniFile folder;
  EXPECT_FALSE(folder.Open(dir.path().string(), &error));  // a folder is not an ini file
  EXPECT_FALSE(folder.Writable());
  EXPECT_TRUE(folder.WriteString("Def", "A", "1"));  // only in memory
  EXPECT_TRUE(std::filesystem::is_directory(dir.path()));
}

TEST(IniFileOnDisk, ChangesMadeByOthersAreReadAndKept) {
  ScratchDir dir;
  const std::string path = dir / "player.ini";
  WriteText(path, "[Def]\nSnd=10\n");
  TIniFile ini;
  ASSERT_TRUE(ini.Open(path));
  WriteText(path, "[Def]\nSnd=20\n; edited by hand\nMuz=7\n");
  EXPECT_EQ(ini.ReadInteger("Def", "Snd", 0), 20);
  WriteText(path, "[Def]\nSnd=30\n; edited again\n");
  ASSERT_TRUE(ini.WriteBool("Def", "FS", false));
  EXPECT_EQ(ReadText(path), "[Def]\nSnd=30\n; edited again\nFS=0\n");
  std::filesystem::remove(path);
  EXPECT_EQ(ini.ReadInteger("Def", "Snd", -1), -1);  // gone: as a missing file
  ASSERT_TRUE(ini.WriteInteger("Def", "Snd", 5));
  EXPECT_EQ(ReadText(path), "[Def]\nSnd=5\n");
}

TEST(IniFileOnDisk, TheGameFinderReadsMainPathFromZembricIni) {
  ScratchDir dir;
  WriteText(dir / "Zembric.ini", "; where the game is\r\n[main]\r\n  PATH = /games/zembric/game.qxf \r\n");
  EXPECT_EQ(FindGameFile("", dir / "Zembric.ini"), "/games/zembric/game.qxf");
  EXPECT_EQ(FindGameFile("", dir / "missing.ini"), "");
  WriteText(dir / "Zembric.ini", "[Other]\nPath=x\n");
  EXPECT_EQ(FindGameFile("", dir / "Zembric.ini"), "");
}

}  // namespace
}  // namespace qx
