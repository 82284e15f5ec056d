#include "shell/RuntimeMenu.h"

#include <algorithm>

#include "render/GfxCanvas.h"
#include "shell/Window.h"

namespace qx {
namespace {

constexpr int kVkEscape = 0x1B;
constexpr int kVkLeft = 0x25, kVkUp = 0x26, kVkRight = 0x27, kVkDown = 0x28;
constexpr int kVkNumpad1 = 0x61;

// Colours in the canvas's order (alpha high, red low).
constexpr uint32_t kDim = 0xB8000000u;
constexpr uint32_t kPanel = 0xF0281E18u;
constexpr uint32_t kPanelEdge = 0xFF6A5A4Au;
constexpr uint32_t kHighlight = 0xFF2E8CD8u;  // amber
constexpr uint32_t kSlotFrame = 0xFF3C3028u;
constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kGrey = 0xFFB4B4B4u;
constexpr uint32_t kDark = 0xFF1A1410u;

// The main page: a panel in the middle, one row an entry.
constexpr int kPanelWidth = 480;
constexpr int kRowHeight = 50;
constexpr int kRowsTop = 120;  // below the panel's top
constexpr int kMainRows = static_cast<int>(RuntimeMenu::Entry::Count);
constexpr int kMainPanelHeight = kRowsTop + kMainRows * kRowHeight + 70;

// The lists: three rows of three slots.
constexpr int kThumbWidth = 192, kThumbHeight = 144;
constexpr int kCellWidth = 250, kCellHeight = 196;
constexpr int kListWidth = 3 * kCellWidth + 40;
constexpr int kListTop = 20, kListHeight = 728;
constexpr int kGridTop = 90;

struct Box {
  int x, y, w, h;
  bool Has(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};

Box MainPanel(int width, int height) {
  return {(width - kPanelWidth) / 2, (height - kMainPanelHeight) / 2, kPanelWidth, kMainPanelHeight};
}
Box EntryBox(int i, int width, int height) {
  const Box p = MainPanel(width, height);
  return {p.x + 24, p.y + kRowsTop + i * kRowHeight, p.w - 48, kRowHeight - 6};
}
Box ListPanel(int width) { return {(width - kListWidth) / 2, kListTop, kListWidth, kListHeight}; }
Box SlotBox(int i, int width) {
  const Box p = ListPanel(width);
  return {p.x + 20 + (i % 3) * kCellWidth, p.y + kGridTop + (i / 3) * kCellHeight, kCellWidth - 10, kCellHeight - 10};
}

void DrawCentred(TGfxFont* font, const std::string& text, uint32_t color, int x, int width, int y) {
  if (!font) return;
  const double w = font->TextWidth(text);
  font->TextOut(text, color, x + (width - w) / 2, y, color, kFxBlend);
}

// A digit key, top row or keypad: 1..9, else 0.
int DigitOf(int vk) {
  if (vk >= '1' && vk <= '9') return vk - '0';
  if (vk >= kVkNumpad1 && vk < kVkNumpad1 + 9) return vk - kVkNumpad1 + 1;
  return 0;
}

constexpr int kWidth = 1024, kHeight = 768;  // the back buffer the mouse is given in

}  // namespace

RuntimeMenu::RuntimeMenu(Actions actions) : actions_(std::move(actions)) {}

void RuntimeMenu::Open() {
  if (IsOpen()) return;
  page_ = Page::Main;
  selected_ = mainSelected_ = 0;
  status_.clear();
}

void RuntimeMenu::Close() {
  page_ = Page::Closed;
  for (SlotView& s : slots_) s.thumbnail.reset();  // textures only while a list can show them
}

int RuntimeMenu::EntryCount() const { return page_ == Page::Main ? kMainRows : kSaveSlotCount; }

void RuntimeMenu::OpenList(Page page) {
  mainSelected_ = selected_;
  page_ = page;
  selected_ = 0;
  if (onListOpen) onListOpen();
  if (page == Page::Load) {
    // Load starts at the newest save; Save at the first free slot, else the first.
    int newest = -1;
    for (int i = 0; i < kSaveSlotCount; ++i) {
      if (slots_[static_cast<size_t>(i)].used &&
          (newest < 0 || slots_[static_cast<size_t>(i)].date > slots_[static_cast<size_t>(newest)].date)) {
        newest = i;
      }
    }
    selected_ = std::max(newest, 0);
  } else {
    for (int i = 0; i < kSaveSlotCount; ++i) {
      if (!slots_[static_cast<size_t>(i)].used) {
        selected_ = i;
        break;
      }
    }
  }
}

void RuntimeMenu::PickSlot(int index) { selected_ = std::clamp(index, 0, kSaveSlotCount - 1); }

void RuntimeMenu::ChangeVolume(int delta) {
  const auto entry = static_cast<Entry>(selected_);
  if (entry == Entry::Sound && actions_.soundVolume && actions_.setSoundVolume) {
    actions_.setSoundVolume(std::clamp(actions_.soundVolume() + delta, 0, 100));
  } else if (entry == Entry::Music && actions_.musicVolume && actions_.setMusicVolume) {
    actions_.setMusicVolume(std::clamp(actions_.musicVolume() + delta, 0, 100));
  }
}

void RuntimeMenu::Activate() {
  switch (page_) {
    case Page::Closed: return;
    case Page::Main:
      switch (static_cast<Entry>(selected_)) {
        case Entry::Resume: Close(); break;
        case Entry::Save: OpenList(Page::Save); break;
        case Entry::Load: OpenList(Page::Load); break;
        case Entry::Sound:
        case Entry::Music: {
          // Enter steps the volume up, and from full back to silence.
          const bool sound = static_cast<Entry>(selected_) == Entry::Sound;
          const auto get = sound ? actions_.soundVolume : actions_.musicVolume;
          const auto set = sound ? actions_.setSoundVolume : actions_.setMusicVolume;
          if (get && set) set(get() >= 100 ? 0 : std::min(100, get() + kVolumeStep));
          break;
        }
        case Entry::FullScreen:
          if (actions_.toggleFullScreen) actions_.toggleFullScreen();
          break;
        case Entry::Quit: page_ = Page::ConfirmQuit; break;
        case Entry::Count: break;
      }
      return;
    case Page::Save:
      if (slots_[static_cast<size_t>(selected_)].used) {
        page_ = Page::ConfirmOverwrite;
        return;
      }
      [[fallthrough]];
    case Page::ConfirmOverwrite: {
      const int number = selected_ + 1;
      const bool saved = actions_.save && actions_.save(number);
      page_ = Page::Main;
      selected_ = mainSelected_;
      if (saved) status_ = "Saved in slot " + std::to_string(number) + ".";
      else status_ = "Could not save in slot " + std::to_string(number) + ".";
      return;
    }
    case Page::Load: {
      if (!slots_[static_cast<size_t>(selected_)].used) {
        status_ = "Slot " + std::to_string(selected_ + 1) + " is empty.";
        return;
      }
      const int number = selected_ + 1;
      if (actions_.load && actions_.load(number)) {
        Close();
      } else {
        status_ = "Could not load slot " + std::to_string(number) + ".";
      }
      return;
    }
    case Page::ConfirmQuit:
      Close();
      if (actions_.quit) actions_.quit();
      return;
  }
}

void RuntimeMenu::Back() {
  switch (page_) {
    case Page::Closed: return;
    case Page::Main: Close(); return;
    case Page::Save:
    case Page::Load:
      page_ = Page::Main;
      selected_ = mainSelected_;
      status_.clear();
      return;
    case Page::ConfirmOverwrite: page_ = Page::Save; return;
    case Page::ConfirmQuit: page_ = Page::Main; return;
  }
}

void RuntimeMenu::KeyDown(int vk) {
  if (!IsOpen()) return;
  if (vk == kVkF5) {
    Close();  // F5 opens and closes it from anywhere
    return;
  }
  if (vk == kVkEscape) return Back();
  if (vk == kVkReturn || vk == ' ') return Activate();
  if (page_ == Page::ConfirmOverwrite || page_ == Page::ConfirmQuit) {
    if (vk == 'Y') Activate();
    if (vk == 'N') Back();
    return;
  }
  const int count = EntryCount();
  const bool list = page_ == Page::Save || page_ == Page::Load;
  if (vk == kVkUp) selected_ = (selected_ + count - (list ? 3 : 1)) % count;
  else if (vk == kVkDown) selected_ = (selected_ + (list ? 3 : 1)) % count;
  else if (list && vk == kVkLeft) selected_ = (selected_ + count - 1) % count;
  else if (list && vk == kVkRight) selected_ = (selected_ + 1) % count;
  else if (!list && vk == kVkLeft) ChangeVolume(-kVolumeStep);
  else if (!list && vk == kVkRight) ChangeVolume(kVolumeStep);
  else if (!list && vk == 'S') OpenList(Page::Save);
  else if (!list && vk == 'L') OpenList(Page::Load);
  else if (list && DigitOf(vk) > 0) PickSlot(DigitOf(vk) - 1);
}

int RuntimeMenu::HitEntry(int x, int y) const {
  for (int i = 0; i < kMainRows; ++i) {
    if (EntryBox(i, kWidth, kHeight).Has(x, y)) return i;
  }
  return -1;
}

int RuntimeMenu::HitSlot(int x, int y) const {
  for (int i = 0; i < kSaveSlotCount; ++i) {
    if (SlotBox(i, kWidth).Has(x, y)) return i;
  }
  return -1;
}

void RuntimeMenu::MouseMove(int x, int y) {
  if (page_ == Page::Main) {
    if (const int i = HitEntry(x, y); i >= 0) selected_ = i;
  } else if (page_ == Page::Save || page_ == Page::Load) {
    if (const int i = HitSlot(x, y); i >= 0) selected_ = i;
  }
}

void RuntimeMenu::MouseDown(int x, int y) {
  switch (page_) {
    case Page::Closed: return;
    case Page::Main: {
      const int i = HitEntry(x, y);
      if (i < 0) {
        if (!MainPanel(kWidth, kHeight).Has(x, y)) Close();  // a click beside the menu resumes
        return;
      }
      selected_ = i;
      const auto entry = static_cast<Entry>(i);
      if (entry == Entry::Sound || entry == Entry::Music) {
        // The left half of the row turns it down, the right half up.
        const Box b = EntryBox(i, kWidth, kHeight);
        ChangeVolume(x < b.x + b.w * 3 / 4 ? -kVolumeStep : kVolumeStep);
        return;
      }
      Activate();
      return;
    }
    case Page::Save:
    case Page::Load: {
      const int i = HitSlot(x, y);
      if (i < 0) {
        if (!ListPanel(kWidth).Has(x, y)) Back();
        return;
      }
      selected_ = i;
      Activate();
      return;
    }
    case Page::ConfirmOverwrite:
    case Page::ConfirmQuit:
      // A click is a yes in the box, a no beside it.
      if (Box{kWidth / 2 - 260, kHeight / 2 - 90, 520, 180}.Has(x, y)) Activate();
      else Back();
      return;
  }
}

std::string RuntimeMenu::EntryText(Entry e) const {
  switch (e) {
    case Entry::Resume: return "Resume";
    case Entry::Save: return "Save game";
    case Entry::Load: return "Load game";
    case Entry::Sound: return "Sound volume";
    case Entry::Music: return "Music volume";
    case Entry::FullScreen: return "Full screen";
    case Entry::Quit: return "Quit";
    case Entry::Count: break;
  }
  return {};
}

void RuntimeMenu::Render(TGfxCanvas& canvas, TGfxFont* title, TGfxFont* text, int width, int height) {
  if (!IsOpen() || !title || !text) return;
  canvas.FillRect(0, 0, width, height, kDim, kFxBlend);
  const auto panel = [&](const Box& b) {
    canvas.FillRect(b.x, b.y, b.w, b.h, kPanel, kFxBlend);
    canvas.FrameRect(b.x, b.y, b.w, b.h, kPanelEdge, kFxBlend);
  };
  const bool confirm = page_ == Page::ConfirmOverwrite || page_ == Page::ConfirmQuit;
  const Page under = page_ == Page::ConfirmOverwrite ? Page::Save : page_ == Page::ConfirmQuit ? Page::Main : page_;

  if (under == Page::Main) {
    const Box p = MainPanel(width, height);
    panel(p);
    DrawCentred(title, "Paused", kWhite, p.x, p.w, p.y + 30);
    canvas.FillRect(p.x + 24, p.y + 88, p.w - 48, 2, kPanelEdge, kFxBlend);
    for (int i = 0; i < kMainRows; ++i) {
      const Box b = EntryBox(i, width, height);
      const bool on = i == (confirm ? static_cast<int>(Entry::Quit) : selected_);
      if (on) canvas.FillRect(b.x, b.y, b.w, b.h, kHighlight, kFxBlend);
      const uint32_t ink = on ? kDark : kWhite;
      const auto entry = static_cast<Entry>(i);
      text->TextOut(EntryText(entry), ink, b.x + 20, b.y + 9, ink, kFxBlend);
      std::string value;
      int level = -1;
      if (entry == Entry::Sound && actions_.soundVolume) level = actions_.soundVolume();
      if (entry == Entry::Music && actions_.musicVolume) level = actions_.musicVolume();
      if (level >= 0) {
        // A bar of ten steps, and the number.
        const int barX = b.x + 196, barY = b.y + 16, barW = 130;
        canvas.FillRect(barX, barY, barW, 12, on ? 0x60000000u : 0x60FFFFFFu, kFxBlend);
        canvas.FillRect(barX, barY, barW * std::clamp(level, 0, 100) / 100, 12, ink, kFxBlend);
        value = std::to_string(level) + "%";
      } else if (entry == Entry::FullScreen && actions_.fullScreen) {
        value = actions_.fullScreen() ? "On" : "Off";
      }
      if (!value.empty()) {
        text->TextOut(value, ink, b.x + b.w - 16 - text->TextWidth(value), b.y + 9, ink, kFxBlend);
      }
    }
    const int footY = p.y + p.h - 50;
    if (!status_.empty()) DrawCentred(text, status_, kHighlight, p.x, p.w, footY);
    else DrawCentred(text, "Esc resumes    S saves    L loads", kGrey, p.x, p.w, footY);
  } else {
    const Box p = ListPanel(width);
    panel(p);
    DrawCentred(title, under == Page::Save ? "Save game" : "Load game", kWhite, p.x, p.w, p.y + 24);
    for (int i = 0; i < kSaveSlotCount; ++i) {
      const Box b = SlotBox(i, width);
      const SlotView& s = slots_[static_cast<size_t>(i)];
      const bool on = i == selected_;
      canvas.FillRect(b.x, b.y, b.w, b.h, on ? kHighlight : kSlotFrame, kFxBlend);
      const int tx = b.x + (b.w - kThumbWidth) / 2, ty = b.y + 8;
      canvas.FillRect(tx, ty, kThumbWidth, kThumbHeight, kDark, kFxOpaque);
      if (s.thumbnail) canvas.DrawImage(s.thumbnail.get(), kWhite, kFxOpaque, 0, tx, ty);
      else DrawCentred(text, "empty", kGrey, tx, kThumbWidth, ty + kThumbHeight / 2 - 12);
      // The number on the picture's corner; the screen and the date below it.
      canvas.FillRect(tx, ty, 34, 30, on ? kHighlight : kSlotFrame, kFxBlend);
      DrawCentred(text, std::to_string(i + 1), on ? kDark : kWhite, tx, 34, ty + 2);
      const uint32_t ink = on ? kDark : kWhite;
      if (s.used) {
        text->Scale = 0.72;
        const double dateWidth = text->TextWidth(s.date);
        text->TextOut(s.date, on ? kDark : kGrey, b.x + b.w - 10 - dateWidth, ty + kThumbHeight + 12,
                      on ? kDark : kGrey, kFxBlend);
        text->Scale = 0.85;
        // A long Id is cut to the room the date leaves.
        std::string label = s.screenId;
        const double room = b.w - 20 - dateWidth - 10;
        if (text->TextWidth(label) > room) {
          while (!label.empty() && text->TextWidth(label + "...") > room) label.pop_back();
          label += "...";
        }
        text->TextOut(label, ink, b.x + 10, ty + kThumbHeight + 8, ink, kFxBlend);
        text->Scale = 1.0;
      }
    }
    const std::string hint = !status_.empty() ? status_
                             : under == Page::Save ? "1-9 pick a slot    Enter saves    Esc back"
                                                   : "1-9 pick a slot    Enter loads    Esc back";
    DrawCentred(text, hint, status_.empty() ? kGrey : kHighlight, p.x, p.w, p.y + p.h - 42);
  }

  if (confirm) {
    canvas.FillRect(0, 0, width, height, 0x80000000u, kFxBlend);
    const Box b{width / 2 - 260, height / 2 - 90, 520, 180};
    panel(b);
    const std::string question = page_ == Page::ConfirmQuit
                                     ? "Quit the game?"
                                     : "Save over slot " + std::to_string(selected_ + 1) + "?";
    DrawCentred(title, question, kWhite, b.x, b.w, b.y + 36);
    DrawCentred(text, "Enter: yes      Esc: no", kGrey, b.x, b.w, b.y + 116);
  }
}

}  // namespace qx
