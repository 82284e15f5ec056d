// How much of the runtime the bundled demo uses: its element classes, published properties,
// engine built-ins and level natives, measured on the built game file and the script files
// beside it, against the same list of names as the authoring reference (`qxtool names`).
// Every class, engine built-in and level native must be used, but for the short allow-list
// below; the figures are printed (they are the README's).
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ScratchFiles.h"
#include "builtins/AuthorNames.h"
#include "elements/ElementKinds.h"
#include "scene/ClassTable.h"
#include "scene/GameFile.h"

namespace qx {
namespace {

namespace fs = std::filesystem;

// Names the demo may leave unused, each with its reason. An entry that the demo does use is
// reported, so that the list can shrink.
const std::map<std::string, std::string> kAllowedUnused = {};

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The words of a script (names, upper-cased), leaving out string literals and comments.
void ScriptWords(const std::string& text, std::set<std::string>& words) {
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == '\'') {
      const size_t end = text.find('\'', i + 1);
      i = end == std::string::npos ? text.size() : end + 1;
    } else if (c == '{') {
      const size_t end = text.find_first_of("}\n", i + 1);
      i = end == std::string::npos ? text.size() : end + 1;
    } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
      const size_t end = text.find('\n', i);
      i = end == std::string::npos ? text.size() : end + 1;
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      size_t end = i;
      while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_')) ++end;
      words.insert(Upper(text.substr(i, end - i)));
      i = end;
    } else {
      ++i;
    }
  }
}

struct Usage {
  std::set<std::string> classes;     // class names
  std::set<std::string> properties;  // "CLASS.Prop" set to something other than its default
  std::set<std::string> words;       // every word of every script
};

void Walk(const ElementRecord& rec, Usage& use) {
  use.classes.insert(rec.cls->name);
  const std::vector<PropValue>& defaults = DefaultValues(*rec.cls);
  for (size_t i = 0; i < rec.values.size(); ++i) {
    const PropInfo& p = rec.cls->props[i];
    const bool same = p.type == PropType::String   ? rec.values[i].s == defaults[i].s
                      : p.type == PropType::Double ? rec.values[i].d == defaults[i].d
                                                   : rec.values[i].i == defaults[i].i;
    if (!same) use.properties.insert(rec.cls->name + "." + p.name);
    if (p.type == PropType::String && std::string_view(p.name).rfind("ex", 0) == 0) {
      ScriptWords(rec.values[i].s, use.words);
    }
  }
  for (const ElementRecord& child : rec.children) Walk(child, use);
}

TEST(DemoCoverage, EveryClassEngineBuiltInAndLevelNativeIsUsed) {
  const fs::path game = fs::path(QX_BINARY_DIR) / "games" / "demo";
  const std::vector<uint8_t> bytes = test::ReadBytes((game / "demo.qxf").string());
  ASSERT_FALSE(bytes.empty()) << "the demo game is built with the default target";
  ElementRecord root;
  ASSERT_TRUE(ParseElementBlob(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                               *FindClass("TQXDB"), root));
  Usage use;
  Walk(root, use);
  // Script files the event scripts take in (USES, INCLUDE), as the game ships them.
  for (const auto& entry : fs::recursive_directory_iterator(game)) {
    if (entry.path().extension() == ".txt") ScriptWords(test::ReadText(entry.path().string()), use.words);
  }

  std::map<std::string, std::pair<int, int>> figures;  // kind -> used, all
  std::vector<std::string> missing, allowedButUsed;
  for (const AuthorName& n : AuthorNames()) {
    bool used = false;
    if (n.kind == "class") {
      used = use.classes.count(n.name) > 0;
    } else if (n.kind == "property") {
      // set in the source, or named by a script (scripts read and write properties by name)
      const std::string prop = n.name.substr(n.name.find('.') + 1);
      used = use.properties.count(n.name) > 0 || use.words.count(Upper(prop)) > 0;
    } else if (n.kind == "engine" || n.kind == "level" || n.kind == "standard") {
      used = use.words.count(Upper(n.name)) > 0;
    } else {
      continue;  // special names are not counted
    }
    auto& [usedCount, all] = figures[n.kind];
    ++all;
    if (used) ++usedCount;
    const std::string key = n.kind + " " + n.name;
    if (n.kind == "class" || n.kind == "engine" || n.kind == "level") {
      if (!used && !kAllowedUnused.count(key)) missing.push_back(key);
      if (used && kAllowedUnused.count(key)) allowedButUsed.push_back(key);
    }
  }
  for (const std::string& m : missing) ADD_FAILURE() << "the demo does not use " << m;
  for (const std::string& a : allowedButUsed) {
    std::printf("note: %s is used now; take it off the allow-list\n", a.c_str());
  }
  std::printf("demo coverage: classes %d/%d, published properties %d/%d, engine built-ins %d/%d, "
              "level natives %d/%d, standard functions %d/%d\n",
              figures["class"].first, figures["class"].second, figures["property"].first,
              figures["property"].second, figures["engine"].first, figures["engine"].second,
              figures["level"].first, figures["level"].second, figures["standard"].first,
              figures["standard"].second);
  EXPECT_EQ(figures["class"].second, 11);
  EXPECT_EQ(figures["engine"].second, 32);
  EXPECT_EQ(figures["level"].second, 16);
}

// The word scan itself: strings and comments do not count, any letter case does.
TEST(DemoCoverage, ScriptWordsSkipStringsAndComments) {
  std::set<std::string> words;
  ScriptWords("playsnd('SetScreen'); { LoadIm } // ExitGame\nX := Abs(1);", words);
  EXPECT_EQ(words, (std::set<std::string>{"PLAYSND", "X", "ABS"}));
}

}  // namespace
}  // namespace qx
