// qxrun --dev: the inspector (F11). It outlines the element under the pointer and lists what
// an author wants to know about it: where it is in the tree, its class and Key, its published
// properties, its variables and the last line the game wrote to korvane.err.
#pragma once

#include <string>
#include <vector>

namespace qx {

class TGfxCanvas;
class TGfxFont;
class TQXDB;
class TQXElement;

// "QXDB.GARDEN.DOOR": the names a script would use, an element without an Id as its position
// among its siblings ("#3", from 1).
std::string ElementPath(const TQXElement* element);

// The inspector's lines for an element (the root's when none is under the pointer).
std::vector<std::string> InspectorLines(TQXElement* element, const std::string& lastErrorLine);

// The element the inspector describes at a point: the topmost of the current screen that
// claims the point, as the mouse finds it; null when none does.
TQXElement* InspectedElement(TQXDB& root, TQXElement* screen, int x, int y);

class Inspector {
 public:
  bool Active() const { return active_; }
  void Toggle() { active_ = !active_; }
  // Draws the outline and the panel over the game; without a font the panel shows no text.
  void Render(TGfxCanvas& canvas, TGfxFont* font, TQXElement* element, const std::string& lastErrorLine,
              int pointerX, int width, int height);

 private:
  bool active_ = false;
};

}  // namespace qx
