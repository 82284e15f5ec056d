// qxtool archive and qxtool image, run as a user runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>

#include "resources/ImageDecoders.h"
#include "resources/ResArchive.h"
#include "resources/TestFiles.h"

namespace qx {
namespace {

namespace fs = std::filesystem;
using test::DataPath;
using test::ReadBytes;
using test::ScratchDir;
using test::WriteText;

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs qxtool with the arguments; stdout and stderr captured separately.
ToolRun Qxtool(const std::vector<std::string>& args, const ScratchDir& dir) {
  std::string cmd = Quote(std::string(QX_BINARY_DIR) + "/qxtool");
  for (const std::string& a : args) cmd += " " + Quote(a);
  cmd += " 2>" + Quote(dir / "stderr.txt");
  ToolRun r;
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
  const int st = ::pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  const auto e = ReadBytes(dir / "stderr.txt");
  r.err.assign(e.begin(), e.end());
  return r;
}

class QxtoolResources : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(std::string(QX_BINARY_DIR) + "/qxtool")) GTEST_SKIP() << "qxtool is not built";
  }
  ScratchDir dir;
};

TEST_F(QxtoolResources, ListPrintsEveryRecordInTableOrder) {
  const ToolRun r = Qxtool({"archive", "list", DataPath("sample.res")}, dir);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "0 0 " + std::to_string(ReadBytes(DataPath("png_rgba8.png")).size()) +
                " images\\Pic.png\n"
                "1 0 5000 sounds\\click.wav\n"
                "2 3 480 Arial\n"
                "3 0 5 DUP.txt\n"
                "4 0 6 dup.TXT\n"
                "5 0 0 empty.bin\n"
                "6 0 5 \xD0\xA4\xD0\xBE\xD0\xBD\\\xD0\xB4\xD0\xB2\xD0\xB5\xD1\x80\xD1\x8C.txt\n");
}

TEST_F(QxtoolResources, ExtractFindsNamesAsTheRuntimeDoes) {
  ToolRun r = Qxtool({"archive", "extract", DataPath("sample.res"), "dup.txt", "-o", dir / "dup"}, dir);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadBytes(dir / "dup"), (std::vector<uint8_t>{'f', 'i', 'r', 's', 't'}));
  r = Qxtool({"archive", "extract", DataPath("sample.res"), "ФОН\\ДВЕРЬ.TXT", "-o", dir / "cyr"}, dir);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadBytes(dir / "cyr").size(), 5u);
  r = Qxtool({"archive", "extract", DataPath("sample.res"), "nothing.here", "-o", dir / "none"}, dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_FALSE(fs::exists(dir / "none"));
  r = Qxtool({"archive", "list", dir / "missing.res"}, dir);
  EXPECT_EQ(r.status, 1);
}

TEST_F(QxtoolResources, PackListExtractGivesBackTheSameBytes) {
  const std::string src = dir / "src";
  fs::create_directories(src + "/images/sub");
  fs::create_directories(src + "/fonts");
  fs::copy_file(DataPath("png_rgba8.png"), src + "/images/Pic.png");
  WriteText(src + "/images/sub/deep.an", "4\n2\n");
  WriteText(src + "/fonts/Arial.fnt", std::string(300, 'f'));
  WriteText(src + "/Сцена.txt", "scene");
  WriteText(src + "/empty", "");
  ToolRun r = Qxtool({"archive", "pack", src, "-o", dir / "out.res", "--type", "*.an=7"}, dir);
  ASSERT_EQ(r.status, 0) << r.err;
  r = Qxtool({"archive", "list", dir / "out.res"}, dir);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(" 3 300 fonts\\Arial.fnt\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" 7 4 images\\sub\\deep.an\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" 0 5 Сцена.txt\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" 0 0 empty\n"), std::string::npos) << r.out;
  TResArchive a;
  a.SetFileName(dir / "out.res");
  ASSERT_TRUE(a.Open());
  EXPECT_GE(a.IndexOf("\xD1\xF6\xE5\xED\xE0.TXT"), 0);  // stored in code page 1251
  r = Qxtool({"archive", "extract", dir / "out.res", "--all", "-o", dir / "back"}, dir);
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* rel : {"images/Pic.png", "images/sub/deep.an", "fonts/Arial.fnt", "Сцена.txt", "empty"}) {
    SCOPED_TRACE(rel);
    EXPECT_EQ(ReadBytes(src + "/" + rel), ReadBytes(dir / "back/" + std::string(rel)));
  }
  r = Qxtool({"archive", "pack", src, "-o", dir / "bad.res", "--type", "nonsense"}, dir);
  EXPECT_EQ(r.status, 2);
}

// Record names that would leave the output folder are skipped, not followed.
TEST_F(QxtoolResources, ExtractAllStaysInsideItsFolder) {
  std::vector<TResPackEntry> entries(2);
  entries[0].name = "..\\escape.txt";
  entries[0].data = {'x'};
  entries[1].name = "ok\\fine.txt";
  entries[1].data = {'y'};
  std::string error;
  ASSERT_TRUE(WriteResArchive(dir / "evil.res", entries, error));
  const ToolRun r = Qxtool({"archive", "extract", dir / "evil.res", "--all", "-o", dir / "x/out"}, dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(fs::exists(dir / "x/escape.txt"));
  EXPECT_TRUE(fs::exists(dir / "x/out/ok/fine.txt"));
}

TEST_F(QxtoolResources, ImageInfoAndDecode) {
  fs::copy_file(DataPath("png_rgba8.png"), dir / "Sheet.png");
  ToolRun r = Qxtool({"image", "info", dir / "Sheet.png"}, dir);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "13 7 1 1 1\n");
  WriteText(dir / "SHEET.AN", "4\r\n2\r\n");
  r = Qxtool({"image", "info", dir / "Sheet.png"}, dir);
  EXPECT_EQ(r.out, "13 7 1 4 2\n");
  r = Qxtool({"image", "info", DataPath("jpeg_baseline.jpg")}, dir);
  EXPECT_EQ(r.out, "32 24 0 1 1\n");

  r = Qxtool({"image", "decode", DataPath("tga_rle_br.tga"), dir / "out.rgba"}, dir);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadBytes(dir / "out.rgba"), ReadBytes(DataPath("tga_rle_br.tga.rgba")));
  r = Qxtool({"image", "decode", DataPath("bmp_32_alpha.bmp"), dir / "out.png"}, dir);
  ASSERT_EQ(r.status, 0) << r.err;
  TBitmap viaPng, direct;
  std::string error;
  ASSERT_TRUE(LoadPictureFile(dir / "out.png", viaPng, error));
  ASSERT_TRUE(LoadPictureFile(DataPath("bmp_32_alpha.bmp"), direct, error));
  EXPECT_EQ(viaPng.pixels, direct.pixels);

  WriteText(dir / "broken.png", "\x89PNG\r\n\x1a\nnot really");
  r = Qxtool({"image", "decode", dir / "broken.png", dir / "broken.rgba"}, dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_FALSE(fs::exists(dir / "broken.rgba"));
  r = Qxtool({"image", "info", dir / "broken.png"}, dir);
  EXPECT_EQ(r.status, 1);
  r = Qxtool({"image", "decode", DataPath("png_rgb8.png"), dir / "out.gif"}, dir);
  EXPECT_EQ(r.status, 2);
}

}  // namespace
}  // namespace qx
