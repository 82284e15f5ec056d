// The logic-puzzle natives: untangle graphs (win test and drawing on the recording back
// end), towers, sliding rows and tiles, and the pipe board, on trees built in code.
#include <gtest/gtest.h>

#include "elements/QXText.h"
#include "builtins/LevelStage.h"

namespace qx {
namespace {

using test::Int;
using test::Ref;
using test::Var;
using test::VarText;

// The interface screen whose "WIN" the puzzles set.
struct Logic : test::LevelStage {
  TQXScreen* ui = Screen("LOGINTERFACE");
  Logic() { Var(ui, "WIN", Int(0)); }
  std::string Win() { return VarText(ui, "WIN"); }
};

// --- untangle graphs --------------------------------------------------------------------

// Node top-left corners of a planar 10-node layout: a ring 0..7 with hub 8 inside the left
// half (joined to 0..3) and hub 9 inside the right half (joined to 4..7).
constexpr int kTenNodes[10][2] = {{100, 100}, {50, 200}, {50, 300}, {100, 400}, {400, 400},
                                  {450, 300}, {450, 200}, {400, 100}, {150, 250}, {350, 250}};

struct Graph : Logic {
  TQXScreen* screen = Screen("S");
  TQXImage* graph = Image(screen, "G");
  TQXImage* nodes = Image(graph, "NODES");
  std::vector<TQXImage*> node;

  Graph(int count, const int (*at)[2]) {
    for (int i = 0; i < count; ++i) node.push_back(Image(nodes, "N", at[i][0], at[i][1]));
    Var(graph, "WIN", Int(7));
    Var(graph, "DT", Int(0));
  }
  void MoveNode(int i, int x, int y) {
    node[i]->rX = x;
    node[i]->rY = y;
  }

  struct Triangle {
    float x[3], y[3];
    uint32_t color;
    bool additive;
  };
  // The triangles drawn by one call of `native`, in drawing order.
  std::vector<Triangle> Drawn(const std::string& native) {
    gfx.draws.clear();
    Draw([&] { Call(native + "(QXDB.S.G)"); });
    std::vector<Triangle> out;
    for (const NullGfx::Draw& d : gfx.draws) {
      if (d.kind != PrimitiveKind::Triangles) continue;
      for (size_t i = 0; i + 2 < d.indices.size(); i += 3) {
        Triangle t{};
        for (int k = 0; k < 3; ++k) {
          const GfxVertex& v = d.vertices[d.indices[i + k]];
          t.x[k] = v.x;
          t.y[k] = v.y;
          t.color = ToRuntimeColor(v.color);
        }
        t.additive = d.state.dst == BlendFactor::One;
        out.push_back(t);
      }
    }
    return out;
  }
};

TEST(Untangle, PlanarLayoutWinsAndSharedNodesNeverCross) {
  Graph g(10, kTenNodes);
  g.Call("MagicLev6Log_Upd(QXDB.S.G)");
  EXPECT_EQ(VarText(g.graph, "WIN"), "1");
  g.MoveNode(9, 0, 250);  // hub 9 to the far left: its spokes cross the left half
  g.Call("MagicLev6Log_Upd(QXDB.S.G)");
  EXPECT_EQ(VarText(g.graph, "WIN"), "0");
}

TEST(Untangle, AnEndTouchingAnEdgesMiddleCrosses) {
  Graph g(10, kTenNodes);
  g.MoveNode(8, 50, 250);  // hub 8's centre on the middle of ring edge 1-2
  g.Call("MagicLev6Log_Upd(QXDB.S.G)");
  EXPECT_EQ(VarText(g.graph, "WIN"), "0");
  const auto drawn = g.Drawn("MagicLev6Log_Rend");
  ASSERT_EQ(drawn.size(), 17u * 4);
  const uint32_t red = 0x7F0000FFu, green = 0x7F00FF00u;
  EXPECT_EQ(drawn[4 * 0].color, green);  // edge 0-1 only meets others at its nodes
  EXPECT_EQ(drawn[4 * 1].color, red);    // edge 1-2 is touched in its middle
  EXPECT_EQ(drawn[4 * 8].color, red);    // edge 0-8 touches it
  EXPECT_EQ(drawn[4 * 9].color, green);  // edge 1-8 lies along it: parallel, shares node 1
  EXPECT_EQ(drawn[4 * 16].color, red);   // edge 8-9
}

TEST(Untangle, EdgesAreBandsWithAPulsingGreyOverlay) {
  Graph g(10, kTenNodes);
  g.canvas.SetAntialias(false);
  Var(g.graph, "DT", Int(65));  // 65 mod 60 = 5: grey 107
  const auto drawn = g.Drawn("MagicLev6Log_Rend");
  EXPECT_TRUE(g.canvas.Antialias());
  ASSERT_EQ(drawn.size(), 17u * 4);
  // Edge 16 joins the hubs horizontally: centres (175, 275) and (375, 275), normal (0, -3).
  const Graph::Triangle* bar = &drawn[4 * 16];
  EXPECT_FLOAT_EQ(bar[0].x[0], 175);
  EXPECT_FLOAT_EQ(bar[0].y[0], 272);
  EXPECT_FLOAT_EQ(bar[0].y[1], 278);
  EXPECT_FLOAT_EQ(bar[0].x[2], 375);
  EXPECT_FLOAT_EQ(bar[0].y[2], 272);
  EXPECT_FLOAT_EQ(bar[1].x[0], 375);
  EXPECT_FLOAT_EQ(bar[1].y[1], 278);
  EXPECT_FLOAT_EQ(bar[1].x[2], 175);
  EXPECT_FLOAT_EQ(bar[1].y[2], 278);
  EXPECT_EQ(bar[0].color, 0x7F00FF00u);
  EXPECT_FALSE(bar[0].additive);
  EXPECT_EQ(bar[2].color, 0xFF6B6B6Bu);
  EXPECT_TRUE(bar[2].additive);
  EXPECT_FLOAT_EQ(bar[3].x[2], bar[1].x[2]);  // the same band again
  Var(g.graph, "DT", Int(95));                // t = 35: on the way back up, grey 88
  EXPECT_EQ(g.Drawn("MagicLev6Log_Rend")[2].color, 0xFF585858u);
  Var(g.graph, "DT", Int(29));  // the darkest step, 83
  EXPECT_EQ(g.Drawn("MagicLev6Log_Rend")[2].color, 0xFF535353u);
}

TEST(Untangle, NineNodeStar) {
  // A ring of eight round one hub; node centres are 13 from the corners.
  const int star[9][2] = {{200, 100}, {300, 150}, {350, 250}, {300, 350}, {200, 400},
                          {100, 350}, {50, 250},  {100, 150}, {200, 250}};
  Graph g(9, star);
  g.Call("MagicLev4InLog_Upd(QXDB.S.G)");
  EXPECT_EQ(VarText(g.graph, "WIN"), "1");
  const auto drawn = g.Drawn("MagicLev4InLog_Rend");
  ASSERT_EQ(drawn.size(), 16u * 4);
  // Edge 8 runs from node 0 (213, 113) straight down to the hub (213, 263): normal (3, 0).
  EXPECT_FLOAT_EQ(drawn[4 * 8].x[0], 216);
  EXPECT_FLOAT_EQ(drawn[4 * 8].y[0], 113);
  EXPECT_FLOAT_EQ(drawn[4 * 8].x[1], 210);
  g.MoveNode(8, 600, 250);  // the hub outside the ring
  g.Call("MagicLev4InLog_Upd(QXDB.S.G)");
  EXPECT_EQ(VarText(g.graph, "WIN"), "0");
}

TEST(Untangle, GraphsWithTooFewNodesAreLeftAlone) {
  Graph g(9, kTenNodes);  // nine nodes for the ten-node puzzle
  g.Call("MagicLev6Log_Upd(QXDB.S.G)");
  EXPECT_EQ(VarText(g.graph, "WIN"), "7");
  EXPECT_TRUE(g.Drawn("MagicLev6Log_Rend").empty());
  TQXImage* bare = g.Image(g.screen, "BARE");
  Var(bare, "WIN", Int(7));
  g.Call("MagicLev4InLog_Upd(QXDB.S.BARE)");
  EXPECT_EQ(VarText(bare, "WIN"), "7");
  g.Add<TQXText>(g.screen, "TXT", 95);
  g.Call("MagicLev4InLog_Upd(QXDB.S.TXT)");
  g.Call("MagicLev6Log_Rend(QXDB.S.TXT)");
  g.Call("MagicLev6Log_Rend()");
}

// --- towers -----------------------------------------------------------------------------

// A tower puzzle: the controller, the pile of discs (reached through "L" twice), the base
// "S1" and the element "LL" shown on success, inside screen LEVEL7.
struct Towers : Logic {
  TQXScreen* level = Screen("LEVEL7");
  TQXImage* ctrl = Image(level, "CTRL");
  TQXImage* holder = Image(level, "HOLDER");
  TQXImage* pile = Image(level, "PILE");
  TQXImage* base = Sized(level, "S1", 300, 20, 0, 300);
  TQXImage* shown = Image(level, "LL");
  TQXImage* hanoy = Image(level, "HANOYLOG");

  Towers() {
    Var(holder, "L", Ref(pile));
    shown->Vis = false;
    Var(ctrl, "OBJ", Int(0));
    Var(ctrl, "L", Ref(holder));
    Var(ctrl, "S1", Ref(base));
    Var(ctrl, "LL", Ref(shown));
    for (const char* name : {"V", "CX", "T", "TY"}) Var(ctrl, name, Int(0));
    Text("sounds.ini", "[Lev7]\nLogStop=70:stop.wav\n");
    root->SetField(PropField::SoundFile, PropValue{0, 0, "sounds.ini"});
  }
  TQXImage* Disc(int width, int x, int y) { return Sized(pile, "D", width, 20, x, y); }
  void Carry(TQXImage* disc, int cx, int v, int t) {
    Var(ctrl, "OBJ", Ref(disc));
    Var(ctrl, "CX", Int(cx));
    Var(ctrl, "V", Int(v));
    Var(ctrl, "T", Int(t));
  }
  std::string State() { return VarText(ctrl, "V") + " " + VarText(ctrl, "T") + " " + VarText(ctrl, "TY"); }
};

TEST(Towers, AWiderDiscOnANarrowerOneGoesBackUpAndCanMoveAgain) {
  Towers s;
  s.Disc(20, 600, 280);
  TQXImage* wide = s.Disc(40, 600, 140);
  s.Carry(wide, 600, 0, 3);
  s.Call("MagicLev7Log(QXDB.LEVEL7.CTRL)");
  EXPECT_EQ(s.State(), "1 0 264");
  s.Call("MagicLev7Log(QXDB.LEVEL7.CTRL)");
  EXPECT_EQ(wide->Y(), 130);  // rising
  Var(s.ctrl, "CX", Int(200));
  s.Call("MagicLev7Log(QXDB.LEVEL7.CTRL)");
  EXPECT_EQ(wide->Y(), 120);
  EXPECT_EQ(wide->X(), 560);  // a tenth of the way to the other column
  EXPECT_TRUE(s.sounds.empty());
}

TEST(Towers, ANarrowerDiscLandsOnTheStackAndTheLastLandingWins) {
  Towers s;
  s.Disc(40, 600, 280);
  TQXImage* narrow = s.Disc(10, 600, 100);
  s.Carry(narrow, 600, 0, 1);
  s.Call("MagicLev7Log(QXDB.LEVEL7.CTRL)");  // 1 -> 2: down by 5
  EXPECT_EQ(narrow->Y(), 105);
  EXPECT_EQ(s.State(), "0 2 0");
  for (int i = 0; i < 9; ++i) s.Call("MagicLev7Log(QXDB.LEVEL7.CTRL)");
  EXPECT_EQ(narrow->Y(), 150);
  s.Call("MagicLev7Log(QXDB.LEVEL7.CTRL)");  // 2 -> 3 -> legal drop
  // TY from the base: 300 + 20 - 20, then for each disc of the column round(TY - 2 - 20 / 1.276).
  EXPECT_EQ(s.State(), "0 4 264");
  for (int i = 0; i < 11; ++i) s.Call("MagicLev7Log(QXDB.LEVEL7.CTRL)");
  EXPECT_EQ(narrow->Y(), 260);
  EXPECT_EQ(s.Win(), "0");
  s.Call("MagicLev7Log(QXDB.LEVEL7.CTRL)");
  EXPECT_EQ(narrow->Y(), 264);
  EXPECT_EQ(VarText(s.ctrl, "OBJ"), "0");
  EXPECT_EQ(s.sounds, std::vector<std::string>{"snd stop.wav 70"});
  EXPECT_EQ(s.Win(), "1");
  EXPECT_TRUE(s.shown->Vis);
  EXPECT_FALSE(s.hanoy->Vis);
  EXPECT_EQ(s.State(), "0 0 264");
  s.Call("MagicLev7Log(QXDB.LEVEL7.CTRL)");  // nothing carried: nothing happens
  EXPECT_EQ(s.sounds.size(), 1u);
}

TEST(Towers, LandingWithDiscsLeftBehindIsNoWin) {
  Towers s;
  s.Disc(40, 100, 280);  // still on the first column
  TQXImage* d = s.Disc(10, 600, 250);
  s.Carry(d, 600, 0, 4);
  Var(s.ctrl, "TY", Int(255));
  s.Call("MagicLev7Log(QXDB.LEVEL7.CTRL)");
  EXPECT_EQ(d->Y(), 255);
  EXPECT_EQ(VarText(s.ctrl, "T"), "0");
  EXPECT_EQ(VarText(s.ctrl, "OBJ"), "0");
  EXPECT_EQ(s.Win(), "0");
  EXPECT_TRUE(s.hanoy->Vis);
}

TEST(Towers, HoverAndSlideTowardsTheTarget) {
  Towers s;
  TQXImage* d = s.Disc(10, 100, 120);
  s.Carry(d, 600, 1, 0);
  s.Call("MagicLev7Log(QXDB.LEVEL7.CTRL)");
  EXPECT_EQ(d->Y(), 110);  // V 1: up by 10
  EXPECT_EQ(d->X(), 150);
  s.Call("MagicLev7Log(QXDB.LEVEL7.CTRL)");
  EXPECT_EQ(d->Y(), 100);
  s.Call("MagicLev7Log(QXDB.LEVEL7.CTRL)");  // at the top: V 2, then down by 1
  EXPECT_EQ(d->Y(), 101);
  EXPECT_EQ(VarText(s.ctrl, "V"), "2");
  d->rX = 598;  // close: the step doubles to 3 and snaps onto the column
  s.Call("MagicLev7Log(QXDB.LEVEL7.CTRL)");
  EXPECT_EQ(d->X(), 600);
  d->rX = 100;
  d->rY = 160;  // too low to slide
  Var(s.ctrl, "V", Int(0));
  s.Call("MagicLev7Log(QXDB.LEVEL7.CTRL)");
  EXPECT_EQ(d->X(), 100);
}

TEST(Towers, Lev15PutsTheWidestOnTopAtAFixedHeight) {
  Towers s;
  s.Disc(20, 500, 227);
  TQXImage* wide = s.Disc(40, 500, 20);
  s.Carry(wide, 500, 0, 3);
  s.Call("MagicLev15Log(QXDB.LEVEL7.CTRL)");
  EXPECT_EQ(s.State(), "0 4 227");
  TQXImage* narrow = s.Disc(10, 500, 20);
  s.Carry(narrow, 500, 0, 3);
  s.Call("MagicLev15Log(QXDB.LEVEL7.CTRL)");
  EXPECT_EQ(s.State(), "1 0 227");  // narrower than the column's widest: back up
  s.Carry(wide, 500, 0, 4);
  wide->rY = 220;
  s.Call("MagicLev15Log(QXDB.LEVEL7.CTRL)");
  EXPECT_EQ(wide->Y(), 227);
  EXPECT_EQ(s.Win(), "1");      // every disc at X >= 450
  EXPECT_TRUE(s.sounds.empty());  // only the hanoi tower plays the landing sound
  EXPECT_FALSE(s.shown->Vis);
}

TEST(Towers, BrokenControllersDoNothingHarmful) {
  Towers s;
  TQXImage* d = s.Disc(10, 600, 200);
  Var(s.ctrl, "OBJ", Int(5));  // not an element
  s.Call("MagicLev7Log(QXDB.LEVEL7.CTRL)");
  s.Carry(d, 600, 0, 3);
  Var(s.ctrl, "L", Int(0));  // no pile: no drop decision
  s.Call("MagicLev7Log(QXDB.LEVEL7.CTRL)");
  EXPECT_EQ(VarText(s.ctrl, "T"), "3");
  Var(s.ctrl, "T", Int(4));
  Var(s.ctrl, "TY", Int(0));
  s.Call("MagicLev7Log(QXDB.LEVEL7.CTRL)");  // lands, but a missing pile is never a win
  EXPECT_EQ(s.Win(), "0");
  s.Carry(d, 600, 0, 3);
  Var(s.ctrl, "L", Ref(s.holder));
  Var(s.ctrl, "S1", Int(0));  // no base to land on
  s.Call("MagicLev7Log(QXDB.LEVEL7.CTRL)");
  EXPECT_EQ(VarText(s.ctrl, "T"), "3");
  s.Call("MagicLev7Log(QXDB.LEVEL7)");
  s.Call("MagicLev15Log(QXDB.LEVEL7)");
}

// --- sliding rows and tiles -------------------------------------------------------------

struct Rows : Logic {
  TQXScreen* screen = Screen("S");
  TQXImage* rows = Image(screen, "ROWS");
  TQXImage* companions = Image(screen, "COMP");

  // A row of tiles with the given Anims; each tile's companion gets Anim + 10.
  TQXImage* Row(double x, double y, std::vector<int> anims) {
    TQXImage* row = Image(rows, "R", x, y);
    for (int a : anims) {
      TQXImage* tile = Image(row, "T");
      tile->Anim = a;
      TQXImage* companion = Image(companions, "C");
      companion->Anim = a + 10;
      Var(tile, "S", Ref(companion));
    }
    return row;
  }
  static TQXImage* Tile(TQXElement* row, int k) { return static_cast<TQXImage*>(row->Children()[k]); }
  static TQXImage* Companion(TQXElement* row, int k) {
    TVar s;
    Tile(row, k)->Variables->GetLocal("S", s);
    return static_cast<TQXImage*>(row->Root()->FromHandle(s.Value.ElementHandle()));
  }
  static std::string Faces(TQXElement* row) {
    std::string out;
    for (int k = 0; k < row->ChildCount(); ++k) {
      out += std::to_string(Tile(row, k)->Anim) + "/" + std::to_string(Companion(row, k)->Anim) +
             (Companion(row, k)->Vis ? "" : "h") + " ";
    }
    return out;
  }
};

TEST(SlidingRows, EveryRowHiddenWinsAtOnce) {
  Rows r;
  r.Row(0, 0, {1})->Vis = false;
  r.Row(0, 100, {2})->Vis = false;
  r.Call("MagicLev6InLog(QXDB.S.ROWS)");
  EXPECT_EQ(r.Win(), "1");
}

TEST(SlidingRows, RowsSettleAndDriftInTurns) {
  Rows r;
  TQXImage* a = r.Row(0, 10, {1});
  TQXImage* hidden = r.Row(0, 500, {2});
  hidden->Vis = false;
  TQXImage* b = r.Row(0, 50, {3});
  r.Call("MagicLev6InLog(QXDB.S.ROWS)");
  EXPECT_EQ(a->Y(), 8);
  EXPECT_EQ(a->X(), -1);
  EXPECT_EQ(b->Y(), 89);  // pushed below the row above
  EXPECT_EQ(b->X(), 1);
  EXPECT_EQ(hidden->X(), 0);
  EXPECT_EQ(r.Win(), "0");
}

TEST(SlidingRows, RowsPastTheEdgeTurnTheirFaces) {
  Rows r;
  TQXImage* a = r.Row(-42, 0, {1, 2, 3});
  TQXImage* b = r.Row(42, 81, {4, 5, 6});
  Rows::Companion(a, 0)->Vis = false;
  Rows::Companion(b, 2)->Vis = false;
  r.Call("MagicLev6InLog(QXDB.S.ROWS)");
  EXPECT_EQ(Rows::Faces(a), "2/12 3/13 1/11h ");  // towards the front
  EXPECT_EQ(a->X(), -43 + 82);
  EXPECT_EQ(Rows::Faces(b), "6/16h 4/14 5/15 ");  // towards the back
  EXPECT_EQ(b->X(), 43 - 82);
}

TEST(SlidingRows, TheWalkStopsBelowTheField) {
  Rows r;
  std::vector<TQXImage*> all;
  for (int i = 0; i < 6; ++i) all.push_back(r.Row(0, 81 * i, {i}));
  r.Call("MagicLev6InLog(QXDB.S.ROWS)");
  EXPECT_EQ(all[4]->X(), -1);
  EXPECT_EQ(all[5]->X(), 0);  // its bottom would be 486
}

TEST(SlidingRows, AMissingCompanionLeavesTheRowWhole) {
  Rows r;
  TQXImage* a = r.Row(-42, 0, {1, 2, 3});
  TQXImage* b = r.Row(0, 81, {4});
  Var(Rows::Tile(a, 2), "S", Int(0));
  r.Call("MagicLev6InLog(QXDB.S.ROWS)");
  EXPECT_EQ(Rows::Tile(a, 0)->Anim, 1);
  EXPECT_EQ(Rows::Tile(a, 1)->Anim, 2);
  EXPECT_EQ(a->X(), -43);
  EXPECT_EQ(b->X(), 0);  // the native ended
  r.rows->ClearChildren();
  r.Image(r.rows, "R", 50, 0);  // a row without tiles still wraps
  r.Call("MagicLev6InLog(QXDB.S.ROWS)");
  EXPECT_EQ(r.rows->Children()[0]->X(), 49 - 82);
}

TEST(SlidingTile, TheFirstTileSlidesToTenAndTheNextFollows) {
  Rows r;
  TQXImage* row = r.Row(0, 0, {1, 2});
  TQXImage* first = Rows::Tile(row, 0);
  TQXImage* second = Rows::Tile(row, 1);
  first->rX = 100;
  second->rX = 300;
  for (int i = 0; i < 5; ++i) r.Call("MagicLev6InLogO(QXDB.S.ROWS.CHILD1.CHILD1)");
  EXPECT_EQ(first->X(), 15);
  r.Call("MagicLev6InLogO(QXDB.S.ROWS.CHILD1.CHILD1)");
  EXPECT_EQ(first->X(), 10);
  r.Call("MagicLev6InLogO(QXDB.S.ROWS.CHILD1.CHILD1)");
  EXPECT_EQ(first->X(), 10);
  for (int i = 0; i < 20; ++i) r.Call("MagicLev6InLogO(QXDB.S.ROWS.CHILD1.CHILD2)");
  EXPECT_EQ(second->X(), 95);
}

TEST(SlidingTile, FadesInWithItsCompanionInBytes) {
  Rows r;
  TQXImage* row = r.Row(0, 0, {1});
  TQXImage* tile = Rows::Tile(row, 0);
  tile->rX = 100;
  tile->SethxTrans(205);
  r.Call("MagicLev6InLogO(QXDB.S.ROWS.CHILD1.CHILD1)");
  r.Call("MagicLev6InLogO(QXDB.S.ROWS.CHILD1.CHILD1)");
  EXPECT_EQ(tile->hxTrans(), 255);
  EXPECT_EQ(Rows::Companion(row, 0)->hxTrans(), 63);
  tile->SethxTrans(240);
  r.Call("MagicLev6InLogO(QXDB.S.ROWS.CHILD1.CHILD1)");
  EXPECT_EQ(tile->hxTrans(), 9);  // 240 + 25 wraps
  EXPECT_EQ(Rows::Companion(row, 0)->hxTrans(), 2);
  Var(tile, "S", Int(0));
  const int x = tile->X();
  r.Call("MagicLev6InLogO(QXDB.S.ROWS.CHILD1.CHILD1)");
  EXPECT_EQ(tile->hxTrans(), 34);
  EXPECT_EQ(tile->X(), x);  // no companion: the native ended before sliding
}

// --- pipe board -------------------------------------------------------------------------

// A 6 x 6 pipe board with its overlay ".LL", the outflow ".END" and the leak mark ".PROT".
// The path runs down column 0 and along row 5 to the exit below cell (5, 5).
struct Pipes : Logic {
  TQXScreen* screen = Screen("S");
  TQXImage* board = Image(screen, "BOARD");
  TQXImage* overlay = Image(screen, "LL");
  TQXImage* end = Image(screen, "END");
  TQXImage* leak = Image(screen, "PROT");

  Pipes() {
    for (TQXImage* b : {board, overlay}) {
      for (int i = 0; i < 6; ++i) {
        TQXImage* row = Image(b, "R");
        for (int j = 0; j < 6; ++j) Image(row, "C")->Tag = "0000";
      }
    }
    for (int i = 0; i < 5; ++i) Cell(i, 0)->Tag = "0101";
    Cell(5, 0)->Tag = "1001";
    for (int j = 1; j < 5; ++j) Cell(5, j)->Tag = "1010";
    Cell(5, 5)->Tag = "0110";
    Cell(3, 3)->Anim = 2;
    end->SethxTrans(0);
    leak->Vis = false;
  }
  TQXImage* Cell(int i, int j) { return At(board, i, j); }
  static TQXImage* At(TQXElement* b, int i, int j) { return static_cast<TQXImage*>(b->Children()[i]->Children()[j]); }
};

TEST(Pipes, AConnectedPathWins) {
  Pipes p;
  p.Call("MagicLev12Log(QXDB.S.BOARD)");
  EXPECT_EQ(p.Win(), "1");
  EXPECT_EQ(p.end->hxTrans(), 255);
  EXPECT_FALSE(p.leak->Vis);
  EXPECT_EQ(Pipes::At(p.overlay, 3, 0)->hxTrans(), 255);
  EXPECT_EQ(Pipes::At(p.overlay, 5, 3)->hxTrans(), 255);
  EXPECT_EQ(Pipes::At(p.overlay, 3, 3)->hxTrans(), 0);
  EXPECT_EQ(Pipes::At(p.overlay, 3, 3)->Anim, 8);
}

TEST(Pipes, ATurnCompletesAfterEightCallsWithOneCodeRotation) {
  Pipes p;
  p.Cell(2, 0)->Tag = "1010";  // one step short of "0101"
  p.Cell(2, 0)->SetAngle(10);  // a script started the turn
  for (int i = 0; i < 7; ++i) p.Call("MagicLev12Log(QXDB.S.BOARD)");
  EXPECT_EQ(p.Cell(2, 0)->Angle(), 80);
  EXPECT_EQ(p.Cell(2, 0)->Tag, "1010");
  EXPECT_EQ(p.Win(), "0");
  // The water stops in cell (1, 0), which opens downwards (90 degrees) into a closed side.
  EXPECT_TRUE(p.leak->Vis);
  EXPECT_EQ(p.leak->X(), 141 + 75 * 1);
  EXPECT_EQ(p.leak->Y(), 506);
  EXPECT_EQ(p.leak->Angle(), 90);
  EXPECT_EQ(Pipes::At(p.overlay, 1, 0)->hxTrans(), 255);
  EXPECT_EQ(Pipes::At(p.overlay, 2, 0)->hxTrans(), 0);
  EXPECT_EQ(Pipes::At(p.overlay, 2, 0)->Angle(), 80);
  EXPECT_EQ(p.end->hxTrans(), 0);
  p.Call("MagicLev12Log(QXDB.S.BOARD)");
  EXPECT_EQ(p.Cell(2, 0)->Angle(), 90);
  EXPECT_EQ(p.Cell(2, 0)->Tag, "0101");
  EXPECT_EQ(p.Win(), "1");
  EXPECT_FALSE(p.leak->Vis);
  p.Call("MagicLev12Log(QXDB.S.BOARD)");
  EXPECT_EQ(p.Cell(2, 0)->Angle(), 90);
  EXPECT_EQ(p.Cell(2, 0)->Tag, "0101");
}

TEST(Pipes, AClosedEntranceFlowsNowhere) {
  Pipes p;
  p.Cell(0, 0)->Tag = "0100";
  p.Call("MagicLev12Log(QXDB.S.BOARD)");
  EXPECT_EQ(p.Win(), "0");
  EXPECT_EQ(Pipes::At(p.overlay, 0, 0)->hxTrans(), 0);
  EXPECT_EQ(p.end->hxTrans(), 0);
  EXPECT_FALSE(p.leak->Vis);
}

TEST(Pipes, MissingCompanionsStopInOrder) {
  Pipes p;
  p.Cell(4, 2)->SetAngle(10);
  p.end->Id = "GONE";
  p.leak->Vis = true;
  p.Call("MagicLev12Log(QXDB.S.BOARD)");
  EXPECT_EQ(p.Cell(4, 2)->Angle(), 20);            // turned
  EXPECT_EQ(Pipes::At(p.overlay, 0, 0)->hxTrans(), 255);  // overlay drawn
  EXPECT_EQ(p.Win(), "0");                         // but no ".END": no win
  EXPECT_TRUE(p.leak->Vis);                        // and ".PROT" untouched
  p.overlay->Id = "GONE2";
  p.Call("MagicLev12Log(QXDB.S.BOARD)");
  EXPECT_EQ(p.Cell(4, 2)->Angle(), 20);  // no overlay: nothing at all
}

TEST(Pipes, BrokenBoardsNeverCrash) {
  Pipes p;
  delete p.board->Children().back();  // five rows
  TQXElement* row0 = p.board->Children()[0];
  while (row0->ChildCount() > 2) delete row0->Children().back();  // a short first row
  TQXElement* row1 = p.board->Children()[1];
  row1->ClearChildren();
  p.Add<TQXText>(row1, "T", 94);  // its first cell is no image
  p.Image(row1, "C")->Tag = "01";  // too short to open downwards
  p.Cell(2, 0)->Tag = "";          // an empty code turns without rotating
  p.Cell(2, 0)->SetAngle(80);
  p.Call("MagicLev12Log(QXDB.S.BOARD)");
  EXPECT_EQ(p.Cell(2, 0)->Angle(), 90);
  EXPECT_EQ(p.Cell(2, 0)->Tag, "");
  EXPECT_EQ(p.Win(), "0");
  // Cell (0, 0) opens downwards into the missing cell (1, 0): a leak there.
  EXPECT_TRUE(p.leak->Vis);
  EXPECT_EQ(p.leak->X(), 141);
  EXPECT_EQ(p.leak->Angle(), 90);
  p.overlay->ClearChildren();
  p.Call("MagicLev12Log(QXDB.S.BOARD)");
  p.Call("MagicLev12Log(QXDB.S)");
}

}  // namespace
}  // namespace qx
