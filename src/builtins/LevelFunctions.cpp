// The level natives: puzzle rules the game's scripts call every step instead of spelling
// them out in script. Each acts on one controlling element and keeps all of its state in the
// element tree (properties and element variables), so saved states carry it. A wrong
// argument or a tree without the expected children makes a native do nothing, or stop
// where a required element is missing; none of them fails or returns a value.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "base/Ascii.h"
#include "base/Random.h"
#include "builtins/Builtins.h"
#include "elements/QXImage.h"
#include "elements/QXScreen.h"
#include "render/GfxCanvas.h"
#include "runtime/RuntimeState.h"
#include "runtime/SoundPlayer.h"
#include "scene/QXDB.h"
#include "script/scriptengine.h"

namespace qx {
namespace {

using Params = TVarList;

// --- shared helpers ---------------------------------------------------------------------

// The element a script value refers to in the tree of `near`, or nullptr (also for 0 and
// for non-references).
TQXElement* Resolve(const TQXElement& near, const ScriptValue& v) {
  if (v.Kind() != ValueKind::Element) return nullptr;
  TQXDB* root = near.Root();
  return root ? root->FromHandle(v.ElementHandle()) : nullptr;
}

TQXElement* ElementArg(const GameLink& game, const Params& p) {
  if (p.Count() == 0 || p[0].Value.Kind() != ValueKind::Element || !game.root) return nullptr;
  return game.root->FromHandle(p[0].Value.ElementHandle());
}

// A name of an element (variable, property, child or special name); empty when the element
// does not answer to it.
ScriptValue Get(TQXElement& e, const std::string& name) {
  ScriptValue v;
  return e.GetPropValue(name, v) ? v : ScriptValue();
}

// Numbers read from names; what is missing or not a number reads as 0.
int32_t IntOf(const ScriptValue& v) {
  int32_t out = 0;
  return v.TryToInt32(out) ? out : 0;
}
double RealOf(const ScriptValue& v) {
  double out = 0;
  return v.TryToDouble(out) ? out : 0;
}

// Writes are silently dropped when the element has no such variable or property.
void SetInt(TQXElement& e, const std::string& name, int32_t v) { e.SetPropValue(name, ScriptValue::Int(v)); }

// Element paths from an element (leading "." steps to the parent, "QXDB" is the root).
ScriptValue ReadPath(TQXElement& from, const std::string& path) {
  ScriptValue v;
  return ReadElementPath(from.Handle(), path, v, nullptr) ? v : ScriptValue();
}
void WritePath(TQXElement& from, const std::string& path, int32_t v) {
  WriteElementPath(from.Handle(), path, ScriptValue::Int(v), nullptr);
}

// The puzzles' win flag: "QXDB.LOGINTERFACE.WIN" := 1, walked from the element's parent.
void SignalWin(TQXElement& e) {
  WriteElementPath(e.Parent() ? e.Parent()->Handle() : 0, "QXDB.LOGINTERFACE.WIN", ScriptValue::Int(1), nullptr);
}

int32_t Saturate(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }
int32_t RoundToInt(double v) {
  const double r = RoundHalfEven(v);
  if (!(r > -2147483648.0)) return INT32_MIN;
  return r > 2147483647.0 ? INT32_MAX : static_cast<int32_t>(r);
}

// Integer moves through SetX/SetY, kept inside the 32-bit range.
void ShiftX(TQXElement& e, int64_t d) { e.SetX(Saturate(int64_t{e.X()} + d)); }
void ShiftY(TQXElement& e, int64_t d) { e.SetY(Saturate(int64_t{e.Y()} + d)); }

// hxTrans is a byte: steps past 255 or below 0 wrap around, as the game's data expects.
void AddTrans(TQXImage& image, int step) { image.SethxTrans(static_cast<uint8_t>(image.hxTrans() + step)); }

// The first child whose Id is the name upper-cased (the comparison itself is exact).
TQXElement* ChildNamed(TQXElement& e, const std::string& name) {
  const std::string id = UpperAscii(name);
  for (TQXElement* child : e.Children()) {
    if (child->Id == id) return child;
  }
  return nullptr;
}

TQXElement* ChildAt(TQXElement* e, int i) { return e && i >= 0 && i < e->ChildCount() ? e->Children()[i] : nullptr; }
TQXImage* ImageAt(TQXElement* e, int i) { return dynamic_cast<TQXImage*>(ChildAt(e, i)); }

int32_t RandomBelow(int32_t k) {
  if (k <= 1) return 0;
  std::uniform_int_distribution<int32_t> pick(0, k - 1);
  return pick(RandomGenerator());
}

// A sound id through the sound table, played once (as PlaySnd does).
void PlayLevelSound(const TQXElement& near, const std::string& id) {
  TQXDB* root = near.Root();
  SoundPlayer* sound = root ? root->Services().sound : nullptr;
  if (!sound) return;
  std::string file;
  int32_t volume = 0;
  root->LookupSound(id, file, volume);
  if (!file.empty()) sound->PlaySound(file, volume);
}

// --- task meter -------------------------------------------------------------------------

enum class TaskKind { Crystal, Found, Action };

struct Task {
  TaskKind kind;
  TQXImage* image;
  int32_t weight;
  bool visible;     // actions nested in another child: both must be visible
  std::string var;  // actions: the screen variable remembering that the task has appeared
};

// A level screen's tasks in child order: crystals, the items of "FIND" children, and the
// actions ("ACT") and logic tasks ("LOG"), direct or one level down, numbered separately.
std::vector<Task> LevelTasks(TQXElement& screen) {
  std::vector<Task> tasks;
  int actions = 0, logic = 0;
  auto action = [&](TQXImage& image, bool visible) {
    if (image.Tag == "ACT") {
      tasks.push_back({TaskKind::Action, &image, 5, visible, "A[" + std::to_string(++actions) + "]"});
    } else if (image.Tag == "LOG") {
      tasks.push_back({TaskKind::Action, &image, 10, visible, "LG[" + std::to_string(++logic) + "]"});
    }
  };
  for (TQXElement* child : screen.Children()) {
    auto* image = dynamic_cast<TQXImage*>(child);
    if (!image) continue;
    if (image->Id == "Krist") {
      tasks.push_back({TaskKind::Crystal, image, 3, image->Vis, {}});
    } else if (image->Tag == "FIND") {
      for (TQXElement* item : image->Children()) {
        if (auto* found = dynamic_cast<TQXImage*>(item)) tasks.push_back({TaskKind::Found, found, 1, found->Vis, {}});
      }
    } else if (image->Tag == "ACT" || image->Tag == "LOG") {
      action(*image, image->Vis);
    } else {
      for (TQXElement* nested : image->Children()) {
        if (auto* task = dynamic_cast<TQXImage*>(nested)) action(*task, task->Vis && image->Vis);
      }
    }
  }
  return tasks;
}

// The weight of the screen's tasks that are done. An action is done once it has been seen
// and then disappeared: its variable goes to 1 when it shows, and it counts while hidden at 1.
int32_t DoneWeight(TQXElement& screen) {
  int32_t done = 0;
  for (const Task& task : LevelTasks(screen)) {
    switch (task.kind) {
      case TaskKind::Crystal:
        if (!task.visible) done += task.weight;
        break;
      case TaskKind::Found:
        if (!task.visible || task.image->hxTrans() < 255) done += task.weight;
        break;
      case TaskKind::Action: {
        const int32_t seen = IntOf(Get(screen, task.var));
        if (task.visible && seen == 0) SetInt(screen, task.var, 1);
        else if (!task.visible && seen == 1) done += task.weight;
        break;
      }
    }
  }
  return done;
}

// Writes a screen variable, adding it to the screen's variables when it is none yet.
void SetScreenVariable(TQXElement& screen, const std::string& name, int32_t v) {
  if (screen.SetPropValue(name, ScriptValue::Int(v))) return;
  if (!screen.Variables) screen.Variables = std::make_unique<TVarList>();
  screen.Variables->Add({name, ScriptValue::Int(v)});
}

void MagicLevProg(TQXScreen& screen) {
  int32_t total = 0;
  for (const Task& task : LevelTasks(screen)) {
    total += task.weight;
    if (task.kind == TaskKind::Action) SetScreenVariable(screen, task.var, task.visible ? 1 : 0);
  }
  SetScreenVariable(screen, "ENDCN", total);
  SetScreenVariable(screen, "ENDAN", 0);
}

void MagicGIProg(TQXImage& bar) {
  TQXElement* screen = Resolve(bar, ReadPath(bar, ".SCR"));
  if (!screen) return;
  const int32_t done = DoneWeight(*screen);
  const double end = RealOf(ReadPath(bar, ".SCR.ENDCN"));
  const double scale = end != 0 ? done / end : 0;
  bar.SetPropValue("SCALEX", ScriptValue::Float(scale));
  const int32_t shown = scale == 1 ? 0 : 1;
  WritePath(bar, ".PRB.VIS", shown);
  WritePath(bar, ".PRF.VIS", shown);
  SetInt(bar, "HXTRANS", shown * 255);
  if (shown) {
    WritePath(bar, ".PRAN.VIS", 0);
    return;
  }
  // All done: the closing animation starts once. An unreadable ENDAN does not restart it
  // every step.
  ScriptValue ended;
  if (ReadElementPath(bar.Handle(), ".SCR.ENDAN", ended, nullptr) && IntOf(ended) == 0) {
    WritePath(bar, ".PRAN.ACTIVE", 1);
    WritePath(bar, ".PRAN.POS", 0);
    if (TQXElement* anim = Resolve(bar, ReadPath(bar, ".PRAN"))) anim->RunEvent("anStart", ScriptSlot::Start);
  }
  WritePath(bar, ".PRAN.VIS", 1);
  WritePath(bar, ".SCR.ENDAN", 1);
}

void MagicMapProg(TQXImage& bar) {
  TQXElement* root = bar.Root();
  if (!root) return;
  int64_t done = 0;
  double sum = 0;
  for (TQXElement* level : root->Children()) {
    if (level->Id.rfind("Level", 0) != 0 || level->Id.find("Log") != std::string::npos) continue;
    done += DoneWeight(*level);
    ScriptValue end;
    if (level->GetPropValue("ENDCN", end)) sum += RealOf(end);
  }
  bar.SetPropValue("SCALEX", ScriptValue::Float(sum != 0 ? static_cast<double>(done) / sum : 0));
}

// --- falling pieces ---------------------------------------------------------------------

// A piece of the column: an image whose first child is its cover and second its marker.
struct Piece {
  TQXImage* image = nullptr;
  TQXElement* cover = nullptr;
  TQXImage* marker = nullptr;
};

bool PieceAt(TQXElement& column, int i, Piece& piece) {
  piece.image = ImageAt(&column, i);
  piece.cover = ChildAt(piece.image, 0);
  piece.marker = ImageAt(piece.image, 1);
  return piece.cover && piece.marker;
}

// Whether the piece below (the one before it in child order) sits right under it.
bool RestsOnPrevious(TQXElement& column, int i, const TQXImage& piece) {
  const TQXImage* below = ImageAt(&column, i - 1);
  return below && int64_t{below->Y()} == int64_t{piece.Y()} + 50 && below->hxTrans() > 0;
}

// A vanished piece comes back above the highest one with a random colour, last in the column.
void Respawn(TQXImage& column, const Piece& piece) {
  int32_t top = 1000;
  for (TQXElement* other : column.Children()) top = std::min(top, other->Y());
  piece.image->SetY(Saturate(int64_t{top} - 50));
  piece.image->BringToFront();
  piece.image->SethxTrans(5);
  piece.image->Anim = RandomBelow(IntOf(ReadPath(column, ".COLS")));
  piece.marker->Anim = Saturate(int64_t{piece.image->Anim} + 6);
}

void MagicLev6_1(TQXImage& column) {
  Piece piece;
  for (int i = column.ChildCount() - 1; i >= 0; --i) {
    if (!PieceAt(column, i, piece)) continue;
    TQXImage& marker = *piece.marker;
    if (marker.Tag == "*") {
      if (marker.hxTrans() < 250) AddTrans(marker, 50);
    } else if (marker.hxTrans() > 0) {
      AddTrans(marker, -50);
    }
  }

  if (IntOf(Get(column, "MOVING")) == 0) return;
  SetInt(column, "MOVING", 0);
  auto moving = [&column] {
    SetInt(column, "MOVING", 1);
    WritePath(column, ".MOVING", 1);
  };
  // Walking down by index stays right when a respawned piece moves to the end: only the
  // pieces already walked shift.
  for (int i = column.ChildCount() - 1; i >= 0; --i) {
    if (!PieceAt(column, i, piece)) continue;
    TQXImage& p = *piece.image;
    if (p.hxTrans() == 0) {
      Respawn(column, piece);
      moving();
      continue;
    }
    if (p.hxTrans() < 255 && !piece.cover->Vis && p.Y() >= 0) {
      AddTrans(p, 25);
      moving();
    }
    if ((p.Y() < 400 || (p.Anim >= 12 && p.Y() < 450)) && !RestsOnPrevious(column, i, p)) {
      ShiftY(p, 10);
      moving();
    }
    if (p.Anim >= 12 && p.Y() >= 450) {
      WritePath(column, ".B" + column.Tag + ".VIS", 1);
      p.SethxTrans(0);
    }
  }
}

// --- group labelling --------------------------------------------------------------------

constexpr int kBoardSize = 9;
// cells[r - 1][col]; nullptr where the tree has no image cell.
using Board = std::array<std::array<TQXImage*, kBoardSize>, kBoardSize>;

Board BoardCells(TQXElement& board) {
  Board cells{};
  TQXElement* field = board.Parent();
  if (!field) return cells;
  for (int r = 1; r <= kBoardSize; ++r) {
    TQXElement* row = ChildNamed(*field, "L" + std::to_string(r));
    for (int col = 0; col < kBoardSize; ++col) cells[r - 1][col] = ImageAt(row, col);
  }
  return cells;
}

// A group label as a number; -1 for "x" and anything else that is none.
int LabelNumber(const std::string& tag) {
  int n = -1;
  const auto [end, ec] = std::from_chars(tag.data(), tag.data() + tag.size(), n);
  return ec == std::errc() && end == tag.data() + tag.size() ? n : -1;
}

// One labelling pass: labels flow to same-coloured neighbours below and to the right, and
// two touching labels merge into the larger. True when some label merged. Labels only
// grow and are bounded, so repeated passes come to rest.
bool LabelPass(Board& cells) {
  bool changed = false;
  for (int r = 0; r < kBoardSize; ++r) {
    for (int col = 0; col < kBoardSize; ++col) {
      TQXImage* cell = cells[r][col];
      if (!cell || cell->Tag == "x") continue;
      bool lonely = cell->Tag.empty();
      if (lonely) cell->Tag = std::to_string(r + kBoardSize * col);
      TQXImage* neighbours[2] = {r + 1 < kBoardSize ? cells[r + 1][col] : nullptr,
                                 col + 1 < kBoardSize ? cells[r][col + 1] : nullptr};
      for (TQXImage* next : neighbours) {
        if (!next || next->Anim != cell->Anim) continue;
        lonely = false;
        if (next->Tag.empty()) {
          next->Tag = cell->Tag;
        } else if (next->Tag != cell->Tag && next->Tag != "x") {
          const std::string larger = std::to_string(std::max(LabelNumber(next->Tag), LabelNumber(cell->Tag)));
          next->Tag = larger;
          cell->Tag = larger;
          changed = true;
        }
      }
      if (lonely) cell->Tag = "x";
    }
  }
  return changed;
}

void MagicLev6_2(TQXImage& board) {
  Board cells = BoardCells(board);
  for (auto& row : cells) {
    for (TQXImage* cell : row) {
      if (!cell) continue;
      cell->Tag.clear();
      if (cell->Anim > 5 && cell->Anim < 12) cell->Anim -= 6;  // drop the highlight
    }
  }
  while (LabelPass(cells)) {
  }
  std::array<int, kBoardSize * kBoardSize> counts{};
  for (auto& row : cells) {
    for (TQXImage* cell : row) {
      const int label = cell ? LabelNumber(cell->Tag) : -1;
      if (label >= 0 && label < static_cast<int>(counts.size())) ++counts[label];
    }
  }
  for (auto& row : cells) {
    for (TQXImage* cell : row) {
      if (!cell || cell->Tag == "x") continue;
      const int label = LabelNumber(cell->Tag);
      if (label < 0 || label >= static_cast<int>(counts.size()) || counts[label] < 3) cell->Tag = "x";
    }
  }
  SetInt(board, "MMX", -1);
  board.DoMouseMove();
}

// --- dragging inside a field ------------------------------------------------------------

// Whether (tx, ty) keeps the minimum distance to every other piece of the field (pieces
// sharing the dragged piece's Id are not obstacles).
bool ClearOfOthers(TQXElement& field, const TQXElement& piece, double tx, double ty, double minDistance2) {
  for (TQXElement* other : field.Children()) {
    if (other->Id == piece.Id) continue;
    const double dx = tx - other->X(), dy = ty - other->Y();
    if (dx * dx + dy * dy < minDistance2) return false;
  }
  return true;
}

bool InsideCircle(double tx, double ty, double w, double h) {
  const double dx = tx - w / 2, dy = ty - h / 2, r = w / 2 - 50;
  return dx * dx + dy * dy < r * r;
}

bool InsideEllipse(double tx, double ty, double w, double h) {
  if (w == 0 || h == 0) return false;
  const double dx = tx - w / 2, dy = ty - h / 2;
  return 4 * dx * dx / (w * w) + 4 * dy * dy / (h * h) < 0.8;
}

// While the piece is held, it moves to the first of 100 points on the way to the mouse
// (1/i of the way for i = 1 .. 100) that is inside the field and clear of the others.
void DragInside(TQXImage& piece, double minDistance2, bool (*inside)(double, double, double, double)) {
  ScriptValue held;
  bool down = false;
  if (!piece.GetPropValue("MOUSEINDOWN", held) || !held.TryToBool(down) || !down) return;
  TQXElement* field = piece.Parent();
  if (!field) return;
  const RuntimeState& rt = Runtime();
  const double x = piece.X(), y = piece.Y();
  const double dx = static_cast<double>(rt.MouseX) - field->GetAbsX() - x;
  const double dy = static_cast<double>(rt.MouseY) - field->GetAbsY() - y;
  const double w = field->GetSizeX(), h = field->GetSizeY();
  for (int i = 1; i <= 100; ++i) {
    const double tx = x + dx / i, ty = y + dy / i;
    if (inside(tx, ty, w, h) && ClearOfOthers(*field, piece, tx, ty, minDistance2)) {
      piece.rX = tx;
      piece.rY = ty;
      return;
    }
  }
}

void MagicLev6_3(TQXImage& piece) { DragInside(piece, 2500, InsideCircle); }
void MagicLev4In_3(TQXImage& piece) { DragInside(piece, 784, InsideEllipse); }

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
  disc.SetX(Saturate(int64_t{disc.X()} + RoundToInt(step)));
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
      if (rules.hanoi) PlayLevelSound(ctrl, "Lev7.LogStop");
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
      if (rules.hanoi) ty = RoundToInt((static_cast<double>(ty) - 2) - c->GetSizeY() / 1.276);
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

// A native acting on one element of class T (or derived); any other argument is ignored.
template <class T>
NativeFunction On(const GameLink& game, void (*native)(T&)) {
  return [g = &game, native](TScriptEngine&, Params& p, TVar&) {
    if (T* e = dynamic_cast<T*>(ElementArg(*g, p))) native(*e);
    return true;
  };
}

}  // namespace

void RegisterLevelFunctions(TScriptEngine& e, const GameLink& game) {
  e.RegisterFunction("MagicLevProg", On<TQXScreen>(game, MagicLevProg));
  e.RegisterFunction("MagicGIProg", On<TQXImage>(game, MagicGIProg));
  e.RegisterFunction("MagicMapProg", On<TQXImage>(game, MagicMapProg));
  e.RegisterFunction("MagicLev6_1", On<TQXImage>(game, MagicLev6_1));
  e.RegisterFunction("MagicLev6_2", On<TQXImage>(game, MagicLev6_2));
  e.RegisterFunction("MagicLev6_3", On<TQXImage>(game, MagicLev6_3));
  e.RegisterFunction("MagicLev4In_3", On<TQXImage>(game, MagicLev4In_3));
  e.RegisterFunction("MagicLev6Log_Rend", On<TQXImage>(game, [](TQXImage& g) { UntangleRender(g, TenNodeGraph()); }));
  e.RegisterFunction("MagicLev6Log_Upd", On<TQXImage>(game, [](TQXImage& g) { UntangleUpdate(g, TenNodeGraph()); }));
  e.RegisterFunction("MagicLev4InLog_Rend", On<TQXImage>(game, [](TQXImage& g) { UntangleRender(g, NineNodeGraph()); }));
  e.RegisterFunction("MagicLev4InLog_Upd", On<TQXImage>(game, [](TQXImage& g) { UntangleUpdate(g, NineNodeGraph()); }));
  e.RegisterFunction("MagicLev7Log", On<TQXImage>(game, MagicLev7Log));
  e.RegisterFunction("MagicLev15Log", On<TQXImage>(game, MagicLev15Log));
  e.RegisterFunction("MagicLev6InLog", On<TQXImage>(game, MagicLev6InLog));
  e.RegisterFunction("MagicLev6InLogO", On<TQXImage>(game, MagicLev6InLogO));
  e.RegisterFunction("MagicLev12Log", On<TQXImage>(game, MagicLev12Log));
}

}  // namespace qx
