// qxrun --dev: the inspector's F11 and what it says about an element.
#include "shell/Inspector.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "elements/QXImage.h"
#include "elements/QXScreen.h"
#include "elements/QXShape.h"
#include "platform/null/NullAudio.h"
#include "platform/null/NullGfx.h"
#include "platform/null/NullWindow.h"
#include "runtime/RuntimeState.h"
#include "scene/QXDB.h"
#include "script/VarList.h"
#include "shell/MainForm.h"

namespace qx {
namespace {

struct DevRig {
  NullWindow window;
  NullAudio audio;
  NullGfx gfx;
  FixedStepTimerClock clock{TGfxTimer::PeriodFor(kProcessTicksPerSecond)};
  std::unique_ptr<TFormMain> form;
  TQXScreen* hall = nullptr;
  TQXShape* door = nullptr;

  explicit DevRig(bool dev) {
    ResetRuntime();
    ShellOptions options;
    options.testMode = true;
    options.devTools = dev;
    form = std::make_unique<TFormMain>(window, audio, gfx, clock, std::move(options));
    EXPECT_TRUE(form->FormCreate());
    form->SkipIntro();
    hall = new TQXScreen(form->Root());
    hall->Id = "HALL";
    hall->Key = 1;
    door = new TQXShape(hall);
    door->Id = "DOOR";
    door->Key = 10;
    door->rX = 100;
    door->rY = 50;
    door->SetSizeX(40);
    door->SetSizeY(80);
    new TQXShape(hall);  // no Id: named by its place
    SetCurrentScreen(hall);
  }
  ~DevRig() {
    form.reset();
    ResetRuntime();
  }
  bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
};

TEST(Inspector, F11IsTheInspectorsWithDevAndTheGamesWithout) {
  {
    DevRig rig(true);
    Runtime().LastKey = 0;
    rig.form->FormKeyDown(kVkF11, false, false, false);
    EXPECT_TRUE(rig.form->Inspector().Active());
    EXPECT_EQ(Runtime().LastKey, 0);  // the game's key-down never saw it
    rig.form->FormKeyDown(kVkF11, false, false, false);
    EXPECT_FALSE(rig.form->Inspector().Active());
  }
  DevRig rig(false);
  Runtime().LastKey = 0;
  rig.form->FormKeyDown(kVkF11, false, false, false);
  EXPECT_FALSE(rig.form->Inspector().Active());
  EXPECT_EQ(Runtime().LastKey, kVkF11);
}

TEST(Inspector, DescribesTheElementUnderThePointer) {
  DevRig rig(true);
  TQXElement* unnamed = rig.hall->Children()[1];
  EXPECT_EQ(ElementPath(rig.door), "QXDB.HALL.DOOR");
  EXPECT_EQ(ElementPath(unnamed), "QXDB.HALL.#2");
  EXPECT_EQ(ElementPath(rig.form->Root()), "QXDB");

  EXPECT_EQ(InspectedElement(*rig.form->Root(), rig.hall, 110, 60), rig.door);
  EXPECT_EQ(InspectedElement(*rig.form->Root(), rig.hall, 300, 300), nullptr);

  rig.door->Variables = std::make_unique<TVarList>();
  rig.door->Variables->Add(TVar{"CLICKS", ScriptValue::Int(3)});
  const std::vector<std::string> lines = InspectorLines(rig.door, "Error in DOOR <TQXShape> MouseDown: boom");
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "QXDB.HALL.DOOR");
  EXPECT_EQ(lines[1], "TQXShape  Key 10");
  EXPECT_TRUE(rig.Has(lines, "  SizeX = 40"));
  EXPECT_TRUE(rig.Has(lines, "  CLICKS = 3"));
  EXPECT_EQ(lines[2], "korvane.err: Error in DOOR <TQXShape> MouseDown: boom");
  EXPECT_FALSE(rig.Has(lines, "  exMouseDown = \"\""));  // empty scripts take no room
  // A long script is cut to a glance, on one line.
  rig.door->SetScript(ScriptSlot::MouseDown, std::string(200, 'x') + "\nY := 1;");
  for (const std::string& line : InspectorLines(rig.door, "")) {
    EXPECT_LE(line.size(), 64u) << line;
    EXPECT_EQ(line.find('\n'), std::string::npos);
  }
  EXPECT_EQ(InspectorLines(nullptr, ""),
            (std::vector<std::string>{"(nothing under the pointer)", "korvane.err: (nothing written)"}));
}

TEST(Inspector, DrawsAnOutlineAndAPanelOverTheGame) {
  DevRig rig(true);
  Runtime().MouseX = 110;
  Runtime().MouseY = 60;
  rig.form->TimerTimer();
  const size_t plain = rig.gfx.calls.size();
  rig.gfx.calls.clear();
  rig.form->FormKeyDown(kVkF11, false, false, false);
  rig.form->TimerTimer();
  EXPECT_GT(rig.gfx.calls.size(), plain);
}

}  // namespace
}  // namespace qx
