// qxtool font build, run as an author runs it, and its records read back by the runtime.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "elements/FontTestSupport.h"
#include "resources/ResArchive.h"

namespace qx {
namespace {

namespace fs = std::filesystem;

const char* const kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

struct ToolRun {
  int status = -1;
  std::string output;  // stdout and stderr together
};

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

class QxtoolFont : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(std::string(QX_BINARY_DIR) + "/qxtool")) GTEST_SKIP() << "qxtool is not built";
    std::random_device rd;
    dir_ = fs::temp_directory_path() / ("qx-fontcmd-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    if (!dir_.empty()) fs::remove_all(dir_, ec);
  }
  ToolRun Qxtool(const std::vector<std::string>& args) {
    std::string cmd = "cd " + Quote(dir_.string()) + " && " + Quote(std::string(QX_BINARY_DIR) + "/qxtool");
    for (const std::string& a : args) cmd += " " + Quote(a);
    cmd += " 2>&1";
    ToolRun r;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.output.append(buf.data(), n);
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
  }
  std::vector<uint8_t> Bytes(const std::string& name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  fs::path dir_;
};

TEST_F(QxtoolFont, BuildsARecordTheRuntimeReads) {
  if (!fs::exists(kDejaVu)) GTEST_SKIP() << "DejaVu Sans is not installed";
  const ToolRun r = Qxtool({"font", "build", kDejaVu, "--size", "12", "-o", "sans.fnt"});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("224 glyphs (2 missing)"), std::string::npos) << r.output;
  test::FontRig rig;
  TGfxFont f(&rig.fonts, &rig.gfx);
  const std::vector<uint8_t> record = Bytes("sans.fnt");
  ASSERT_TRUE(f.LoadFromMemory(record.data(), record.size(), TGfxQuality::aqHigh, TAlphaLevel::alFull));
  EXPECT_EQ(f.FirstChar(), 32);
  ASSERT_EQ(f.GlyphCount(), 224);
  const auto width = [&](uint8_t c) { return f.GlyphWidth(c - 32); };
  EXPECT_GT(width('M'), width('i'));
  EXPECT_GT(width(0xC6), 0);   // Cyrillic Zhe, through code page 1251
  EXPECT_EQ(width(0x7F), 0);   // DEL and the unassigned 0x98 have no glyph
  EXPECT_EQ(width(0x98), 0);
  EXPECT_EQ(f.GlyphHeight('a' - 32), f.Image().VisibleHeight());  // one line height for all
  EXPECT_DOUBLE_EQ(f.TextWidth("MM"), 2.0 * width('M'));
  // 'M' has ink in its frame, the space none.
  const auto ink = [&](uint8_t c) {
    TFramePlace place;
    EXPECT_TRUE(f.Image().FramePlace(c - 32, place));
    int sum = 0;
    for (int y = 0; y < f.Image().VisibleHeight(); ++y) {
      for (int x = 0; x < f.Image().VisibleWidth(); ++x) {
        sum += static_cast<int>(f.Image().GetPixel(place.left + x, place.top + y, place.texture) >> 24);
      }
    }
    return sum;
  };
  EXPECT_GT(ink('M'), 255 * 10);
  EXPECT_EQ(ink(' '), 0);
}

TEST_F(QxtoolFont, RangeNameAndArchive) {
  if (!fs::exists(kDejaVu)) GTEST_SKIP() << "DejaVu Sans is not installed";
  fs::create_directories(dir_ / "fonts");
  ToolRun r = Qxtool({"font", "build", kDejaVu, "--size", "20", "--first", "65", "--last", "70", "--name", "fonts/Title"});
  ASSERT_EQ(r.status, 0) << r.output;
  ASSERT_TRUE(fs::exists(dir_ / "fonts" / "Title.fnt"));
  r = Qxtool({"archive", "pack", "fonts", "-o", "game.res"});
  ASSERT_EQ(r.status, 0) << r.output;
  test::FontRig rig;
  TResArchive archive;
  archive.SetFileName((dir_ / "game.res").string());
  ASSERT_TRUE(rig.fonts.LoadFromArchive(archive));
  const std::shared_ptr<TGfxFont> f = rig.fonts.FindFont("title.fnt");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->FirstChar(), 65);
  EXPECT_EQ(f->GlyphCount(), 6);
  EXPECT_DOUBLE_EQ(f->TextWidth("G"), f->Image().VisibleWidth() * 0.3);  // outside the range
}

TEST_F(QxtoolFont, BadInputIsRefused) {
  std::ofstream(dir_ / "not-a-font.ttf") << "hello";
  ToolRun r = Qxtool({"font", "build", "not-a-font.ttf", "--size", "12", "-o", "x.fnt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("cannot read not-a-font.ttf as a font"), std::string::npos) << r.output;
  r = Qxtool({"font", "build", "missing.ttf", "--size", "12", "-o", "x.fnt"});
  EXPECT_EQ(r.status, 1);
  // Each bad number is named with the values it takes, in words.
  const std::pair<std::vector<std::string>, std::string> badNumbers[] = {
      {{"--size", "0"}, "qxtool: --size must be from 1 to 256\n"},
      {{"--size", "99999999999999999999"}, "qxtool: --size must be from 1 to 256\n"},
      {{"--size", "big"}, "qxtool: --size must be a whole number, from 1 to 256 (not 'big')\n"},
      {{"--size", "12", "--first", "-1"}, "qxtool: --first must be from 0 to 255\n"},
      {{"--size", "12", "--last", "256"}, "qxtool: --last must be from 0 to 255\n"},
      {{"--size", "12", "--first", "100", "--last", "99"}, "qxtool: --first must not be above --last\n"},
  };
  for (const auto& [options, message] : badNumbers) {
    std::vector<std::string> args = {"font", "build", kDejaVu, "-o", "x.fnt"};
    args.insert(args.end(), options.begin(), options.end());
    r = Qxtool(args);
    EXPECT_EQ(r.status, 2) << message;
    EXPECT_EQ(r.output, message);
  }
  r = Qxtool({"font", "build", kDejaVu, "-o", "x.fnt"});  // no size
  EXPECT_EQ(r.status, 2);
  EXPECT_FALSE(fs::exists(dir_ / "x.fnt"));
}

}  // namespace
}  // namespace qx
