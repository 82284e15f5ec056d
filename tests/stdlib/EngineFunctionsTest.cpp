// The engine built-ins as scripts call them, against a tree built in code.
#include <gtest/gtest.h>

#include "elements/QXAnKey.h"
#include "elements/QXAnim.h"
#include "elements/QXEffect.h"
#include "elements/QXImList.h"
#include "elements/QXImage.h"
#include "elements/QXText.h"
#include "scene/MediaStage.h"
#include "script/lib/scriptfuncs.h"
#include "script/scriptengine.h"

namespace qx {
namespace {

struct Engine : test::MediaStage {
  TScriptEngine engine;
  TQXScreen* menu;
  TQXScreen* room;
  std::vector<std::string> sounds;

  Engine() {
    RegisterBuiltins(engine);
    Runtime().Root = root.get();
    Runtime().Parts.PlaySound = [this](const std::string& f, int v) { sounds.push_back("snd " + f + " " + std::to_string(v)); };
    Runtime().Parts.PlayMusic = [this](const std::string& f, int v) { sounds.push_back("muz " + f + " " + std::to_string(v)); };
    Runtime().Parts.FadeOutAllMusic = [this] { sounds.push_back("fade"); };
    menu = Add<TQXScreen>(root.get(), "MENU", 1);
    room = Add<TQXScreen>(root.get(), "ROOM", 2);
    menu->SetScript(ScriptSlot::Show, "menushow");
    room->SetScript(ScriptSlot::Show, "roomshow");
    Runtime().CurrentScreen = menu;
  }
  ~Engine() { Runtime().Root = nullptr; }

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
  e.Call("LoadIm");
  EXPECT_EQ(rt.CurrentScreen, e.room);
  EXPECT_EQ(e.scripts.runs.back(), "Show:ROOM:roomshow");
  EXPECT_EQ(e.sounds, std::vector<std::string>{"fade"});  // music fades at every change
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
