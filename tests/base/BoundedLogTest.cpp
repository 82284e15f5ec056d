// The bounded logs: repeats of the line before are counted and noted, a log file over 1 MiB
// is moved aside with one old file kept, and stderr collapses repeats the same way.
#include "base/BoundedLog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ScratchFiles.h"
#include "base/Log.h"

namespace qx {
namespace {

std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> lines;
  std::string text = test::ReadText(path);
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  EXPECT_EQ(start, text.size()) << "every line ends with a newline";
  return lines;
}

TEST(BoundedLog, RepeatsOfTheLineBeforeAreCountedAndNotedWhenAnotherLineComesOrAtClose) {
  test::ScratchDir dir;
  const std::string log = dir / "korvane.err";
  for (const char* line : {"A", "A", "A", "B", "B", "C", "A"}) AppendLogLine(log, line);
  EXPECT_EQ(Lines(log), (std::vector<std::string>{"A", "(the line above repeated 2 times)", "B",
                                                  "(the line above repeated 1 times)", "C", "A"}));
  AppendLogLine(log, "A");
  FlushLogs();
  FlushLogs();  // nothing left to note
  // After the close a line is written again, even the same one.
  AppendLogLine(log, "A");
  EXPECT_EQ(Lines(log), (std::vector<std::string>{"A", "(the line above repeated 2 times)", "B",
                                                  "(the line above repeated 1 times)", "C", "A",
                                                  "(the line above repeated 1 times)", "A"}));
  // A log deleted meanwhile starts afresh with the line; its repeats are counted again.
  std::filesystem::remove(log);
  AppendLogLine(log, "A");
  AppendLogLine(log, "A");
  FlushLogs();
  EXPECT_EQ(Lines(log), (std::vector<std::string>{"A", "(the line above repeated 1 times)"}));
  // Each file has its own line before.
  const std::string other = dir / "other.err";
  AppendLogLine(other, "A");
  EXPECT_EQ(Lines(other), std::vector<std::string>{"A"});
  FlushLogs();
}

TEST(BoundedLog, ALogOver1MiBIsMovedAsideBeforeItsNextLineKeepingOneOldFile) {
  test::ScratchDir dir;
  const std::string log = dir / "korvane.err";
  const std::string old = log + ".1";
  const std::string filler(1019, 'x');
  // 1 KiB a line, newline included: exactly 1 MiB.
  for (int i = 0; i < 1024; ++i) AppendLogLine(log, filler + std::to_string(10000 + i).substr(1));
  EXPECT_EQ(std::filesystem::file_size(log), kMaxLogFileBytes);  // not over yet
  AppendLogLine(log, "first over");
  EXPECT_FALSE(std::filesystem::exists(old));
  AppendLogLine(log, "moved");
  ASSERT_TRUE(std::filesystem::exists(old));
  EXPECT_EQ(std::filesystem::file_size(old), kMaxLogFileBytes + 11);
  EXPECT_EQ(Lines(log), std::vector<std::string>{"moved"});
  // The next time the old file is replaced: never more than two files.
  for (int i = 0; i < 1100; ++i) AppendLogLine(log, filler + std::to_string(i));
  EXPECT_EQ(Lines(old).front(), "moved");
  EXPECT_GT(std::filesystem::file_size(old), kMaxLogFileBytes);
  EXPECT_LT(std::filesystem::file_size(log), kMaxLogFileBytes);
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 2u);
  FlushLogs();
}

TEST(BoundedLog, TheNoteOfARepeatedLineStaysBelowItWhenTheLogIsMovedAside) {
  test::ScratchDir dir;
  const std::string log = dir / "korvane.err";
  test::WriteText(log, std::string(kMaxLogFileBytes, 'x'));
  AppendLogLine(log, "broken");  // the file is not over 1 MiB before this line
  for (int i = 0; i < 5; ++i) AppendLogLine(log, "broken");
  AppendLogLine(log, "other");
  EXPECT_EQ(Lines(log + ".1").back(), "(the line above repeated 5 times)");
  EXPECT_EQ(Lines(log), std::vector<std::string>{"other"});
  FlushLogs();
}

TEST(BoundedLog, StderrCollapsesRepeatsTheSameWay) {
  testing::internal::CaptureStderr();
  for (int i = 0; i < 4; ++i) LogError("game", "cannot read x.png");
  LogError("game", "cannot read y.png");
  LogError("game", "cannot read y.png");
  FlushDiagnostics();
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "game: cannot read x.png\n(the line above repeated 3 times)\ngame: cannot read y.png\n"
            "(the line above repeated 1 times)\n");
}

}  // namespace
}  // namespace qx
