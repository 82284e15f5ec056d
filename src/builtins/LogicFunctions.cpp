// The logic-puzzle natives, the ones whose names contain "Log": the untangle-the-graph
// puzzle in two sizes (drawing and win test), two tower-stacking puzzles, sliding rows of
// tiles with their sliding tile, and pipe rotation. They follow the level natives' rules
// (LevelFunctions.cpp): one controlling element, all state in the element tree, nothing
// failed or returned; a solved puzzle sets a "WIN" variable.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "builtins/Builtins.h"
#include "builtins/NativeSupport.h"
#include "elements/QXImage.h"
#include "render/GfxCanvas.h"
#include "runtime/SoundPlayer.h"
#include "scene/QXDB.h"
#include "script/scriptengine.h"

namespace qx {
namespace {

using namespace native;

// --- untangle graph ---------------------------------------------------------------------

struct Segment {
  int64_t x1, y1, x2, y2;
};

struct GraphShape {
  int nodes;
  int32_t centre;  // node centre from its top-left corner
  std::vector<std::pair<int, int>> edges;
};

// The 10-node graph: a ring of eight, two hubs on either half and a bar between the hubs.
const GraphShape& TenNodeGraph() {
  static const GraphShape shape = [] {
    GraphShape s{10, 25, {}};
    for (int i = 0; i < 8; ++i) s.edges.emplace_back(i, (i + 1) % 8);
    for (int j = 0; j < 4; ++j) s.edges.emplace_back(j, 8);
    for (int j = 4; j < 8; ++j) s.edges.emplace_back(j, 9);
    s.edges.emplace_back(8, 9);
    return s;
  }();
  return shape;
}

// The 9-node graph: a ring of eight around one hub.
const GraphShape& NineNodeGraph() {
  static const GraphShape shape = [] {
    GraphShape s{9, 13, {}};
    for (int i = 0; i < 8; ++i) s.edges.emplace_back(i, (i + 1) % 8);
    for (int j = 0; j < 8; ++j) s.edges.emplace_back(j, 8);
    return s;
  }();
  return shape;
}

// The edges between node centres; empty when the graph's first child has too few nodes.
std::vector<Segment> GraphSegments(TQXElement& graph, const GraphShape& shape) {
  TQXElement* nodes = ChildAt(&graph, 0);
  if (!nodes || nodes->ChildCount() < shape.nodes) return {};
  // Clamped far beyond any screen so the crossing products stay inside 64 bits.
  constexpr int64_t kLimit = int64_t{1} << 29;
  auto centre = [&](int i, bool vertical) {
    TQXElement* node = nodes->Children()[i];
    const int64_t v = int64_t{vertical ? node->GetAbsY() : node->GetAbsX()} + shape.centre;
    return std::clamp(v, -kLimit, kLimit);
  };
  std::vector<Segment> segments;
  for (const auto& [a, b] : shape.edges) {
    segments.push_back({centre(a, false), centre(a, true), centre(b, false), centre(b, true)});
  }
  return segments;
}

// Whether two segments cross. Segments sharing an end point never do; a segment whose end
// touches the other one does.
bool SegmentsCross(const Segment& p, const Segment& q) {
  auto same = [](int64_t ax, int64_t ay, int64_t bx, int64_t by) { return ax == bx && ay == by; };
  if (same(p.x1, p.y1, q.x1, q.y1) || same(p.x1, p.y1, q.x2, q.y2) || same(p.x2, p.y2, q.x1, q.y1) ||
      same(p.x2, p.y2, q.x2, q.y2)) {
    return false;
  }
  if (std::max(p.x1, p.x2) < std::min(q.x1, q.x2) || std::max(q.x1, q.x2) < std::min(p.x1, p.x2) ||
      std::max(p.y1, p.y2) < std::min(q.y1, q.y2) || std::max(q.y1, q.y2) < std::min(p.y1, p.y2)) {
    return false;
  }
  const int64_t dx = p.x2 - p.x1, dy = p.y2 - p.y1;
  const int64_t ex = q.x2 - q.x1, ey = q.y2 - q.y1;
  const int64_t d = ey * dx - dy * ex;
  if (d == 0) return false;  // parallel
  const int64_t s = (p.y1 - q.y1) * ex - (p.x1 - q.x1) * ey;
  const int64_t t = (p.y1 - q.y1) * dx - (p.x1 - q.x1) * dy;
  auto within = [d](int64_t v) { return d > 0 ? v >= 0 && v <= d : v <= 0 && v >= d; };
  return within(s) && within(t);
}

std::vector<bool> CrossingEdges(const std::vector<Segment>& segments) {
  std::vector<bool> crossing(segments.size(), false);
  for (size_t i = 0; i < segments.size(); ++i) {
    for (size_t j = 0; j < segments.size() && !crossing[i]; ++j) {
      if (i != j && SegmentsCross(segments[i], segments[j])) crossing[i] = true;
    }
  }
  return crossing;
}

void UntangleUpdate(TQXImage& graph, const GraphShape& shape) {
  const std::vector<Segment> segments = GraphSegments(graph, shape);
  if (segments.empty()) return;
  const std::vector<bool> crossing = CrossingEdges(segments);
  const bool tangled = std::find(crossing.begin(), crossing.end(), true) != crossing.end();
  SetInt(graph, "WIN", tangled ? 0 : 1);
}

// Every edge as a band 6 pixels wide: half-transparent red when it crosses another, green
// when it is free, then an additive grey that pulses with the graph's "DT".
void UntangleRender(TQXImage& graph, const GraphShape& shape) {
  TGfxCanvas* canvas = graph.Canvas();
  if (!canvas) return;
  const std::vector<Segment> segments = GraphSegments(graph, shape);
  if (segments.empty()) return;
  canvas->SetAntialias(true);
  const std::vector<bool> crossing = CrossingEdges(segments);
  const int32_t t = IntOf(Get(graph, "DT")) % 60;
  const uint32_t g = static_cast<uint32_t>(t < 30 ? 112 - t : 83 + (t - 30));
  const uint32_t grey = g * 0x010101u + 0xFF000000u;
  for (size_t i = 0; i < segments.size(); ++i) {
    const Segment& s = segments[i];
    const double a = std::atan2(static_cast<double>(s.x2 - s.x1), static_cast<double>(s.y2 - s.y1));
    const double nx = 3 * std::cos(a), ny = -3 * std::sin(a);
    const TPoint2 p1{static_cast<double>(s.x1), static_cast<double>(s.y1)};
    const TPoint2 p2{static_cast<double>(s.x2), static_cast<double>(s.y2)};
    const TPoint2 p1a{p1.x + nx, p1.y + ny}, p1b{p1.x - nx, p1.y - ny};
    const TPoint2 p2a{p2.x + nx, p2.y + ny}, p2b{p2.x - nx, p2.y - ny};
    const uint32_t colour = crossing[i] ? 0x7F0000FFu : 0x7F00FF00u;
    canvas->FillTriangle(p1a, p1b, p2a, colour, kFxBlend);
    canvas->FillTriangle(p2a, p2b, p1b, colour, kFxBlend);
    canvas->FillTriangle(p1a, p1b, p2a, grey, kFxAdd);
    canvas->FillTriangle(p2a, p2b, p1b, grey, kFxAdd);
  }
}

// --- tower stacking ---------------------------------------------------------------------

struct TowerRules {
  int32_t hoverTop;     // Y is above it when Y > hoverTop
  int32_t hoverBottom;  // Y is below it when Y < hoverBottom
  int32_t phaseTwoEnd;
  int32_t winX;         // won when every disc has X >= winX
  bool hanoi;           // smaller on larger, landing on the base "S1"; else widest on top at 227
};

constexpr TowerRules kLev7Rules{100, 115, 150, 500, true};
constexpr TowerRules kLev15Rules{0, 15, 25, 450, false};

// The pile container: the variable "L" of the element in the controller's "L".
TQXElement* TowerPile(TQXElement& ctrl) {
  TQXElement* holder = Resolve(ctrl, Get(ctrl, "L"));
  return holder ? Resolve(*holder, Get(*holder, "L")) : nullptr;
}

// The carried disc bobs while it waits for its target: up fast, then between the bounds.
int32_t Hover(TQXElement& disc, int32_t v, const TowerRules& rules) {
  if (v == 1) {
    if (disc.Y() > rules.hoverTop) ShiftY(disc, -10);
    else v = 2;
  }
  if (v == 2) {
    if (disc.Y() < rules.hoverBottom) ShiftY(disc, 1);
    else v = 3;
  }
  if (v == 3) {
    if (disc.Y() > rules.hoverTop) ShiftY(disc, -1);
    else v = 2;
  }
  return v;
}

// A slide towards the target column: a tenth of the way, at least 3 pixels, snapping home.
void SlideTowards(TQXElement& disc, int32_t cx) {
  double step = (static_cast<double>(cx) - disc.X()) / 10;
  while (std::fabs(step) < 3) step *= 2;
  disc.SetX(Saturate(int64_t{disc.X()} + RoundToInt32(step)));
  if (std::llabs(int64_t{cx} - disc.X()) < 4) disc.SetX(cx);
}

void MoveTowerDisc(TQXImage& ctrl, const TowerRules& rules) {
  TQXElement* disc = Resolve(ctrl, Get(ctrl, "OBJ"));
  if (!disc) return;
  int32_t v = Hover(*disc, IntOf(Get(ctrl, "V")), rules);
  SetInt(ctrl, "V", v);
  const int32_t cx = IntOf(Get(ctrl, "CX"));
  if (disc->X() != cx) {
    if (disc->Y() <= 150) SlideTowards(*disc, cx);
    return;
  }

  int32_t t = IntOf(Get(ctrl, "T"));
  int32_t ty = IntOf(Get(ctrl, "TY"));
  if (t == 1) {
    t = 2;
    v = 0;
  }
  if (t == 2) {
    if (disc->Y() < rules.phaseTwoEnd) ShiftY(*disc, 5);
    else t = 3;
  }
  if (t == 4) {
    ShiftY(*disc, 10);
    if (disc->Y() >= ty) {
      std::string file;
      int32_t volume = 0;
      SoundPlayer* sound = rules.hanoi ? TableSound(ctrl.Root(), "Lev7.LogStop", file, volume) : nullptr;
      if (sound) sound->PlaySound(file, volume);
      disc->SetY(ty);
      t = 0;
      SetInt(ctrl, "OBJ", 0);
      SetInt(ctrl, "T", 0);
      // A pile that cannot be found is never won.
      TQXElement* pile = TowerPile(ctrl);
      if (!pile) return;
      for (TQXElement* c : pile->Children()) {
        if (c->X() < rules.winX) return;
      }
      SignalWin(ctrl);
      if (rules.hanoi) {
        if (TQXElement* shown = Resolve(ctrl, Get(ctrl, "LL"))) shown->SetVis(true);
        WriteElementPath(ctrl.Parent() ? ctrl.Parent()->Handle() : 0, "QXDB.LEVEL7.HANOYLOG.VIS", ScriptValue::Int(0),
                         nullptr);
      }
    }
  }
  if (t == 3) {
    // The drop is legal when the carried disc is the narrowest (hanoi) or the widest of
    // its target column, itself included; otherwise it rises again.
    TQXElement* pile = TowerPile(ctrl);
    if (!pile) return;
    if (rules.hanoi) {
      TQXElement* base = Resolve(ctrl, Get(ctrl, "S1"));
      if (!base) return;
      ty = Saturate(int64_t{base->GetSizeY()} + base->Y() - 20);
    }
    int32_t w = disc->GetSizeX();
    bool remembered = false;
    for (TQXElement* c : pile->Children()) {
      if (c->X() != cx) continue;
      const int32_t cw = c->GetSizeX();
      if (rules.hanoi) ty = RoundToInt32((static_cast<double>(ty) - 2) - c->GetSizeY() / 1.276);
      else ty = 227;
      if (rules.hanoi ? cw <= w : cw >= w) {
        remembered = true;
        w = cw;
      }
    }
    if (remembered && disc->GetSizeX() == w) {
      t = 4;
    } else {
      t = 0;
      v = 1;
    }
  }
  SetInt(ctrl, "V", v);
  SetInt(ctrl, "T", t);
  SetInt(ctrl, "TY", ty);
}

void MagicLev7Log(TQXImage& ctrl) { MoveTowerDisc(ctrl, kLev7Rules); }
void MagicLev15Log(TQXImage& ctrl) { MoveTowerDisc(ctrl, kLev15Rules); }

// --- sliding rows and tile --------------------------------------------------------------

struct TileSlot {
  TQXImage* tile;
  TQXImage* companion;
};

// The row's tiles with their companions ("S"); false when one of them is missing.
bool RowTiles(TQXElement& row, std::vector<TileSlot>& tiles) {
  for (TQXElement* child : row.Children()) {
    auto* tile = dynamic_cast<TQXImage*>(child);
    auto* companion = tile ? dynamic_cast<TQXImage*>(Resolve(*tile, Get(*tile, "S"))) : nullptr;
    if (!companion) return false;
    tiles.push_back({tile, companion});
  }
  return true;
}

// Shifts the row's faces one place towards the front (or the back), round the end: the
// tiles' Anim, and the companions' Anim and visibility.
void RotateRow(const std::vector<TileSlot>& tiles, bool towardsFront) {
  struct Face {
    int32_t anim, companionAnim;
    bool companionVis;
  };
  std::vector<Face> faces;
  for (const TileSlot& s : tiles) faces.push_back({s.tile->Anim, s.companion->Anim, s.companion->Vis});
  const size_t n = tiles.size();
  for (size_t k = 0; k < n; ++k) {
    const Face& f = faces[towardsFront ? (k + 1) % n : (k + n - 1) % n];
    tiles[k].tile->Anim = f.anim;
    tiles[k].companion->Anim = f.companionAnim;
    tiles[k].companion->SetVis(f.companionVis);
  }
}

void MagicLev6InLog(TQXImage& container) {
  int32_t bottom = 0, dir = 1;
  const std::vector<TQXElement*> rows = container.Children();
  for (TQXElement* row : rows) {
    if (!row->Vis) continue;
    dir = -dir;
    if (row->Y() > bottom) ShiftY(*row, -2);
    if (row->Y() < bottom) row->SetY(bottom);
    bottom = Saturate(int64_t{row->Y()} + 81);
    if (bottom > 410) break;
    ShiftX(*row, dir);
    if (row->X() < -42 || row->X() > 42) {
      // Companions are all found before anything moves: a row is never left half turned.
      std::vector<TileSlot> tiles;
      if (!RowTiles(*row, tiles)) return;
      const bool towardsFront = row->X() < -42;
      RotateRow(tiles, towardsFront);
      ShiftX(*row, towardsFront ? 82 : -82);
    }
  }
  if (bottom == 0) SignalWin(container);
}

void MagicLev6InLogO(TQXImage& tile) {
  if (tile.hxTrans() != 255) {
    AddTrans(tile, 25);
    auto* companion = dynamic_cast<TQXImage*>(Resolve(tile, Get(tile, "S")));
    if (!companion) return;
    companion->SethxTrans(static_cast<uint8_t>(tile.hxTrans() / 4));
  }
  int64_t target = 10;
  const int32_t pos = IntOf(Get(tile, "PARPOS"));
  if (TQXElement* before = pos > 1 ? ChildAt(tile.Parent(), pos - 2) : nullptr) target = int64_t{before->X()} + 85;
  if (tile.X() > target) {
    ShiftX(tile, -17);
    if (tile.X() < target) tile.SetX(Saturate(target));
  }
}

// --- pipe rotation ----------------------------------------------------------------------

constexpr int kPipeSize = 6;
using PipeCells = std::array<std::array<TQXImage*, kPipeSize>, kPipeSize>;  // [i][j], nullptr where missing

PipeCells PipeCellsOf(TQXElement* board) {
  PipeCells cells{};
  for (int i = 0; i < kPipeSize; ++i) {
    for (int j = 0; j < kPipeSize; ++j) cells[i][j] = ImageAt(ChildAt(board, i), j);
  }
  return cells;
}

// Whether a code opens in direction d: 1 towards j + 1, 2 towards i + 1, 3 towards j - 1,
// 4 towards i - 1.
bool Opens(const std::string& code, int d) { return code.size() >= static_cast<size_t>(d) && code[d - 1] == '1'; }

bool IsQuarterTurn(double angle) { return std::fmod(RoundHalfEven(angle), 90.0) == 0; }

// The walk from the entrance through the open pipes. The map spans i, j = -1 .. 6: closed
// border cells round the board, open entrance (-1, 0) and exit (6, 5).
struct PipeWalk {
  std::array<std::array<std::string, kPipeSize + 2>, kPipeSize + 2> code;
  std::array<std::array<bool, kPipeSize + 2>, kPipeSize + 2> visited{};
  bool connected = false;
  bool leak = false;
  int leakI = 0, leakJ = 0, leakAngle = 0;

  explicit PipeWalk(const PipeCells& cells) {
    for (auto& row : code) row.fill("0000");
    for (int i = 0; i < kPipeSize; ++i) {
      for (int j = 0; j < kPipeSize; ++j) Code(i, j) = cells[i][j] ? cells[i][j]->Tag : "0000";
    }
    Code(-1, 0) = "1111";
    Code(kPipeSize, kPipeSize - 1) = "1111";
    Visited(-1, 0) = true;
    Visited(kPipeSize, kPipeSize - 1) = true;
  }
  std::string& Code(int i, int j) { return code[i + 1][j + 1]; }
  bool& Visited(int i, int j) { return visited[i + 1][j + 1]; }

  void Visit(int i, int j) {
    static constexpr int kDi[4] = {0, 1, 0, -1}, kDj[4] = {1, 0, -1, 0};
    if (i < 0 || j < 0 || i >= kPipeSize || j >= kPipeSize || Visited(i, j)) return;
    Visited(i, j) = true;
    for (int d = 0; d < 4; ++d) {
      if (!Opens(Code(i, j), d + 1)) continue;
      const int ni = i + kDi[d], nj = j + kDj[d];
      if (Opens(Code(ni, nj), (d + 2) % 4 + 1)) {
        Visit(ni, nj);
      } else {
        connected = false;
        leak = true;
        leakI = i;
        leakJ = j;
        leakAngle = 90 * d;
      }
    }
  }
};

void MagicLev12Log(TQXImage& board) {
  TQXElement* overlay = Resolve(board, ReadPath(board, ".LL"));
  if (!overlay) return;
  const PipeCells cells = PipeCellsOf(&board);

  // A turn is started by a script adding 10 to Angle; it runs on in steps of 10 and turns
  // the code one step when it reaches a quarter.
  for (const auto& row : cells) {
    for (TQXImage* cell : row) {
      if (!cell || IsQuarterTurn(cell->Angle())) continue;
      cell->SetAngle(cell->Angle() + 10);
      if (IsQuarterTurn(cell->Angle()) && cell->Tag.size() == 4) {
        cell->Tag = cell->Tag.substr(3) + cell->Tag.substr(0, 3);  // the fourth opening comes first
      }
    }
  }

  PipeWalk walk(cells);
  if (Opens(walk.Code(0, 0), 4)) {
    walk.connected = true;
    walk.Visit(0, 0);
  }

  const PipeCells shown = PipeCellsOf(overlay);
  for (int i = 0; i < kPipeSize; ++i) {
    for (int j = 0; j < kPipeSize; ++j) {
      if (!cells[i][j] || !shown[i][j]) continue;
      shown[i][j]->SetAngle(cells[i][j]->Angle());
      shown[i][j]->Anim = Saturate(int64_t{cells[i][j]->Anim} + 6);
      shown[i][j]->SethxTrans(walk.Visited(i, j) ? 255 : 0);
    }
  }

  TQXElement* end = Resolve(board, ReadPath(board, ".END"));
  if (!end) return;
  const bool flowsOut = walk.Visited(kPipeSize - 1, kPipeSize - 1) && Opens(walk.Code(kPipeSize - 1, kPipeSize - 1), 2);
  if (auto* endImage = dynamic_cast<TQXImage*>(end)) endImage->SethxTrans(flowsOut ? 255 : 0);
  if (walk.connected) SignalWin(board);

  TQXElement* leakMark = Resolve(board, ReadPath(board, ".PROT"));
  if (!leakMark) return;
  if (walk.leak) {
    leakMark->SetVis(true);
    leakMark->SetX(141 + 75 * walk.leakI);
    leakMark->SetY(506 - 75 * walk.leakJ);
    if (auto* image = dynamic_cast<TQXImage*>(leakMark)) image->SetAngle(walk.leakAngle);
  } else {
    leakMark->SetVis(false);
  }
}

// --- registration -----------------------------------------------------------------------

}  // namespace

void RegisterLogicFunctions(TScriptEngine& e, const GameLink& game) {
  e.RegisterFunction("MagicLev6Log_Rend", On<TQXImage>(game, [](TQXImage& g) { UntangleRender(g, TenNodeGraph()); }));
  e.RegisterFunction("MagicLev6Log_Upd", On<TQXImage>(game, [](TQXImage& g) { UntangleUpdate(g, TenNodeGraph()); }));
  e.RegisterFunction("MagicLev4InLog_Rend",
                     On<TQXImage>(game, [](TQXImage& g) { UntangleRender(g, NineNodeGraph()); }));
  e.RegisterFunction("MagicLev4InLog_Upd", On<TQXImage>(game, [](TQXImage& g) { UntangleUpdate(g, NineNodeGraph()); }));
  e.RegisterFunction("MagicLev7Log", On<TQXImage>(game, MagicLev7Log));
  e.RegisterFunction("MagicLev15Log", On<TQXImage>(game, MagicLev15Log));
  e.RegisterFunction("MagicLev6InLog", On<TQXImage>(game, MagicLev6InLog));
  e.RegisterFunction("MagicLev6InLogO", On<TQXImage>(game, MagicLev6InLogO));
  e.RegisterFunction("MagicLev12Log", On<TQXImage>(game, MagicLev12Log));
}

}  // namespace qx
