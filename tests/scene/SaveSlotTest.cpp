// The runtime menu's save slots: the file round trip, damaged files refused whole, and what
// loading a slot restores (NotSave elements included, which the game's own state skips).
#include <gtest/gtest.h>

#include <random>

#include "SceneTestSupport.h"
#include "scene/SaveSlot.h"
#include "scene/SavedState.h"

namespace qx {
namespace {

using test::SceneFixture;

SaveSlot Sample() {
  SaveSlot slot;
  slot.savedAt = 1'796'000'000;
  slot.hasScreen = true;
  slot.screenKey = 42;
  slot.screenId = "\xC7\xE0\xEB";  // code page 1251 bytes travel as they are
  slot.music = "theme.ogg";
  slot.musicVolume = 80;
  StateRecord a;
  a.key = 3;
  a.name = "TAG";
  a.type = kStateString;
  a.value = ScriptValue::Str("door open");
  StateRecord b;
  b.key = 4;
  b.name = "RX";
  b.type = kStateExtended;
  b.value = ScriptValue::Float(-12.25);
  slot.records = {a, b};
  return slot;
}

TEST(SaveSlotFile, RoundTrip) {
  const SaveSlot in = Sample();
  SaveSlot out;
  std::string error;
  ASSERT_TRUE(DecodeSaveSlot(EncodeSaveSlot(in), out, error)) << error;
  EXPECT_EQ(out.savedAt, in.savedAt);
  EXPECT_TRUE(out.hasScreen);
  EXPECT_EQ(out.screenKey, 42);
  EXPECT_EQ(out.screenId, in.screenId);
  EXPECT_EQ(out.music, "theme.ogg");
  EXPECT_EQ(out.musicVolume, 80);
  ASSERT_EQ(out.records.size(), 2u);
  EXPECT_EQ(out.records[0].key, 3);
  EXPECT_EQ(out.records[0].value, ScriptValue::Str("door open"));
  EXPECT_EQ(out.records[1].value, ScriptValue::Float(-12.25));
  // A slot without screen or music.
  SaveSlot bare;
  ASSERT_TRUE(DecodeSaveSlot(EncodeSaveSlot(bare), out, error)) << error;
  EXPECT_FALSE(out.hasScreen);
  EXPECT_TRUE(out.music.empty());
  EXPECT_TRUE(out.records.empty());
}

TEST(SaveSlotFile, DamagedFilesAreRefusedWholeWithAReason) {
  const std::string good = EncodeSaveSlot(Sample());
  SaveSlot out;
  std::string error;
  // Not a slot at all.
  EXPECT_FALSE(DecodeSaveSlot("", out, error));
  EXPECT_EQ(error, "not a save slot");
  EXPECT_FALSE(DecodeSaveSlot("garbage garbage garbage", out, error));
  EXPECT_EQ(error, "not a save slot");
  // Every cut short of the whole file is refused, and nothing of it is kept.
  for (size_t n = 8; n < good.size(); ++n) {
    error.clear();
    EXPECT_FALSE(DecodeSaveSlot(std::string_view(good).substr(0, n), out, error)) << n;
    EXPECT_FALSE(error.empty()) << n;
    EXPECT_TRUE(out.records.empty()) << n;
  }
  // A header text that claims more than the file holds, or more than any Id needs.
  std::string big = good;
  const size_t idLength = 8 + 8 + 1 + 4;
  for (uint32_t claim : {0x7FFFFFFFu, 0xFFFFFFFFu, 70'000u}) {
    for (int i = 0; i < 4; ++i) big[idLength + static_cast<size_t>(i)] = static_cast<char>(claim >> (8 * i));
    EXPECT_FALSE(DecodeSaveSlot(big, out, error));
    EXPECT_EQ(error, "the slot's header is cut short or damaged");
  }
  // A record count larger (or smaller) than the records the file holds.
  SaveSlot header = Sample();
  header.records.clear();
  const size_t countAt = EncodeSaveSlot(header).size() - 4;
  for (uint32_t claim : {3u, 1u, 0xFFFFFFFFu}) {
    std::string wrong = good;
    for (int i = 0; i < 4; ++i) wrong[countAt + static_cast<size_t>(i)] = static_cast<char>(claim >> (8 * i));
    EXPECT_FALSE(DecodeSaveSlot(wrong, out, error)) << claim;
    EXPECT_EQ(error, "the slot holds 2 of its " + std::to_string(claim) + " records (cut short?)");
    EXPECT_TRUE(out.records.empty());
  }
  // Garbage after a good header: a damaged record, named with its offset.
  std::string tail = good + "\x05\x00\x00\x00zz";
  EXPECT_FALSE(DecodeSaveSlot(tail, out, error));
  EXPECT_NE(error.find("damaged record at offset"), std::string::npos) << error;
}

TEST(SaveSlotFile, RandomMutationsNeverReadOutside) {
  const std::string good = EncodeSaveSlot(Sample());
  std::mt19937 rng(7);
  SaveSlot out;
  std::string error;
  for (int round = 0; round < 3000; ++round) {
    std::string bad = good;
    const int flips = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < flips; ++i) bad[rng() % bad.size()] = static_cast<char>(rng());
    if (rng() % 3 == 0) bad.resize(rng() % bad.size());
    if (!DecodeSaveSlot(bad, out, error)) {
      EXPECT_FALSE(error.empty());
    }
  }
}

// --- loading into a tree -----------------------------------------------------------------

TEST(SaveSlotLoad, NotSaveElementsAreRestoredByASlotButNotByTheGamesOwnState) {
  SceneFixture f;
  ASSERT_TRUE(f.root->SetPropValue("FileRS", ScriptValue::Str("state.dat")));
  auto* screen = f.Add<TQXScreen>(f.root.get(), "S", 2);
  auto* keep = f.Add<TQXImage>(screen, "KEEP", 3);
  keep->NotSave = true;
  keep->Tag = "then";
  const SaveSlot slot = CaptureSaveSlot(*f.root, 1);
  ASSERT_TRUE(f.root->SaveState());
  keep->Tag = "now";
  // The game's own state leaves it alone...
  ASSERT_TRUE(f.root->LoadState());
  EXPECT_EQ(keep->Tag, "now");
  // ...a slot brings it back.
  RestoreSaveSlot(*f.root, slot);
  EXPECT_EQ(keep->Tag, "then");
  // The game's state file still holds no record of it: a slot never writes there.
  std::vector<StateRecord> records;
  ASSERT_TRUE(ParseStateRecords(test::ReadText(f.folder.path() / "state.dat"), records));
  for (const StateRecord& r : records) EXPECT_NE(r.key, 3) << r.name;
}

TEST(SaveSlotLoad, TheScreenComesBackWithoutItsShowAndLoadRunsOnce) {
  SceneFixture f;
  auto* first = f.Add<TQXScreen>(f.root.get(), "FIRST", 2);
  auto* second = f.Add<TQXScreen>(f.root.get(), "SECOND", 3);
  for (TQXElement* s : {static_cast<TQXElement*>(first), static_cast<TQXElement*>(second)}) {
    s->SetScript(ScriptSlot::Show, "show");
    s->SetScript(ScriptSlot::AfterLoad, "load");
  }
  SetCurrentScreen(first);
  const SaveSlot slot = CaptureSaveSlot(*f.root, 1);
  EXPECT_EQ(slot.screenId, "FIRST");
  SetCurrentScreen(second);
  f.scripts.runs.clear();
  f.sound.calls.clear();
  RestoreSaveSlot(*f.root, slot);
  EXPECT_EQ(Runtime().CurrentScreen, first);
  int shows = 0, loads = 0;
  for (const std::string& run : f.scripts.runs) {
    shows += run.find(":show") != std::string::npos;
    loads += run == "Load:FIRST:load";
  }
  EXPECT_EQ(shows, 0);
  EXPECT_EQ(loads, 1);
  EXPECT_FALSE(Runtime().FileLoading);
  // No music was saved: what played fades and nothing starts.
  EXPECT_EQ(f.sound.calls, std::vector<std::string>{"fade"});
}

}  // namespace
}  // namespace qx
