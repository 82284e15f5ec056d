// The shell's phases and input routing against trees built in code.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <fstream>
#include <sstream>

#include "elements/QXExScreen.h"
#include "elements/QXText.h"
#include "platform/null/NullGfx.h"
#include "platform/null/NullWindow.h"
#include "scene/SceneTestSupport.h"
#include "shell/MainForm.h"

namespace qx {
namespace {

// Logos 1, 2 and 4 exist; every request is recorded.
class FakeMedia : public ShellMedia {
 public:
  std::vector<int> requested;
  std::vector<int> drawnAlphas;
  std::set<int> present{1, 2, 4};
  bool RequestLogo(int index) override {
    requested.push_back(index);
    return present.count(index) > 0;
  }
  void DrawLogo(uint8_t alpha) override { drawnAlphas.push_back(alpha); }
  void SoundTick() override {}
  void RebuildDeviceResources() override {}
};

struct Shell {
  NullWindow window;
  NullAudio audio;
  NullGfx gfx;
  FixedStepTimerClock clock{TGfxTimer::PeriodFor(kProcessTicksPerSecond)};
  test::FakeScripts scripts;
  FakeMedia media;
  std::unique_ptr<TFormMain> form;
  TQXScreen* screen = nullptr;

  explicit Shell(ShellOptions options = {}) {
    ResetRuntime();
    options.makeInterpreter = [this](int i, const GameLink&) { return std::make_unique<test::FakeInterpreter>(scripts, i); };
    options.media = &media;
    form = std::make_unique<TFormMain>(window, audio, gfx, clock, std::move(options));
    EXPECT_TRUE(form->FormCreate());
  }
  ~Shell() {
    form.reset();
    ResetRuntime();
  }
  // A current screen for the game phase.
  void StartGame() {
    screen = new TQXScreen(form->Root());
    screen->Id = "MAIN";
    screen->Key = 1;
    Runtime().CurrentScreen = screen;
    form->SkipIntro();
  }
  TQXShape* Button(TQXElement* parent, const char* id, int x, int y, int w, int h, const char* down = "") {
    auto* b = new TQXShape(parent);
    b->Id = id;
    b->SetX(x);
    b->SetY(y);
    b->SetSizeX(w);
    b->SetSizeY(h);
    b->SetScript(ScriptSlot::MouseDown, down);
    return b;
  }
};

TEST(Routing, MouseMoveRunsOutInAndMove) {
  Shell sh;
  sh.StartGame();
  auto* a = sh.Button(sh.screen, "A", 0, 0, 10, 10);
  auto* b = sh.Button(sh.screen, "B", 20, 0, 10, 10);
  a->SetScript(ScriptSlot::MouseIn, "ain");
  a->SetScript(ScriptSlot::MouseOut, "aout");
  b->SetScript(ScriptSlot::MouseIn, "bin");
  b->SetScript(ScriptSlot::MouseMove, "bmove");
  sh.form->FormMouseMove(5, 5);
  sh.form->FormMouseMove(25, 5);
  EXPECT_EQ(Runtime().MousedElement, b);
  EXPECT_EQ(sh.scripts.runs, (std::vector<std::string>{"ms_In:A:ain", "ms_Out:A:aout", "ms_In:B:bin",
                                                       "ms_Move:B:bmove"}));
}

TEST(Routing, TopLayerIsHitFirst) {
  Shell sh;
  sh.StartGame();
  auto* low = sh.Button(sh.screen, "LOW", 0, 0, 50, 50);
  auto* high = sh.Button(sh.screen, "HIGH", 0, 0, 50, 50);
  high->SetOrder(2);
  low->SetOrder(1);
  sh.form->FormMouseMove(10, 10);
  EXPECT_EQ(Runtime().MousedElement, high);
  high->SetOrder(-1);  // now below: the loop from the top layer finds LOW first
  sh.form->FormMouseMove(11, 10);
  EXPECT_EQ(Runtime().MousedElement, low);
}

TEST(Routing, ClickTwoPixelsLeftOfAButtonStillPressesIt) {
  Shell sh;
  sh.StartGame();
  sh.Button(sh.screen, "BTN", 100, 100, 40, 20, "press");
  sh.form->FormMouseDown(98, 110);
  EXPECT_EQ(sh.scripts.runs, std::vector<std::string>{"ms_Down:BTN:press"});
  EXPECT_TRUE(Runtime().MouseIsDown);
  // The true position is looked at again afterwards: nothing is under it.
  EXPECT_EQ(Runtime().MousedElement, nullptr);
}

TEST(Routing, WithoutAClickableProbeTheLastProbeGetsTheDown) {
  Shell sh;
  sh.StartGame();
  auto* plain = sh.Button(sh.screen, "PLAIN", 102, 102, 5, 5);  // no mouse-down script
  plain->SetScript(ScriptSlot::MouseUp, "up");
  sh.form->FormMouseDown(100, 100);  // only the (2, 2) probe reaches it
  sh.form->FormMouseUp(103, 103);
  EXPECT_EQ(sh.scripts.runs, std::vector<std::string>{"ms_Up:PLAIN:up"});
}

TEST(Routing, PressesReachTheRootUnlessTheElementSaysNo) {
  Shell sh;
  sh.StartGame();
  sh.form->Root()->SetScript(ScriptSlot::MouseDown, "rootdown");
  sh.form->Root()->Id = "ROOT";
  auto* b = sh.Button(sh.screen, "B", 0, 0, 10, 10, "bdown");
  sh.form->FormMouseDown(5, 5);
  b->NoMsQXDB = true;
  sh.form->FormMouseDown(5, 5);
  sh.form->FormMouseDown(500, 500);  // nothing hit: the root gets it
  EXPECT_EQ(sh.scripts.runs, (std::vector<std::string>{"ms_Down:B:bdown", "ms_Down:ROOT:rootdown",
                                                       "ms_Down:B:bdown", "ms_Down:ROOT:rootdown"}));
}

TEST(Routing, ACentredEmbeddedScreenAnswersWhereItIsDrawn) {
  Shell sh;
  sh.StartGame();
  auto* panel = new TQXScreen(sh.form->Root());
  panel->Id = "PANEL";
  panel->Key = 50;
  panel->SetSizeX(200);
  panel->SetSizeY(100);
  auto* ok = sh.Button(panel, "OK", 10, 10, 40, 20, "ok");
  ok->SethxTrans(255);
  auto* popup = new TQXExScreen(sh.screen);
  popup->Id = "POPUP";
  popup->SetobScreen(50);
  popup->SetX(800);
  popup->SetY(300);
  popup->PosHor = phCenter;
  popup->PosVert = pvCenter;
  // Centred at (800, 300): the panel covers 700-899 and 250-349, the button 710-749, 260-279.
  sh.gfx.draws.clear();
  sh.form->Timer().SetEnabled(false);
  sh.form->FormPaint();
  ASSERT_FALSE(sh.gfx.draws.empty());
  const GfxVertex& corner = sh.gfx.draws.back().vertices[0];
  EXPECT_FLOAT_EQ(corner.x, 710);
  EXPECT_FLOAT_EQ(corner.y, 260);
  sh.form->FormMouseMove(730, 270);
  EXPECT_EQ(Runtime().MousedElement, ok);
  sh.form->FormMouseDown(730, 270);
  EXPECT_EQ(sh.scripts.runs, std::vector<std::string>{"ms_Down:OK:ok"});
  // Where the button would lie without the anchors nothing answers.
  sh.form->FormMouseMove(830, 320);
  EXPECT_EQ(Runtime().MousedElement, nullptr);
}

TEST(Routing, MsKeepHoldsTheElementWhileDragging) {
  Shell sh;
  sh.StartGame();
  auto* knob = sh.Button(sh.screen, "KNOB", 0, 0, 10, 10, "grab");
  knob->MsKeep = true;
  knob->SetScript(ScriptSlot::MouseOut, "out");
  sh.form->FormMouseDown(5, 5);
  sh.form->FormMouseMove(200, 200);
  EXPECT_EQ(Runtime().MousedElement, knob);  // no mouse-out while the button is held
  sh.form->FormMouseUp(200, 200);
  EXPECT_FALSE(Runtime().MouseIsDown);
  EXPECT_EQ(Runtime().MousedElement, knob);  // released while kept: hover stays until the next move
  sh.form->FormMouseMove(201, 200);
  EXPECT_EQ(Runtime().MousedElement, nullptr);
  EXPECT_EQ(sh.scripts.runs.back(), "ms_Out:KNOB:out");
}

TEST(Routing, WithoutMsKeepDraggingOffLeavesTheElement) {
  Shell sh;
  sh.StartGame();
  auto* b = sh.Button(sh.screen, "B", 0, 0, 10, 10, "down");
  b->SetScript(ScriptSlot::MouseOut, "out");
  sh.form->FormMouseDown(5, 5);
  sh.form->FormMouseMove(200, 200);
  EXPECT_EQ(Runtime().MousedElement, nullptr);
}

TEST(Routing, MouseIsIgnoredWhileLoading) {
  Shell sh;
  sh.StartGame();
  sh.Button(sh.screen, "B", 0, 0, 10, 10, "down");
  Runtime().LoadingPhase = true;
  sh.form->FormMouseMove(5, 5);
  sh.form->FormMouseDown(5, 5);
  EXPECT_TRUE(sh.scripts.runs.empty());
  EXPECT_EQ(Runtime().MouseX, 0);
}

TEST(Keys, EveryKeyReachesTheRootAltEnterAlsoToggles) {
  Shell sh;
  sh.StartGame();
  sh.form->Root()->SetScript(ScriptSlot::KeyDown, "key");
  sh.form->FormKeyDown(kVkReturn, true, true, false);  // Ctrl+Alt+Enter: no toggle
  EXPECT_TRUE(sh.form->Device().Windowed());
  EXPECT_EQ(Runtime().LastKey, kVkReturn);
  sh.form->FormKeyDown(kVkReturn, true, false, false);
  EXPECT_FALSE(sh.form->Device().Windowed());
  sh.form->FormKeyDown(65, false, false, false);
  EXPECT_EQ(Runtime().LastKey, 65);
  EXPECT_EQ(sh.scripts.runs.size(), 3u);
  EXPECT_EQ(sh.scripts.runs[0], "key_Down::key");
}

TEST(Keys, TypingGoesIntoTheFocusedText) {
  Shell sh;
  sh.StartGame();
  auto* text = new TQXText(sh.screen);
  sh.form->FormKeyPress('a');  // no focus: nothing
  Runtime().FocusedText = text;
  sh.form->FormKeyPress(kVkBack);  // empty stays empty
  sh.form->FormKeyPress('H');
  sh.form->FormKeyPress('i');
  sh.form->FormKeyPress(0xC0);  // a 1251 letter
  sh.form->FormKeyPress(9);     // control characters are ignored
  EXPECT_EQ(text->Text(), "Hi\xC0");
  sh.form->FormKeyPress(kVkBack);
  EXPECT_EQ(text->Text(), "Hi");
}

TEST(Intro, LogosAreScannedAndMissingOnesSkipped) {
  Shell sh;
  IntroState& in = sh.form->Intro();
  sh.form->TimerProcess();
  EXPECT_EQ(in.LogoIndex, 1);
  for (int i = 0; i < 100; ++i) sh.form->TimerProcess();
  EXPECT_EQ(in.FadeCount, 100);
  sh.form->TimerProcess();
  EXPECT_EQ(in.LogoIndex, 2);
  for (int i = 0; i < 101; ++i) sh.form->TimerProcess();
  EXPECT_EQ(in.LogoIndex, 4);  // logo 3 skipped
  for (int i = 0; i < 101; ++i) sh.form->TimerProcess();
  EXPECT_EQ(in.LogoIndex, 10);  // 5..10 scanned, none found
  EXPECT_FALSE(in.LogoLoaded);
  EXPECT_EQ(sh.media.requested, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  for (int i = 0; i < 101; ++i) sh.form->TimerProcess();
  EXPECT_EQ(in.LogoIndex, -1);
}

TEST(Intro, InitAtTheFirstLogoShowAtTheSecond) {
  Shell sh;
  auto* screen = new TQXScreen(sh.form->Root());
  screen->Id = "START";
  screen->SetScript(ScriptSlot::Show, "show");
  sh.form->Root()->SetScript(ScriptSlot::Init, "rootinit");
  Runtime().CurrentScreen = screen;
  for (int i = 0; i < 18; ++i) sh.form->TimerProcess();
  EXPECT_TRUE(sh.scripts.runs.empty());
  sh.form->TimerProcess();  // FadeCount 18 of logo 1
  EXPECT_EQ(sh.scripts.runs, std::vector<std::string>{"Init::rootinit"});
  EXPECT_TRUE(screen->ResourcesLoaded);
  for (int i = 0; i < 101; ++i) sh.form->TimerProcess();
  EXPECT_EQ(sh.scripts.runs.back(), "Show:START:show");
}

TEST(Intro, ClickSkipsToTheFadeOutOnlyAfterTheFadeIn) {
  Shell sh;
  IntroState& in = sh.form->Intro();
  for (int i = 0; i < 19; ++i) sh.form->TimerProcess();
  ASSERT_EQ(in.FadeCount, 18);
  sh.form->FormMouseDown(1, 1);
  EXPECT_EQ(in.FadeCount, 18);
  sh.form->TimerProcess();
  sh.form->FormMouseDown(1, 1);
  EXPECT_EQ(in.FadeCount, 83);
  for (int i = 0; i < 17; ++i) sh.form->TimerProcess();
  EXPECT_EQ(in.FadeCount, 100);
  EXPECT_EQ(LogoAlpha(100), 0);
}

TEST(Intro, LogoAlphaFadesInAndOut) {
  EXPECT_EQ(LogoAlpha(0), 0);
  EXPECT_EQ(LogoAlpha(17), 255);
  EXPECT_EQ(LogoAlpha(50), 255);
  EXPECT_EQ(LogoAlpha(83), 255);
  EXPECT_EQ(LogoAlpha(84), 240);
  EXPECT_EQ(LogoAlpha(100), 0);
}

TEST(Intro, DrawsTheLogoWithItsAlpha) {
  Shell sh;
  sh.form->Timer().Idle();
  sh.form->Timer().Idle();  // tick 1: logo 1 found
  sh.form->Timer().Idle();  // drawn at FadeCount 0, then tick 2
  sh.form->Timer().Idle();
  EXPECT_EQ(sh.media.drawnAlphas, (std::vector<int>{0, 15}));
}

TEST(Loading, WithoutALoadingScreenTheChangeFinishesAtOnce) {
  Shell sh;
  sh.StartGame();
  auto* next = new TQXScreen(sh.form->Root());
  next->Id = "NEXT";
  next->SetScript(ScriptSlot::Show, "shown");
  Runtime().PendingScreen = next;
  Runtime().LoadingPhase = true;
  sh.form->TimerProcess();
  EXPECT_FALSE(Runtime().LoadingPhase);
  EXPECT_EQ(Runtime().CurrentScreen, next);
  EXPECT_EQ(sh.scripts.runs, std::vector<std::string>{"Show:NEXT:shown"});
}

TEST(Loading, TheLoadingScreenIsProcessedInstead) {
  Shell sh;
  sh.StartGame();
  sh.screen->SetScript(ScriptSlot::Process, "game");
  auto* loading = new TQXScreen(sh.form->Root());
  loading->Id = "LOADING";
  loading->Key = 50;
  loading->SetScript(ScriptSlot::Process, "loadim");
  sh.form->Root()->LoadingScreen = 50;
  Runtime().LoadingPhase = true;
  sh.form->TimerProcess();
  EXPECT_EQ(sh.scripts.runs, std::vector<std::string>{"Process:LOADING:loadim"});
  EXPECT_TRUE(Runtime().LoadingPhase);
}

TEST(Loading, ALoadingScreenKeyNamingTheRootMeansNone) {
  Shell sh;
  sh.StartGame();
  sh.form->Root()->Key = 0;
  sh.form->Root()->LoadingScreen = 0;
  Runtime().PendingScreen = sh.screen;
  Runtime().LoadingPhase = true;
  sh.form->TimerProcess();
  EXPECT_FALSE(Runtime().LoadingPhase);
}

TEST(Close, ExitEventRunsAndTheTreeGoes) {
  Shell sh;
  sh.StartGame();
  sh.form->Root()->SetScript(ScriptSlot::Exit, "bye");
  sh.form->FormClose();
  EXPECT_EQ(sh.scripts.runs, std::vector<std::string>{"Exit::bye"});
  EXPECT_EQ(sh.form->Root(), nullptr);
  EXPECT_EQ(Runtime().CurrentScreen, nullptr);
  EXPECT_EQ(Scripts().InterpreterPool[0], nullptr);
}

TEST(Trace, ReplayAgainstATreeGivesTheExpectedTrace) {
  char dir[] = "/tmp/qxtraceXXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string tracePath = std::string(dir) + "/trace.txt";
  std::vector<ReplayEvent> events;
  std::string error;
  ASSERT_TRUE(ParseReplay("0 move 5 5\n2 down 5 5\n2 up 5 5\n3 key 65\n4 quit\n", events, error));
  ShellOptions options;
  options.replay = events;
  options.tracePath = tracePath;
  {
    Shell sh(std::move(options));
    sh.StartGame();
    sh.form->Root()->Id = "GAME";
    sh.form->Root()->SetScript(ScriptSlot::KeyDown, "key");
    sh.screen->SetScript(ScriptSlot::Process, "tick");
    auto* b = sh.Button(sh.screen, "OK", 0, 0, 10, 10, "press");
    b->Key = 9;
    b->SetScript(ScriptSlot::MouseIn, "in");
    EXPECT_EQ(sh.form->Run(), 0);
  }
  std::ifstream in(tracePath);
  std::stringstream ss;
  ss << in.rdbuf();
  EXPECT_EQ(ss.str(),
            "0 ms_In OK TQXShape 9\n"
            "1 Process MAIN TQXScreen 1\n"
            "2 Process MAIN TQXScreen 1\n"
            "2 ms_Down OK TQXShape 9\n"
            "3 Process MAIN TQXScreen 1\n"
            "3 key_Down GAME TQXDB 0\n"
            "4 Process MAIN TQXScreen 1\n");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace qx
