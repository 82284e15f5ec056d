// Every place where a game's data or scripts make the runtime write, create or delete a file
// (DelFile, the saved state FileRS, the player's IniFile, the error log) or read a script
// (USES, INCLUDE, in the game and in qxtool) against names that lead out of the game folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>

#include "builtins/Builtins.h"
#include "scene/MediaStage.h"
#include "script/scriptengine.h"

namespace qx {
namespace {

namespace fs = std::filesystem;

// A game folder next to an outside folder the game must never touch. The game folder holds
// sub/inner.txt and links: out -> the outside folder, Link.txt -> outside/victim.txt,
// dangling.txt -> outside/none.txt (missing), inlink.txt -> sub/inner.txt (stays inside).
struct Folders : test::MediaStage {
  test::ScratchDir outside;
  GameLink game;
  TScriptEngine engine;

  Folders() {
    game.root = root.get();
    RegisterBuiltins(engine, game);
    Runtime().CurrentScreen = nullptr;
    test::WriteText(outside / "victim.txt", "FUNCTION LEAK(V); RESULT := V;\nLEAKED := 1;\n");
    fs::create_directories(folder + "/sub");
    test::WriteText(folder + "/sub/inner.txt", "FUNCTION INNER(V); RESULT := V;\n");
    fs::create_directory_symlink(outside.path(), folder + "/out");
    fs::create_symlink(outside / "victim.txt", folder + "/Link.txt");
    fs::create_symlink(outside / "none.txt", folder + "/dangling.txt");
    fs::create_symlink(folder + "/sub/inner.txt", folder + "/inlink.txt");
    root->Files().Invalidate();
  }

  // %O: the outside folder's path, %W: the same with backslashes and no leading "/",
  // %B: its name (reached from the game folder as "..\%B").
  std::string Name(std::string pattern) const {
    const std::string o = outside.path().string();
    std::string w = o.substr(1);
    std::replace(w.begin(), w.end(), '/', '\\');
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"%O", o}, {"%W", w},
                                     {"%B", outside.path().filename().string()}}) {
      for (size_t at; (at = pattern.find(key)) != std::string::npos;) pattern.replace(at, key.size(), value);
    }
    return pattern;
  }

  // A call's value, or "ERROR: " and the message.
  std::string Call(const std::string& expression) {
    engine.ResetErrorState();
    TVar v;
    if (!engine.Evaluate(Tokenise(expression), v)) return "ERROR: " + engine.ErrorMessage();
    return v.Value.ToText();
  }
  // Prepares and runs statements: "" or "ERROR CODE: " and the message.
  std::string Run(const std::string& statements) {
    engine.ResetErrorState();
    const TokenStream program = engine.Prepare(statements);
    if (!engine.Failed()) engine.Run(program);
    if (!engine.Failed()) return "";
    return "ERROR " + std::to_string(engine.ErrorCode()) + ": " + engine.ErrorMessage();
  }

  // Every file below `dir` (links not followed) with its contents or link target.
  static std::map<std::string, std::string> Snapshot(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
      const std::string name = fs::relative(e.path(), dir).string();
      if (e.is_symlink()) files[name] = "-> " + fs::read_symlink(e.path()).string();
      else if (e.is_regular_file()) files[name] = test::ReadText(e.path().string());
      else files[name] = "folder";
    }
    return files;
  }
};

bool StartsWith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }

// Each place: what it does with a name, and whether its answer is a refusal.
struct Place {
  const char* what;
  std::function<bool(Folders&, const std::string& name, std::string& answer)> refused;
};

std::string Quoted(const std::string& name) { return "'" + name + "'"; }

const std::vector<Place>& Places() {
  static const std::vector<Place> places = {
      {"DelFile",
       [](Folders& f, const std::string& name, std::string& answer) {
         answer = f.Call("DelFile(" + Quoted(name) + ")");
         return StartsWith(answer, "ERROR: Invalid parameters, function DELFILE : ");
       }},
      {"IniFile, then SetIni",
       [](Folders& f, const std::string& name, std::string& answer) {
         answer = f.Run("QXDB.IniFile := " + Quoted(name)) + f.Call("SetIni('Scores', 'Best', 5)");
         return answer == "ERROR: Invalid parameters, function SETINI";
       }},
      {"FileRS, then SaveState and LoadState",
       [](Folders& f, const std::string& name, std::string& answer) {
         // The saved state has no failing call: refused, it does nothing (the folders are
         // compared below), and nothing is read back from outside.
         answer = f.Run("QXDB.FileRS := " + Quoted(name) + "; SaveState; LoadState");
         return answer.empty();
       }},
      {"USES",
       [](Folders& f, const std::string& name, std::string& answer) {
         answer = f.Run("USES " + Quoted(name) + "; N := LEAK(7)");
         return answer == "ERROR 25: Can't open file \"" + name + "\", error code 2";
       }},
      {"INCLUDE",
       [](Folders& f, const std::string& name, std::string& answer) {
         answer = f.Run("INCLUDE " + Quoted(name));
         return answer == "ERROR 25: Can't open file \"" + name + "\", error code 2";
       }},
      {"USES in qxtool",
       [](Folders& f, const std::string& name, std::string& answer) {
         PlainScriptHost tool(f.folder);
         SetHost(&tool);
         answer = f.Run("USES " + Quoted(name) + "; N := LEAK(7)");
         SetHost(f.host.get());
         return answer == "ERROR 25: Can't open file \"" + name + "\", error code 2";
       }},
  };
  return places;
}

TEST(GameFolder, NamesLeadingOutAreRefusedEverywhereAFileIsWrittenDeletedOrRunAsAScript) {
  const char* names[] = {
      "..\\%B\\victim.txt",         "../%B/victim.txt",   "sub\\..\\..\\%B\\victim.txt",  // ".."
      "%O/victim.txt",              "\\%W\\victim.txt",   "/%W\\victim.txt",              // absolute
      "C:victim.txt",               "c:\\victim.txt",     "C:\\%W\\victim.txt",           // drive letters
      "out\\victim.txt",            "OUT\\Victim.TXT",    "out/new.txt",                  // a folder link
      "Link.txt",                   "LINK.TXT",           "dangling.txt",  "DANGLING.TXT",  // file links
  };
  for (const Place& place : Places()) {
    for (const char* pattern : names) {
      Folders f;
      const std::string name = f.Name(pattern);
      SCOPED_TRACE(std::string(place.what) + " " + name);
      const auto outsideBefore = Folders::Snapshot(f.outside.path());
      auto gameBefore = Folders::Snapshot(f.folder);
      std::string answer;
      testing::internal::CaptureStderr();  // the ini and the state name their refusals
      const bool refused = place.refused(f, name, answer);
      testing::internal::GetCapturedStderr();
      EXPECT_TRUE(refused) << answer;
      EXPECT_EQ(Folders::Snapshot(f.outside.path()), outsideBefore);
      auto gameAfter = Folders::Snapshot(f.folder);
      gameAfter.erase("korvane.err");  // the refused script files are logged there
      EXPECT_EQ(gameAfter, gameBefore);
      EXPECT_EQ(f.Call("LEAKED"), "ERROR: Variable not found: LEAKED");
    }
  }
}

TEST(GameFolder, TheSamePlacesWorkInsideTheFolderInAnyCaseAndThroughInsideLinks) {
  {
    Folders f;
    EXPECT_EQ(f.Call("DelFile('INLINK.TXT')"), "0");
    EXPECT_FALSE(fs::is_symlink(f.folder + "/inlink.txt"));
    EXPECT_TRUE(fs::exists(f.folder + "/sub/inner.txt"));  // the link goes, not what it names
    EXPECT_EQ(f.Call("DelFile('Sub\\Inner.TXT')"), "0");
    EXPECT_FALSE(fs::exists(f.folder + "/sub/inner.txt"));
    EXPECT_EQ(f.Call("DelFile('sub/gone.txt')"), "0");   // missing: no error
    EXPECT_EQ(f.Call("DelFile('nofolder\\x')"), "0");
  }
  {
    Folders f;
    EXPECT_EQ(f.Run("QXDB.IniFile := 'SUB\\player.ini'; QXDB.FileRS := 'sub/Save.dat'; SaveState"), "");
    EXPECT_EQ(f.Call("SetIni('Scores', 'Best', 5)"), "0");
    EXPECT_EQ(test::ReadText(f.folder + "/sub/player.ini"), "[Scores]\nBest=5\n");
    EXPECT_GT(fs::file_size(f.folder + "/sub/Save.dat"), 0u);
  }
  for (const char* name : {"inlink.txt", "SUB\\INNER.TXT", "sub/inner.txt", "./sub\\\\inner.txt"}) {
    SCOPED_TRACE(name);
    Folders f;
    EXPECT_EQ(f.Run(std::string("USES '") + name + "'; N := INNER(5)"), "");
    EXPECT_EQ(f.Call("N"), "5");
    PlainScriptHost tool(f.folder);
    SetHost(&tool);
    EXPECT_EQ(f.Run(std::string("INCLUDE '") + name + "'; M := INNER(5)"), "");
    EXPECT_EQ(f.Call("M"), "5");
    SetHost(f.host.get());
  }
}

TEST(GameFolder, TheErrorLogIsNeverAppendedOutsideTheFolder) {
  struct Case {
    const char* link;    // a link in the game folder in place of the log
    const char* target;  // in the outside folder
  };
  for (const Case c : {Case{"korvane.err", "victim.txt"}, Case{"KORVANE.ERR", "victim.txt"},
                       Case{"Korvane.Err", "new.txt"}, Case{"korvane.err", "none.txt"}}) {
    for (const bool tool : {false, true}) {
      SCOPED_TRACE(std::string(c.link) + " -> " + c.target + (tool ? " in qxtool" : ""));
      Folders f;
      fs::create_symlink(f.outside / c.target, f.folder + "/" + c.link);
      const auto before = Folders::Snapshot(f.outside.path());
      PlainScriptHost plain(f.folder);
      if (tool) SetHost(&plain);
      EXPECT_EQ(f.Run("N := MISSING + 1"), "ERROR 3: Variable not found: MISSING");
      SetHost(f.host.get());
      EXPECT_EQ(Folders::Snapshot(f.outside.path()), before);
      EXPECT_TRUE(fs::is_symlink(f.folder + "/" + c.link));
    }
  }
  // Without such a link the log is where it always was.
  Folders f;
  EXPECT_EQ(f.Run("N := MISSING + 1"), "ERROR 3: Variable not found: MISSING");
  EXPECT_EQ(test::ReadText(f.folder + "/korvane.err"), "Variable not found: MISSING (MISSING + 1  in ) \n");
}

}  // namespace
}  // namespace qx
