// Game files: reading, writing, damage, and the readable sources.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>

#include "ScratchFiles.h"
#include "SceneTestSupport.h"
#include "base/Log.h"
#include "elements/GameSource.h"
#include "scene/GameFile.h"

namespace qx {
namespace {

// --- helpers ------------------------------------------------------------------------------

void PutInt(std::string& out, int32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF));
}
void PutStr(std::string& out, std::string_view s) {
  PutInt(out, static_cast<int32_t>(s.size()));
  out.append(s);
}

// A blob by hand: class name, a property count, raw value bytes, then child blobs.
std::string Blob(std::string_view cls, int32_t count, const std::string& values,
                 const std::vector<std::string>& children = {}) {
  std::string b;
  PutStr(b, cls);
  PutInt(b, count);
  b += values;
  for (const std::string& c : children) PutStr(b, c);
  return b;
}

// The first five values every class starts with: Key, Id, X, Y, Vis.
std::string BaseValues(int32_t key, std::string_view id) {
  std::string v;
  PutInt(v, key);
  PutStr(v, id);
  PutInt(v, 0);
  PutInt(v, 0);
  PutInt(v, 1);
  return v;
}

bool SameRecords(const ElementRecord& a, const ElementRecord& b) {
  if (a.cls != b.cls || a.values.size() != b.values.size() || a.children.size() != b.children.size()) return false;
  for (size_t i = 0; i < a.values.size(); ++i) {
    const PropType t = a.cls->props[i].type;
    if (t == PropType::Double) {
      if (std::memcmp(&a.values[i].d, &b.values[i].d, 8) != 0) return false;
    } else if (t == PropType::String) {
      if (a.values[i].s != b.values[i].s) return false;
    } else if (a.values[i].i != b.values[i].i) {
      return false;
    }
  }
  for (size_t i = 0; i < a.children.size(); ++i) {
    if (!SameRecords(a.children[i], b.children[i])) return false;
  }
  return true;
}

// Random records with values of every kind, random bytes in strings, deep and wide trees.
class RandomTrees {
 public:
  explicit RandomTrees(uint32_t seed) : rng_(seed) {}

  ElementRecord Make(const ClassInfo& cls, int depth) {
    ElementRecord r = DefaultRecord(cls);
    for (size_t i = 0; i < r.values.size(); ++i) r.values[i] = Value(cls.props[i]);
    if (depth <= 0) return r;
    std::vector<const ClassInfo*> kids;
    for (const ClassInfo& c : ClassTable()) {
      if (c.AllowsParent(cls.name)) kids.push_back(&c);
    }
    const int n = kids.empty() ? 0 : static_cast<int>(rng_() % 4);
    for (int i = 0; i < n; ++i) r.children.push_back(Make(*kids[rng_() % kids.size()], depth - 1 - static_cast<int>(rng_() % 2)));
    return r;
  }

  PropValue Value(const PropInfo& p) {
    PropValue v;
    switch (p.type) {
      case PropType::Integer: v.i = static_cast<int32_t>(rng_()); break;
      case PropType::Cardinal: v.i = static_cast<uint32_t>(rng_()); break;
      case PropType::Byte: v.i = rng_() % 256; break;
      case PropType::Word: v.i = rng_() % 65536; break;
      case PropType::Boolean: v.i = rng_() % 2; break;
      case PropType::Enum: v.i = rng_() % p.enumNames.size(); break;
      case PropType::Double: {
        const int kind = rng_() % 6;
        v.d = kind == 0 ? 0.0 : kind == 1 ? -0.0 : kind == 2 ? std::ldexp(static_cast<double>(rng_()), -20)
            : kind == 3 ? static_cast<double>(static_cast<int32_t>(rng_())) : kind == 4 ? 1e300 : 0.1 * (rng_() % 100);
        break;
      }
      case PropType::String: {
        const int len = rng_() % 4 == 0 ? 0 : static_cast<int>(rng_() % 40);
        for (int i = 0; i < len; ++i) {
          const int pick = rng_() % 8;
          v.s.push_back(pick == 0 ? static_cast<char>(rng_() % 256) : pick == 1 ? '\n' : pick == 2 ? ' '
                        : static_cast<char>('a' + rng_() % 26));
        }
        break;
      }
    }
    return v;
  }

 private:
  std::mt19937 rng_;
};

// --- reading and writing --------------------------------------------------------------------

TEST(GameFileRoundTrip, RandomRecordsThroughBytesAndYaml) {
  RandomTrees gen(1234);
  for (int round = 0; round < 40; ++round) {
    ElementRecord tree = gen.Make(*FindClass("TQXDB"), 5);
    const std::string bytes = WriteRecord(tree);
    ElementRecord parsed;
    ASSERT_TRUE(ParseElementBlob(bytes, *FindClass("TQXDB"), parsed)) << round;
    ASSERT_TRUE(SameRecords(tree, parsed)) << round;
    // Through the readable source and back: the same bytes.
    const std::string yaml = YamlFromRecord(parsed, round % 2 == 0);
    ElementRecord built;
    std::string error;
    ASSERT_TRUE(RecordFromYaml(yaml, "random.yaml", built, error)) << error << "\n" << yaml;
    ASSERT_EQ(WriteRecord(built), bytes) << round << "\n" << yaml;
  }
}

TEST(GameFileRoundTrip, WritingWhatWasReadGivesTheSameBytes) {
  RandomTrees gen(99);
  for (int round = 0; round < 20; ++round) {
    test::SceneFixture f;
    InstantiateRecord(*f.root, gen.Make(*FindClass("TQXDB"), 4));
    const std::string first = WriteElementData(*f.root);
    TQXDB again(ElementKinds(), f.root->Services());  // the same media cache and files
    again.SetGameFolder(f.folder.path().string());  // its random state and ini names stay in there
    ASSERT_TRUE(ReadElementData(again, first));
    EXPECT_EQ(WriteElementData(again), first) << round;
  }
}

TEST(GameFileRoundTrip, PropertiesAreSetThroughTheirSetters) {
  test::SceneFixture f;
  const std::string file =
      Blob("TQXDB", 0, "",
           {Blob("TQXScreen", 0, "", {Blob("TQXImage", 28, BaseValues(5, "PIC") + [] {
                                            std::string v;
                                            PutStr(v, "pic.png");
                                            PutInt(v, 260);   // hxDrawFx
                                            PutInt(v, 1);     // PosHor
                                            PutInt(v, 2);     // PosVert
                                            double scale = 2.0004, angle = 0;
                                            v.append(reinterpret_cast<char*>(&scale), 8);
                                            v.append(reinterpret_cast<char*>(&angle), 8);
                                            PutInt(v, 0x123456);  // hxColor
                                            PutInt(v, 128);       // hxTrans
                                            PutInt(v, 0);         // MousedNotVis
                                            for (int i = 0; i < 10; ++i) PutStr(v, i == 6 ? "Go" : "");
                                            PutInt(v, 1);  // MousedVis
                                            PutInt(v, 3);  // Anim
                                            PutInt(v, 0);  // NoMsQXDB
                                            PutInt(v, 4);  // Order
                                            return v;
                                          }())})});
  ASSERT_TRUE(ReadElementData(*f.root, file));
  ASSERT_EQ(f.root->ChildCount(), 1);
  auto* img = static_cast<TQXImage*>(f.root->Children()[0]->Children()[0]);
  EXPECT_EQ(img->Id, "PIC");
  EXPECT_EQ(img->hxDrawFx, 260u);
  EXPECT_EQ(img->PosVert, pvBottom);
  EXPECT_DOUBLE_EQ(img->Scale(), 2.0);  // kept in thousandths
  EXPECT_EQ(img->ColorWord(), 0x80123456u);
  EXPECT_EQ(img->Script(ScriptSlot::MouseDown).prepared, "P:Go");  // prepared as it was set
  EXPECT_EQ(img->Order(), 4);
  EXPECT_EQ(f.root->MaxLayer(), 4);
  EXPECT_DOUBLE_EQ(img->ScaleX, 1.0);  // the properties after index 27 keep their defaults
}

TEST(GameFileEdges, ZeroPropertiesStillReadChildren) {
  test::SceneFixture f;
  ASSERT_TRUE(ReadElementData(*f.root, Blob("TQXDB", 0, "", {Blob("TQXScreen", 0, "")})));
  ASSERT_EQ(f.root->ChildCount(), 1);
  EXPECT_EQ(static_cast<TQXScreen*>(f.root->Children()[0])->hxDrawFx, 1u);
}

TEST(GameFileEdges, DisallowedAndUnknownChildrenAreSkippedWithTheirSubtree) {
  test::SceneFixture f;
  const std::string inner = Blob("TQXScreen", 0, "", {Blob("TQXImage", 5, BaseValues(9, "DEEP"))});
  const std::string longName(255, 'Q');
  const std::string file = Blob(
      "TQXDB", 0, "",
      {Blob("TQXScreen", 0, "",
            {Blob("TQXImage", 5, BaseValues(1, "A"), {inner}),  // a screen inside an image
             Blob("TQXIMAGE", 5, BaseValues(2, "UPPER")),        // the registry's names are exact
             Blob(longName, 0, ""), Blob("TQXImage", 5, BaseValues(3, "B"))})});
  ASSERT_TRUE(ReadElementData(*f.root, file));
  TQXElement* screen = f.root->Children()[0];
  ASSERT_EQ(screen->ChildCount(), 2);
  EXPECT_EQ(screen->Children()[0]->Id, "A");
  EXPECT_EQ(screen->Children()[0]->ChildCount(), 0);
  EXPECT_EQ(screen->Children()[1]->Id, "B");
  EXPECT_EQ(f.root->FindByKey(9), nullptr);
}

// --- damage ---------------------------------------------------------------------------------

struct DamageCase {
  const char* name;
  std::string file;
  const char* diagnostic;
  int children;  // screens kept under the root
};


std::vector<DamageCase> DamageCases() {
  const std::string good = Blob("TQXScreen", 5, BaseValues(1, "GOOD"));
  std::vector<DamageCase> cases;
  {
    std::string f = Blob("TQXDB", 0, "", {good});
    PutInt(f, 100);  // a child string whose length runs past the end
    f += "TQX";
    cases.push_back({"child length past the end", f, "a string runs past the end of the data (child element)", 1});
  }
  {
    std::string f = Blob("TQXDB", 0, "", {good});
    PutInt(f, -5);
    cases.push_back({"negative child length", f, "a string has a negative length (child element)", 1});
  }
  {
    std::string f = Blob("TQXDB", 0, "", {good});
    f += "\x01\x02";  // a truncated length
    cases.push_back({"truncated length", f, "a string length runs past the end of the data (child element)", 1});
  }
  {
    std::string values = BaseValues(2, "X");
    values.resize(values.size() - 2);  // the Vis value is cut short
    std::string f = Blob("TQXDB", 0, "", {good, Blob("TQXScreen", 5, values)});
    cases.push_back({"truncated value", f, "a property value runs past the end of the data (property Vis)", 2});
  }
  {
    std::string v;
    PutInt(v, 3);
    PutInt(v, 1000);  // Id claims 1000 bytes
    std::string f = Blob("TQXDB", 0, "", {good, Blob("TQXScreen", 5, v)});
    cases.push_back({"string value past the end", f, "a string runs past the end of the data (property Id)", 2});
  }
  {
    std::string values = BaseValues(2, "TOO_MANY");
    for (int i = 0; i < 40; ++i) PutInt(values, 0);
    std::string f = Blob("TQXDB", 0, "", {good, Blob("TQXAnim", 0, ""), Blob("TQXScreen", 45, values, {good})});
    cases.push_back({"more values than the class has", f, "45 property values for TQXScreen, which has 23", 3});
  }
  {
    std::string child;
    PutInt(child, 200);  // the low byte says 200 characters, the blob is shorter
    child += "TQXScreen";
    std::string f = Blob("TQXDB", 0, "", {good});
    PutStr(f, child);
    f += [&] {
      std::string s;
      PutStr(s, good);
      return s;
    }();
    cases.push_back({"class name longer than the blob", f, "a child's class name is longer than its data", 2});
  }
  {
    std::string f = Blob("TQXDB", -3, "", {good});
    cases.push_back({"negative property count", f, "a negative property count", 0});
  }
  return cases;
}

TEST(GameFileDamage, EachCaseIsReportedAndKeepsWhatCameBefore) {
  for (const DamageCase& c : DamageCases()) {
    test::SceneFixture f;
    GameFileReport report;
    testing::internal::CaptureStderr();
    const bool ok = ReadElementData(*f.root, c.file, &report);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(ok) << c.name;
    EXPECT_GE(report.damaged, 1) << c.name;
    EXPECT_NE(err.find(c.diagnostic), std::string::npos) << c.name << ": " << err;
    EXPECT_EQ(f.root->ChildCount(), c.children) << c.name;
    if (c.children > 0) {
      EXPECT_EQ(f.root->Children()[0]->Id, "GOOD") << c.name;
    }
  }
}

TEST(GameFileDamage, VerboseDiagnosticsNameTheOffsetAndPath) {
  SetVerbose(true);
  std::string f = Blob("TQXDB", 5, BaseValues(0, "Game"), {Blob("TQXScreen", 5, BaseValues(1, "MENU"))});
  PutInt(f, -1);
  test::SceneFixture fx;
  testing::internal::CaptureStderr();
  ReadElementData(*fx.root, f);
  const std::string err = testing::internal::GetCapturedStderr();
  SetVerbose(false);
  EXPECT_NE(err.find("(byte " + std::to_string(f.size() - 4) + ", in DB 'Game')"), std::string::npos) << err;
}

TEST(GameFileDamage, TooDeepNestingIsCut) {
  std::string blob = Blob("TQXImage", 0, "");
  for (int i = 0; i < kMaxElementDepth + 10; ++i) blob = Blob("TQXImage", 0, "", {blob});
  const std::string file = Blob("TQXDB", 0, "", {Blob("TQXScreen", 0, "", {blob})});
  test::SceneFixture f;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(ReadElementData(*f.root, file));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("nested deeper"), std::string::npos);
}

TEST(GameFileDamage, RandomMutationsNeverCrash) {
  RandomTrees gen(7);
  const std::string valid = WriteRecord(gen.Make(*FindClass("TQXDB"), 4));
  std::mt19937 rng(42);
  testing::internal::CaptureStderr();
  for (int round = 0; round < 3000; ++round) {
    std::string bytes = valid;
    const int edits = 1 + rng() % 8;
    for (int e = 0; e < edits; ++e) {
      const size_t at = rng() % bytes.size();
      switch (rng() % 4) {
        case 0: bytes[at] = static_cast<char>(rng()); break;
        case 1: bytes.resize(at); break;
        case 2: bytes.insert(at, 1 + rng() % 8, static_cast<char>(rng())); break;
        default: bytes[at] = static_cast<char>(0xFF); break;
      }
      if (bytes.empty()) bytes = "x";
    }
    test::SceneFixture f;
    ReadElementData(*f.root, bytes);
    WriteElementData(*f.root);
  }
  testing::internal::GetCapturedStderr();
}

// --- readable sources -----------------------------------------------------------------------

TEST(GameSource, ValuesOfEveryKind) {
  const std::string yaml = R"(class: TQXDB
Id: Demo
children:
  - class: TQXScreen
    key: 7
    children:
      - class: TQXImage
        PosHor: phCenter
        POSVERT: 2
        hxColor: 0xFF0000
        hxDrawFx: 260
        MsKeep: true
        Scale: 1.5
        exMouseDown: |
          A := 1;
          B := 'Ж';
)";
  ElementRecord root;
  std::string error;
  ASSERT_TRUE(RecordFromYaml(yaml, "demo.yaml", root, error)) << error;
  const ElementRecord& img = root.children[0].children[0];
  const ClassInfo& c = *img.cls;
  EXPECT_EQ(root.children[0].values[0].i, 7);
  EXPECT_EQ(img.values[c.FindProp("PosHor")].i, 1);
  EXPECT_EQ(img.values[c.FindProp("PosVert")].i, 2);
  EXPECT_EQ(img.values[c.FindProp("hxColor")].i, 0xFF0000);
  EXPECT_EQ(img.values[c.FindProp("MsKeep")].i, 1);
  EXPECT_DOUBLE_EQ(img.values[c.FindProp("Scale")].d, 1.5);
  EXPECT_EQ(img.values[c.FindProp("exMouseDown")].s, "A := 1;\nB := '\xC6';\n");  // 1251
  EXPECT_EQ(img.values[c.FindProp("hxTrans")].i, 255);                            // a default
}

TEST(GameSource, ErrorsNameTheFileLineAndElement) {
  const std::pair<const char*, const char*> cases[] = {
      {"class: TQXDB\nchildren:\n  - class: TQXScreen\n    Id: MENU\n    Colour: 1\n",
       "g.yaml:5: root/MENU: TQXScreen has no property 'Colour'"},
      {"class: TQXDB\nchildren:\n  - class: TQXScreen\n    Modal: maybe\n",
       "g.yaml:4: root/1: Modal: 'maybe' is none of False, True"},
      {"class: TQXDB\nchildren:\n  - class: TQXImage\n", "g.yaml:3: root/1: TQXImage cannot be a child of TQXDB"},
      {"class: TQXDB\nId: \"\xE2\x82\xAC\xF0\x9F\x98\x80\"\n",
       "g.yaml:2: root: Id: a character at byte 3 has no code page 1251 form"},
      {"class: TQXScreen\n", "g.yaml:1: root: the root must be a TQXDB"},
      {"class: TQXDB\nInitScreen: 3000000000\n", "g.yaml:2: root: InitScreen: 3000000000 is outside"},
      {"class: TQXDB\nchildren: [\n", "g.yaml:3: not valid YAML here (end of sequence flow not found): most often a line is"},
      {"class: TQXDB\nInitScreen: 1\nchildren:\n  - class: TQXScreen\n    Key: 1\n   Id: X\n",
       "g.yaml:6: not valid YAML here (end of sequence not found): most often a line is indented unlike the "
       "properties beside it"},
      {"", "g.yaml: the file holds no game"},
  };
  for (const auto& [yaml, message] : cases) {
    ElementRecord root;
    std::string error;
    EXPECT_FALSE(RecordFromYaml(yaml, "g.yaml", root, error)) << yaml;
    EXPECT_EQ(error.rfind(message, 0), 0u) << error;
  }
}

// Included sources, served from memory: NAME -> text.
struct IncludeFiles {
  std::map<std::string, std::string> files;
  std::vector<std::string> asked;
  SourceIncludeReader Reader() {
    return [this](const std::string& name, std::string& text, std::string& why) {
      asked.push_back(name);
      const auto it = files.find(name);
      if (it == files.end()) {
        why = "no such file";
        return false;
      }
      text = it->second;
      return true;
    };
  }
};

TEST(GameSourceInclude, AnIncludedFileTakesThePlaceOfTheEntryAndMayIncludeAgain) {
  IncludeFiles inc;
  inc.files["games/rooms/pipes.yaml"] =
      "class: TQXScreen\nKey: 9\nId: PIPES\nchildren:\n  - include: parts/valve.yaml\n  - class: TQXShape\n    Key: 11\n";
  inc.files["games/rooms/parts/valve.yaml"] = "class: TQXImage\nKey: 10\nId: VALVE\n";
  const std::string yaml =
      "class: TQXDB\nchildren:\n  - class: TQXScreen\n    Key: 1\n  - include: rooms/pipes.yaml\n"
      "  - class: TQXScreen\n    Key: 2\n";
  ElementRecord root;
  std::string error;
  ASSERT_TRUE(RecordFromYaml(yaml, "games/demo.yaml", root, error, inc.Reader())) << error;
  ASSERT_EQ(root.children.size(), 3u);
  EXPECT_EQ(root.children[1].values[0].i, 9);
  ASSERT_EQ(root.children[1].children.size(), 2u);
  EXPECT_EQ(root.children[1].children[0].values[1].s, "VALVE");
  EXPECT_EQ(root.children[1].children[1].values[0].i, 11);
  EXPECT_EQ(root.children[2].values[0].i, 2);  // the order of the list is kept
  EXPECT_EQ(inc.asked, (std::vector<std::string>{"games/rooms/pipes.yaml", "games/rooms/parts/valve.yaml"}));
}

TEST(GameSourceInclude, PlacesNameTheFileAndLineOfEveryElementAndValue) {
  IncludeFiles inc;
  inc.files["games/rooms/pipes.yaml"] =
      "# the pipes\nclass: TQXScreen\nKey: 9\nexInit: |\n  A := 1;\n  B := 2;\nexShow: >\n  folded\n  text\n";
  const std::string yaml = "class: TQXDB\nInitScreen: 9\nchildren:\n  - class: TQXScreen\n    Key: 1\n"
                           "    exInit: \"X := 1\"\n  - include: rooms/pipes.yaml\n";
  ElementRecord root;
  RecordPlaces places;
  std::string error;
  ASSERT_TRUE(RecordFromYaml(yaml, "games/demo.yaml", root, error, inc.Reader(), &places)) << error;
  const ClassInfo& db = *FindClass("TQXDB");
  const ClassInfo& screen = *FindClass("TQXScreen");
  EXPECT_EQ(places.file, "games/demo.yaml");
  EXPECT_EQ(places.line, 1);
  EXPECT_EQ(places.propLines[static_cast<size_t>(db.FindProp("InitScreen"))], 2);
  EXPECT_EQ(places.propLines[static_cast<size_t>(db.FindProp("Lang"))], 0);  // not written
  ASSERT_EQ(places.children.size(), 2u);
  const RecordPlaces& first = places.children[0];
  EXPECT_EQ(first.line, 4);
  EXPECT_EQ(first.propLines[static_cast<size_t>(screen.FindProp("Key"))], 5);
  EXPECT_EQ(first.propLines[static_cast<size_t>(screen.FindProp("exInit"))], 6);
  EXPECT_EQ(first.textLines[static_cast<size_t>(screen.FindProp("exInit"))], 0);  // quoted: no lines of its own
  const RecordPlaces& pipes = places.children[1];
  EXPECT_EQ(pipes.file, "games/rooms/pipes.yaml");
  EXPECT_EQ(pipes.line, 2);
  EXPECT_EQ(pipes.propLines[static_cast<size_t>(screen.FindProp("Key"))], 3);
  EXPECT_EQ(pipes.textLines[static_cast<size_t>(screen.FindProp("exInit"))], 5);  // the block's first line
  EXPECT_EQ(pipes.textLines[static_cast<size_t>(screen.FindProp("exShow"))], 0);  // folded
}

TEST(GameSourceInclude, ErrorsNameTheIncludedFileAndItsLine) {
  const std::pair<std::map<std::string, std::string>, const char*> cases[] = {
      {{{"r/a.yaml", "class: TQXScreen\nId: A\nColour: 1\n"}}, "r/a.yaml:3: root/A: TQXScreen has no property 'Colour'"},
      {{{"r/a.yaml", "class: TQXScreen\nModal: maybe\n"}}, "r/a.yaml:2: root/1: Modal: 'maybe' is none of False, True"},
      {{{"r/a.yaml", "class: TQXImage\n"}}, "r/a.yaml:1: root/1: TQXImage cannot be a child of TQXDB"},
      {{{"r/a.yaml", "class: TQXScreen\nchildren: [\n"}}, "r/a.yaml:3: not valid YAML here (end of sequence flow not found)"},
      {{{"r/a.yaml", ""}}, "r/a.yaml: the file holds no element"},
      {{}, "g.yaml:3: root/1: cannot include r/a.yaml: no such file"},
      {{{"r/a.yaml", "class: TQXScreen\nchildren:\n  - include: a.yaml\n"}},
       "r/a.yaml:3: root/1/1: including r/a.yaml makes a loop"},
      {{{"r/a.yaml", "class: TQXScreen\nchildren:\n  - include: b.yaml\n"},
        {"r/b.yaml", "class: TQXImage\nchildren:\n  - include: ../r/a.yaml\n"}},
       "r/b.yaml:3: root/1/1/1: including r/a.yaml makes a loop"},
      {{{"r/a.yaml", "include: b.yaml\n"}}, "r/a.yaml:1: root/1: an included file must hold an element"},
  };
  for (const auto& [files, message] : cases) {
    IncludeFiles inc;
    inc.files = files;
    ElementRecord root;
    std::string error;
    const std::string yaml = "class: TQXDB\nchildren:\n  - include: r/a.yaml\n";
    EXPECT_FALSE(RecordFromYaml(yaml, "g.yaml", root, error, inc.Reader()));
    EXPECT_EQ(error.rfind(message, 0), 0u) << error;
  }
}

TEST(GameSourceInclude, IncludesNestAtMostThirtyTwoDeep) {
  IncludeFiles inc;
  for (int i = 0; i < 40; ++i) {
    inc.files["a" + std::to_string(i) + ".yaml"] =
        "class: TQXImage\nchildren:\n  - include: a" + std::to_string(i + 1) + ".yaml\n";
  }
  ElementRecord root;
  std::string error;
  EXPECT_FALSE(RecordFromYaml("class: TQXDB\nchildren:\n  - class: TQXScreen\n    children:\n      - include: a0.yaml\n",
                              "g.yaml", root, error, inc.Reader()));
  EXPECT_NE(error.find("a31.yaml:3: "), std::string::npos) << error;
  EXPECT_NE(error.find("includes are nested too deep"), std::string::npos) << error;
}

TEST(GameSourceInclude, FilesAreReadFromDiskBesideTheIncludingFile) {
  test::ScratchDir dir;
  std::filesystem::create_directories(dir.path() / "rooms");
  test::WriteText(dir / "rooms/room.yaml", "class: TQXScreen\nKey: 5\nId: \"Комната\"\n");
  ElementRecord root;
  std::string error;
  ASSERT_TRUE(RecordFromYaml("class: TQXDB\nchildren:\n  - include: rooms/room.yaml\n", dir / "game.yaml", root,
                             error))
      << error;
  ASSERT_EQ(root.children.size(), 1u);
  EXPECT_EQ(root.children[0].values[1].s, "\xCA\xEE\xEC\xED\xE0\xF2\xE0");  // 1251
}

TEST(GameSource, DumpShowsOnlyWhatDiffersUnlessAskedForAll) {
  ElementRecord root = DefaultRecord(*FindClass("TQXDB"));
  root.values[1].s = "Game";
  const std::string brief = YamlFromRecord(root, false);
  EXPECT_EQ(brief, "# qxrun game source\nclass: TQXDB\nId: Game\n");
  const std::string all = YamlFromRecord(root, true);
  EXPECT_NE(all.find("exExit: \"\""), std::string::npos) << all;
  EXPECT_NE(all.find("Vis: false"), std::string::npos);
}

TEST(GameSource, SchemaListsEveryClass) {
  const std::string schema = SchemaText();
  EXPECT_NE(schema.find("TQXDB 0 Key int 0\n"), std::string::npos);
  EXPECT_NE(schema.find("TQXImage 6 hxDrawFx uint 1284\n"), std::string::npos);
  EXPECT_NE(schema.find("TQXImage 7 PosHor enum phLeft\n"), std::string::npos);
  EXPECT_NE(schema.find("TQXImage 11 hxColor uint 0xFFFFFF\n"), std::string::npos);
  EXPECT_NE(schema.find("TQXImage 9 Scale double 1.0\n"), std::string::npos);
  EXPECT_NE(schema.find("TQXShape 24 SizeX int 100\n"), std::string::npos);
  EXPECT_NE(schema.find("TQXAnKey 5 Count word 0\n"), std::string::npos);
  EXPECT_NE(schema.find("TQXImage parents TQXScreen TQXImage TQXAnKey\n"), std::string::npos);
  EXPECT_NE(schema.find("TQXDB parents -\n"), std::string::npos);
}

}  // namespace
}  // namespace qx
