// The table of special names against the code that answers them: every listed name is
// answered by the class it names (with the kind it lists), and by no other class when it
// names one kind only; writable names are taken by SetPropValue.
#include "scene/SpecialNames.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "builtins/AuthorNames.h"
#include "elements/QXAnKey.h"
#include "elements/QXAnim.h"
#include "elements/QXEffect.h"
#include "elements/QXExAnim.h"
#include "elements/QXExScreen.h"
#include "elements/QXImList.h"
#include "elements/QXText.h"
#include "scene/MediaStage.h"

namespace qx {
namespace {

uint32_t White(int, int) { return 0xFFFFFFFFu; }

// One element of every class, each with a child (and a parent, but for the root),
// an animation whose current frame has an item, a pointer over an image and a cursor.
struct EveryClass : test::MediaStage {
  std::vector<TQXElement*> all;
  TQXImage* image = nullptr;
  TQXAnim* anim = nullptr;

  EveryClass() {
    Png("dot.png", 10, 10, White);
    auto* screen = Add<TQXScreen>(root.get(), "SCR", 1);
    image = Add<TQXImage>(screen, "IMG", 2);
    Add<TQXShape>(image, "INNER", 3);
    anim = Add<TQXAnim>(screen, "ANIM", 4);
    auto* key = Add<TQXAnKey>(anim, "K1", 5);
    auto* picture = Add<TQXImage>(key, "P", 6);
    picture->SetImImage("dot.png");
    anim->BuildFrames();
    all = {root.get(),
           screen,
           image,
           Add<TQXExScreen>(screen, "EXS", 7),
           anim,
           key,
           Add<TQXExAnim>(screen, "EXA", 8),
           Add<TQXEffect>(screen, "FX", 9),
           Add<TQXImList>(screen, "LIST", 10),
           Add<TQXShape>(screen, "SHAPE", 11),
           Add<TQXText>(screen, "TXT", 12)};
    for (TQXElement* e : all) {
      if (e->Children().empty()) Add<TQXShape>(e, "CHILD", 0);
    }
    Runtime().CursorElement = image;
    Runtime().MousedElement = image;
  }
};

TEST(SpecialNames, EveryListedNameIsAnsweredByItsClassWithItsKind) {
  EveryClass s;
  ASSERT_EQ(s.all.size(), ClassTable().size());
  for (const SpecialName& n : SpecialNames()) {
    const std::string name = n.sample ? n.sample : n.name;
    const bool everyClass = std::string(n.className) == "TQXElement";
    for (TQXElement* e : s.all) {
      const bool answers = everyClass || e->ClassName() == n.className;
      // Only the root has no parent and so no PARENT and PARPOS.
      if (e == s.root.get() && (name == "PARENT" || name == "PARPOS")) continue;
      // A published property of the same name wins (a key's Count).
      if (e->Class().FindProp(name) >= 0) continue;
      ScriptValue v;
      EXPECT_EQ(e->GetPropValue(name, v), answers) << name << " on " << e->ClassName();
      if (answers) {
        EXPECT_EQ(v.Kind(), n.kind) << name << " on " << e->ClassName() << ": " << v.ToText();
      }
    }
  }
}

TEST(SpecialNames, WritableNamesAreTakenAndReadBack) {
  EveryClass s;
  for (const SpecialName& n : SpecialNames()) {
    if (n.access != SpecialAccess::ReadWrite) continue;
    TQXElement* e = nullptr;
    for (TQXElement* candidate : s.all) {
      if (std::string(n.className) == "TQXElement" || candidate->ClassName() == n.className) e = candidate;
    }
    ASSERT_NE(e, nullptr) << n.name;
    ScriptValue before;
    ASSERT_TRUE(e->GetPropValue(n.name, before)) << n.name;
    ScriptValue written = before;
    if (n.kind == ValueKind::Element) written = ScriptValue::Element(s.anim->Handle());
    else if (n.kind == ValueKind::Integer) written = ScriptValue::Int(before.ToInt32() == 0 ? 1 : 0);
    else if (n.kind == ValueKind::String) written = ScriptValue::Str(std::to_string(s.image->Key) + ";");
    EXPECT_TRUE(e->SetPropValue(n.name, written)) << n.name;
    ScriptValue after;
    ASSERT_TRUE(e->GetPropValue(n.name, after)) << n.name;
    EXPECT_EQ(after.ToText(), written.ToText()) << n.name;
  }
  // Read-only names are not taken as writes (CURSOR is the base's only writable name).
  ScriptValue one = ScriptValue::Int(1);
  EXPECT_FALSE(s.image->SetPropValue("MSX", one));
  EXPECT_FALSE(s.anim->SetPropValue("COUNT", one));
}

TEST(SpecialNames, NamesAreDistinctAndListedOnce) {
  std::set<std::string> seen;
  for (const SpecialName& n : SpecialNames()) EXPECT_TRUE(seen.insert(n.name).second) << n.name;
  size_t listed = 0;
  for (const AuthorName& a : AuthorNames()) listed += a.kind == "special";
  EXPECT_EQ(listed, seen.size());
}

// The author's list: counted per kind as the registries hold them, sorted by kind, and a
// property named as CLASS.NAME for every published property of every class.
TEST(AuthorNames, KindsCountsAndOrder) {
  std::map<std::string, int> counts;
  const std::vector<AuthorName> names = AuthorNames();
  for (size_t i = 0; i < names.size(); ++i) {
    ++counts[names[i].kind];
    if (i > 0) {
      EXPECT_LE(names[i - 1].kind, names[i].kind) << i;
    }
  }
  size_t props = 0;
  for (const ClassInfo& c : ClassTable()) props += c.props.size();
  EXPECT_EQ(counts["class"], 11);
  EXPECT_EQ(counts["property"], static_cast<int>(props));
  EXPECT_EQ(counts["standard"], 60);
  EXPECT_EQ(counts["engine"], 32);
  EXPECT_EQ(counts["level"], 16);
  EXPECT_EQ(names.front().name, "TQXDB");
  auto has = [&](const char* kind, const char* name) {
    for (const AuthorName& a : names) {
      if (a.kind == kind && a.name == name) return true;
    }
    return false;
  };
  EXPECT_TRUE(has("property", "TQXImage.imImage"));
  EXPECT_TRUE(has("engine", "SetScreen"));  // as registered, not upper-cased
  EXPECT_TRUE(has("level", "MagicLev6Log_Rend"));
  EXPECT_TRUE(has("standard", "Random"));
}

}  // namespace
}  // namespace qx
