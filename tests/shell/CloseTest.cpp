// Closing while a script runs: the window's close button ends a loop that would never end,
// and the close order still runs the root's Exit script, with a small budget of its own.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "ScratchFiles.h"
#include "builtins/Builtins.h"
#include "elements/QXScreen.h"
#include "elements/QXShape.h"
#include "platform/null/NullGfx.h"
#include "platform/null/NullWindow.h"
#include "runtime/RuntimeState.h"
#include "scene/QXDB.h"
#include "script/ScriptBudget.h"
#include "script/scriptengine.h"
#include "shell/MainForm.h"

namespace qx {
namespace {

TEST(MainFormClose, TheCloseButtonEndsAnEndlessScriptAndTheExitScriptStillRuns) {
  ResetRuntime();
  SetScriptBudget(0);  // only the close can end the click's loop
  test::ScratchDir dir;
  NullWindow window;
  NullAudio audio;
  NullGfx gfx;
  FixedStepTimerClock clock{TGfxTimer::PeriodFor(kProcessTicksPerSecond)};
  int exits = 0;
  ShellOptions options;
  options.makeInterpreter = [&exits](int, const GameLink& game) {
    return MakeGameInterpreter(game, [&exits](TScriptEngine& engine) {
      engine.RegisterFunction("MarkExit", [&exits](TScriptEngine&, TVarList&, TVar&) {
        ++exits;
        return true;
      });
    });
  };
  auto form = std::make_unique<TFormMain>(window, audio, gfx, clock, std::move(options));
  ASSERT_TRUE(form->FormCreate());
  form->Root()->SetGameFolder(dir.path().string());
  auto* screen = new TQXScreen(form->Root());
  auto* button = new TQXShape(screen);
  button->SetScript(ScriptSlot::MouseDown, "N := 0; WHILE TRUE DO N := N + 1");
  // The Exit script never ends either: its own budget ends it.
  form->Root()->SetScript(ScriptSlot::Exit, "MarkExit(); N := 0; WHILE TRUE DO N := N + 1");
  Runtime().CurrentScreen = screen;
  form->SkipIntro();

  window.closeAsked = true;
  form->FormMouseDown(50, 50);  // returns: the loop looked at the window and stopped
  EXPECT_GE(window.closeLooks, 1);
  EXPECT_TRUE(ScriptStopRequested());
  EXPECT_EQ(form->Run(), 0);
  EXPECT_TRUE(form->Closed());
  EXPECT_EQ(form->Frames(), 0);
  EXPECT_EQ(exits, 1);
  EXPECT_FALSE(ScriptStopRequested());
  EXPECT_EQ(ScriptBudget(), 0u);  // the game's budget is back
  // The stopped click logged nothing; the Exit script's budget ran out.
  EXPECT_EQ(test::ReadText(dir / "korvane.err"),
            "Script ran too long: 5000000 statements (N := N + 1  in  <TQXDB>) Exit\n");
  form.reset();
  SetScriptBudget(kDefaultScriptBudget);
  ResetRuntime();
}

}  // namespace
}  // namespace qx
