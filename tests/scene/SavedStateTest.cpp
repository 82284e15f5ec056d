// The saved state: 80-bit extended numbers, the record bytes, what is saved and skipped, how
// records find their elements again, the Load events, and damaged files.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <filesystem>
#include <limits>
#include <random>

#include "SceneTestSupport.h"
#include "elements/FontTestSupport.h"
#include "elements/QXAnKey.h"
#include "elements/QXAnim.h"
#include "elements/QXText.h"
#include "platform/null/NullGfx.h"
#include "resources/GfxFont.h"
#include "resources/ResArchive.h"
#include "scene/SavedState.h"

namespace qx {
namespace {

using test::ReadText;
using test::SceneFixture;
using test::ScratchDir;
using test::WriteText;

// --- 80-bit extended ---------------------------------------------------------------------------

std::string Ext(double v) {
  uint8_t b[kExtendedSize];
  DoubleToExtended(v, b);
  return std::string(reinterpret_cast<const char*>(b), kExtendedSize);
}

double FromExt(const std::string& bytes) { return ExtendedToDouble(reinterpret_cast<const uint8_t*>(bytes.data())); }

std::string ExtOf(bool negative, uint16_t exponent, uint64_t mantissa) {
  std::string s;
  for (int i = 0; i < 8; ++i) s += static_cast<char>(mantissa >> (8 * i));
  const uint16_t se = static_cast<uint16_t>((negative ? 0x8000 : 0) | exponent);
  s += static_cast<char>(se);
  s += static_cast<char>(se >> 8);
  return s;
}

std::string Bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s += static_cast<char>(b);
  return s;
}

TEST(Extended, KnownEncodings) {
  EXPECT_EQ(Ext(1.0), ExtOf(false, 0x3FFF, 0x8000000000000000ull));
  EXPECT_EQ(Ext(-2.5), ExtOf(true, 0x4000, 0xA000000000000000ull));
  EXPECT_EQ(Ext(0.0), ExtOf(false, 0, 0));
  EXPECT_EQ(Ext(-0.0), ExtOf(true, 0, 0));
  EXPECT_EQ(Ext(INFINITY), ExtOf(false, 0x7FFF, 0x8000000000000000ull));
  EXPECT_EQ(Ext(-INFINITY), ExtOf(true, 0x7FFF, 0x8000000000000000ull));
  // The smallest subnormal double, 2^-1074, is a normal extended number.
  EXPECT_EQ(Ext(std::numeric_limits<double>::denorm_min()), ExtOf(false, 16383 - 1074, 0x8000000000000000ull));
  // 0.1 as a double is 0x3FB999999999999A: its 53 bits, shifted up.
  EXPECT_EQ(Ext(0.1), ExtOf(false, 0x3FFB, 0xCCCCCCCCCCCCD000ull));
  EXPECT_TRUE(std::isnan(FromExt(Ext(std::nan("")))));
}

TEST(Extended, EveryDoubleComesBackExactly) {
  std::mt19937_64 rng(7);
  for (int i = 0; i < 200000; ++i) {
    const double d = std::bit_cast<double>(rng());
    const double back = FromExt(Ext(d));
    if (std::isnan(d)) {
      EXPECT_TRUE(std::isnan(back));
    } else {
      ASSERT_EQ(std::bit_cast<uint64_t>(back), std::bit_cast<uint64_t>(d)) << d;
    }
  }
  for (double d : {std::numeric_limits<double>::max(), std::numeric_limits<double>::min(),
                   std::numeric_limits<double>::denorm_min(), -3.0e-310, 1e300, 123456.789}) {
    EXPECT_EQ(FromExt(Ext(d)), d);
  }
}

TEST(Extended, WiderValuesRoundToTheNearestDouble) {
  const uint64_t one = 0x8000000000000000ull;
  EXPECT_EQ(FromExt(ExtOf(false, 0x3FFF, one | 1)), 1.0);             // 1 + 2^-63
  EXPECT_EQ(FromExt(ExtOf(false, 0x3FFF, one | 0x400)), 1.0);         // 1 + 2^-53: a tie, to even
  EXPECT_EQ(FromExt(ExtOf(false, 0x3FFF, one | 0xC00)), 1.0 + 0x1p-51);  // tie from odd: up
  EXPECT_EQ(FromExt(ExtOf(false, 0x3FFF, one | 0x401)), 1.0 + 0x1p-52);  // above half: up
  EXPECT_EQ(FromExt(ExtOf(false, 0x3FFF, ~0ull)), 2.0);                // carries into the exponent
  EXPECT_EQ(FromExt(ExtOf(true, 0x7FFE, one)), -INFINITY);            // beyond the double range
  EXPECT_EQ(std::bit_cast<uint64_t>(FromExt(ExtOf(true, 1, one))), std::bit_cast<uint64_t>(-0.0));
  EXPECT_EQ(FromExt(ExtOf(false, 16383 - 1075, one | 1)), std::numeric_limits<double>::denorm_min());
  EXPECT_EQ(FromExt(ExtOf(false, 16383 - 1075, one)), 0.0);  // exactly half the smallest: to even
  EXPECT_EQ(FromExt(ExtOf(false, 16383 - 1023, ~0ull)), std::numeric_limits<double>::min());
  // An unnormal (integer bit clear) is read by its value; a pseudo-infinity is a NaN.
  EXPECT_EQ(FromExt(ExtOf(false, 0x3FFF, 0x4000000000000000ull)), 0.5);
  EXPECT_TRUE(std::isnan(FromExt(ExtOf(false, 0x7FFF, 0))));
}

TEST(Extended, SixtyFourBitIntegersTravelWhole) {
  for (int64_t v : {INT64_MAX, INT64_MIN + 1, (int64_t{1} << 53) + 1, -((int64_t{1} << 60) + 3)}) {
    StateRecord rec;
    SceneFixture f;
    ASSERT_TRUE(RecordValue(ScriptValue::Int64(v), *f.root, 0, rec));
    EXPECT_EQ(rec.type, kStateExtended);
    std::string bytes;
    AppendStateRecord(bytes, rec);
    std::vector<StateRecord> back;
    ASSERT_TRUE(ParseStateRecords(bytes, back));
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].value.Kind(), ValueKind::Int64) << v;
    EXPECT_EQ(back[0].value.Int64Value(), v);
  }
  // An integer the double holds exactly comes back as a Float, like every other "E" value.
  uint8_t b[kExtendedSize];
  DoubleToExtended(-0x1p63, b);
  std::vector<StateRecord> back;
  ASSERT_TRUE(ParseStateRecords(Bytes({0, 0, 0, 0, 1, 0, 0, 0, 'V', 'E'}) +
                                    std::string(reinterpret_cast<const char*>(b), kExtendedSize),
                                back));
  EXPECT_EQ(back.at(0).value, ScriptValue::Float(-0x1p63));
  DoubleToExtended(0x1p60, b);
  int64_t i = 0;
  EXPECT_TRUE(ExtendedToInt64(b, i));
  EXPECT_EQ(i, int64_t{1} << 60);
  DoubleToExtended(2.5, b);
  EXPECT_FALSE(ExtendedToInt64(b, i));
}

// --- record bytes ----------------------------------------------------------------------------------

TEST(StateRecords, BytesOfEachType) {
  std::string out;
  StateRecord rec;
  rec.key = 0x01020304;
  rec.name = "VIS";
  rec.value = ScriptValue::Int(-2);
  AppendStateRecord(out, rec);
  EXPECT_EQ(out, Bytes({4, 3, 2, 1, 3, 0, 0, 0, 'V', 'I', 'S', 'I', 0xFE, 0xFF, 0xFF, 0xFF}));

  out.clear();
  rec = StateRecord{};
  rec.key = -1;
  rec.name = "TAG";
  rec.type = kStateString;
  rec.value = ScriptValue::Str("");
  AppendStateRecord(out, rec);  // an empty text: length 0, no bytes
  EXPECT_EQ(out, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0, 'T', 'A', 'G', 'S', 0, 0, 0, 0}));

  out.clear();
  rec.name = "W";
  rec.type = kStateWord;
  rec.value = ScriptValue::Word(0xBEEF);
  AppendStateRecord(out, rec);
  rec.name = "O";
  rec.type = kStateElement;
  rec.elementKey = 258;
  AppendStateRecord(out, rec);
  rec.name = "E";
  rec.type = kStateExtended;
  rec.value = ScriptValue::Float(1.0);
  AppendStateRecord(out, rec);
  EXPECT_EQ(out, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 'W', 'W', 0xEF, 0xBE,
                        0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 'O', 'O', 2, 1, 0, 0,
                        0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 'E', 'E', 0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}));
  std::vector<StateRecord> back;
  ASSERT_TRUE(ParseStateRecords(out, back));
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[0].value, ScriptValue::Word(0xBEEF));
  EXPECT_EQ(back[1].elementKey, 258);
  EXPECT_EQ(back[2].value, ScriptValue::Float(1.0));
}

// --- saving and loading a tree --------------------------------------------------------------------

struct StateFixture {
  SceneFixture f;
  ScratchDir dir;
  StateFixture() {
    f.root->SetGameFolder(dir.path().string());
    EXPECT_TRUE(f.root->SetPropValue("FileRS", ScriptValue::Str("state.dat")));
  }
  TQXDB& root() { return *f.root; }
  std::vector<StateRecord> Saved() {
    std::vector<StateRecord> records;
    EXPECT_TRUE(ParseStateRecords(ReadText(dir / "state.dat"), records));
    return records;
  }
  static std::vector<std::string> NamesOf(const std::vector<StateRecord>& records, int32_t key) {
    std::vector<std::string> names;
    for (const StateRecord& r : records) {
      if (r.key == key) names.push_back(r.name);
    }
    return names;
  }
  static const StateRecord* Find(const std::vector<StateRecord>& records, int32_t key, const std::string& name) {
    for (const StateRecord& r : records) {
      if (r.key == key && r.name == name) return &r;
    }
    return nullptr;
  }
  int LoadRuns(const std::string& id) const {
    int n = 0;
    for (const std::string& run : f.scripts.runs) n += run.rfind("Load:" + id + ":", 0) == 0;
    return n;
  }
};

TEST(SaveState, PropertiesInIndexOrderWithoutIdentityScriptsOrIntegerPositions) {
  StateFixture t;
  t.root().Key = 1;
  auto* screen = t.f.Add<TQXScreen>(t.f.root.get(), "S", 2);
  auto* shape = t.f.Add<TQXShape>(screen, "SH", 3);
  ASSERT_TRUE(t.root().SaveState());
  const auto records = t.Saved();
  EXPECT_EQ(StateFixture::NamesOf(records, 1),
            (std::vector<std::string>{"X", "Y", "VIS", "INITSCREEN", "FILEFONTS", "HXTRANSLEV", "DEFLANG", "LANG",
                                      "LOADINGSCREEN", "INIFILE", "SOUNDFILE"}));
  EXPECT_EQ(StateFixture::NamesOf(records, 3),
            (std::vector<std::string>{"VIS", "HXDRAWFX", "HXCOLOR", "HXTRANS", "MOUSEDNOTVIS", "MOUSEDVIS",
                                      "NOMSQXDB", "ORDER", "RX", "RY", "SIZEX", "SIZEY", "TAG"}));
  const auto screenNames = StateFixture::NamesOf(records, 2);
  EXPECT_EQ(screenNames.front(), "X");  // screens keep their integer position
  EXPECT_EQ(std::count(screenNames.begin(), screenNames.end(), "NOTSAVE"), 0);
  EXPECT_EQ(StateFixture::Find(records, 3, "RX")->type, kStateExtended);
  // A published Boolean is "I" with 1 or 0.
  shape->Vis = true;
  shape->MousedNotVis = false;
  ASSERT_TRUE(t.root().SaveState());
  const auto again = t.Saved();
  EXPECT_EQ(StateFixture::Find(again, 3, "VIS")->value, ScriptValue::Int(1));
  EXPECT_EQ(StateFixture::Find(again, 3, "MOUSEDNOTVIS")->value, ScriptValue::Int(0));
  // Records come root first, then the tree in pre-order.
  EXPECT_EQ(again.front().key, 1);
  EXPECT_EQ(again.back().key, 3);
}

TEST(SaveState, RestoresPositionsTextsAndLayers) {
  StateFixture t;
  auto* screen = t.f.Add<TQXScreen>(t.f.root.get(), "S", 2);
  auto* img = t.f.Add<TQXImage>(screen, "IMG", 3);
  auto* text = t.f.Add<TQXText>(screen, "TXT", 4);
  img->rX = 10.25;
  img->rY = -3.5;
  img->SetOrder(4);
  img->Tag = "";
  text->SetText("hello");
  screen->SetX(7);
  ASSERT_TRUE(t.root().SaveState());
  img->rX = 0;
  img->rY = 0;
  img->SetOrder(0);
  img->Tag = "changed";
  text->SetText("");
  screen->SetX(0);
  img->Vis = false;
  ASSERT_TRUE(t.root().LoadState());
  EXPECT_EQ(img->rX, 10.25);
  EXPECT_EQ(img->rY, -3.5);
  EXPECT_EQ(img->Order(), 4);
  EXPECT_EQ(img->Tag, "");  // saved as an empty "S", restored empty
  EXPECT_TRUE(img->Vis);
  EXPECT_EQ(text->Text(), "hello");
  EXPECT_EQ(screen->X(), 7);
  EXPECT_EQ(StateFixture::Find(t.Saved(), 3, "TAG")->value, ScriptValue::Str(""));
}

TEST(SaveState, NotSaveElementsKeepTheirValuesButTheirChildrenAreRestored) {
  StateFixture t;
  auto* screen = t.f.Add<TQXScreen>(t.f.root.get(), "S", 2);
  auto* keep = t.f.Add<TQXImage>(screen, "KEEP", 3);
  auto* child = t.f.Add<TQXImage>(keep, "CHILD", 4);
  keep->NotSave = true;
  keep->Tag = "saved-time";
  child->Tag = "saved-time";
  ASSERT_TRUE(t.root().SaveState());
  EXPECT_TRUE(StateFixture::NamesOf(t.Saved(), 3).empty());
  keep->Tag = "now";
  child->Tag = "now";
  ASSERT_TRUE(t.root().LoadState());
  EXPECT_EQ(keep->Tag, "now");
  EXPECT_EQ(child->Tag, "saved-time");
  // A record for a NotSave element (from an older save) is not assigned either.
  std::string data;
  StateRecord rec;
  rec.key = 3;
  rec.name = "TAG";
  rec.type = kStateString;
  rec.value = ScriptValue::Str("old");
  AppendStateRecord(data, rec);
  WriteText(t.dir / "state.dat", data);
  ASSERT_TRUE(t.root().LoadState());
  EXPECT_EQ(keep->Tag, "now");
}

TEST(SaveState, KeyFramesAndEverythingBelowThemAreNeverSaved) {
  StateFixture t;
  auto* anim = t.f.Add<TQXAnim>(t.f.root.get(), "AN", 2);
  auto* key = t.f.Add<TQXAnKey>(anim, "K", 3);
  t.f.Add<TQXImage>(key, "PIC", 4);
  ASSERT_TRUE(t.root().SaveState());
  const auto records = t.Saved();
  EXPECT_FALSE(StateFixture::NamesOf(records, 2).empty());
  EXPECT_TRUE(StateFixture::NamesOf(records, 3).empty());
  EXPECT_TRUE(StateFixture::NamesOf(records, 4).empty());
}

TEST(SaveState, VariablesFromInitAreSavedAfterThePropertiesAndRestored) {
  StateFixture t;
  auto* screen = t.f.Add<TQXScreen>(t.f.root.get(), "S", 2);
  auto* other = t.f.Add<TQXImage>(screen, "OTHER", 3);
  t.f.scripts.actions["init"] = [&](TVarList& v) {
    v.Add(TVar{"COUNT", ScriptValue::Int(3)});
    v.Add(TVar{"FLAG", ScriptValue::Bool(true)});
    v.Add(TVar{"TAG", ScriptValue::Str("var")});
    v.Add(TVar{"TARGET", ScriptValue::Element(other->Handle())});
    v.Add(TVar{"NOBODY", ScriptValue::Element(0)});
    v.Add(TVar{"NOTHING", ScriptValue()});
    v.Add(TVar{"BIG", ScriptValue::Int64(int64_t{1} << 40)});
    v.Add(TVar{"SMALL", ScriptValue::Word(9)});
    v.Add(TVar{"WHEN", ScriptValue::DateTime(45000.25)});
    v.Add(TVar{"STALE", ScriptValue::Element(9999)});
  };
  screen->SetScript(ScriptSlot::Init, "init");
  screen->DoInit();
  ASSERT_TRUE(screen->Variables);
  ASSERT_TRUE(screen->SetPropValue("COUNT", ScriptValue::Int(7)));
  ASSERT_TRUE(t.root().SaveState());
  const auto records = t.Saved();
  const auto names = StateFixture::NamesOf(records, 2);
  // Properties first (TAG among them, read from the variable that shadows it), then the
  // variables in list order; the Empty one has no record.
  const std::vector<std::string> tail(names.end() - 9, names.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"COUNT", "FLAG", "TAG", "TARGET", "NOBODY", "BIG", "SMALL", "WHEN",
                                            "STALE"}));
  EXPECT_EQ(StateFixture::Find(records, 2, "FLAG")->value, ScriptValue::Int(-1));
  EXPECT_EQ(StateFixture::Find(records, 2, "TARGET")->elementKey, 3);
  const int32_t noKey = StateFixture::Find(records, 2, "NOBODY")->elementKey;
  EXPECT_EQ(t.root().FindByKey(noKey), nullptr);  // stored under a Key no element has
  EXPECT_EQ(StateFixture::Find(records, 2, "STALE")->elementKey, noKey);  // a stale handle is no element
  EXPECT_EQ(StateFixture::Find(records, 2, "WHEN")->type, kStateExtended);

  ASSERT_TRUE(screen->SetPropValue("COUNT", ScriptValue::Int(1)));
  ASSERT_TRUE(screen->SetPropValue("FLAG", ScriptValue::Bool(false)));
  ASSERT_TRUE(screen->SetPropValue("TARGET", ScriptValue::Element(0)));
  ASSERT_TRUE(screen->SetPropValue("NOBODY", ScriptValue::Element(other->Handle())));
  ASSERT_TRUE(t.root().LoadState());
  ScriptValue v;
  ASSERT_TRUE(screen->GetPropValue("COUNT", v));
  EXPECT_EQ(v, ScriptValue::Int(7));
  ASSERT_TRUE(screen->GetPropValue("FLAG", v));
  EXPECT_EQ(v.Kind(), ValueKind::Integer);  // a Boolean comes back as the Integer -1
  EXPECT_EQ(v.IntValue(), -1);
  ASSERT_TRUE(screen->GetPropValue("TARGET", v));
  EXPECT_EQ(v, ScriptValue::Element(other->Handle()));
  ASSERT_TRUE(screen->GetPropValue("NOBODY", v));
  EXPECT_EQ(v, ScriptValue::Element(0));
  ASSERT_TRUE(screen->GetPropValue("BIG", v));
  EXPECT_EQ(v, ScriptValue::Float(0x1p40));  // a 64-bit value travels as "E"
  ASSERT_TRUE(screen->GetPropValue("SMALL", v));
  EXPECT_EQ(v, ScriptValue::Word(9));
  ASSERT_TRUE(screen->GetPropValue("WHEN", v));
  EXPECT_EQ(v, ScriptValue::Float(45000.25));  // a date travels as its day count
}

TEST(SaveState, AVariableTheElementNoLongerHasIsNotCreated) {
  StateFixture t;
  auto* screen = t.f.Add<TQXScreen>(t.f.root.get(), "S", 2);
  t.f.scripts.actions["init"] = [](TVarList& v) {
    v.Add(TVar{"COUNT", ScriptValue::Int(3)});
    v.Add(TVar{"TAG", ScriptValue::Str("from-var")});
  };
  screen->SetScript(ScriptSlot::Init, "init");
  screen->DoInit();
  ASSERT_TRUE(t.root().SaveState());
  t.f.scripts.actions["init"] = [](TVarList& v) { v.Add(TVar{"OTHER", ScriptValue::Int(1)}); };
  screen->DoInit();
  screen->Tag = "prop";
  ASSERT_TRUE(t.root().LoadState());
  EXPECT_LT(screen->Variables->Find("COUNT"), 0);
  EXPECT_EQ(screen->Variables->Count(), 1);
  // The name falls through to the published property of that name.
  EXPECT_EQ(screen->Tag, "from-var");
}

TEST(LoadState, RunsEveryLoadEventOnceWithLoadingFlagsSet) {
  StateFixture t;
  auto* screen = t.f.Add<TQXScreen>(t.f.root.get(), "S", 2);
  auto* img = t.f.Add<TQXImage>(screen, "IMG", 3);
  auto* anim = t.f.Add<TQXAnim>(t.f.root.get(), "AN", 4);
  t.f.Add<TQXAnKey>(anim, "K", 5);  // a frame once the animation builds
  for (TQXElement* e : std::initializer_list<TQXElement*>{t.f.root.get(), screen, img, anim}) {
    e->SetScript(ScriptSlot::AfterLoad, "after");
  }
  // Two archives of one font each: the restored FileFonts opens its archive and the fonts
  // are loaded from it.
  NullGfx gfx;
  TResArchive archive;
  TGfxFonts fonts(gfx);
  t.root().Services().archive = &archive;
  t.root().Services().fonts = &fonts;
  std::string error;
  for (const char* name : {"A", "B"}) {
    ASSERT_TRUE(WriteResArchive(t.dir / (std::string(name) + ".res"),
                                {TResPackEntry{std::string("Font") + name, kFontRecordType, 0, test::MakeFontRecord({})}},
                                error))
        << error;
  }
  bool fileLoadingInEvent = false;
  t.f.scripts.actions["after"] = [&](TVarList&) { fileLoadingInEvent = Runtime().FileLoading; };
  ASSERT_TRUE(t.root().SetPropValue("FileFonts", ScriptValue::Str("a.res")));
  img->SetImImage("pic.png");
  ASSERT_TRUE(t.root().SaveState());
  ASSERT_TRUE(t.root().SetPropValue("FileFonts", ScriptValue::Str("b.res")));
  ASSERT_NE(fonts.FindFont("FontB"), nullptr);
  t.f.media.ClearImageCounts();
  RuntimeState& rt = Runtime();
  const int32_t queued = rt.ImForLoadCount, loaded = rt.ImForLoadPos;
  t.f.scripts.runs.clear();
  ASSERT_TRUE(t.root().LoadState());
  EXPECT_EQ(t.root().FileFonts(), "a.res");
  EXPECT_EQ(fonts.Count(), 1);
  EXPECT_NE(fonts.FindFont("FontA"), nullptr);
  // The setters ran with LoadNow off (the restored picture is queued, not loaded) and with
  // FileLoading on (the animation's Morph setter did not build its frames).
  EXPECT_EQ(rt.ImForLoadCount - queued, 1);
  EXPECT_EQ(rt.ImForLoadPos - loaded, 0);
  EXPECT_EQ(anim->FrameCount(), 0);
  EXPECT_TRUE(fileLoadingInEvent);
  for (const char* id : {"", "S", "IMG", "AN"}) EXPECT_EQ(t.LoadRuns(id), 1) << id;
  EXPECT_EQ(t.f.scripts.runs.size(), 4u);
  EXPECT_TRUE(Runtime().LoadNow);
  EXPECT_FALSE(Runtime().FileLoading);
  t.root().Services().archive = nullptr;
  t.root().Services().fonts = nullptr;

  // An empty state file assigns nothing but still runs the Load events.
  WriteText(t.dir / "state.dat", "");
  t.f.scripts.runs.clear();
  ASSERT_TRUE(t.root().LoadState());
  EXPECT_EQ(t.f.scripts.runs.size(), 4u);
}

TEST(LoadState, RecordsFindTheirElementsInPreOrderEvenWithRepeatedKeys) {
  StateFixture t;
  auto* s = t.f.Add<TQXScreen>(t.f.root.get(), "S", 2);
  auto* a = t.f.Add<TQXImage>(s, "A", 5);
  auto* c = t.f.Add<TQXImage>(a, "C", 6);
  auto* b = t.f.Add<TQXImage>(s, "B", 5);  // A's Key again, after A's subtree
  a->Tag = "a";
  b->Tag = "b";
  c->Tag = "c";
  ASSERT_TRUE(t.root().SaveState());
  a->Tag = b->Tag = c->Tag = "";
  ASSERT_TRUE(t.root().LoadState());
  // A search from the root would give A both times; the element after the previous match
  // is tried first, so B gets its own records.
  EXPECT_EQ(a->Tag, "a");
  EXPECT_EQ(c->Tag, "c");
  EXPECT_EQ(b->Tag, "b");
}

TEST(LoadState, UnknownElementsAndNamesAreSkipped) {
  StateFixture t;
  auto* s = t.f.Add<TQXScreen>(t.f.root.get(), "S", 2);
  std::vector<StateRecord> records(4);
  records[0] = {99, "TAG", kStateString, ScriptValue::Str("x"), 0};
  records[1] = {2, "NOSUCHNAME", kStateInteger, ScriptValue::Int(1), 0};
  records[2] = {2, "TAG", kStateString, ScriptValue::Str("kept"), 0};
  records[3] = {2, "ORDER", kStateString, ScriptValue::Str("12"), 0};  // converted by the setter
  const StateApplyReport r = ApplyStateRecords(t.root(), records);
  EXPECT_EQ(r.assigned, 2u);
  EXPECT_EQ(r.skipped, 2u);
  EXPECT_EQ(s->Tag, "kept");
  EXPECT_EQ(s->Order(), 12);
}

// A save from an older build names elements the game no longer has: skipped either way, and
// named on stderr (once per Key, in file order) only when the author asked for it (--dev).
TEST(LoadState, KeysTheGameLacksAreCollectedAndReportedOnlyWhenAsked) {
  StateFixture t;
  t.f.Add<TQXScreen>(t.f.root.get(), "S", 2);
  std::string data;
  for (const int32_t key : {99, 2, 99, 7}) {
    StateRecord rec{key, "TAG", kStateString, ScriptValue::Str("x"), 0};
    AppendStateRecord(data, rec);
  }
  std::vector<StateRecord> records;
  ASSERT_TRUE(ParseStateRecords(data, records));
  const StateApplyReport r = ApplyStateRecords(t.root(), records);
  EXPECT_EQ(r.unknownKeys, (std::vector<int32_t>{99, 7}));
  EXPECT_EQ(r.skipped, 3u);

  WriteText(t.dir / "state.dat", data);
  testing::internal::CaptureStderr();
  ASSERT_TRUE(t.root().LoadState());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // a player is not bothered
  t.root().SetReportUnknownKeys(true);
  testing::internal::CaptureStderr();
  ASSERT_TRUE(t.root().LoadState());
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("state.dat names Keys this game does not have"), std::string::npos) << err;
  EXPECT_NE(err.find(": 99, 7\n"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
}

TEST(LoadState, NamesNeverSavedAsPropertiesOnlyReachVariables) {
  StateFixture t;
  auto* s = t.f.Add<TQXScreen>(t.f.root.get(), "S", 2);
  auto* img = t.f.Add<TQXImage>(s, "IMG", 3);
  s->SetScript(ScriptSlot::Show, "show");
  std::vector<StateRecord> records = {
      {2, "KEY", kStateInteger, ScriptValue::Int(77), 0},
      {2, "ID", kStateString, ScriptValue::Str("HACKED"), 0},
      {2, "EXSHOW", kStateString, ScriptValue::Str("other"), 0},
      {2, "NOTSAVE", kStateInteger, ScriptValue::Int(1), 0},
      {3, "X", kStateInteger, ScriptValue::Int(40), 0},
  };
  ApplyStateRecords(t.root(), records);
  EXPECT_EQ(s->Key, 2);
  EXPECT_EQ(s->Id, "S");
  EXPECT_EQ(s->Script(ScriptSlot::Show).source, "show");
  EXPECT_FALSE(s->NotSave);
  EXPECT_EQ(img->X(), 0);
  // A variable of such a name is restored.
  s->Variables = std::make_unique<TVarList>();
  s->Variables->Add(TVar{"KEY", ScriptValue::Int(0)});
  ApplyStateRecords(t.root(), records);
  EXPECT_EQ(s->Variables->operator[](0).Value, ScriptValue::Int(77));
  EXPECT_EQ(s->Key, 2);
}

TEST(SaveState, EachSaveReplacesTheWholeFile) {
  StateFixture t;
  auto* s = t.f.Add<TQXScreen>(t.f.root.get(), "S", 2);
  s->Tag = std::string(5000, 'x');
  ASSERT_TRUE(t.root().SaveState());
  const auto bigSize = std::filesystem::file_size(t.dir / "state.dat");
  s->Tag = "";
  ASSERT_TRUE(t.root().SaveState());
  EXPECT_EQ(std::filesystem::file_size(t.dir / "state.dat"), bigSize - 5000);
  EXPECT_EQ(ReadText(t.dir / "state.dat"), WriteStateData(t.root()));
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(t.dir.path())) ++files;
  EXPECT_EQ(files, 1);  // no temporary file left behind
}

TEST(SaveState, AFailedWriteIsReportedAndLoadingAMissingFileStillRunsTheLoadEvents) {
  SceneFixture f;
  ScratchDir dir;
  std::filesystem::create_directories(dir.path() / "g");
  f.root->SetGameFolder((dir.path() / "g").string());
  ASSERT_TRUE(f.root->SetPropValue("FileRS", ScriptValue::Str("s.dat")));
  f.root->SetScript(ScriptSlot::AfterLoad, "after");
  std::filesystem::remove_all(dir.path() / "g");
  EXPECT_FALSE(f.root->SaveState());
  EXPECT_TRUE(f.root->LoadState());
  EXPECT_EQ(f.scripts.runs, std::vector<std::string>{"Load::after"});
}

TEST(SaveState, AnIgnoredStateLoadsAsEmptyAndIsKeptUntilTheNextSave) {
  StateFixture t;
  auto* s = t.f.Add<TQXScreen>(t.f.root.get(), "S", 2);
  s->Tag = "saved";
  ASSERT_TRUE(t.root().SaveState());
  const std::string before = ReadText(t.dir / "state.dat");
  t.root().SetStateIgnored(true);
  s->Tag = "fresh";
  EXPECT_TRUE(t.root().LoadState());  // still a load: the Load events run
  EXPECT_EQ(s->Tag, "fresh");
  EXPECT_EQ(ReadText(t.dir / "state.dat"), before);  // neither read nor deleted
  ASSERT_TRUE(t.root().SaveState());  // the game's save replaces it and ends the pretence
  EXPECT_FALSE(t.root().StateIgnored());
  s->Tag = "changed";
  ASSERT_TRUE(t.root().LoadState());
  EXPECT_EQ(s->Tag, "fresh");
}

// --- damaged files ------------------------------------------------------------------------------------

std::string SampleState(TQXDB& root) { return WriteStateData(root); }

TEST(StateDamage, EachKindStopsTheReadingAndKeepsWhatCameBefore) {
  std::string good;
  StateRecord rec;
  rec.key = 1;
  rec.name = "A";
  rec.value = ScriptValue::Int(5);
  AppendStateRecord(good, rec);
  const size_t one = good.size();
  struct Case {
    std::string tail;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {Bytes({1, 0, 0}), "record cut short"},
      {Bytes({1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}), "negative name length"},
      {Bytes({1, 0, 0, 0, 50, 0, 0, 0, 'A'}), "name runs past the end"},
      {Bytes({1, 0, 0, 0, 1, 0, 0, 0, 'A'}), "record cut short"},
      {Bytes({1, 0, 0, 0, 1, 0, 0, 0, 'A', 'Z', 0, 0, 0, 0}), "unknown type letter"},
      {Bytes({1, 0, 0, 0, 1, 0, 0, 0, 'A', 'E', 0, 0, 0}), "value cut short"},
      {Bytes({1, 0, 0, 0, 1, 0, 0, 0, 'A', 'S', 0xFE, 0xFF, 0xFF, 0xFF}), "negative string length"},
      {Bytes({1, 0, 0, 0, 1, 0, 0, 0, 'A', 'S', 9, 0, 0, 0, 'x'}), "string runs past the end"},
      {Bytes({1, 0, 0, 0, 1, 0, 0, 0, 'A', 'i', 0, 0, 0, 0}), "unknown type letter"},  // letters are exact
  };
  for (const Case& c : cases) {
    std::vector<StateRecord> records;
    StateReadReport report;
    EXPECT_FALSE(ParseStateRecords(good + c.tail, records, &report)) << c.reason;
    EXPECT_EQ(records.size(), 1u) << c.reason;
    EXPECT_EQ(report.records, 1u);
    EXPECT_TRUE(report.damaged);
    EXPECT_EQ(report.damageOffset, one);
    EXPECT_EQ(report.reason, c.reason);
  }
}

TEST(StateDamage, TruncatedFilesRestoreTheirWholeRecordsAndStillRunLoadEvents) {
  StateFixture t;
  auto* s = t.f.Add<TQXScreen>(t.f.root.get(), "S", 2);
  auto* img = t.f.Add<TQXImage>(s, "IMG", 3);
  img->SetScript(ScriptSlot::AfterLoad, "after");
  img->Tag = "saved";
  img->rX = 4.5;
  const std::string full = SampleState(t.root());
  std::vector<StateRecord> all;
  ASSERT_TRUE(ParseStateRecords(full, all));
  // Every cut through the parser and the assignment; every 23rd also through the file, which
  // must still run the Load events.
  for (size_t cut = 0; cut < full.size(); ++cut) {
    img->Tag = "";
    img->rX = 0;
    t.f.scripts.runs.clear();
    std::vector<StateRecord> part;
    ParseStateRecords(full.substr(0, cut), part);
    if (cut % 23 == 0) {
      WriteText(t.dir / "state.dat", full.substr(0, cut));
      ASSERT_TRUE(t.root().LoadState());
      ASSERT_EQ(t.LoadRuns("IMG"), 1) << cut;
    } else {
      ApplyStateRecords(t.root(), part);
    }
    bool tagWhole = false;
    for (const StateRecord& r : part) tagWhole |= r.key == 3 && r.name == "TAG";
    ASSERT_EQ(img->Tag, tagWhole ? "saved" : "") << cut;
    ASSERT_LE(part.size(), all.size());
  }
}

TEST(StateDamage, RandomMutationsNeverCrash) {
  StateFixture t;
  auto* s = t.f.Add<TQXScreen>(t.f.root.get(), "S", 2);
  auto* img = t.f.Add<TQXImage>(s, "IMG", 3);
  t.f.Add<TQXText>(s, "T", 4);
  img->Variables = std::make_unique<TVarList>();
  img->Variables->Add(TVar{"V", ScriptValue::Float(1.5)});
  img->Variables->Add(TVar{"E", ScriptValue::Element(s->Handle())});
  const std::string full = SampleState(t.root());
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    std::string data = full;
    const int edits = 1 + static_cast<int>(rng() % 6);
    for (int i = 0; i < edits; ++i) {
      const size_t at = rng() % data.size();
      switch (rng() % 3) {
        case 0: data[at] = static_cast<char>(rng()); break;
        case 1: data.erase(at, 1 + rng() % 8); break;
        default: data.insert(at, 1, static_cast<char>(rng())); break;
      }
      if (data.empty()) data = "x";
    }
    std::vector<StateRecord> records;
    ParseStateRecords(data, records);
    ApplyStateRecords(t.root(), records);
  }
  SUCCEED();
}

}  // namespace
}  // namespace qx
