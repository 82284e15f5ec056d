// The level natives: level rules the game's scripts call every step instead of spelling
// them out in script (the task meters, the falling pieces, the group labelling, dragging in
// a field). Each acts on one controlling element and keeps all of its state in the element
// tree (properties and element variables), so saved states carry it. A wrong argument or a
// tree without the expected children makes a native do nothing, or stop where a required
// element is missing; none of them fails or returns a value. The logic puzzles follow the
// same rules in LogicFunctions.cpp.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "base/IntText.h"
#include "builtins/Builtins.h"
#include "builtins/NativeSupport.h"
#include "elements/QXImage.h"
#include "elements/QXScreen.h"
#include "runtime/RuntimeState.h"
#include "scene/QXDB.h"
#include "script/scriptengine.h"

namespace qx {
namespace {

using namespace native;

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
  return ParseWholeInt(tag, n) ? n : -1;
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

// --- registration -----------------------------------------------------------------------

}  // namespace

void RegisterLevelFunctions(TScriptEngine& e, const GameLink& game) {
  e.RegisterFunction("MagicLevProg", On<TQXScreen>(game, MagicLevProg));
  e.RegisterFunction("MagicGIProg", On<TQXImage>(game, MagicGIProg));
  e.RegisterFunction("MagicMapProg", On<TQXImage>(game, MagicMapProg));
  e.RegisterFunction("MagicLev6_1", On<TQXImage>(game, MagicLev6_1));
  e.RegisterFunction("MagicLev6_2", On<TQXImage>(game, MagicLev6_2));
  e.RegisterFunction("MagicLev6_3", On<TQXImage>(game, MagicLev6_3));
  e.RegisterFunction("MagicLev4In_3", On<TQXImage>(game, MagicLev4In_3));
}

}  // namespace qx
