// Scripts as element events: the element model's pool of real interpreters (the scene
// adapter), preparation on interpreter 0 when a script property is set, runs on the
// interpreter of the nesting level, Init capturing variables, and the error log's lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ConformanceCases.h"
#include "elements/ElementKinds.h"
#include "elements/QXScreen.h"
#include "elements/QXShape.h"
#include "runtime/RuntimeState.h"
#include "builtins/Builtins.h"
#include "scene/EngineInterpreter.h"
#include "scene/QXDB.h"
#include "scene/SceneScriptHost.h"
#include "script/ScriptBudget.h"

namespace qx::test {
namespace {

// A game in a scratch folder (the case files' include files copied in): root > SCREEN > SHAPE.
class EventScene {
 public:
  EventScene() {
    ResetRuntime();
    folder_ = std::filesystem::temp_directory_path() /
              ("qx_events_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
               std::to_string(reinterpret_cast<uintptr_t>(this)));
    std::filesystem::create_directories(folder_);
    for (const auto& entry : std::filesystem::directory_iterator(ConformanceFolder())) {
      if (entry.path().filename().string().rfind("inc_", 0) == 0)
        std::filesystem::copy_file(entry.path(), folder_ / entry.path().filename());
    }
    CreateInterpreterPool([this](int index) {
      return MakeGameInterpreter(game, [this, index](TScriptEngine& engine) { engines[static_cast<size_t>(index)] = &engine; });
    });
    root = std::make_unique<TQXDB>(ElementKinds());
    game.root = root.get();
    root->SetGameFolder(folder_.string());
    host = std::make_unique<SceneScriptHost>(root.get());
    SetHost(host.get());
    screen = new TQXScreen(root.get());
    screen->Id = "SCREEN";
    shape = new TQXShape(screen);
    shape->Id = "SHAPE";
    shape->Key = 7;
  }
  ~EventScene() {
    root.reset();
    FreeInterpreterPool();
    Scripts() = ScriptContext{};
    SetHost(nullptr);
    ResetRuntime();
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }

  std::vector<std::string> TakeLog() {
    std::vector<std::string> lines;
    const auto path = folder_ / "korvane.err";
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    in.close();
    std::error_code ec;
    std::filesystem::remove(path, ec);
    return lines;
  }
  GameLink game;  // before the pool, which outlives the root
  std::unique_ptr<TQXDB> root;
  std::unique_ptr<SceneScriptHost> host;
  TQXScreen* screen = nullptr;
  TQXShape* shape = nullptr;
  std::array<TScriptEngine*, kInterpreterPoolSize> engines{};

 private:
  std::filesystem::path folder_;
};

// The error log's line for an expectation "error CODE: MESSAGE @ TEXT".
std::string LogLineFor(const std::string& expected, const std::string& where, const std::string& event) {
  const size_t colon = expected.find(": ");
  const size_t at = expected.rfind(" @ ");
  const std::string message = expected.substr(colon + 2, at - colon - 2);
  const std::string text = expected.substr(at + 3);
  return *Utf8ToCp1251(message) + " (" + *Utf8ToCp1251(text) + (text.empty() ? "" : " ") + " in " + where + ") " +
         event;
}

TEST(ElementEvents, ConformanceCasesRunAsInitScriptsGiveTheSameResults) {
  for (const ConformanceCase& c : LoadConformanceCases()) {
    EventScene scene;
    const std::string where = c.file + ":" + std::to_string(c.line) + " " + c.name;
    const bool fails = !c.expected.empty() && c.expected[0].rfind("error ", 0) == 0;
    Scripts().CurrentEventName.clear();
    scene.shape->SetScript(ScriptSlot::Init, c.script);
    const std::vector<std::string> prepareLog = scene.TakeLog();
    if (!prepareLog.empty()) {
      // Preparing failed; the element keeps what could be prepared, which is not compared.
      ASSERT_TRUE(fails) << where << ": " << prepareLog[0];
      EXPECT_EQ(prepareLog, std::vector<std::string>{LogLineFor(c.expected[0], "", "")}) << where;
      continue;
    }
    scene.shape->DoInit();
    const std::vector<std::string> log = scene.TakeLog();
    std::vector<std::string> got;
    if (!log.empty()) got.push_back(log[0]);
    ASSERT_TRUE(scene.shape->Variables) << where;
    for (int i = 0; i < scene.shape->Variables->Count(); ++i) got.push_back(ConformanceVarLine((*scene.shape->Variables)[i]));
    std::vector<std::string> expected = c.expected;
    if (fails) expected[0] = LogLineFor(c.expected[0], "SHAPE <TQXShape>", "Init");
    EXPECT_EQ(got, expected) << where << "\nexpected:\n" << JoinLines(expected) << "got:\n" << JoinLines(got);
    EXPECT_EQ(log.size(), fails ? 1u : 0u) << where;
    EXPECT_EQ(Scripts().ScriptDepth, 1) << where;
  }
}

TEST(ElementEvents, ADeclaredProcedurePreparedOnInterpreterZeroRunsOnAnyLevel) {
  EventScene scene;
  const std::string script = "FUNCTION TWICE(V); RESULT := V * 2; N := TWICE(21)";
  scene.shape->SetScript(ScriptSlot::Init, script);
  // Deep nesting levels use other interpreters; the program brings its declarations along.
  for (int depth = 1; depth <= 8; ++depth) {
    Scripts().ScriptDepth = depth;
    scene.shape->DoInit();
    EXPECT_EQ(Scripts().ScriptDepth, depth);
    ASSERT_EQ(scene.shape->Variables->Count(), 1) << depth;
    EXPECT_EQ((*scene.shape->Variables)[0].Value.IntValue(), 42) << depth;
    EXPECT_TRUE(scene.engines[static_cast<size_t>(depth)]->Procs().Find("TWICE") >= 0);
  }
  Scripts().ScriptDepth = 1;
  EXPECT_TRUE(scene.TakeLog().empty());
  // A program without declarations leaves the running interpreter with none.
  scene.shape->SetScript(ScriptSlot::Process, "N := 1");
  scene.shape->DoProcess();
  EXPECT_EQ(scene.engines[1]->Procs().Count(), 0);
}

TEST(ElementEvents, ScriptsReachTheElementsPropertiesAndVariables) {
  EventScene scene;
  scene.shape->SetScript(ScriptSlot::Init, "COUNT := 1; X := 40; .TAG := 'screen tag'; SIZEX := X + 2");
  scene.shape->SetScript(ScriptSlot::Process, "COUNT := COUNT + 1; I := 0; FOR I := 1 TO 3 DO Y := Y + I");
  scene.shape->DoInit();
  ASSERT_EQ(scene.shape->Variables->Count(), 1);  // only COUNT: the other names are properties
  EXPECT_EQ(scene.shape->X(), 40);
  EXPECT_EQ(scene.screen->Tag, "screen tag");
  EXPECT_EQ(scene.shape->GetSizeX(), 42);
  scene.shape->DoProcess();
  scene.shape->DoProcess();
  EXPECT_EQ((*scene.shape->Variables)[0].Value.IntValue(), 3);  // the element's variable
  EXPECT_EQ(scene.shape->Y(), 12);
  EXPECT_TRUE(scene.TakeLog().empty());
}

// A function's parameters and RESULT are offered to the element on every call, even where
// the call is evaluated in place: a property takes its parameter, and so does an element
// variable of that name that appears between two calls.
TEST(ElementEvents, AFunctionsNamesGoToTheElementWhereItTakesThem) {
  EventScene scene;
  scene.shape->SetScript(ScriptSlot::Init, "W := 0");
  scene.shape->DoInit();
  for (TScriptEngine* engine : scene.engines) {
    engine->RegisterFunction("REINIT", [&scene](TScriptEngine&, TVarList&, TVar&) {
      scene.shape->SetScript(ScriptSlot::Init, "V := 0");
      scene.shape->DoInit();
      return true;
    });
  }
  scene.shape->SetScript(ScriptSlot::Process,
                         "FUNCTION F(V); RESULT := V + 1; FUNCTION G(X); RESULT := X * 2;\n"
                         "I := 0; N := 0; M := 0;\n"
                         "FOR I := 1 TO 6 DO BEGIN IF I = 4 THEN REINIT(); N := N + F(I); M := G(I) END");
  scene.shape->DoProcess();
  EXPECT_TRUE(scene.TakeLog().empty());
  const TVarList& vars = scene.engines[1]->Vars();
  ASSERT_EQ(vars.Count(), 3);
  EXPECT_EQ(vars[1].Value.IntValue(), 27);  // N: 2 + 3 + ... + 7
  EXPECT_EQ(vars[2].Value.IntValue(), 12);  // M
  EXPECT_EQ(scene.shape->X(), 6);           // G's parameter, the published property X
  ASSERT_EQ(scene.shape->Variables->Count(), 1);
  EXPECT_EQ((*scene.shape->Variables)[0].Value.IntValue(), 6);  // F's parameter, from the fourth call on
}

// What an element takes as properties, and the stamp that says when that may have changed:
// its own variables can come and go, reading them changes nothing.
TEST(ElementEvents, TheNamesAnElementTakesHaveAStamp) {
  EventScene scene;
  ScriptHost& host = *scene.host;
  const ElementHandle shape = scene.shape->Handle();
  EXPECT_EQ(host.NamesStamp(shape), 0u);  // no variables yet: no stamp to keep
  scene.shape->SetScript(ScriptSlot::Init, "V := 0");
  scene.shape->DoInit();
  const uint64_t stamp = host.NamesStamp(shape);
  EXPECT_NE(stamp, 0u);
  for (const char* name : {"V", "X", "CURSOR", "VOLMUZ"}) EXPECT_TRUE(host.TakesName(shape, name)) << name;
  for (const char* name : {"W", "RESULT", "v"}) EXPECT_FALSE(host.TakesName(shape, name)) << name;
  EXPECT_TRUE(host.TakesName(12345, "W"));  // no such element: unsure
  ScriptValue value;
  EXPECT_TRUE(host.GetPropValue(shape, "V", value));
  EXPECT_TRUE(host.SetPropValue(shape, "V", ScriptValue::Int(3)));
  EXPECT_EQ(host.NamesStamp(shape), stamp);
  scene.shape->SetScript(ScriptSlot::Init, "W := 0");
  scene.shape->DoInit();
  EXPECT_NE(host.NamesStamp(shape), stamp);
  EXPECT_TRUE(host.TakesName(shape, "W"));
  EXPECT_FALSE(host.TakesName(shape, "V"));
}

TEST(ElementEvents, ErrorsAreLoggedWithTheElementAndEvent) {
  EventScene scene;
  scene.shape->SetScript(ScriptSlot::MouseDown, "N := 1; N := NOSUCH + 1");
  scene.shape->DoMouseDown();
  EXPECT_EQ(scene.TakeLog(), std::vector<std::string>{"Variable not found: NOSUCH (NOSUCH + 1  in SHAPE <TQXShape>) ms_Down"});
  // The next event starts clean on the same interpreter.
  scene.shape->SetScript(ScriptSlot::MouseUp, "N := 2");
  scene.shape->DoMouseUp();
  EXPECT_TRUE(scene.TakeLog().empty());
  EXPECT_EQ(scene.engines[1]->Vars().Count(), 1);
}

TEST(ElementEvents, NestedEventsRunOnTheNextInterpreter) {
  EventScene scene;
  // A native that raises another element's event from inside a running script.
  TQXShape* other = new TQXShape(scene.screen);
  other->Id = "OTHER";
  other->SetScript(ScriptSlot::MouseDown, "FUNCTION F(); RESULT := 5; M := F()");
  std::vector<int> seen;
  for (TScriptEngine* engine : scene.engines) {
    engine->RegisterFunction("RaiseOther", [&, other](TScriptEngine& e, TVarList&, TVar&) {
      for (size_t i = 0; i < scene.engines.size(); ++i) {
        if (scene.engines[i] == &e) seen.push_back(static_cast<int>(i));
      }
      other->DoMouseDown();
      return true;
    });
  }
  scene.shape->SetScript(ScriptSlot::MouseDown, "N := 1; RaiseOther(); N := N + 1");
  scene.shape->DoMouseDown();
  EXPECT_EQ(seen, std::vector<int>{1});
  EXPECT_TRUE(scene.TakeLog().empty());
  EXPECT_EQ(scene.engines[1]->Vars().Count(), 1);  // N of the outer script, on interpreter 1
  EXPECT_EQ(scene.engines[1]->Vars()[0].Value.IntValue(), 2);
  ASSERT_EQ(scene.engines[2]->Vars().Count(), 1);  // M of the inner one, on interpreter 2
  EXPECT_EQ(scene.engines[2]->Vars()[0].Value.IntValue(), 5);
  EXPECT_EQ(Scripts().ScriptDepth, 1);
}

// A nested event that never ends stops the whole outermost run: the outer script goes no
// further either, one line is logged (where the loop was), and the next event runs as usual.
TEST(ElementEvents, ABudgetSpentInANestedEventStopsEveryLevelOfTheRun) {
  EventScene scene;
  SetScriptBudget(10000);
  TQXShape* other = new TQXShape(scene.screen);
  other->Id = "OTHER";
  other->SetScript(ScriptSlot::MouseDown, "X := 0; WHILE TRUE DO X := X + 1");
  for (TScriptEngine* engine : scene.engines) {
    engine->RegisterFunction("RaiseOther", [other](TScriptEngine&, TVarList&, TVar&) {
      other->DoMouseDown();
      return false;  // even a failing native says nothing more
    });
  }
  scene.shape->SetScript(ScriptSlot::MouseDown, "N := 1; RaiseOther(); N := 2");
  scene.shape->DoMouseDown();
  EXPECT_EQ(scene.TakeLog(), std::vector<std::string>{"Script ran too long: 10000 statements "
                                                      "(WHILE TRUE DO X := X + 1  in OTHER <TQXShape>) ms_Down"});
  EXPECT_EQ(scene.engines[1]->ErrorCode(), kScriptTooLongCode);
  ASSERT_EQ(scene.engines[1]->Vars().Count(), 1);
  EXPECT_EQ(scene.engines[1]->Vars()[0].Value.IntValue(), 1);  // N := 2 never ran
  EXPECT_EQ(Scripts().ScriptDepth, 1);
  // The next event has a budget of its own.
  scene.shape->SetScript(ScriptSlot::MouseUp, "N := 0; WHILE N < 100 DO N := N + 1");
  scene.shape->DoMouseUp();
  EXPECT_TRUE(scene.TakeLog().empty());
  EXPECT_EQ(scene.engines[1]->Vars()[0].Value.IntValue(), 100);
  SetScriptBudget(kDefaultScriptBudget);
}

// An error in a nested event stops that event only, and the steps it took count: the outer
// script runs on with the budget left, exactly.
TEST(ElementEvents, ANestedErrorLeavesTheOuterRunItsExactBudget) {
  EventScene scene;
  TQXShape* other = new TQXShape(scene.screen);
  other->Id = "OTHER";
  other->SetScript(ScriptSlot::MouseDown, "Q := NOSUCH");
  for (TScriptEngine* engine : scene.engines) {
    engine->RegisterFunction("RaiseOther", [other](TScriptEngine&, TVarList&, TVar&) {
      other->DoMouseDown();
      return true;
    });
  }
  // N := 0, the call, the nested statement and the WHILE are 4 steps; each pass takes 2.
  scene.shape->SetScript(ScriptSlot::MouseDown, "N := 0; RaiseOther(); WHILE N < 10 DO N := N + 1");
  for (const uint64_t budget : {24u, 23u}) {
    SetScriptBudget(budget);
    scene.shape->DoMouseDown();
    const std::vector<std::string> log = scene.TakeLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0], "Variable not found: NOSUCH (NOSUCH  in OTHER <TQXShape>) ms_Down");
    EXPECT_EQ(log.size(), budget == 24 ? 1u : 2u);
    EXPECT_EQ(scene.engines[1]->Vars()[0].Value.IntValue(), budget == 24 ? 10 : 9);
  }
  SetScriptBudget(kDefaultScriptBudget);
}

}  // namespace
}  // namespace qx::test
