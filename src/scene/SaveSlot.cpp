#include "scene/SaveSlot.h"

#include <cstring>

#include "runtime/RuntimeState.h"
#include "runtime/SoundPlayer.h"
#include "scene/QXDB.h"
#include "scene/QXElement.h"

namespace qx {
namespace {

constexpr std::string_view kMagic = "QXSLOT2\n";
// Texts in the header are names and Ids; anything longer is damage.
constexpr uint32_t kMaxHeaderText = 64 * 1024;

void PutU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>(v >> (8 * i));
}
void PutU64(std::string& out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out += static_cast<char>(v >> (8 * i));
}
void PutText(std::string& out, const std::string& text) {
  PutU32(out, static_cast<uint32_t>(text.size()));
  out += text;
}

struct Reader {
  std::string_view data;
  size_t at = 0;
  bool Take(size_t n, const char*& p) {
    if (data.size() - at < n) return false;
    p = data.data() + at;
    at += n;
    return true;
  }
  bool U32(uint32_t& v) {
    const char* p = nullptr;
    if (!Take(4, p)) return false;
    v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(p[i])) << (8 * i);
    return true;
  }
  bool U64(uint64_t& v) {
    const char* p = nullptr;
    if (!Take(8, p)) return false;
    v = 0;
    for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(static_cast<uint8_t>(p[i])) << (8 * i);
    return true;
  }
  bool Text(std::string& text) {
    uint32_t n = 0;
    const char* p = nullptr;
    if (!U32(n) || n > kMaxHeaderText || !Take(n, p)) return false;
    text.assign(p, n);
    return true;
  }
};

}  // namespace

std::string EncodeSaveSlot(const SaveSlot& slot) {
  std::string out(kMagic);
  PutU64(out, static_cast<uint64_t>(slot.savedAt));
  out += static_cast<char>(slot.hasScreen ? 1 : 0);
  PutU32(out, static_cast<uint32_t>(slot.screenKey));
  PutText(out, slot.screenId);
  PutText(out, slot.music);
  PutU32(out, static_cast<uint32_t>(slot.musicVolume));
  // The count lets a file cut between two records be told from a whole one.
  PutU32(out, static_cast<uint32_t>(slot.records.size()));
  for (const StateRecord& rec : slot.records) AppendStateRecord(out, rec);
  return out;
}

bool DecodeSaveSlot(std::string_view data, SaveSlot& slot, std::string& error) {
  slot = SaveSlot{};
  if (data.substr(0, kMagic.size()) != kMagic) {
    error = "not a save slot";
    return false;
  }
  Reader r{data, kMagic.size()};
  uint64_t savedAt = 0;
  uint32_t screenKey = 0, musicVolume = 0, count = 0;
  const char* hasScreen = nullptr;
  if (!r.U64(savedAt) || !r.Take(1, hasScreen) || !r.U32(screenKey) || !r.Text(slot.screenId) ||
      !r.Text(slot.music) || !r.U32(musicVolume) || !r.U32(count)) {
    error = "the slot's header is cut short or damaged";
    return false;
  }
  slot.savedAt = static_cast<int64_t>(savedAt);
  slot.hasScreen = *hasScreen != 0;
  slot.screenKey = static_cast<int32_t>(screenKey);
  slot.musicVolume = static_cast<int32_t>(musicVolume);
  StateReadReport report;
  if (!ParseStateRecords(data.substr(r.at), slot.records, &report)) {
    // A slot is written whole or not at all: a damaged one is not loaded by halves.
    error = "damaged record at offset " + std::to_string(r.at + report.damageOffset) + ": " + report.reason;
    slot = SaveSlot{};
    return false;
  }
  if (slot.records.size() != count) {
    error = "the slot holds " + std::to_string(slot.records.size()) + " of its " + std::to_string(count) +
            " records (cut short?)";
    slot = SaveSlot{};
    return false;
  }
  return true;
}

SaveSlot CaptureSaveSlot(TQXDB& root, int64_t savedAt) {
  SaveSlot slot;
  slot.savedAt = savedAt;
  if (TQXElement* screen = Runtime().CurrentScreen) {
    slot.hasScreen = true;
    slot.screenKey = screen->Key;
    slot.screenId = screen->Id;
  }
  if (const SoundPlayer* sound = root.Services().sound) sound->CurrentMusic(slot.music, slot.musicVolume);
  slot.records = CollectStateRecords(root, /*withNotSave=*/true);
  return slot;
}

void RestoreSaveSlot(TQXDB& root, const SaveSlot& slot) {
  RuntimeState& rt = Runtime();
  rt.FileLoading = true;
  rt.LoadNow = false;  // pictures named by restored properties are queued, as LoadState does
  ApplyStateRecords(root, slot.records, /*withNotSave=*/true);
  rt.LoadNow = true;
  rt.MousedElement = nullptr;
  rt.FocusedText = nullptr;
  if (slot.hasScreen) {
    TQXElement* screen = root.FindByKey(slot.screenKey);
    if (screen && screen != &root) {
      SetCurrentScreen(screen);
      screen->LoadResources();
    }
  }
  root.DoAfterLoad();
  if (SoundPlayer* sound = root.Services().sound) {
    sound->FadeOutAllMusic();
    if (!slot.music.empty()) sound->PlayMusic(slot.music, slot.musicVolume);
  }
  root.ResetTimer();
  rt.FileLoading = false;
}

std::string SaveSlotFileName(int number) { return "slot" + std::to_string(number) + ".qxs"; }
std::string SaveSlotThumbnailName(int number) { return "slot" + std::to_string(number) + ".png"; }

}  // namespace qx
