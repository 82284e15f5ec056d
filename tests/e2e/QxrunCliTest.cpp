// qxrun as a player starts it: command line, headless frames, screenshots, exit statuses.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "RunCommand.h"

namespace {

const std::string kQxrun = std::string(QX_BINARY_DIR) + "/qxrun";

using Result = qx::test::CommandResult;

Result RunQxrun(const std::string& args) { return qx::test::RunCommand(kQxrun + " " + args); }

// Width, height and whether every pixel is opaque black, read from a PNG we wrote.
bool PngIsBlack(const std::string& path, int& w, int& h);

std::string Temp(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("qxrun-e2e-" + std::to_string(getpid()) + "-" + name)).string();
}

TEST(QxrunCli, HeadlessScreenshotIsA1024x768BlackPicture) {
  const std::string shot = Temp("black.png");
  const Result r = RunQxrun("--headless --fixed-step --frames 3 --screenshot " + shot);
  ASSERT_EQ(r.status, 0) << r.output;
  int w = 0, h = 0;
  EXPECT_TRUE(PngIsBlack(shot, w, h));
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 768);
  std::filesystem::remove(shot);
}

TEST(QxrunCli, BadOptionGivesOneLineAndStatusTwo) {
  const Result r = RunQxrun("--bogus");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << r.output;
  EXPECT_NE(r.output.find("--bogus"), std::string::npos);
}

TEST(QxrunCli, UnreadableOrMalformedReplayGivesStatusTwo) {
  Result r = RunQxrun("--headless --replay /nonexistent/replay.txt");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.output, "qxrun: cannot read replay file /nonexistent/replay.txt\n");
  const std::string bad = Temp("bad-replay.txt");
  std::ofstream(bad) << "0 move 1 2\n1 fly\n";
  r = RunQxrun("--headless --replay " + bad);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.output.find("line 2"), std::string::npos) << r.output;
  std::filesystem::remove(bad);
}

TEST(QxrunCli, MissingGameGivesStatusTwo) {
  const Result r = RunQxrun("--headless /nonexistent/game.qxf");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.output.find("cannot find the game"), std::string::npos);
}

TEST(QxrunCli, ReplayQuitEndsTheRunAndTakesShots) {
  const std::string replay = Temp("quit.txt");
  const std::string shot = Temp("mid.png");
  std::ofstream(replay) << "2 shot " << shot << "\n4 quit\n";
  const Result r = RunQxrun("--headless --fixed-step --replay " + replay);
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(std::filesystem::exists(shot));
  std::filesystem::remove(replay);
  std::filesystem::remove(shot);
}

TEST(QxrunCli, VersionAndHelp) {
  EXPECT_EQ(RunQxrun("--version").output.rfind("qxrun ", 0), 0u);
  const Result help = RunQxrun("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.output.find("Usage: qxrun [OPTIONS] [GAME]"), help.output.find('\n') + 1) << help.output;
  for (const char* opt : {"--windowed", "--headless", "--fixed-step", "--frames", "--screenshot", "--replay",
                          "--record", "--trace", "--seed", "--script-budget", "--verbose", "--no-menu",
                          "--data-dir", "--where", "--scale", "--filter"}) {
    EXPECT_NE(help.output.find(opt), std::string::npos) << opt;
  }
  // The keys, where files go and the exit statuses.
  for (const char* text : {"Alt+Enter", "F5", "F12", "~/.local/share/qxrun/", "--where [GAME]", "Exit status:",
                           "  1  the game could not start", "  2  a bad command line"}) {
    EXPECT_NE(help.output.find(text), std::string::npos) << text << "\n" << help.output;
  }
}

// A bad number is told in words, with the values the option takes, on one line.
TEST(QxrunCli, BadNumbersGetHumanMessages) {
  const std::pair<const char*, const char*> cases[] = {
      {"--frames -3", "qxrun: --frames must be 0 or more (see qxrun --help)\n"},
      {"--frames 3x", "qxrun: --frames must be a whole number, 0 or more (not '3x') (see qxrun --help)\n"},
      {"--frames 99999999999999999999", "qxrun: --frames must be at most 9223372036854775807 (see qxrun --help)\n"},
      {"--seed -1", "qxrun: --seed must be 0 or more (see qxrun --help)\n"},
      {"--script-budget -5", "qxrun: --script-budget must be 0 or more (see qxrun --help)\n"},
      {"--script-budget ''", "qxrun: --script-budget must be a whole number, 0 or more (not '') (see qxrun --help)\n"},
  };
  for (const auto& [args, message] : cases) {
    const Result r = RunQxrun(std::string("--headless ") + args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(r.output, message) << args;
  }
}

// An author's typing mistakes are silent in play, so --verbose must name each of them: a
// picture, a font, a sound id and a text key that the game does not have, each once however
// often it is asked for, and nothing about the intro logos and particle texture the game
// simply does without.
TEST(QxrunCli, VerboseNamesWhatTheGameLacksOnceEach) {
  namespace fs = std::filesystem;
  const fs::path dir = Temp("verbose-game");
  fs::create_directories(dir);
  std::ofstream(dir / "sounds.ini") << "[Default]\nclick=click.wav\n";
  std::ofstream(dir / "eng.lng") << "[Hall]\nHint=Hello\n";
  std::ofstream(dir / "game.yaml") << R"(class: TQXDB
InitScreen: 1
Lang: eng.lng
SoundFile: sounds.ini
children:
  - class: TQXScreen
    Key: 1
    ImBack: pictures/nohall.png
    exShow: |
      PlaySnd('nosuch');
      PlaySnd('nosuch');
      PlaySnd('click');
      X := GetText('Hall.Hint') + GetText('Hall.Nohint');
    children:
      - class: TQXImage
        Key: 2
        imImage: Pictures\NoDoor.png
      - class: TQXImage
        Key: 3
        imImage: pictures/nohall.png
      - class: TQXText
        Key: 4
        Font: Nofont.fnt
        TextId: Hall.Nohint
)";
  const Result built = qx::test::RunCommand(std::string(QX_BINARY_DIR) + "/qxtool game build " +
                                            (dir / "game.yaml").string() + " -o " + (dir / "game.qxf").string());
  ASSERT_EQ(built.status, 0) << built.output;
  const Result r = RunQxrun("--headless --fixed-step --frames 110 --verbose " + (dir / "game.qxf").string());
  ASSERT_EQ(r.status, 0) << r.output;
  auto count = [&](const std::string& line) {
    size_t n = 0;
    for (size_t pos = r.output.find(line + "\n"); pos != std::string::npos; pos = r.output.find(line + "\n", pos + 1)) {
      if (pos == 0 || r.output[pos - 1] == '\n') ++n;
    }
    return n;
  };
  EXPECT_EQ(count("media: no picture pictures/nohall.png"), 1u) << r.output;
  EXPECT_EQ(count("media: no picture Pictures\\NoDoor.png"), 1u) << r.output;
  EXPECT_EQ(count("font: no font Nofont.fnt"), 1u) << r.output;
  EXPECT_EQ(count("sound: no sound 'nosuch' in the sound table"), 1u) << r.output;
  EXPECT_EQ(count("sound: no sound CLICK.WAV"), 1u) << r.output;  // in the table, not in sounds/
  EXPECT_EQ(count("text: no translation of Hall.Nohint"), 1u) << r.output;
  EXPECT_EQ(r.output.find("Hall.Hint"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("LOGO"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("logo"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("particles"), std::string::npos) << r.output;
  fs::remove_all(dir);
}

}  // namespace

#include <png.h>

namespace {
bool PngIsBlack(const std::string& path, int& w, int& h) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> px(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, px.data(), 0, nullptr)) return false;
  w = static_cast<int>(image.width);
  h = static_cast<int>(image.height);
  for (size_t i = 0; i < px.size(); i += 4) {
    if (px[i] || px[i + 1] || px[i + 2] || px[i + 3] != 255) return false;
  }
  return true;
}
}  // namespace

namespace {

// --watch from the command line: the source is built into the cache (not beside it) and
// played; a source that does not build stops the start with its error; a GAME beside it is
// refused. The rebuild itself is driven in tests/shell/SourceWatchTest.cpp.
TEST(QxrunCli, WatchBuildsTheSourceIntoTheCacheAndPlaysIt) {
  const std::filesystem::path dir = Temp("watch");
  std::filesystem::create_directories(dir / "cache");
  std::ofstream(dir / "game.yaml") << "class: TQXDB\nInitScreen: 1\nchildren:\n"
                                      "  - class: TQXScreen\n    Key: 1\n    Id: HALL\n"
                                      "    children:\n      - class: TQXShape\n        SizeX: 50\n"
                                      "        SizeY: 50\n        hxColor: 255\n";
  const std::string env = "XDG_CACHE_HOME=" + (dir / "cache").string() + " ";
  const std::string shot = (dir / "shot.png").string();
  Result r = qx::test::RunCommand(env + kQxrun + " --headless --fixed-step --frames 150 --watch " +
                                  (dir / "game.yaml").string() + " --screenshot " + shot);
  EXPECT_EQ(r.status, 0) << r.output;
  int w = 0, h = 0;
  EXPECT_FALSE(PngIsBlack(shot, w, h));  // the shape is drawn
  EXPECT_TRUE(std::filesystem::exists(dir / "cache/qxrun/watch"));
  int beside = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) beside += entry.path().extension() == ".qxf";
  EXPECT_EQ(beside, 0);

  std::ofstream(dir / "broken.yaml") << "class: TQXDB\nchildren:\n  - class: TQXNoSuchThing\n";
  r = qx::test::RunCommand(env + kQxrun + " --headless --fixed-step --frames 3 --watch " +
                           (dir / "broken.yaml").string());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("broken.yaml:3"), std::string::npos) << r.output;

  r = RunQxrun("--headless --watch " + (dir / "game.yaml").string() + " " + (dir / "game.yaml").string());
  EXPECT_EQ(r.status, 2) << r.output;
  std::filesystem::remove_all(dir);
}

}  // namespace
