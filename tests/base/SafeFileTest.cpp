// The crash-safe writer: what it leaves in the folder, and the temporary files of writers
// that died before their rename.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <set>

#include "ScratchFiles.h"
#include "base/SafeFile.h"

namespace qx {
namespace {

namespace fs = std::filesystem;
using test::ReadText;
using test::ScratchDir;
using test::WriteText;

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
  return names;
}

void Age(const std::string& path, time_t seconds) {
  const timespec t[2] = {{::time(nullptr) - seconds, 0}, {::time(nullptr) - seconds, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), t, AT_SYMLINK_NOFOLLOW), 0);
}

TEST(SafeFile, ReplacesTheWholeFileAndLeavesNothingBeside) {
  ScratchDir dir;
  const std::string path = dir / "save.dat";
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(path, "first", 5, error)) << error;
  ASSERT_TRUE(WriteFileAtomically(path, "second!", 7, error)) << error;
  EXPECT_EQ(ReadText(path), "second!");
  EXPECT_EQ(Names(dir.path()), std::set<std::string>{"save.dat"});
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  // A folder that is not there: an error, nothing made.
  EXPECT_FALSE(WriteFileAtomically(dir / "none/save.dat", "x", 1, error));
  EXPECT_NE(error.find("none/save.dat"), std::string::npos);
}

TEST(SafeFile, TemporaryFilesOfDeadWritersGoAfterTenMinutes) {
  ScratchDir dir;
  const std::string path = dir / "save.dat";
  WriteText(dir / "save.dat.tmpAbC123", "stale");       // a writer killed long ago
  WriteText(dir / "save.dat.tmpXyZ789", "being written");  // a writer at work
  WriteText(dir / "other.ini.tmpAbC123", "stale");      // another file's: its own writes clear it
  WriteText(dir / "save.dat.tmpToolong1", "stale");     // not the writer's pattern
  WriteText(dir / "outside.txt", "keep");
  fs::create_symlink(dir / "outside.txt", dir / "save.dat.tmpLink00");
  for (const char* name : {"save.dat.tmpAbC123", "other.ini.tmpAbC123", "save.dat.tmpToolong1", "outside.txt"}) {
    Age(dir / name, 700);
  }
  Age(dir / "save.dat.tmpLink00", 700);
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(path, "state", 5, error)) << error;
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"save.dat", "save.dat.tmpXyZ789", "other.ini.tmpAbC123",
                                                      "save.dat.tmpToolong1", "outside.txt", "save.dat.tmpLink00"}));
  EXPECT_EQ(ReadText(dir / "outside.txt"), "keep");
}

}  // namespace
}  // namespace qx
