// The tutorial's listings are the step folders' files: every code block of docs/tutorial.md
// that follows a comment naming a step file ("<!-- step3/game.yaml -->") must appear in that
// file under games/tutorial/, line for line, each line with the same extra indentation (the
// block may be a fragment from inside a deeper level of the file). So a reader who types the
// listings gets the game the tests play.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "ScratchFiles.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// True when `block` occurs in `file` at some line, every line behind the same prefix of blanks.
bool Contains(const std::vector<std::string>& file, const std::vector<std::string>& block) {
  if (block.empty()) return true;
  for (size_t start = 0; start + block.size() <= file.size(); ++start) {
    const std::string& first = file[start];
    if (first.size() < block[0].size() || !first.ends_with(block[0])) continue;
    const std::string prefix = first.substr(0, first.size() - block[0].size());
    if (prefix.find_first_not_of(' ') != std::string::npos) continue;
    bool all = true;
    for (size_t i = 1; i < block.size() && all; ++i) {
      all = block[i].empty() ? file[start + i].empty() : file[start + i] == prefix + block[i];
    }
    if (all) return true;
  }
  return false;
}

struct Listing {
  std::string file;  // relative to games/tutorial
  int line = 0;      // of the block's first line in the page
  std::vector<std::string> body;
};

// The blocks that follow a "<!-- stepN/FILE -->" line.
std::vector<Listing> Listings(const std::vector<std::string>& page) {
  std::vector<Listing> listings;
  for (size_t i = 0; i + 1 < page.size(); ++i) {
    const std::string& mark = page[i];
    if (mark.rfind("<!-- step", 0) != 0 || !mark.ends_with(" -->")) continue;
    if (page[i + 1].rfind("```", 0) != 0) continue;
    Listing l;
    l.file = mark.substr(5, mark.size() - 9);
    l.line = static_cast<int>(i) + 3;
    for (size_t j = i + 2; j < page.size() && page[j].rfind("```", 0) != 0; ++j) l.body.push_back(page[j]);
    listings.push_back(l);
  }
  return listings;
}

TEST(TutorialText, EveryListingIsInItsStepFile) {
  const std::string root = QX_SOURCE_DIR;
  const std::vector<std::string> page = Lines(qx::test::ReadText(root + "/docs/tutorial.md"));
  ASSERT_FALSE(page.empty());
  const std::vector<Listing> listings = Listings(page);
  EXPECT_GE(listings.size(), 20u);
  std::vector<std::string> stepsShown;
  for (const Listing& l : listings) {
    const std::string path = root + "/games/tutorial/" + l.file;
    ASSERT_TRUE(std::filesystem::exists(path)) << "tutorial.md:" << l.line << " names " << l.file;
    EXPECT_TRUE(Contains(Lines(qx::test::ReadText(path)), l.body))
        << "tutorial.md:" << l.line << ": the listing is not in " << l.file;
    stepsShown.push_back(l.file.substr(0, l.file.find('/')));
  }
  // Every step has its listings.
  for (int step = 1; step <= 7; ++step) {
    EXPECT_NE(std::find(stepsShown.begin(), stepsShown.end(), "step" + std::to_string(step)), stepsShown.end())
        << "step " << step;
  }
}

TEST(TutorialText, AListingMatchesOnlyWithOneIndentationThroughout) {
  const std::vector<std::string> file = {"a:", "  - b: 1", "    c: 2", "", "    d: 3"};
  EXPECT_TRUE(Contains(file, {"- b: 1", "  c: 2"}));
  EXPECT_TRUE(Contains(file, {"c: 2", "", "d: 3"}));
  EXPECT_FALSE(Contains(file, {"- b: 1", "c: 2"}));  // the second line is deeper in the file
  EXPECT_FALSE(Contains(file, {"b: 1"}));            // "- " is no indentation
  EXPECT_FALSE(Contains(file, {"c: 2", "d: 3"}));    // a line left out
}

}  // namespace
