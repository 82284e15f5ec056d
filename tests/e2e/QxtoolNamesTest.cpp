// qxtool names as an author (or a checking tool) runs it: one "KIND NAME" line per name,
// kinds sorted, and the same list the runtime's tables give.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "RunCommand.h"
#include "builtins/AuthorNames.h"

namespace {

TEST(QxtoolNames, PrintsTheRuntimesListOneKindAndNameALine) {
  const qx::test::CommandResult r = qx::test::RunCommand(std::string(QX_BINARY_DIR) + "/qxtool names");
  ASSERT_EQ(r.status, 0) << r.output;
  std::vector<std::string> lines;
  std::istringstream in(r.output);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  const std::vector<qx::AuthorName> names = qx::AuthorNames();
  ASSERT_EQ(lines.size(), names.size());
  for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(lines[i], names[i].kind + " " + names[i].name) << i;
  // What a checking script greps for.
  EXPECT_NE(r.output.find("\nengine SetScreen\n"), std::string::npos);
  EXPECT_NE(r.output.find("\nproperty TQXImage.imImage\n"), std::string::npos);
  EXPECT_NE(r.output.find("\nspecial CHILD[n]\n"), std::string::npos);
  EXPECT_EQ(lines.front(), "class TQXDB");
  EXPECT_EQ(lines.back(), "standard Random");
}

}  // namespace
