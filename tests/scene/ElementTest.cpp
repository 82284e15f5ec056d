// The element model: tree, keys, layers, hit tests, property access by name, event scripts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>

#include "SceneTestSupport.h"
#include "elements/QXAnim.h"
#include "elements/QXText.h"

namespace qx {
namespace {

using test::SceneFixture;

TEST(ElementTree, ConstructionLinksChildrenAndHandles) {
  SceneFixture f;
  auto* s = f.Add<TQXScreen>(f.root.get(), "MENU", 10);
  auto* a = f.Add<TQXImage>(s, "A", 11);
  auto* b = f.Add<TQXImage>(s, "B", 12);
  EXPECT_EQ(s->Root(), f.root.get());
  EXPECT_EQ(a->Parent(), s);
  EXPECT_EQ(s->Children(), (std::vector<TQXElement*>{a, b}));
  EXPECT_TRUE(a->Vis);
  EXPECT_TRUE(a->MousedVis);
  EXPECT_EQ(f.root->FromHandle(b->Handle()), b);
  const uint32_t h = a->Handle();
  delete a;
  EXPECT_EQ(f.root->FromHandle(h), nullptr);  // a stale handle resolves to nothing
  EXPECT_EQ(s->Children(), (std::vector<TQXElement*>{b}));
}

TEST(ElementTree, CreateChildFollowsTheRegistry) {
  SceneFixture f;
  TQXElement* s = f.root->CreateChild("TQXScreen");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->ClassName(), "TQXScreen");
  TQXElement* img = s->CreateChild("TQXImage");
  ASSERT_NE(img, nullptr);
  EXPECT_EQ(img->CreateChild("TQXScreen"), nullptr);  // a screen under an image is refused
  EXPECT_EQ(s->CreateChild("TQXIMAGE"), nullptr);    // exact class names only
  EXPECT_EQ(s->CreateChild("TQXDB"), nullptr);
  EXPECT_EQ(f.root->CreateChild("TQXImage"), nullptr);
  EXPECT_NE(f.root->CreateChild("TQXAnim"), nullptr);
}

// The kinds' factory makes an element of every class but the root's, answering with that
// class's registry entry.
TEST(ElementTree, TheKindsFactoryMakesEveryClassButTheRoot) {
  SceneFixture f;
  for (const ClassInfo& cls : ClassTable()) {
    TQXElement* e = ElementKinds().Create(cls, *f.root);
    if (cls.id == ClassId::DB) {
      EXPECT_EQ(e, nullptr);
      continue;
    }
    ASSERT_NE(e, nullptr) << cls.name;
    EXPECT_EQ(&e->Class(), &cls);
    EXPECT_TRUE(e->IsExactly(cls.id));
    EXPECT_EQ(e->Parent(), f.root.get());
  }
}

// Every element of a tree makes its children through its root's factory.
TEST(ElementTree, ChildrenComeFromTheRootsFactory) {
  struct Recording final : ElementFactory {
    mutable std::vector<std::string> made;
    TQXElement* Create(const ClassInfo& cls, TQXElement& parent) const override {
      made.push_back(cls.name);
      return ElementKinds().Create(cls, parent);
    }
  } factory;
  TQXDB root(factory);
  TQXElement* screen = root.CreateChild("TQXScreen");
  ASSERT_NE(screen, nullptr);
  ASSERT_NE(screen->CreateChild("TQXImage"), nullptr);
  EXPECT_EQ(screen->CreateChild("TQXAnKey"), nullptr);  // refused by the registry: not asked
  EXPECT_EQ(factory.made, (std::vector<std::string>{"TQXScreen", "TQXImage"}));
}

TEST(ElementTree, FindByKeyReportsTheNextElementOutsideTheSubtree) {
  SceneFixture f;
  auto* s1 = f.Add<TQXScreen>(f.root.get(), "S1", 1);
  auto* a = f.Add<TQXImage>(s1, "A", 2);
  auto* a1 = f.Add<TQXImage>(a, "A1", 3);
  auto* s2 = f.Add<TQXScreen>(f.root.get(), "S2", 4);
  TQXElement* next = nullptr;
  EXPECT_EQ(f.root->FindByKey(3, &next), a1);
  EXPECT_EQ(next, s2);  // a1 and a are last children: the next is s1's sibling
  next = nullptr;
  EXPECT_EQ(f.root->FindByKey(2, &next), a);
  EXPECT_EQ(next, s2);
  next = nullptr;
  EXPECT_EQ(f.root->FindByKey(4, &next), s2);
  EXPECT_EQ(next, nullptr);
  next = a;  // a filled slot is left alone
  EXPECT_EQ(f.root->FindByKey(1, &next), s1);
  EXPECT_EQ(next, a);
  EXPECT_EQ(f.root->FindByKey(99), nullptr);
  EXPECT_EQ(s1->FindByKey(4), nullptr);  // only the subtree
}

TEST(ElementTree, FindChildByIdComparesUpperCaseExactly) {
  SceneFixture f;
  auto* menu = f.Add<TQXScreen>(f.root.get(), "MENU", 1);
  f.Add<TQXScreen>(f.root.get(), "Game", 2);
  EXPECT_EQ(f.root->FindChildById("menu"), menu);
  EXPECT_EQ(f.root->FindChildById("Game"), nullptr);  // only upper-case Ids match
}

TEST(Layers, RangeWidensAndNeverShrinks) {
  SceneFixture f;
  auto* s = f.Add<TQXScreen>(f.root.get(), "S", 1);
  auto* a = f.Add<TQXImage>(s, "A", 2);
  auto* b = f.Add<TQXImage>(s, "B", 3);
  a->SetOrder(3);
  b->SetOrder(-2);
  EXPECT_EQ(f.root->MinLayer(), -2);
  EXPECT_EQ(f.root->MaxLayer(), 3);
  a->SetOrder(0);
  EXPECT_EQ(f.root->MaxLayer(), 3);
}

TEST(Layers, AllFiveStillIncludesZero) {
  SceneFixture f;
  auto* s = f.Add<TQXScreen>(f.root.get(), "S", 1);
  s->SetOrder(5);
  f.Add<TQXImage>(s, "A", 2)->SetOrder(5);
  EXPECT_EQ(f.root->MinLayer(), 0);
  EXPECT_EQ(f.root->MaxLayer(), 5);
}

TEST(HitTest, LaterChildrenAreHitFirst) {
  SceneFixture f;
  auto* s = f.Add<TQXScreen>(f.root.get(), "S", 1);
  auto* under = f.Add<TQXShape>(s, "UNDER", 2);
  auto* over = f.Add<TQXShape>(s, "OVER", 3);
  EXPECT_EQ(s->HitTest(0, 50, 50, 0, 0), over);
  over->Vis = false;
  EXPECT_EQ(s->HitTest(0, 50, 50, 0, 0), under);
  EXPECT_EQ(s->HitTest(1, 50, 50, 0, 0), nullptr);  // another layer
}

TEST(HitTest, EligibilityFlags) {
  SceneFixture f;
  auto* s = f.Add<TQXScreen>(f.root.get(), "S", 1);
  auto* box = f.Add<TQXShape>(s, "BOX", 2);
  auto* inner = f.Add<TQXShape>(box, "INNER", 3);  // shapes never pass hits to children
  (void)inner;
  box->Vis = false;
  EXPECT_EQ(s->HitTest(0, 10, 10, 0, 0), nullptr);
  box->MousedNotVis = true;
  EXPECT_EQ(s->HitTest(0, 10, 10, 0, 0), box);  // invisible but mouse-enabled
  box->Vis = true;
  box->MousedVis = false;
  EXPECT_EQ(s->HitTest(0, 10, 10, 0, 0), nullptr);
  // A visible container with MousedVis off hides its children from the mouse.
  auto* holder = f.Add<TQXImage>(s, "HOLDER", 4);
  auto* child = f.Add<TQXShape>(holder, "CHILD", 5);
  EXPECT_EQ(s->HitTest(0, 10, 10, 0, 0), child);
  holder->MousedVis = false;
  EXPECT_EQ(s->HitTest(0, 10, 10, 0, 0), nullptr);
}

TEST(HitTest, ShapeBoundsAreInclusiveAndChildPointsAreRelative) {
  SceneFixture f;
  auto* s = f.Add<TQXScreen>(f.root.get(), "S", 1);
  auto* box = f.Add<TQXShape>(s, "BOX", 2);
  EXPECT_EQ(s->HitTest(0, 100, 100, 0, 0), box);
  EXPECT_EQ(s->HitTest(0, 101, 50, 0, 0), nullptr);
  s->SetX(10);  // the children's space moves with the screen
  EXPECT_EQ(s->HitTest(0, 105, 50, 0, 0), box);
  EXPECT_EQ(s->HitTest(0, 5, 50, 0, 0), nullptr);
}


TEST(HitTest, PositionsAtTheEndsOfTheIntegerRangeWrapInsteadOfOverflowing) {
  SceneFixture f;
  auto* s = f.Add<TQXScreen>(f.root.get(), "S", 1);
  auto* box = f.Add<TQXShape>(s, "BOX", 2);
  s->SetX(INT32_MAX);
  box->SetX(10);
  EXPECT_EQ(box->GetAbsX(), INT32_MIN + 9);
  EXPECT_EQ(s->HitTest(0, INT32_MIN, 0, 0, 0), nullptr);
  s->SetX(INT32_MIN);
  EXPECT_EQ(s->HitTest(0, INT32_MAX, 0, 0, 0), nullptr);
}
TEST(HitTest, APositionThatIsNoNumberCountsAsTheLowest) {
  SceneFixture f;
  auto* s = f.Add<TQXScreen>(f.root.get(), "S", 1);
  s->rX = std::numeric_limits<double>::quiet_NaN();  // what a damaged game file may hold
  s->rY = -std::numeric_limits<double>::infinity();
  EXPECT_EQ(s->X(), INT32_MIN);
  EXPECT_EQ(s->Y(), INT32_MIN);
  s->rY = std::numeric_limits<double>::infinity();
  EXPECT_EQ(s->Y(), INT32_MAX);
}

TEST(HitTest, ModalScreenSwallowsClicksOnItsLayer) {
  SceneFixture f;
  auto* s = f.Add<TQXScreen>(f.root.get(), "S", 1);
  auto* popup = f.Add<TQXScreen>(s, "POPUP", 2);  // a pop-up panel inside a screen
  popup->SetOrder(3);
  popup->Modal = true;
  EXPECT_EQ(s->HitTest(3, 500, 500, 0, 0), popup);
  EXPECT_EQ(s->HitTest(1, 500, 500, 0, 0), nullptr);
}

TEST(PropertyByName, PublishedPropertiesAnyCase) {
  SceneFixture f;
  auto* s = f.Add<TQXScreen>(f.root.get(), "S", 1);
  auto* img = f.Add<TQXImage>(s, "PIC", 2);
  ScriptValue v;
  ASSERT_TRUE(img->SetPropValue("HXTRANS", ScriptValue::Int(128)));
  ASSERT_TRUE(img->GetPropValue("hxtrans", v));
  EXPECT_EQ(v.Kind(), ValueKind::Integer);
  EXPECT_EQ(v.IntValue(), 128);
  ASSERT_TRUE(img->SetPropValue("SCALE", ScriptValue::Str("1.5")));
  ASSERT_TRUE(img->GetPropValue("SCALE", v));
  EXPECT_EQ(v.Kind(), ValueKind::Float);
  EXPECT_DOUBLE_EQ(v.FloatValue(), 1.5);
  ASSERT_TRUE(img->SetPropValue("ANIM", ScriptValue::Str("abc")));  // unparsable text is 0
  ASSERT_TRUE(img->GetPropValue("ANIM", v));
  EXPECT_EQ(v.IntValue(), 0);
  ASSERT_TRUE(img->SetPropValue("ANIM", ScriptValue::Str(" 7 ")));
  ASSERT_TRUE(img->GetPropValue("ANIM", v));
  EXPECT_EQ(v.IntValue(), 7);
  ASSERT_TRUE(img->SetPropValue("TAG", ScriptValue::Int(42)));
  ASSERT_TRUE(img->GetPropValue("TAG", v));
  EXPECT_EQ(v.StrValue(), "42");
  ASSERT_TRUE(img->SetPropValue("X", ScriptValue::Float(10.5)));  // through SetX
  EXPECT_DOUBLE_EQ(img->rX, 10.0);                                  // 10.5 rounds to even
  ASSERT_TRUE(img->SetPropValue("VIS", ScriptValue::Bool(false)));
  EXPECT_FALSE(img->Vis);
  ASSERT_TRUE(img->SetPropValue("HXDRAWFX", ScriptValue::Str("4294967295")));
  EXPECT_EQ(img->hxDrawFx, 0xFFFFFFFFu);
  ASSERT_TRUE(img->GetPropValue("HXDRAWFX", v));
  EXPECT_EQ(v.IntValue(), -1);  // 32 bits, as scripts see integers
  EXPECT_FALSE(img->GetPropValue("NOSUCH", v));
  EXPECT_FALSE(img->SetPropValue("NOSUCH", v));
}

TEST(PropertyByName, VariablesComeBeforeProperties) {
  SceneFixture f;
  auto* s = f.Add<TQXScreen>(f.root.get(), "S", 1);
  auto* img = f.Add<TQXImage>(s, "PIC", 2);
  img->Variables = std::make_unique<TVarList>();
  img->Variables->Add(TVar{"ANIM", ScriptValue::Int(9)});
  ScriptValue v;
  ASSERT_TRUE(img->GetPropValue("ANIM", v));
  EXPECT_EQ(v.IntValue(), 9);
  ASSERT_TRUE(img->SetPropValue("ANIM", ScriptValue::Int(4)));
  EXPECT_EQ(img->Anim, 0);  // the variable changed, not the property
  EXPECT_EQ((*img->Variables)[0].Value.IntValue(), 4);
}

TEST(PropertyByName, ChildrenBySpecialNamesAndIds) {
  SceneFixture f;
  auto* s = f.Add<TQXScreen>(f.root.get(), "S", 1);
  auto* a = f.Add<TQXImage>(s, "first", 2);
  auto* b = f.Add<TQXImage>(s, "Second", 3);
  ScriptValue v;
  auto element = [&](TQXElement* e, const std::string& name) -> TQXElement* {
    ScriptValue r;
    if (!e->GetPropValue(name, r) || r.Kind() != ValueKind::Element) return nullptr;
    return f.root->FromHandle(r.ElementHandle());
  };
  EXPECT_EQ(element(s, "FIRST"), a);  // child Ids compared upper-cased
  EXPECT_EQ(element(s, "first"), nullptr);
  EXPECT_EQ(element(s, "CHILD[2]"), b);
  EXPECT_EQ(element(s, "CHILD2"), b);
  EXPECT_FALSE(s->GetPropValue("CHILD[0]", v));
  EXPECT_FALSE(s->GetPropValue("CHILD[x]", v));
  EXPECT_FALSE(s->GetPropValue("CHILD3", v));
  EXPECT_FALSE(s->GetPropValue("CHILD[", v));
  EXPECT_EQ(element(a, "PARENT"), s);
  EXPECT_EQ(element(a, "SELF"), a);
  EXPECT_EQ(element(a, "QXDB"), f.root.get());
  EXPECT_FALSE(f.root->GetPropValue("PARENT", v));
  ASSERT_TRUE(s->GetPropValue("CHILDCOUNT", v));
  EXPECT_EQ(v.IntValue(), 2);
  ASSERT_TRUE(b->GetPropValue("PARPOS", v));
  EXPECT_EQ(v.IntValue(), 2);
  ASSERT_TRUE(b->GetPropValue("CLASS", v));
  EXPECT_EQ(v.StrValue(), "TQXIMAGE");
  b->SetX(5);
  s->SetX(100);
  ASSERT_TRUE(b->GetPropValue("ABSX", v));
  EXPECT_EQ(v.IntValue(), 105);
  EXPECT_FALSE(b->GetPropValue("TEXTSZ", v));
  auto* text = f.Add<TQXText>(s, "T", 4);
  ASSERT_TRUE(text->GetPropValue("TEXTSZ", v));
  EXPECT_EQ(v.Kind(), ValueKind::Float);
}

TEST(PropertyByName, MouseAndCursorNames) {
  SceneFixture f;
  auto* s = f.Add<TQXScreen>(f.root.get(), "S", 1);
  auto* a = f.Add<TQXImage>(s, "A", 2);
  RuntimeState& rt = Runtime();
  ScriptValue v;
  EXPECT_FALSE(a->GetPropValue("CURSOR", v));
  EXPECT_FALSE(a->GetPropValue("CURSORAT", v));
  ASSERT_TRUE(a->GetPropValue("CURSORATNIL", v));
  EXPECT_EQ(v.IntValue(), 1);
  rt.MousedElement = a;
  rt.MouseIsDown = true;
  rt.LastKey = 65;
  ASSERT_TRUE(a->GetPropValue("MOUSEINDOWN", v));
  EXPECT_TRUE(v.BoolValue());
  ASSERT_TRUE(s->GetPropValue("MOUSEINDOWN", v));
  EXPECT_FALSE(v.BoolValue());
  ASSERT_TRUE(a->GetPropValue("KEYDOWNED", v));
  EXPECT_EQ(v.IntValue(), 65);
  ASSERT_TRUE(s->SetPropValue("CURSOR", ScriptValue::Element(a->Handle())));
  EXPECT_EQ(rt.CursorElement, a);
  ASSERT_TRUE(s->SetPropValue("CURSOR", ScriptValue::Element(0)));
  EXPECT_EQ(rt.CursorElement, nullptr);
  EXPECT_FALSE(s->SetPropValue("CURSOR", ScriptValue::Int(5)));
}

TEST(PropertyByName, QuotedValueWithoutTranslationIsKeptWithItsQuotes) {
  SceneFixture f;
  auto* s = f.Add<TQXScreen>(f.root.get(), "S", 1);
  ASSERT_TRUE(s->SetPropValue("TAG", ScriptValue::Str("\"Menu.Title\"")));
  EXPECT_EQ(s->Tag, "\"Menu.Title\"");
}

TEST(RootProperties, VolumesAndFullScreen) {
  SceneFixture f;
  ScriptValue v;
  ASSERT_TRUE(f.root->SetPropValue("VOLMUZ", ScriptValue::Int(80)));
  ASSERT_TRUE(f.root->GetPropValue("VOLMUZ", v));
  EXPECT_EQ(v.IntValue(), 80);
  ASSERT_TRUE(f.root->SetPropValue("FULLSCREEN", ScriptValue::Int(1)));
  EXPECT_TRUE(Runtime().FullScreenWanted);
  ASSERT_TRUE(f.root->GetPropValue("FULLSCREEN", v));
  EXPECT_EQ(v.IntValue(), 1);
}

TEST(Texts, SubstituteTextsQuotesTranslations) {
  SceneFixture f;
  // Without a language table every reference translates to an empty text.
  EXPECT_EQ(f.root->SubstituteTexts("A := \"Menu.Start\"; B := 1"), "A := ''; B := 1");
  EXPECT_EQ(f.root->SubstituteTexts("X := \"unclosed"), "X := unclosed");
  EXPECT_EQ(f.root->SubstituteTexts("no quotes"), "no quotes");
}

TEST(EventScripts, EventsRunWithTheirNamesOnTheNextInterpreter) {
  SceneFixture f;
  auto* s = f.Add<TQXScreen>(f.root.get(), "S", 1);
  auto* a = f.Add<TQXShape>(s, "A", 2);
  s->SetScript(ScriptSlot::Process, "proc");
  a->SetScript(ScriptSlot::Process, "aproc");
  a->SetScript(ScriptSlot::MouseDown, "down");
  EXPECT_EQ(a->Script(ScriptSlot::MouseDown).prepared, "P:down");
  s->DoProcess();
  a->DoMouseDown();
  a->DoMouseUp();  // no script: nothing runs
  EXPECT_EQ(f.scripts.runs, (std::vector<std::string>{"Process:S:proc", "Process:A:aproc", "ms_Down:A:down"}));
  EXPECT_EQ(f.scripts.depths, (std::vector<int>{1, 1, 1}));
  EXPECT_EQ(Scripts().ScriptDepth, 1);
  EXPECT_EQ(Scripts().CurrentElement, nullptr);
}

TEST(EventScripts, InvisibleElementsAreNotProcessedUnlessMouseEnabled) {
  SceneFixture f;
  auto* s = f.Add<TQXScreen>(f.root.get(), "S", 1);
  auto* a = f.Add<TQXShape>(s, "A", 2);
  auto* b = f.Add<TQXShape>(a, "B", 3);
  a->SetScript(ScriptSlot::Process, "a");
  b->SetScript(ScriptSlot::Process, "b");
  a->Vis = false;
  s->DoProcess();
  EXPECT_TRUE(f.scripts.runs.empty());
  a->MousedNotVis = true;
  s->DoProcess();
  EXPECT_EQ(f.scripts.runs.size(), 2u);
}

TEST(EventScripts, InitCapturesVariablesAndReplacesOldOnes) {
  SceneFixture f;
  auto* s = f.Add<TQXScreen>(f.root.get(), "S", 1);
  f.scripts.actions["init"] = [](TVarList& vars) { vars.Add(TVar{"COUNT", ScriptValue::Int(3)}); };
  s->SetScript(ScriptSlot::Init, "init");
  s->Variables = std::make_unique<TVarList>();
  s->Variables->Add(TVar{"OLD", ScriptValue::Int(1)});
  s->DoInit();
  ASSERT_NE(s->Variables, nullptr);
  EXPECT_EQ(s->Variables->Find("OLD"), -1);
  EXPECT_EQ(s->Variables->Find("COUNT"), 0);
  f.scripts.runs.clear();
  s->DoInitPr();
  EXPECT_EQ(f.scripts.runs, std::vector<std::string>{"InitPr:S:init"});
}

TEST(EventScripts, ScreensWithoutAutoInitSkipTheInitPass) {
  SceneFixture f;
  auto* s = f.Add<TQXScreen>(f.root.get(), "S", 1);
  auto* a = f.Add<TQXShape>(s, "A", 2);
  s->SetScript(ScriptSlot::Init, "s");
  a->SetScript(ScriptSlot::Init, "a");
  s->AutoInit = false;
  f.root->DoInit();
  EXPECT_TRUE(f.scripts.runs.empty());
  s->DoInitPr();  // the explicit Init still runs it and its children
  EXPECT_EQ(f.scripts.runs, (std::vector<std::string>{"InitPr:S:s", "Init:A:a"}));
}

TEST(EventScripts, NestingIsRefusedAtTheTenthLevel) {
  SceneFixture f;
  auto* s = f.Add<TQXScreen>(f.root.get(), "S", 1);
  auto* a = f.Add<TQXShape>(s, "LOOP", 7);
  // Each run raises the same event again: the pool allows nine nested levels.
  f.scripts.actions["again"] = [a](TVarList&) { a->DoMouseDown(); };
  a->SetScript(ScriptSlot::MouseDown, "again");
  char folder[] = "/tmp/qxnestXXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  f.root->SetGameFolder(folder);
  a->DoMouseDown();
  EXPECT_EQ(f.scripts.runs.size(), 9u);
  EXPECT_EQ(f.scripts.depths.back(), 9);
  EXPECT_EQ(Scripts().ScriptDepth, 1);
  EXPECT_EQ(Scripts().CurrentElement, nullptr);
  std::ifstream log(Runtime().GameFolder + "korvane.err");
  std::string line;
  std::getline(log, line);
  EXPECT_EQ(line, "Very recursion (in LOOP <TQXShape #7> ms_Down");
  std::filesystem::remove_all(folder);
}

TEST(Resources, LoadAndResetWalkTheSubtree) {
  SceneFixture f;
  auto* s = f.Add<TQXScreen>(f.root.get(), "S", 1);
  auto* a = f.Add<TQXImage>(s, "A", 2);
  a->SetImImage("door.png");
  s->LoadResources();
  EXPECT_TRUE(s->ResourcesLoaded);
  EXPECT_TRUE(a->ResourcesLoaded);
  EXPECT_EQ(a->ImImage(), "DOOR.PNG");  // the cache entry's name, re-assigned
  f.root->ResetResources();
  EXPECT_FALSE(a->ResourcesLoaded);
  s->Render(0, 0xFFFFFFFF, 0, 0, false);  // drawing loads what is missing
  EXPECT_TRUE(a->ResourcesLoaded);
}

}  // namespace
}  // namespace qx

namespace qx {
namespace {

TEST(SceneHost, ScriptFilesResolveInsideTheGameFolderWithoutRegardToCase) {
  char dir[] = "/tmp/qxhostXXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string folder = dir;
  std::filesystem::create_directories(folder + "/Scripts");
  std::ofstream(folder + "/Scripts/Common.txt") << "X := 1;";
  std::ofstream(folder + "/game.qxf") << "";
  test::SceneFixture f;
  f.root->GameFilePath = folder + "/game.qxf";
  f.root->LoadGame();
  EXPECT_EQ(f.host->ResolveGameFile("SCRIPTS\\common.TXT"), folder + "/Scripts/Common.txt");
  EXPECT_EQ(f.host->ResolveGameFile("..\\etc\\passwd"), "");
  EXPECT_EQ(f.host->ResolveGameFile("/etc/passwd"), "");
  EXPECT_EQ(f.host->ResolveGameFile("missing.txt"), "");
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace qx
