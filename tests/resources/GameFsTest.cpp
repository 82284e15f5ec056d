#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "resources/GameFs.h"
#include "resources/ResArchive.h"
#include "resources/TestFiles.h"

namespace qx {
namespace {

namespace fs = std::filesystem;
using test::ScratchDir;
using test::WriteText;

// A game folder: Images/Door.JPG, "Фон/Дверь.png" (UTF-8 on disk), sounds/click.wav.
struct Game {
  ScratchDir dir;
  TGameFs files{dir.path().string()};
  Game() {
    fs::create_directories(dir / "Images");
    fs::create_directories(dir / "\xD0\xA4\xD0\xBE\xD0\xBD");  // Фон
    fs::create_directories(dir / "sounds");
    WriteText(dir / "Images/Door.JPG", "door");
    WriteText(dir / "\xD0\xA4\xD0\xBE\xD0\xBD/\xD0\x94\xD0\xB2\xD0\xB5\xD1\x80\xD1\x8C.png", "cyr");  // Дверь.png
    WriteText(dir / "sounds/click.wav", "click");
  }
};

TEST(GameFs, MatchesEachComponentWithoutCase) {
  Game g;
  EXPECT_EQ(g.files.ResolveFile("images\\door.jpg"), g.dir / "Images/Door.JPG");
  EXPECT_EQ(g.files.ResolveFile("IMAGES\\DOOR.JPG"), g.dir / "Images/Door.JPG");
  EXPECT_EQ(g.files.ResolveFile("Images/Door.JPG"), g.dir / "Images/Door.JPG");
  EXPECT_EQ(g.files.ResolveFile(".\\images\\\\door.jpg"), g.dir / "Images/Door.JPG");
  // 1251 name in any case: "ФОН\дверь.PNG".
  EXPECT_EQ(g.files.ResolveFile("\xD4\xCE\xCD\\\xE4\xE2\xE5\xF0\xFC.PNG"),
            g.dir / "\xD0\xA4\xD0\xBE\xD0\xBD/\xD0\x94\xD0\xB2\xD0\xB5\xD1\x80\xD1\x8C.png");
  EXPECT_FALSE(g.files.ResolveFile("images\\window.jpg"));
  EXPECT_FALSE(g.files.ResolveFile("images"));  // a folder is not a file
  EXPECT_TRUE(g.files.Resolve("images"));
}

TEST(GameFs, ExactSpellingWinsOverOtherCases) {
  Game g;
  WriteText(g.dir / "Images/door.jpg", "lower");
  EXPECT_EQ(g.files.ResolveFile("images\\door.jpg"), g.dir / "Images/door.jpg");
  EXPECT_EQ(g.files.ResolveFile("images\\Door.JPG"), g.dir / "Images/Door.JPG");
  EXPECT_EQ(g.files.ResolveFile("images\\DOOR.jpg"), g.dir / "Images/Door.JPG");  // first in byte order
}

TEST(GameFs, RefusesNamesLeadingOut) {
  Game g;
  fs::create_directories(g.dir / "outside-target");
  const std::string secret = fs::temp_directory_path() / ("qx-secret-" + std::to_string(::getpid()));
  WriteText(secret, "secret");
  fs::create_symlink(secret, g.dir / "link.txt");
  fs::create_symlink(fs::temp_directory_path(), g.dir / "tmp");
  fs::create_symlink(g.dir / "sounds/click.wav", g.dir / "inside.wav");
  for (const char* name : {"..\\x", "images\\..\\..\\x", "/etc/passwd", "\\etc\\passwd", "C:\\windows\\win.ini",
                           "c:x", "", "\\", "link.txt", "tmp\\anything"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(g.files.Resolve(name));
    EXPECT_FALSE(g.files.ResolveForWrite(name));
  }
  EXPECT_FALSE(g.files.Resolve(std::string("images\\do\0or.jpg", 16)));
  EXPECT_TRUE(g.files.ResolveFile("inside.wav"));  // a link that stays inside is fine
  fs::remove(secret);
}

TEST(GameFs, SeesFilesCreatedAfterAListing) {
  Game g;
  EXPECT_FALSE(g.files.ResolveFile("sounds\\new.wav"));
  // Folder times may have a coarse resolution: make sure the folder's time moves.
  struct stat before {};
  ::stat((g.dir / "sounds").c_str(), &before);
  WriteText(g.dir / "sounds/New.WAV", "n");
  struct timespec times[2] = {before.st_atim, before.st_mtim};
  times[1].tv_sec += 2;
  ::utimensat(AT_FDCWD, (g.dir / "sounds").c_str(), times, 0);
  EXPECT_EQ(g.files.ResolveFile("sounds\\new.wav"), g.dir / "sounds/New.WAV");
  fs::remove(g.dir / "sounds/New.WAV");
  g.files.Invalidate();
  EXPECT_FALSE(g.files.ResolveFile("sounds\\new.wav"));
}

TEST(GameFs, ResolveForWrite) {
  Game g;
  EXPECT_EQ(g.files.ResolveForWrite("IMAGES\\door.jpg"), g.dir / "Images/Door.JPG");
  EXPECT_EQ(g.files.ResolveForWrite("images\\New.sav"), g.dir / "Images/New.sav");
  EXPECT_EQ(g.files.ResolveForWrite("\xD1\xEE\xF5\xF0.sav"), g.dir / "\xD0\xA1\xD0\xBE\xD1\x85\xD1\x80.sav");  // Сохр.sav
  EXPECT_FALSE(g.files.ResolveForWrite("nofolder\\x.sav"));
  EXPECT_EQ(g.files.ResolveForWrite("temp.an"), g.dir / "temp.an");
}

TEST(GameFs, DiskFirstThenTheArchive) {
  Game g;
  std::vector<TResPackEntry> entries(3);
  entries[0].name = "images\\door.jpg";
  entries[0].data = {'a', 'r', 'c'};
  entries[1].name = "images\\door.an";
  entries[1].data = {'4', '\n', '2'};
  entries[2].name = "sounds\\boom.wav";
  entries[2].data = {'b'};
  std::string error;
  ASSERT_TRUE(WriteResArchive(g.dir / "res.dat", entries, error));
  TResArchive archive;
  archive.SetFileName(g.dir / "res.dat");
  ASSERT_TRUE(archive.Open());

  std::vector<uint8_t> data;
  TFileSource source = TFileSource::None;
  ASSERT_TRUE(ReadGameFile(g.files, &archive, "Images\\DOOR.jpg", data, &source));
  EXPECT_EQ(source, TFileSource::Disk);
  EXPECT_EQ(std::string(data.begin(), data.end()), "door");
  ASSERT_TRUE(ReadGameFile(g.files, &archive, "SOUNDS/BOOM.WAV", data, &source));
  EXPECT_EQ(source, TFileSource::Archive);
  EXPECT_EQ(data, std::vector<uint8_t>{'b'});
  EXPECT_FALSE(ReadGameFile(g.files, &archive, "sounds\\none.wav", data, &source));
  EXPECT_EQ(source, TFileSource::None);
  EXPECT_FALSE(ReadGameFile(g.files, nullptr, "sounds\\boom.wav", data, &source));
  EXPECT_EQ(LocateGameFile(g.files, &archive, "images\\door.an"), TFileSource::Archive);
  // Companion files come from where their picture came from.
  EXPECT_FALSE(ReadGameFileFrom(TFileSource::Disk, g.files, &archive, "images\\door.an", data));
  EXPECT_TRUE(ReadGameFileFrom(TFileSource::Archive, g.files, &archive, "images\\door.an", data));
  EXPECT_TRUE(ReadGameFileFrom(TFileSource::Archive, g.files, &archive, "images\\door.jpg", data));
  EXPECT_EQ(std::string(data.begin(), data.end()), "arc");
  // A name refused on disk is not looked for in the archive under another spelling.
  EXPECT_FALSE(ReadGameFile(g.files, &archive, "..\\images\\door.jpg", data, &source));
}

TEST(GameFs, MissingGameFolderResolvesNothing) {
  TGameFs files("/nonexistent/qx/game");
  EXPECT_FALSE(files.Resolve("a"));
  EXPECT_FALSE(files.ResolveForWrite("a"));
}

}  // namespace
}  // namespace qx
