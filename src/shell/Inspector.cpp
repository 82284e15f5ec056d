#include "shell/Inspector.h"

#include <algorithm>

#include "elements/GameSource.h"
#include "render/GfxCanvas.h"
#include "resources/GfxFont.h"
#include "scene/ClassTable.h"
#include "scene/QXDB.h"
#include "scene/QXElement.h"
#include "script/VarList.h"

namespace qx {
namespace {

// Long values (scripts, texts) are cut: the panel is for a glance.
constexpr size_t kMaxValueLength = 44;
constexpr uint32_t kOutline = 0xFFFF40FFu;
constexpr uint32_t kPanel = 0xFF101018u;  // opaque: the game behind it would blur the lines
constexpr uint32_t kPanelFrame = 0xFF8080A0u;
constexpr uint32_t kTextColor = 0xFFFFFFFFu;
constexpr double kLineHeight = 15;

std::string Shorten(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  }
  if (text.size() > kMaxValueLength) text = text.substr(0, kMaxValueLength - 3) + "...";
  return text;
}

}  // namespace

std::string ElementPath(const TQXElement* element) {
  std::vector<std::string> names;
  for (const TQXElement* e = element; e; e = e->Parent()) {
    const TQXElement* parent = e->Parent();
    if (!parent) {
      names.push_back("QXDB");
      break;
    }
    if (!e->Id.empty()) {
      names.push_back(e->Id);
      continue;
    }
    const auto& siblings = parent->Children();
    const auto at = std::find(siblings.begin(), siblings.end(), e);
    names.push_back("#" + std::to_string(at - siblings.begin() + 1));
  }
  std::string path;
  for (auto it = names.rbegin(); it != names.rend(); ++it) path += (path.empty() ? "" : ".") + *it;
  return path;
}

std::vector<std::string> InspectorLines(TQXElement* element, const std::string& lastErrorLine) {
  // What changes while playing comes first, so that a short panel still shows it.
  std::vector<std::string> lines;
  lines.push_back(element ? ElementPath(element) : "(nothing under the pointer)");
  if (element) lines.push_back(element->ClassName() + "  Key " + std::to_string(element->Key));
  lines.push_back("korvane.err: " + (lastErrorLine.empty() ? std::string("(nothing written)") : Shorten(lastErrorLine)));
  if (!element) return lines;
  lines.push_back("Variables:");
  const int count = element->Variables ? element->Variables->Count() : 0;
  if (count == 0) lines.push_back("  (none)");
  for (int i = 0; i < count; ++i) {
    const TVar& var = (*static_cast<const TVarList*>(element->Variables.get()))[i];
    lines.push_back("  " + var.Name + " = " + Shorten(var.Value.ToText()));
  }
  lines.push_back("Properties (empty texts and scripts left out):");
  for (const PropInfo& prop : element->Class().props) {
    PropValue value;
    if (!element->GetField(prop.field, value)) continue;
    if (prop.type == PropType::String && value.s.empty()) continue;
    lines.push_back(std::string("  ") + prop.name + " = " + Shorten(FormatPropValue(prop, value)));
  }
  return lines;
}

TQXElement* InspectedElement(TQXDB& root, TQXElement* screen, int x, int y) {
  if (!screen) return nullptr;
  for (int32_t layer = root.MaxLayer(); layer >= root.MinLayer(); --layer) {
    if (TQXElement* hit = screen->HitTest(layer, x, y, 0, 0)) return hit;
  }
  return nullptr;
}

void Inspector::Render(TGfxCanvas& canvas, TGfxFont* font, TQXElement* element, const std::string& lastErrorLine,
                       int pointerX, int width, int height) {
  if (!active_) return;
  if (element && element->Parent()) {
    const int32_t w = std::max(element->GetSizeX(), 1), h = std::max(element->GetSizeY(), 1);
    const int32_t x = element->GetAbsX(), y = element->GetAbsY();
    canvas.FrameRect(x, y, w, h, kOutline, kFxBlend);
    canvas.FrameRect(x - 1, y - 1, w + 2, h + 2, 0xFF000000u, kFxBlend);
  }
  const std::vector<std::string> lines = InspectorLines(element, lastErrorLine);
  // The game's font at whatever size it was made: scaled to a small reading size for the
  // panel, its settings given back afterwards.
  const bool hasFont = font && font->Loaded();
  const double scale = hasFont ? font->Scale : 1;
  const bool tags = hasFont && font->TextTags;
  const TFontStylesFx style = hasFont ? font->Style : 0;
  if (hasFont) {
    font->Scale = 1;
    font->TextTags = false;
    font->Style = 0;
    const double natural = std::max(font->TextHeight("Ag"), 1.0);
    font->Scale = kLineHeight / natural;
  }
  const double lineHeight = kLineHeight + 1;
  const int panelWidth = std::min(420, width);
  const int rows = std::min(static_cast<int>(lines.size()), static_cast<int>((height - 12) / lineHeight));
  const int panelHeight = static_cast<int>(rows * lineHeight) + 12;
  // On the side away from the pointer, so that it never hides what is inspected.
  const int left = pointerX < width / 2 ? width - panelWidth - 4 : 4;
  canvas.FillFramedRect(left, 4, panelWidth, panelHeight, kPanel, kPanelFrame, kFxBlend);
  if (!hasFont) return;
  for (int i = 0; i < rows; ++i) {
    font->TextOut(lines[i], kTextColor, left + 6, 10 + i * lineHeight, kTextColor, kFxBlend);
  }
  font->Scale = scale;
  font->TextTags = tags;
  font->Style = style;
}

}  // namespace qx
