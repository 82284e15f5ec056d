// RuntimeMenu: the player's menu over the paused game (F5): Resume, Save and Load with nine
// slots, sound and music volume, full screen, Quit. It knows pages, keys, the mouse and how
// it looks; what its entries do is the shell's (Actions).
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "resources/GfxFont.h"
#include "resources/GfxImage.h"
#include "scene/SaveSlot.h"

namespace qx {

class TGfxCanvas;

class RuntimeMenu {
 public:
  struct Actions {
    std::function<bool(int number)> save;  // false: nothing was saved (the shell said why)
    std::function<bool(int number)> load;
    std::function<void()> toggleFullScreen;
    std::function<bool()> fullScreen;
    std::function<void()> quit;
    std::function<int()> soundVolume, musicVolume;
    std::function<void(int)> setSoundVolume, setMusicVolume;
  };
  // What a slot shows in the lists.
  struct SlotView {
    bool used = false;
    std::string screenId;  // code page 1251
    std::string date;      // "2026-12-08 21:40"
    std::unique_ptr<TGfxImage> thumbnail;
  };
  enum class Page { Closed, Main, Save, Load, ConfirmOverwrite, ConfirmQuit };
  enum class Entry { Resume, Save, Load, Sound, Music, FullScreen, Quit, Count };

  static constexpr int kVolumeStep = 10;

  explicit RuntimeMenu(Actions actions);

  bool IsOpen() const { return page_ != Page::Closed; }
  Page CurrentPage() const { return page_; }
  int Selected() const { return selected_; }
  // Opens the menu at its top, Resume selected (does nothing when it is open).
  void Open();
  void Close();
  // The slots the lists show; the shell reads them when a list opens.
  std::array<SlotView, kSaveSlotCount>& Slots() { return slots_; }
  // A list's page is about to show: the shell fills Slots().
  std::function<void()> onListOpen;
  // A line under the entries ("Saved in slot 1."), cleared as the menu opens.
  void SetStatus(std::string text) { status_ = std::move(text); }
  const std::string& Status() const { return status_; }

  void KeyDown(int vk);
  void MouseMove(int x, int y);
  void MouseDown(int x, int y);
  // Draws the menu over the screen (dimmed) in back-buffer pixels. Nothing without fonts.
  void Render(TGfxCanvas& canvas, TGfxFont* title, TGfxFont* text, int width, int height);

 private:
  void Activate();           // Enter on the selection
  void Back();               // Esc
  void OpenList(Page page);
  void PickSlot(int index);  // a digit or a click on a slot: selects it
  void ChangeVolume(int delta);
  int EntryCount() const;
  // Where an entry or a slot is drawn, for the mouse: the index under (x, y), or -1.
  int HitEntry(int x, int y) const;
  int HitSlot(int x, int y) const;
  std::string EntryText(Entry e) const;

  Actions actions_;
  Page page_ = Page::Closed;
  int selected_ = 0;      // entry of the main page, or slot (0..8) of a list
  int mainSelected_ = 0;  // kept while a list is open
  std::string status_;
  std::array<SlotView, kSaveSlotCount> slots_;
};

}  // namespace qx
