// The reference in docs/ against the runtime's own lists (the ones `qxtool names` prints):
// every class, published property, event script, standard and engine built-in, level
// native, special name and root setting must be documented on its page, by the rule written
// at the top of that page, so the docs cannot fall behind the code.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "builtins/AuthorNames.h"
#include "scene/ClassTable.h"

namespace qx {
namespace {

// --- a little Markdown --------------------------------------------------------------------

struct Page {
  std::vector<std::string> lines;
};

Page ParsePage(const std::string& text) {
  Page page;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    page.lines.push_back(line);
  }
  return page;
}

Page ReadPage(const std::string& name) {
  std::ifstream in(std::string(QX_SOURCE_DIR) + "/docs/" + name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return ParsePage(text.str());
}

// The level of a heading line ("## x" is 2), 0 for other lines.
int HeadingLevel(const std::string& line) {
  size_t n = 0;
  while (n < line.size() && line[n] == '#') ++n;
  return n > 0 && n < line.size() && line[n] == ' ' ? static_cast<int>(n) : 0;
}

// Every `name` in backticks in the text.
std::vector<std::string> Backticked(const std::string& text) {
  std::vector<std::string> names;
  for (size_t pos = 0;;) {
    const size_t open = text.find('`', pos);
    if (open == std::string::npos) break;
    const size_t close = text.find('`', open + 1);
    if (close == std::string::npos) break;
    names.push_back(text.substr(open + 1, close - open - 1));
    pos = close + 1;
  }
  return names;
}

// The lines of a section: from its heading to the next heading of the same or a higher level.
struct Section {
  std::string heading;
  size_t begin = 0, end = 0;  // body lines [begin, end)
};

std::vector<Section> Sections(const Page& page, int level) {
  std::vector<Section> sections;
  for (size_t i = 0; i < page.lines.size(); ++i) {
    const int l = HeadingLevel(page.lines[i]);
    if (l == 0) continue;
    if (!sections.empty() && sections.back().end == 0 && l <= level) sections.back().end = i;
    if (l == level) sections.push_back({page.lines[i], i + 1, 0});
  }
  if (!sections.empty() && sections.back().end == 0) sections.back().end = page.lines.size();
  return sections;
}

// The names in backticks in the first column of the table rows within [begin, end).
std::set<std::string> FirstColumnNames(const Page& page, size_t begin, size_t end) {
  std::set<std::string> names;
  for (size_t i = begin; i < end && i < page.lines.size(); ++i) {
    const std::string& line = page.lines[i];
    if (line.empty() || line[0] != '|') continue;
    const size_t bar = line.find('|', 1);
    const std::string cell = line.substr(1, bar == std::string::npos ? std::string::npos : bar - 1);
    for (const std::string& name : Backticked(cell)) names.insert(name);
  }
  return names;
}

std::set<std::string> FirstColumnNames(const Page& page) { return FirstColumnNames(page, 0, page.lines.size()); }

// The level-`level` section whose heading names `name` in backticks, or nullptr.
const Section* SectionNaming(const std::vector<Section>& sections, const std::string& name) {
  for (const Section& s : sections) {
    for (const std::string& n : Backticked(s.heading)) {
      if (n == name) return &s;
    }
  }
  return nullptr;
}

std::string Join(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : ", ") + n;
  return out;
}

// --- the rules, one per page ---------------------------------------------------------------

bool IsEvent(const PropInfo& p) { return ScriptSlotOf(p.field) != ScriptSlot::kCount; }

// elements.md: a level-2 section per class, every property in a first column there.
std::vector<std::string> MissingFromElements(const Page& page) {
  std::vector<std::string> missing;
  const std::vector<Section> sections = Sections(page, 2);
  for (const ClassInfo& cls : ClassTable()) {
    const Section* s = SectionNaming(sections, cls.name);
    if (!s) {
      missing.push_back(cls.name);
      continue;
    }
    const std::set<std::string> rows = FirstColumnNames(page, s->begin, s->end);
    for (const PropInfo& p : cls.props) {
      if (!rows.count(p.name)) missing.push_back(cls.name + "." + p.name);
    }
  }
  return missing;
}

// events.md: a level-2 section per event script, every class that has it in a first column.
std::vector<std::string> MissingFromEvents(const Page& page) {
  std::vector<std::string> missing;
  const std::vector<Section> sections = Sections(page, 2);
  for (const ClassInfo& cls : ClassTable()) {
    for (const PropInfo& p : cls.props) {
      if (!IsEvent(p)) continue;
      const Section* s = SectionNaming(sections, p.name);
      if (!s || !FirstColumnNames(page, s->begin, s->end).count(cls.name)) missing.push_back(cls.name + "." + p.name);
    }
  }
  return missing;
}

// engine-builtins.md: a level-3 heading per engine built-in and level native.
std::vector<std::string> MissingFromEngineBuiltins(const Page& page) {
  std::vector<std::string> missing;
  const std::vector<Section> sections = Sections(page, 3);
  for (const AuthorName& n : AuthorNames()) {
    if ((n.kind == "engine" || n.kind == "level") && !SectionNaming(sections, n.name)) missing.push_back(n.name);
  }
  return missing;
}

// special-names.md: every special name and every root setting in a first column.
std::vector<std::string> MissingFromSpecialNames(const Page& page) {
  std::vector<std::string> missing;
  const std::set<std::string> rows = FirstColumnNames(page);
  for (const AuthorName& n : AuthorNames()) {
    if (n.kind == "special" && !rows.count(n.name)) missing.push_back(n.name);
  }
  for (const PropInfo& p : FindClass("TQXDB")->props) {
    if (!IsEvent(p) && !rows.count(p.name)) missing.push_back(std::string("TQXDB.") + p.name);
  }
  return missing;
}

// script-builtins.md: every standard built-in in a first column.
std::vector<std::string> MissingFromScriptBuiltins(const Page& page) {
  std::vector<std::string> missing;
  const std::set<std::string> rows = FirstColumnNames(page);
  for (const AuthorName& n : AuthorNames()) {
    if (n.kind == "standard" && !rows.count(n.name)) missing.push_back(n.name);
  }
  return missing;
}

// --- the pages ------------------------------------------------------------------------------

TEST(Reference, EveryClassAndPropertyIsInElements) {
  const std::vector<std::string> missing = MissingFromElements(ReadPage("elements.md"));
  EXPECT_TRUE(missing.empty()) << "docs/elements.md lacks: " << Join(missing);
}

TEST(Reference, EveryEventScriptOfEveryClassIsInEvents) {
  const std::vector<std::string> missing = MissingFromEvents(ReadPage("events.md"));
  EXPECT_TRUE(missing.empty()) << "docs/events.md lacks: " << Join(missing);
}

TEST(Reference, EveryEngineBuiltinAndLevelNativeIsInEngineBuiltins) {
  const Page page = ReadPage("engine-builtins.md");
  const std::vector<std::string> missing = MissingFromEngineBuiltins(page);
  EXPECT_TRUE(missing.empty()) << "docs/engine-builtins.md lacks: " << Join(missing);
  // And the other way round: no heading for a function the runtime does not have.
  std::set<std::string> registered;
  for (const AuthorName& n : AuthorNames()) {
    if (n.kind == "engine" || n.kind == "level") registered.insert(n.name);
  }
  for (const Section& s : Sections(page, 3)) {
    for (const std::string& name : Backticked(s.heading)) {
      EXPECT_TRUE(registered.count(name)) << "docs/engine-builtins.md describes " << name << ", which is not registered";
    }
  }
}

TEST(Reference, EverySpecialNameAndRootSettingIsInSpecialNames) {
  const std::vector<std::string> missing = MissingFromSpecialNames(ReadPage("special-names.md"));
  EXPECT_TRUE(missing.empty()) << "docs/special-names.md lacks: " << Join(missing);
}

TEST(Reference, EveryStandardBuiltinIsInScriptBuiltins) {
  const std::vector<std::string> missing = MissingFromScriptBuiltins(ReadPage("script-builtins.md"));
  EXPECT_TRUE(missing.empty()) << "docs/script-builtins.md lacks: " << Join(missing);
}

TEST(Reference, PagesStateTheirRuleAndTheReadmeLinksThem) {
  for (const char* name : {"elements.md", "events.md", "engine-builtins.md", "special-names.md", "script-builtins.md"}) {
    const Page page = ReadPage(name);
    ASSERT_FALSE(page.lines.empty()) << name;
    EXPECT_EQ(page.lines[0], "<!--") << name << " starts with its rule for contributors";
    bool rule = false;
    for (size_t i = 0; i < page.lines.size() && page.lines[i] != "-->"; ++i) rule |= page.lines[i].find("Reference rule") != std::string::npos;
    EXPECT_TRUE(rule) << name;
  }
  std::ifstream in(std::string(QX_SOURCE_DIR) + "/README.md");
  std::ostringstream readme;
  readme << in.rdbuf();
  for (const char* name : {"elements.md", "events.md", "engine-builtins.md", "special-names.md", "script-builtins.md",
                           "game-folder.md", "tutorial.md"}) {
    EXPECT_NE(readme.str().find(std::string("(docs/") + name + ")"), std::string::npos) << "README.md links " << name;
  }
}

// Links between the pages, anchors included, lead somewhere (anchors as the usual Markdown
// renderers make them: lower case, blanks to hyphens, other punctuation dropped).
std::string Anchor(const std::string& heading) {
  std::string text = heading.substr(heading.find(' ') + 1), slug;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isalnum(u)) slug += static_cast<char>(std::tolower(u));
    else if (c == ' ' || c == '-') slug += '-';
    else if (c == '_') slug += '_';
  }
  return slug;
}

TEST(Reference, LinksBetweenPagesLeadSomewhere) {
  const std::string docs = std::string(QX_SOURCE_DIR) + "/docs/";
  int links = 0;
  for (const auto& entry : std::filesystem::directory_iterator(docs)) {
    if (entry.path().extension() != ".md") continue;
    const std::string from = entry.path().filename().string();
    const Page source = ReadPage(from);
    for (const std::string& line : source.lines) {
      for (size_t pos = line.find("]("); pos != std::string::npos; pos = line.find("](", pos + 2)) {
        const size_t close = line.find(')', pos);
        if (close == std::string::npos) continue;
        const std::string target = line.substr(pos + 2, close - pos - 2);
        if (target.rfind("http", 0) == 0) continue;
        const size_t hash = target.find('#');
        const std::string file = hash == std::string::npos ? target : target.substr(0, hash);
        const bool page = file.empty() || (file.find('/') == std::string::npos && file.ends_with(".md"));
        if (!page) continue;  // links out of docs/ are not checked here
        const std::string page2 = file.empty() ? from : file;
        ++links;
        ASSERT_TRUE(std::filesystem::exists(docs + page2)) << from << " links " << target;
        if (hash == std::string::npos) continue;
        const std::string anchor = target.substr(hash + 1);
        bool found = false;
        for (const std::string& l : ReadPage(page2).lines) found |= HeadingLevel(l) > 0 && Anchor(l) == anchor;
        EXPECT_TRUE(found) << from << " links " << target << ", a heading " << page2 << " does not have";
      }
    }
  }
  EXPECT_GT(links, 20);
}

// --- the rules themselves -------------------------------------------------------------------

// A small elements page for TQXAnKey alone, built from the class table, then broken.
std::string AnKeyPage(const std::string& skip) {
  std::string text = "## `TQXAnKey`\n\n| Property | Meaning |\n|---|---|\n";
  for (const PropInfo& p : FindClass("TQXAnKey")->props) {
    if (p.name != skip) text += std::string("| `") + p.name + "` | ... |\n";
  }
  return text + "\n## `TQXShape`\n\n| `Count` | a row of another class does not count |\n";
}

TEST(ReferenceRules, APropertyCountsOnlyInItsOwnClassSection) {
  auto missingOf = [](const std::string& text) {
    std::vector<std::string> keyOnly;
    for (const std::string& m : MissingFromElements(ParsePage(text))) {
      if (m.rfind("TQXAnKey", 0) == 0) keyOnly.push_back(m);
    }
    return keyOnly;
  };
  EXPECT_TRUE(missingOf(AnKeyPage("")).empty());
  EXPECT_EQ(missingOf(AnKeyPage("Count")), std::vector<std::string>{"TQXAnKey.Count"});
  // Named in the prose or in a second column only: not documented.
  EXPECT_EQ(missingOf("## `TQXAnKey`\n`Key` `Id` `X` `Y` `Vis` `Count` `Morph` `NotSave`\n| a | `Key` |\n").size(), 8u);
}

TEST(ReferenceRules, HeadingsAndFirstColumnsAreReadAsWritten) {
  const Page page = ParsePage(
      "# Title\n## `exInit`\n| Class | When |\n|---|---|\n| `TQXImage`, `TQXShape` | x |\n### sub\n"
      "| `TQXText` | still in the section |\n## `exShow`\n| `TQXScreen` | y |\n");
  const std::vector<Section> two = Sections(page, 2);
  ASSERT_EQ(two.size(), 2u);
  const Section* init = SectionNaming(two, "exInit");
  ASSERT_NE(init, nullptr);
  EXPECT_EQ(FirstColumnNames(page, init->begin, init->end),
            (std::set<std::string>{"TQXImage", "TQXShape", "TQXText"}));
  EXPECT_EQ(SectionNaming(two, "exStop"), nullptr);
  EXPECT_EQ(HeadingLevel("#no"), 0);
  EXPECT_EQ(HeadingLevel("### `SetScreen`"), 3);
}

}  // namespace
}  // namespace qx
