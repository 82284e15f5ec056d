// The runtime menu's save slots: the state records of every element (NotSave ones too), the
// current screen, the music that plays and when it was saved, in a file of our own beside
// the game's FileRS state (which a slot never touches). The thumbnail is a PNG beside it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scene/SavedState.h"

namespace qx {

class TQXDB;

inline constexpr int kSaveSlotCount = 9;

struct SaveSlot {
  int64_t savedAt = 0;       // seconds since 1970
  bool hasScreen = false;
  int32_t screenKey = 0;
  std::string screenId;      // the screen's Id as the game gives it (code page 1251), for the menu
  std::string music;         // "" when none played
  int32_t musicVolume = 0;   // percent, as the game asked for it
  std::vector<StateRecord> records;
};

// The file's bytes: "QXSLOT2\n", the fields above, the number of records, then the records
// in the saved-state form.
std::string EncodeSaveSlot(const SaveSlot& slot);
// False (with the reason) on a file that is not a slot, is cut short or damaged.
bool DecodeSaveSlot(std::string_view data, SaveSlot& slot, std::string& error);

// What a slot saved now holds.
SaveSlot CaptureSaveSlot(TQXDB& root, int64_t savedAt);
// Loads a slot into the game: the records go to every element as LoadState assigns them
// (pictures queued while they are assigned), the saved screen becomes current without its
// Show event (it is restored, not entered) and loads its pictures, the Load event runs once,
// the saved music plays again (the other music fades out), and the timer is reset. Hover and
// the focused text start fresh.
void RestoreSaveSlot(TQXDB& root, const SaveSlot& slot);

// "slot1.qxs" .. "slot9.qxs", and the thumbnails "slot1.png" ..
std::string SaveSlotFileName(int number);
std::string SaveSlotThumbnailName(int number);

}  // namespace qx
