// The level mini-game natives: task meters, falling pieces, group labelling and dragging
// inside a field, on trees built in code (well-formed and broken).
#include <gtest/gtest.h>

#include <algorithm>

#include "base/Random.h"
#include "elements/QXAnim.h"
#include "elements/QXText.h"
#include "builtins/LevelStage.h"

namespace qx {
namespace {

using test::Int;
using test::Ref;
using test::Var;
using test::VarText;

// --- task meter -------------------------------------------------------------------------

// A level screen and the interface around the meter bar: ".SCR" names the level, ".PRB" and
// ".PRF" are the bar's frames and ".PRAN" its closing animation.
struct Meter : test::LevelStage {
  TQXScreen* level = Screen("Level1");
  TQXScreen* gui = Screen("GI");
  TQXImage* bar = Image(gui, "BAR");
  TQXImage* prb = Image(gui, "PRB");
  TQXImage* prf = Image(gui, "PRF");
  TQXAnim* pran = Add<TQXAnim>(gui, "PRAN", 90);

  Meter() {
    Var(gui, "SCR", Ref(level));
    pran->SetScript(ScriptSlot::Start, "prstart");
    pran->Vis = false;
  }
  TQXImage* Task(TQXElement* parent, const std::string& id, const std::string& tag, bool vis = true) {
    TQXImage* t = Image(parent, id);
    t->Tag = tag;
    t->Vis = vis;
    return t;
  }
  int Starts() const {
    return static_cast<int>(std::count(scripts.runs.begin(), scripts.runs.end(), "anStart:PRAN:prstart"));
  }
};

TEST(TaskMeter, LevProgWeighsEveryTask) {
  Meter m;
  m.Task(m.level, "Krist", "");
  m.Task(m.level, "Krist", "", false);  // crystals weigh 3 whatever their state
  TQXImage* find = m.Task(m.level, "F", "FIND");
  for (int i = 0; i < 4; ++i) m.Task(find, "I" + std::to_string(i), "", i != 2);
  m.Task(m.level, "A", "ACT", false);
  m.Add<TQXText>(m.level, "T", 99)->Tag = "ACT";  // not an image: no task
  m.Call("MagicLevProg(QXDB.LEVEL1)");
  EXPECT_EQ(VarText(m.level, "ENDCN"), "15");
  EXPECT_EQ(VarText(m.level, "A[1]"), "0");
  EXPECT_EQ(VarText(m.level, "ENDAN"), "0");
}

TEST(TaskMeter, ActionsAndLogicTasksAreNumberedApartIncludingNestedOnes) {
  Meter m;
  m.Task(m.level, "A1", "ACT");
  TQXImage* group = m.Task(m.level, "G", "door");
  m.Task(group, "A2", "ACT");
  m.Task(group, "L1", "LOG");
  m.Task(group, "X", "FIND");  // nested: only actions and logic tasks count
  TQXImage* hidden = m.Task(m.level, "H", "", false);
  m.Task(hidden, "L2", "LOG");  // visible itself, but its holder is hidden
  Var(m.level, "ENDCN", Int(99));
  m.Call("MagicLevProg(QXDB.LEVEL1)");
  EXPECT_EQ(VarText(m.level, "ENDCN"), "30");  // an existing variable is overwritten
  EXPECT_EQ(VarText(m.level, "A[1]"), "1");
  EXPECT_EQ(VarText(m.level, "A[2]"), "1");
  EXPECT_EQ(VarText(m.level, "LG[1]"), "1");
  EXPECT_EQ(VarText(m.level, "LG[2]"), "0");
  m.Call("MagicLevProg(QXDB.GI.BAR)");  // an image, not a screen: nothing
  m.Call("MagicLevProg()");
  m.Call("MagicLevProg(7)");
}

TEST(TaskMeter, NoTasksLeavesTheBarVisibleAtZero) {
  Meter m;
  m.Call("MagicLevProg(QXDB.LEVEL1)");
  EXPECT_EQ(VarText(m.level, "ENDCN"), "0");
  m.bar->ScaleX = 0.5;
  m.bar->SethxTrans(0);
  m.prb->Vis = false;
  m.Call("MagicGIProg(QXDB.GI.BAR)");
  EXPECT_EQ(m.bar->ScaleX, 0);
  EXPECT_EQ(m.bar->hxTrans(), 255);
  EXPECT_TRUE(m.prb->Vis);
  EXPECT_TRUE(m.prf->Vis);
  EXPECT_FALSE(m.pran->Vis);
  EXPECT_EQ(m.Starts(), 0);
}

TEST(TaskMeter, BarFillsAndTheClosingAnimationStartsOnce) {
  Meter m;
  TQXImage* krist = m.Task(m.level, "Krist", "");
  TQXImage* act = m.Task(m.level, "A", "ACT");
  TQXImage* find = m.Task(m.level, "F", "FIND");
  TQXImage* item = m.Task(find, "I", "");
  m.Call("MagicLevProg(QXDB.LEVEL1)");
  EXPECT_EQ(VarText(m.level, "ENDCN"), "9");
  m.Call("MagicGIProg(QXDB.GI.BAR)");
  EXPECT_EQ(m.bar->ScaleX, 0);
  krist->Vis = false;
  item->SethxTrans(254);  // a found item fades: done at once
  m.Call("MagicGIProg(QXDB.GI.BAR)");
  EXPECT_DOUBLE_EQ(m.bar->ScaleX, 4.0 / 9);
  EXPECT_EQ(m.bar->hxTrans(), 255);
  act->Vis = false;
  m.Call("MagicGIProg(QXDB.GI.BAR)");
  EXPECT_EQ(m.bar->ScaleX, 1);
  EXPECT_EQ(m.bar->hxTrans(), 0);
  EXPECT_FALSE(m.prb->Vis);
  EXPECT_FALSE(m.prf->Vis);
  EXPECT_TRUE(m.pran->Vis);
  EXPECT_TRUE(m.pran->Active);
  EXPECT_EQ(m.Starts(), 1);
  EXPECT_EQ(VarText(m.level, "ENDAN"), "1");
  m.pran->Active = false;
  m.Call("MagicGIProg(QXDB.GI.BAR)");
  m.Call("MagicGIProg(QXDB.GI.BAR)");
  EXPECT_EQ(m.Starts(), 1);
  EXPECT_FALSE(m.pran->Active);
  EXPECT_EQ(VarText(m.level, "ENDAN"), "1");
  act->Vis = true;  // a task back: the bar shows again and the animation hides
  m.Call("MagicGIProg(QXDB.GI.BAR)");
  EXPECT_EQ(m.bar->hxTrans(), 255);
  EXPECT_FALSE(m.pran->Vis);
}

TEST(TaskMeter, AnActionCountsOnlyAfterItHasAppeared) {
  Meter m;
  m.Task(m.level, "Krist", "");
  TQXImage* act = m.Task(m.level, "A", "ACT", false);
  m.Call("MagicLevProg(QXDB.LEVEL1)");
  for (int i = 0; i < 3; ++i) m.Call("MagicGIProg(QXDB.GI.BAR)");
  EXPECT_EQ(m.bar->ScaleX, 0);  // hidden from the start and never shown
  EXPECT_EQ(VarText(m.level, "A[1]"), "0");
  act->Vis = true;
  m.Call("MagicGIProg(QXDB.GI.BAR)");
  EXPECT_EQ(VarText(m.level, "A[1]"), "1");
  EXPECT_EQ(m.bar->ScaleX, 0);
  act->Vis = false;
  m.Call("MagicGIProg(QXDB.GI.BAR)");
  EXPECT_DOUBLE_EQ(m.bar->ScaleX, 5.0 / 8);
}

TEST(TaskMeter, GIProgStopsWithoutALevelScreen) {
  Meter m;
  m.bar->ScaleX = 0.25;
  Var(m.gui, "SCR", Int(5));
  m.Call("MagicGIProg(QXDB.GI.BAR)");
  EXPECT_EQ(m.bar->ScaleX, 0.25);
  m.gui->Variables.reset();  // no ".SCR" at all
  m.Call("MagicGIProg(QXDB.GI.BAR)");
  EXPECT_EQ(m.bar->ScaleX, 0.25);
  m.Call("MagicGIProg(QXDB.GI)");  // a screen is not a bar
  EXPECT_EQ(m.bar->ScaleX, 0.25);
}

TEST(TaskMeter, MapProgSumsTheLevelScreens) {
  Meter m;
  m.bar->ScaleX = 0.5;
  m.Task(m.level, "Krist", "", false);
  m.Call("MagicMapProg(QXDB.GI.BAR)");  // no level measured yet (no ENDCN): zero
  EXPECT_EQ(m.bar->ScaleX, 0);
  m.Task(m.level, "Krist", "");
  TQXScreen* two = m.Screen("Level2");
  m.Task(two, "A", "ACT");
  TQXScreen* log = m.Screen("Level2Log");  // logic screens are left out
  m.Task(log, "Krist", "", false);
  TQXScreen* upper = m.Screen("LEVEL3");  // the prefix is matched exactly
  m.Task(upper, "Krist", "", false);
  m.Call("MagicLevProg(QXDB.LEVEL1)");
  m.Call("MagicLevProg(QXDB.LEVEL2)");
  m.Call("MagicLevProg(QXDB.LEVEL2LOG)");
  m.Call("MagicLevProg(QXDB.LEVEL3)");
  m.Call("MagicMapProg(QXDB.GI.BAR)");
  EXPECT_DOUBLE_EQ(m.bar->ScaleX, 3.0 / 11);
  two->Children()[0]->Vis = false;
  m.Call("MagicMapProg(QXDB.GI.BAR)");
  EXPECT_DOUBLE_EQ(m.bar->ScaleX, 8.0 / 11);
  EXPECT_EQ(m.bar->hxTrans(), 255);  // nothing but the scale changes
}

// --- falling pieces ---------------------------------------------------------------------

struct Column : test::LevelStage {
  TQXScreen* screen = Screen("S");
  TQXImage* column = Image(screen, "COL");
  TQXImage* sign = Image(screen, "B7");

  Column() {
    column->Tag = "7";
    sign->Vis = false;
    Var(column, "MOVING", Int(1));
    Var(screen, "MOVING", Int(0));
    Var(screen, "COLS", Int(1));
  }
  // A piece at y with a hidden cover and a marker.
  TQXImage* Piece(double y, uint8_t trans = 255, int anim = 0) {
    TQXImage* p = Image(column, "P", 0, y);
    p->SethxTrans(trans);
    p->Anim = anim;
    Image(p, "COVER")->Vis = false;
    Image(p, "MARK")->SethxTrans(0);
    return p;
  }
  TQXImage* Marker(TQXImage* p) { return static_cast<TQXImage*>(p->Children()[1]); }
};

TEST(FallingPieces, MarkersFadeByFiftyInBytes) {
  Column c;
  Var(c.column, "MOVING", Int(0));
  TQXImage* a = c.Piece(0);
  TQXImage* b = c.Piece(50);
  c.Marker(a)->Tag = "*";
  c.Marker(a)->SethxTrans(150);
  c.Marker(b)->SethxTrans(30);
  c.Call("MagicLev6_1(QXDB.S.COL)");
  EXPECT_EQ(c.Marker(a)->hxTrans(), 200);
  EXPECT_EQ(c.Marker(b)->hxTrans(), 236);  // 30 - 50 wraps round the byte
  c.Call("MagicLev6_1(QXDB.S.COL)");
  c.Call("MagicLev6_1(QXDB.S.COL)");
  EXPECT_EQ(c.Marker(a)->hxTrans(), 250);  // stops at 250
  EXPECT_EQ(a->Y(), 0);                    // nothing moves while MOVING is 0
}

TEST(FallingPieces, PiecesFallUntilTheyRestOnTheOneBelow) {
  Column c;
  TQXImage* low = c.Piece(400);
  TQXImage* high = c.Piece(340);
  c.Call("MagicLev6_1(QXDB.S.COL)");
  EXPECT_EQ(low->Y(), 400);   // at the floor
  EXPECT_EQ(high->Y(), 350);  // fell 10
  EXPECT_EQ(VarText(c.column, "MOVING"), "1");
  EXPECT_EQ(VarText(c.screen, "MOVING"), "1");
  c.Call("MagicLev6_1(QXDB.S.COL)");
  EXPECT_EQ(high->Y(), 350);  // resting on the piece below
  EXPECT_EQ(VarText(c.column, "MOVING"), "0");
  low->SethxTrans(0);  // the piece below vanished: respawned at the top, the other falls
  Var(c.column, "MOVING", Int(1));
  c.Call("MagicLev6_1(QXDB.S.COL)");
  EXPECT_EQ(high->Y(), 360);
  EXPECT_EQ(low->Y(), 360 - 50);  // above the highest piece, after it fell
  EXPECT_EQ(c.column->Children().back(), low);
}

TEST(FallingPieces, RespawnTakesARandomColourAboveTheHighestPiece) {
  Column c;
  SeedRandom(7);
  Var(c.screen, "COLS", Int(5));
  TQXImage* gone = c.Piece(420, 0, 3);
  c.Piece(-120);
  TQXImage* last = c.Piece(60);
  c.Call("MagicLev6_1(QXDB.S.COL)");
  EXPECT_EQ(gone->Y(), -160);  // 50 above the highest piece (which fell to -110 first)
  EXPECT_EQ(gone->hxTrans(), 5);
  EXPECT_GE(gone->Anim, 0);
  EXPECT_LT(gone->Anim, 5);
  EXPECT_EQ(c.Marker(gone)->Anim, gone->Anim + 6);
  EXPECT_EQ(c.column->Children().back(), gone);
  EXPECT_EQ(last->Y(), 70);  // the walk went on past the respawned piece
}

TEST(FallingPieces, FadeInReachesOpaqueOnlyFromFiveAboveAStep) {
  Column c;
  TQXImage* fromFive = c.Piece(0, 5);
  TQXImage* fromTen = c.Piece(-1000, 10);
  c.Piece(-2000, 10)->Children()[0]->Vis = true;  // covered: no fade
  for (int i = 0; i < 10; ++i) {
    Var(c.column, "MOVING", Int(1));
    c.Call("MagicLev6_1(QXDB.S.COL)");
  }
  EXPECT_EQ(fromFive->hxTrans(), 255);
  EXPECT_EQ(fromTen->hxTrans(), 10);  // above the screen (Y < 0) it does not fade
  fromTen->rY = 0;
  for (int i = 0; i < 10; ++i) {
    Var(c.column, "MOVING", Int(1));
    c.Call("MagicLev6_1(QXDB.S.COL)");
  }
  EXPECT_EQ(fromTen->hxTrans(), 4);  // 10 + 250 wraps to 4
  EXPECT_EQ(c.column->Children()[2]->Children()[0]->Vis, true);
  EXPECT_EQ(static_cast<TQXImage*>(c.column->Children()[2])->hxTrans(), 10);
}

TEST(FallingPieces, SpecialPiecesFallThroughTheFloorAndShowTheSign) {
  Column c;
  TQXImage* special = c.Piece(440, 255, 12);
  c.Call("MagicLev6_1(QXDB.S.COL)");
  EXPECT_EQ(special->Y(), 450);
  EXPECT_TRUE(c.sign->Vis);
  EXPECT_EQ(special->hxTrans(), 0);
}

TEST(FallingPieces, BrokenColumnsAreWalkedSafely) {
  Column c;
  c.Image(c.column, "NOCHILD", 0, 100);
  TQXImage* one = c.Image(c.column, "ONECHILD", 0, 100);
  c.Image(one, "COVER");
  c.Add<TQXText>(c.column, "TEXT", 98);
  TQXImage* textMarker = c.Image(c.column, "TEXTMARKER", 0, 100);
  c.Image(textMarker, "COVER");
  c.Add<TQXText>(textMarker, "MARK", 97);
  TQXImage* good = c.Piece(100);
  c.Call("MagicLev6_1(QXDB.S.COL)");
  EXPECT_EQ(good->Y(), 110);
  EXPECT_EQ(one->Y(), 100);
  TQXImage* empty = c.Image(c.screen, "EMPTY");
  Var(empty, "MOVING", Int(1));
  c.Call("MagicLev6_1(QXDB.S.EMPTY)");
  c.Call("MagicLev6_1(QXDB.S)");
}

// --- group labelling --------------------------------------------------------------------

// A 9 x 9 board in rows "L1" .. "L9" beside the board image, coloured as a checkerboard of
// colours 0 and 1 so that no cell has a same-coloured neighbour until a test paints some.
struct Groups : test::LevelStage {
  TQXScreen* screen = Screen("S");
  TQXImage* board = Image(screen, "BOARD");
  TQXImage* cells[10][9] = {};

  Groups() {
    for (int r = 1; r <= 9; ++r) {
      TQXImage* row = Image(screen, "L" + std::to_string(r));
      for (int col = 0; col < 9; ++col) {
        cells[r][col] = Image(row, "C");
        cells[r][col]->Anim = (r + col) % 2;
        cells[r][col]->Tag = "stale";
      }
    }
    Var(board, "MMX", Int(5));
    board->SetScript(ScriptSlot::MouseMove, "mm");
  }
  std::string Tag(int r, int col) { return cells[r][col]->Tag; }
};

TEST(GroupLabels, AnLOfThreeSharesOneLabelAndAPairIsCrossedOut) {
  Groups g;
  g.cells[1][0]->Anim = 2;
  g.cells[2][0]->Anim = 8;  // highlighted colour 2
  g.cells[2][1]->Anim = 2;
  g.cells[5][5]->Anim = 3;
  g.cells[5][6]->Anim = 3;
  g.Call("MagicLev6_2(QXDB.S.BOARD)");
  EXPECT_NE(g.Tag(1, 0), "x");
  EXPECT_EQ(g.Tag(2, 0), g.Tag(1, 0));
  EXPECT_EQ(g.Tag(2, 1), g.Tag(1, 0));
  EXPECT_EQ(g.cells[2][0]->Anim, 2);  // the highlight is dropped
  EXPECT_EQ(g.Tag(5, 5), "x");
  EXPECT_EQ(g.Tag(5, 6), "x");
  EXPECT_EQ(g.Tag(9, 8), "x");
  EXPECT_EQ(VarText(g.board, "MMX"), "-1");
  EXPECT_EQ(g.scripts.runs, std::vector<std::string>{"ms_Move:BOARD:mm"});
}

TEST(GroupLabels, LabelsMergeAcrossAU) {
  Groups g;
  // Both arms start with their own label; they meet at the bottom right of the U.
  const int u[][2] = {{1, 0}, {2, 0}, {3, 0}, {3, 1}, {3, 2}, {2, 2}, {1, 2}, {1, 3}};
  for (const auto& c : u) g.cells[c[0]][c[1]]->Anim = 4;
  g.Call("MagicLev6_2(QXDB.S.BOARD)");
  for (const auto& c : u) EXPECT_EQ(g.Tag(c[0], c[1]), g.Tag(1, 0)) << c[0] << "," << c[1];
  EXPECT_NE(g.Tag(1, 0), "x");
  int crossed = 0;
  for (int r = 1; r <= 9; ++r) {
    for (int col = 0; col < 9; ++col) crossed += g.Tag(r, col) == "x";
  }
  EXPECT_EQ(crossed, 81 - 8);
}

TEST(GroupLabels, BrokenBoardsLabelWhatIsThere) {
  Groups g;
  TQXElement* row3 = g.screen->Children()[3];
  row3->Id = "GONE";  // no row L3
  TQXElement* row5 = g.screen->Children()[5];
  while (row5->ChildCount() > 4) delete row5->Children().back();  // a short row
  g.screen->Children()[7]->Id = "OLD7";  // a row L7 whose first cell is no image
  TQXImage* row7 = g.Image(g.screen, "L7");
  g.Add<TQXText>(row7, "T", 96);
  for (int col = 1; col < 9; ++col) g.Image(row7, "C")->Anim = 5;
  g.cells[1][0]->Anim = 2;
  g.cells[1][1]->Anim = 2;
  g.cells[1][2]->Anim = 2;
  g.Call("MagicLev6_2(QXDB.S.BOARD)");
  EXPECT_EQ(g.Tag(1, 1), g.Tag(1, 0));
  EXPECT_EQ(g.Tag(1, 2), g.Tag(1, 0));
  EXPECT_NE(g.Tag(1, 0), "x");
  EXPECT_EQ(g.Tag(3, 0), "stale");  // not part of the board any more
  EXPECT_NE(row7->Children()[1]->Tag, "x");  // the eight images of the new L7 form a group
  EXPECT_EQ(row7->Children()[0]->Tag, "");
  // A board without rows beside it: only MMX and the move event.
  TQXScreen* lone = g.Screen("LONE");
  TQXImage* board = g.Image(lone, "B");
  Var(board, "MMX", Int(0));
  g.Call("MagicLev6_2(QXDB.LONE.B)");
  EXPECT_EQ(VarText(board, "MMX"), "-1");
}

// --- dragging inside a field --------------------------------------------------------------

struct Field : test::LevelStage {
  TQXScreen* field = Screen("F");
  TQXImage* piece = Image(field, "P", 200, 200);

  Field() {
    field->SetSizeX(400);
    field->SetSizeY(400);
  }
  void Hold(int x, int y) {
    Runtime().MouseIsDown = true;
    Runtime().MousedElement = piece;
    Runtime().MouseX = x;
    Runtime().MouseY = y;
  }
};

TEST(DragInField, CircleTakesTheFirstFreeInsidePointTowardsTheMouse) {
  Field f;
  f.Image(f.field, "P", 300, 200);  // shares the piece's Id: no obstacle
  f.Hold(500, 200);
  f.Call("MagicLev6_3(QXDB.F.P)");
  EXPECT_DOUBLE_EQ(f.piece->rX, 300);  // 1/3 of the way: the first point inside
  EXPECT_DOUBLE_EQ(f.piece->rY, 200);
  f.piece->rX = 200;
  f.Image(f.field, "O", 300, 200);
  f.Call("MagicLev6_3(QXDB.F.P)");
  EXPECT_DOUBLE_EQ(f.piece->rX, 250);  // 1/6: exactly 50 from the other piece
  f.field->rX = 100;                   // the mouse is measured from the field's corner
  f.Hold(100 + 250, 200 + 90);
  f.Call("MagicLev6_3(QXDB.F.P)");
  EXPECT_DOUBLE_EQ(f.piece->rX, 250);
  EXPECT_DOUBLE_EQ(f.piece->rY, 290);
}

TEST(DragInField, OnlyWhileThePieceIsHeld) {
  Field f;
  f.Hold(300, 200);
  Runtime().MouseIsDown = false;
  f.Call("MagicLev6_3(QXDB.F.P)");
  EXPECT_EQ(f.piece->rX, 200);
  f.Hold(300, 200);
  Runtime().MousedElement = f.field;
  f.Call("MagicLev4In_3(QXDB.F.P)");
  EXPECT_EQ(f.piece->rX, 200);
  f.Hold(230, 200);
  f.Image(f.field, "O", 200, 200);  // every point on the way is too close to it
  f.Call("MagicLev6_3(QXDB.F.P)");
  EXPECT_EQ(f.piece->rX, 200);
}

TEST(DragInField, EllipseKeepsItsOwnDistance) {
  Field f;
  f.field->SetSizeY(200);
  f.piece->rY = 100;
  f.Hold(600, 100);
  f.Call("MagicLev4In_3(QXDB.F.P)");
  EXPECT_NEAR(f.piece->rX, 200 + 400.0 / 3, 1e-9);
  f.piece->rX = 200;
  f.Image(f.field, "O", 340, 100);
  f.Call("MagicLev4In_3(QXDB.F.P)");
  EXPECT_DOUBLE_EQ(f.piece->rX, 300);  // 40 from the other piece: more than 28
  f.field->SetSizeX(0);                // a field without size has no inside
  f.piece->rX = 200;
  f.Call("MagicLev4In_3(QXDB.F.P)");
  EXPECT_EQ(f.piece->rX, 200);
}

}  // namespace
}  // namespace qx
