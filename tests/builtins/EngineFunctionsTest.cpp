// The engine built-ins as scripts call them, against a tree built in code.
#include <gtest/gtest.h>

#include <cstring>

#include "builtins/Builtins.h"
#include "elements/QXAnKey.h"
#include "elements/QXAnim.h"
#include "elements/QXEffect.h"
#include "elements/QXImList.h"
#include "elements/QXImage.h"
#include "elements/QXText.h"
#include "render/GfxTimer.h"
#include "scene/MediaStage.h"
#include "script/scriptengine.h"

namespace qx {
namespace {

struct Engine : test::MediaStage {
  GameLink game;
  TScriptEngine engine;
  TQXScreen* menu;
  TQXScreen* room;
  std::vector<std::string>& sounds = sound.calls;

  Engine() {
    game.root = root.get();
    RegisterBuiltins(engine, game);
    menu = Add<TQXScreen>(root.get(), "MENU", 1);
    room = Add<TQXScreen>(root.get(), "ROOM", 2);
    menu->SetScript(ScriptSlot::Show, "menushow");
    room->SetScript(ScriptSlot::Show, "roomshow");
    Runtime().CurrentScreen = menu;
  }

  // Evaluates a call; "ERROR: ..." when it fails.
  std::string Call(const std::string& expression) {
    engine.ResetErrorState();
    TVar v;
    if (!engine.Evaluate(Tokenise(expression), v)) return "ERROR: " + engine.ErrorMessage();
    return v.Value.ToText();
  }
};

TEST(EngineScreens, SetScreenThenLoadImSwitchesAndShows) {
  Engine e;
  auto* extra = e.Add<TQXScreen>(e.root.get(), "EXTRA", 3);
  e.Call("SetScreen(QXDB.ROOM, QXDB.EXTRA, 5)");
  RuntimeState& rt = Runtime();
  EXPECT_TRUE(rt.LoadingPhase);
  EXPECT_EQ(rt.PendingScreen, e.room);
  EXPECT_TRUE(e.room->LoadMark);
  EXPECT_TRUE(extra->LoadMark);
  EXPECT_TRUE(rt.LoadNow);
  EXPECT_EQ(rt.CurrentScreen, e.menu);  // not yet
  // The music fades after the new screen became current and before it is shown.
  e.sound.onFade = [&e, &rt] {
    e.sounds.push_back(std::string("fade at ") + (rt.CurrentScreen ? rt.CurrentScreen->Id : "none") + " after " +
                       std::to_string(e.scripts.runs.size()) + " runs");
  };
  e.Call("LoadIm");
  EXPECT_EQ(rt.CurrentScreen, e.room);
  EXPECT_EQ(e.scripts.runs, std::vector<std::string>{"Show:ROOM:roomshow"});
  EXPECT_EQ(e.sounds, std::vector<std::string>{"fade at ROOM after 0 runs"});  // music fades at every change
  EXPECT_TRUE(rt.LoadingPhase);  // until EndLoadIm
  e.Call("EndLoadIm");
  EXPECT_FALSE(rt.LoadingPhase);
  const size_t runs = e.scripts.runs.size();
  e.Call("LoadIm");  // no change pending: only a frame
  EXPECT_EQ(e.scripts.runs.size(), runs);
}

TEST(EngineScreens, SetScreenIgnoresNonScreens) {
  Engine e;
  auto* img = e.Add<TQXImage>(e.menu, "IMG", 4);
  (void)img;
  EXPECT_EQ(e.Call("SetScreen(QXDB.MENU.IMG)"), "");
  EXPECT_FALSE(Runtime().LoadingPhase);
  EXPECT_EQ(e.Call("SetScreen(5)"), "");
}

TEST(EngineScreens, FastSetScreenSwitchesAtOnce) {
  Engine e;
  e.Call("FastSetScreen(QXDB.ROOM)");
  EXPECT_EQ(Runtime().CurrentScreen, e.room);
  EXPECT_FALSE(Runtime().LoadingPhase);
  EXPECT_EQ(e.scripts.runs, std::vector<std::string>{"Show:ROOM:roomshow"});
  e.Call("FastSetScreen(QXDB.ROOM)");  // again: shown again
  EXPECT_EQ(e.scripts.runs.size(), 2u);
}

TEST(EngineEvents, EventsFocusAndFront) {
  Engine e;
  auto* a = e.Add<TQXImage>(e.menu, "A", 10);
  auto* b = e.Add<TQXImage>(e.menu, "B", 11);
  auto* text = e.Add<TQXText>(e.menu, "T", 12);
  a->SetScript(ScriptSlot::MouseDown, "adown");
  a->SetScript(ScriptSlot::Update, "aupdate");
  e.Call("MsDown(QXDB.MENU.A)");
  e.Call("Update(QXDB.MENU.A)");
  EXPECT_EQ(e.scripts.runs, (std::vector<std::string>{"ms_Down:A:adown", "Update:A:aupdate"}));
  e.Call("SetFocus(QXDB.MENU.A)");
  EXPECT_EQ(Runtime().FocusedText, nullptr);
  e.Call("SetFocus(QXDB.MENU.T)");
  EXPECT_EQ(Runtime().FocusedText, text);
  e.Call("ToFront(QXDB.MENU.A)");
  EXPECT_EQ(e.menu->Children(), (std::vector<TQXElement*>{b, text, a}));
  e.Call("ToFront(QXDB.MENU.A)");  // the last child: unchanged
  EXPECT_EQ(e.menu->Children().back(), a);
  e.Call("MoveTo(QXDB.MENU.B, 30, 40)");
  EXPECT_EQ(b->rX, 30);
  EXPECT_EQ(e.Call("ExitGame"), "");
  EXPECT_TRUE(Runtime().ExitRequested);
}

TEST(EngineAnims, StartPlayAndStop) {
  Engine e;
  auto* anim = e.Add<TQXAnim>(e.root.get(), "ANIM", 20);
  auto* key = e.Add<TQXAnKey>(anim, "", 0);
  key->SetCount(4);
  anim->SetScript(ScriptSlot::Start, "go");
  anim->Vis = false;
  anim->BuildFrames();
  e.Call("AnimStart(QXDB.ANIM)");
  EXPECT_TRUE(anim->Active);
  EXPECT_TRUE(anim->Vis);
  EXPECT_EQ(anim->Pos(), 0);
  EXPECT_EQ(e.scripts.runs, std::vector<std::string>{"anStart:ANIM:go"});
  anim->SetPos(2);
  anim->Active = false;
  e.Call("AnimPlay(QXDB.ANIM)");
  EXPECT_EQ(anim->Pos(), 2);  // resumes where it stopped
  anim->SetPos(4);
  e.Call("AnimPlay(QXDB.ANIM)");
  EXPECT_EQ(anim->Pos(), 0);  // at the end: from the start
  e.Call("AnimStop(QXDB.ANIM)");
  EXPECT_TRUE(anim->Active);  // animations are not stopped by it
}

// An effect record that emits `rate` particles a second for `duration` seconds, each living
// `life` seconds.
std::string EffectFile(int32_t rate, float duration, float life) {
  std::string r(kEffectRecordSize, '\0');
  std::memcpy(&r[16], &rate, 4);
  std::memcpy(&r[20], &duration, 4);
  std::memcpy(&r[24], &life, 4);
  std::memcpy(&r[28], &life, 4);
  return r;
}

// A stopped effect on the menu, emitting 30 particles a second for 10 s.
TQXEffect* Effect(Engine& e) {
  e.Text("spark.eff", EffectFile(30, 10, 10));
  auto* fx = e.Add<TQXEffect>(e.menu, "FX", 50);
  fx->SetEffectFN("spark.eff");
  fx->DAnim = 1;
  fx->SetScript(ScriptSlot::Start, "fxstart");
  EXPECT_NE(fx->System(), nullptr);
  return fx;
}

TEST(EngineEffects, AnimStartStartsTheEmissionThenRunsTheStartScript) {
  Engine e;
  TQXEffect* fx = Effect(e);
  bool activeInScript = false;
  float clockInScript = -5;
  e.scripts.actions["fxstart"] = [&](TVarList&) {
    activeInScript = fx->Active();
    clockInScript = fx->System()->EmissionClock();
  };
  ASSERT_EQ(fx->System()->EmissionClock(), -1);
  EXPECT_EQ(e.Call("AnimStart(QXDB.MENU.FX)"), "");
  EXPECT_TRUE(fx->Active());
  EXPECT_TRUE(activeInScript);  // started before its script runs
  EXPECT_EQ(clockInScript, 0);
  EXPECT_EQ(e.scripts.runs, std::vector<std::string>{"anStart:FX:fxstart"});
  // Started again while it runs: the emission starts over.
  fx->DoProcess();
  ASSERT_GT(fx->System()->EmissionClock(), 0);
  e.Call("AnimStart(QXDB.MENU.FX)");
  EXPECT_EQ(fx->System()->EmissionClock(), 0);
  EXPECT_EQ(e.scripts.runs.size(), 2u);
  // Other kinds with a start script are left alone.
  auto* img = e.Add<TQXImage>(e.menu, "IMG", 51);
  img->SetScript(ScriptSlot::Start, "imgstart");
  e.Call("AnimStart(QXDB.MENU.IMG)");
  e.Call("AnimStart(5)");
  EXPECT_EQ(e.scripts.runs.size(), 2u);
}

TEST(EngineEffects, AnimBreakRemovesEveryParticleWhereAnimStopLetsThemLive) {
  Engine e;
  TQXEffect* fx = Effect(e);
  e.Call("AnimStart(QXDB.MENU.FX)");
  for (int i = 0; i < 10; ++i) fx->DoProcess();
  const int live = fx->System()->Count();
  ASSERT_GT(live, 0);
  e.Call("AnimStop(QXDB.MENU.FX)");
  EXPECT_FALSE(fx->Active());
  EXPECT_EQ(fx->System()->EmissionClock(), -1);
  EXPECT_EQ(fx->System()->Count(), live);  // they finish their lives

  e.Call("AnimStart(QXDB.MENU.FX)");
  fx->DoProcess();
  ASSERT_GT(fx->System()->Count(), live);
  EXPECT_EQ(e.Call("AnimBreak(QXDB.MENU.FX)"), "");
  EXPECT_FALSE(fx->Active());
  EXPECT_EQ(fx->System()->EmissionClock(), -1);
  EXPECT_EQ(fx->System()->Count(), 0);  // all gone at once
  fx->DoProcess();
  EXPECT_EQ(fx->System()->Count(), 0);  // and no new ones

  // Animations are not broken off.
  auto* anim = e.Add<TQXAnim>(e.root.get(), "ANIM", 52);
  anim->Active = true;
  e.Call("AnimBreak(QXDB.ANIM)");
  EXPECT_TRUE(anim->Active);
}

TEST(EngineEffects, ProcEfAdvancesByStepsOverTheTimerSpeedTimesDAnim) {
  Engine e;
  ManualTimerClock clock;
  TGfxTimer timer(clock);
  timer.SetSpeed(10);
  e.root->Services().timer = &timer;
  TQXEffect* fx = Effect(e);
  fx->DAnim = 2;
  fx->SetScript(ScriptSlot::Process, "fxprocess");
  e.Call("AnimStart(QXDB.MENU.FX)");
  e.scripts.runs.clear();

  EXPECT_EQ(e.Call("ProcEf(QXDB.MENU.FX, 0)"), "0");
  EXPECT_EQ(fx->System()->EmissionClock(), 0);  // a zero time step
  EXPECT_EQ(fx->System()->Count(), 0);
  // 3 steps at 10 a second, twice as fast: one update of 0.6 s, which emits 18 particles.
  EXPECT_EQ(e.Call("ProcEf(QXDB.MENU.FX, 3)"), "0");
  EXPECT_FLOAT_EQ(fx->System()->EmissionClock(), 0.6f);
  EXPECT_EQ(fx->System()->Count(), 18);
  EXPECT_FLOAT_EQ(fx->System()->At(0).age, 0);  // all spawned at the end of that one update
  // Half a step, as a real number.
  EXPECT_EQ(e.Call("ProcEf(QXDB.MENU.FX, 0.5)"), "0");
  EXPECT_FLOAT_EQ(fx->System()->At(0).age, 0.1f);
  EXPECT_TRUE(fx->Active());
  EXPECT_TRUE(e.scripts.runs.empty());  // no Process event

  // Another kind: result 0, nothing else; a wrong count: ignored, result untouched.
  EXPECT_EQ(e.Call("ProcEf(QXDB.MENU, 3)"), "0");
  EXPECT_EQ(e.Call("ProcEf(QXDB.MENU.FX)"), "");
  EXPECT_EQ(e.Call("ProcEf(QXDB.MENU.FX, 1, 2)"), "");
  EXPECT_EQ(e.Call("ProcEf(3, 1)"), "");
  EXPECT_FLOAT_EQ(fx->System()->At(0).age, 0.1f);
  e.root->Services().timer = nullptr;
}

TEST(EngineTimer, TimerResetKeepsTheTimeSpentFromBeingCaughtUp) {
  Engine e;
  ManualTimerClock clock;
  TGfxTimer timer(clock);
  timer.SetSpeed(30);
  timer.SetMaxFPS(30);
  timer.SetEnabled(true);
  int ticks = 0;
  timer.OnTimer = [&] { timer.Process(); };
  timer.OnProcess = [&] { ++ticks; };
  e.root->Services().timer = &timer;
  timer.Reset();
  timer.Idle();  // the first frame: nothing is due before it
  ticks = 0;

  clock.AdvanceMs(1000);  // a script that took a second
  EXPECT_EQ(e.Call("TimerReset"), "");
  timer.Idle();
  EXPECT_EQ(ticks, 0);  // nothing of that second is made up

  ticks = 0;
  clock.AdvanceMs(1000);  // the same second without the reset is caught up
  timer.Idle();
  EXPECT_EQ(ticks, 30);
  e.root->Services().timer = nullptr;
}

TEST(EngineEvents, InitGivesFreshVariablesAndRunsEvenWhenAutoInitIsOff) {
  Engine e;
  auto* side = e.Add<TQXScreen>(e.root.get(), "SIDE", 60);
  auto* child = e.Add<TQXImage>(side, "C", 61);
  side->AutoInit = false;
  side->SetScript(ScriptSlot::Init, "sideinit");
  child->SetScript(ScriptSlot::Init, "childinit");
  side->Variables = std::make_unique<TVarList>();
  side->Variables->Add(TVar{"OLD", ScriptValue::Int(1)});
  e.scripts.actions["sideinit"] = [](TVarList& vars) { vars.Add(TVar{"NEW", ScriptValue::Int(2)}); };

  e.root->DoInit();  // the ordinary Init pass skips the screen and its subtree
  EXPECT_TRUE(e.scripts.runs.empty());

  EXPECT_EQ(e.Call("Init(QXDB.SIDE)"), "");
  EXPECT_EQ(e.scripts.runs, (std::vector<std::string>{"InitPr:SIDE:sideinit", "Init:C:childinit"}));
  ASSERT_NE(side->Variables, nullptr);
  EXPECT_EQ(side->Variables->Find("OLD"), -1);  // a fresh set
  EXPECT_GE(side->Variables->Find("NEW"), 0);   // the script's variables are kept
  e.Call("Init()");
  e.Call("Init('SIDE')");
  EXPECT_EQ(e.scripts.runs.size(), 2u);
}

TEST(EngineEvents, ShowProcessAndMsMoveRaiseTheElementsEvents) {
  Engine e;
  auto* a = e.Add<TQXImage>(e.menu, "A", 70);
  auto* b = e.Add<TQXImage>(e.menu, "B", 71);
  auto* list = e.Add<TQXImList>(e.menu, "LIST", 72);
  e.menu->SetScript(ScriptSlot::Process, "menuprocess");
  e.menu->SetScript(ScriptSlot::MouseMove, "menumove");
  a->SetScript(ScriptSlot::Show, "ashow");
  a->SetScript(ScriptSlot::Process, "aprocess");
  a->SetScript(ScriptSlot::MouseMove, "amove");
  b->SetScript(ScriptSlot::Show, "bshow");
  b->SetScript(ScriptSlot::Process, "bprocess");
  list->SetScript(ScriptSlot::Process, "listprocess");
  b->SetVis(false);

  // Show: the element's Show event, then its children's, visible or not.
  e.Call("Show(QXDB.MENU)");
  EXPECT_EQ(e.scripts.runs, (std::vector<std::string>{"Show:MENU:menushow", "Show:A:ashow", "Show:B:bshow"}));
  // Process: the element's Process event, then each child by its own rule: a hidden one is
  // skipped, an image list runs no script of its own.
  e.scripts.runs.clear();
  e.Call("Process(QXDB.MENU)");
  EXPECT_EQ(e.scripts.runs, (std::vector<std::string>{"Process:MENU:menuprocess", "Process:A:aprocess"}));
  e.scripts.runs.clear();
  e.Call("Process(QXDB.MENU.B)");
  e.Call("Process(QXDB.MENU.LIST)");
  EXPECT_TRUE(e.scripts.runs.empty());
  // MsMove: only the element's own ms_Move event.
  e.Call("MsMove(QXDB.MENU)");
  EXPECT_EQ(e.scripts.runs, std::vector<std::string>{"ms_Move:MENU:menumove"});
  // Without an element: nothing, and no error.
  for (const char* call : {"Show()", "Process(1)", "MsMove('MENU')"}) EXPECT_EQ(e.Call(call), "") << call;
  EXPECT_EQ(e.scripts.runs.size(), 1u);
}

TEST(EngineVariables, GetVarReadsElementPathsFromTheCurrentElement) {
  Engine e;
  auto* a = e.Add<TQXImage>(e.menu, "A", 80);
  auto* b = e.Add<TQXImage>(e.menu, "B", 81);
  auto* cyrillic = e.Add<TQXImage>(e.menu, "\xC1", 82);  // CYRILLIC CAPITAL BE
  a->rX = 5;
  b->rX = 30;
  cyrillic->rX = 44;
  Scripts().CurrentElement = a;
  EXPECT_EQ(e.Call("GetVar('qxdb.menu.b.rx')"), "30");  // from the root
  EXPECT_EQ(e.Call("GetVar('.B.RX')"), "30");           // from the current element's parent
  EXPECT_EQ(e.Call("GetVar('rx')"), "5");               // the current element's own
  EXPECT_EQ(e.Call("GetVar('QXDB.MENU.\xE1.RX')"), "44");  // upper-cased with the letters of 1251
  EXPECT_EQ(e.Call("GetVar('QXDB.MENU.NONE.RX')"), "ERROR: Invalid parameters, function GETVAR");
  EXPECT_EQ(e.Call("GetVar('QXDB.MENU.B.NOTHING')"), "ERROR: Invalid parameters, function GETVAR");
  // A script variable of the name comes first.
  e.engine.Vars().Add(TVar{"RX", ScriptValue::Int(99)});
  EXPECT_EQ(e.Call("GetVar('rx')"), "99");
  Scripts().CurrentElement = nullptr;
}

TEST(EngineLists, AddAndDelete) {
  Engine e;
  auto* list = e.Add<TQXImList>(e.menu, "LIST", 30);
  e.Add<TQXImage>(e.menu, "Coin", 31);
  e.Call("ListAdd(QXDB.MENU.LIST, QXDB.MENU.COIN)");
  e.Call("ListAdd(QXDB.MENU.LIST, QXDB.MENU.COIN)");
  EXPECT_EQ(list->Items().size(), 2u);
  e.Call("ListDel(QXDB.MENU.LIST, 'COIN')");  // Ids match exactly
  EXPECT_EQ(list->Items().size(), 2u);
  e.Call("ListDel(QXDB.MENU.LIST, 'Coin')");
  EXPECT_EQ(list->Items().size(), 1u);
  e.Call("ListDel(QXDB.MENU.LIST, QXDB.MENU.COIN)");
  EXPECT_TRUE(list->Items().empty());
}

TEST(EngineLists, DeletingTheLastItemOfAScrolledListShowsTheRest) {
  Engine e;
  auto* list = e.Add<TQXImList>(e.menu, "LIST", 30);
  list->SetSizeX(300);
  list->SetSizeY(100);
  list->SetRowCount(1);
  list->SetColCount(3);
  for (int k = 0; k < 4; ++k) e.Add<TQXImage>(e.menu, "GEM" + std::to_string(k), 40 + k);
  e.Call("ListAdd(QXDB.MENU.LIST, QXDB.MENU.GEM0)");
  e.Call("ListAdd(QXDB.MENU.LIST, QXDB.MENU.GEM1)");
  e.Call("ListAdd(QXDB.MENU.LIST, QXDB.MENU.GEM2)");
  e.Call("ListAdd(QXDB.MENU.LIST, QXDB.MENU.GEM3)");
  EXPECT_EQ(e.Call("QXDB.MENU.LIST.ScrollPos"), "3");
  e.Call("ListDel(QXDB.MENU.LIST, QXDB.MENU.GEM3)");
  EXPECT_EQ(e.Call("QXDB.MENU.LIST.ScrollPos"), "0");
}

TEST(EngineSounds, IdsThroughTheSoundTable) {
  Engine e;
  e.Text("sounds.ini", "[Default]\nclick=70:click.wav\n[Music]\ntheme=theme.ogg\n");
  e.root->SetField(PropField::SoundFile, PropValue{0, 0, "sounds.ini"});
  e.Call("PlaySnd('click')");
  e.Call("PlayMuz('Music.theme')");
  e.Call("PlaySnd('nothing')");
  EXPECT_EQ(e.sounds, (std::vector<std::string>{"snd click.wav 70", "muz theme.ogg 100"}));
  EXPECT_EQ(e.Call("StopMuz()"), "ERROR: Invalid parameters, function STOPMUZ");
  EXPECT_EQ(e.Call("StopMuz(1, 2)"), "ERROR: Invalid parameters, function STOPMUZ");
  e.Call("StopMuz(0)");
  EXPECT_EQ(e.sounds.back(), "fade");
}

TEST(EngineFiles, IniTextsAndDeletion) {
  Engine e;
  EXPECT_EQ(e.Call("GetIni('Def', 'Snd', '5')"), "ERROR: Invalid parameters, function GETINI");
  EXPECT_EQ(e.Call("GetText('Menu.Missing')"), "");
  e.root->SetField(PropField::IniFile, PropValue{0, 0, "player.ini"});
  EXPECT_EQ(e.Call("SetIni('Game', 'Level', 3)"), "0");
  EXPECT_EQ(e.Call("GetIni('game', 'LEVEL', 'none')"), "3");
  e.Text("save.tmp", "x");
  EXPECT_EQ(e.Call("DelFile('SAVE.TMP')"), "0");
  EXPECT_FALSE(std::filesystem::exists(e.folder + "/save.tmp"));
  EXPECT_EQ(e.Call("DelFile('gone.tmp')"), "0");  // a missing file is no error
  EXPECT_EQ(e.Call("DelFile('..\\\\outside')").rfind("ERROR: Invalid parameters, function DELFILE : ", 0), 0u);
}

uint32_t HalfClear(int x, int) { return x < 2 ? 0xFFFFFFFFu : 0x40FFFFFFu; }

TEST(EnginePixels, GetAlphaReadsTheShownPattern) {
  Engine e;
  e.Png("two.png", 8, 2, HalfClear);
  e.Text("two.an", "2\n1\n");
  auto* img = e.Add<TQXImage>(e.menu, "IMG", 40);
  img->SetImImage("two.png");
  EXPECT_EQ(e.Call("GetAlpha(QXDB.MENU.IMG, 0, 0)"), "255");
  EXPECT_EQ(e.Call("GetAlpha(QXDB.MENU.IMG, 3, 1)"), "64");
  img->Anim = 1;
  EXPECT_EQ(e.Call("GetAlpha(QXDB.MENU.IMG, 0, 0)"), "64");
  EXPECT_EQ(e.Call("GetAlpha(QXDB.MENU.IMG, 9, 0)"), "0");  // outside the pattern
  EXPECT_EQ(e.Call("GetAlpha(QXDB.MENU, 0, 0)"), "0");
}

}  // namespace
}  // namespace qx
