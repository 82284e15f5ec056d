// Variable lists, the identifier test and element paths through the fake host.
#include <gtest/gtest.h>

#include <random>
#include <utility>

#include "Fixture.h"

namespace qx::test {
namespace {

TEST(IsIdentifier, NamesAndArrayElementNames) {
  for (const char* good : {"A", "_", ".", ".A", "A.B", "A1", "A[1]", "A[1,-2]", "A[1", "A[]", "\xC0\xFF", "\xA8"})
    EXPECT_TRUE(IsIdentifier(good)) << good;
  for (const char* bad : {"", "1A", "[1]", "A[1]]", "A[1]x", "A[X]", "A B", "\x80", "A$", "A[1 ]"})
    EXPECT_FALSE(IsIdentifier(bad)) << bad;
}

TEST(TVarList, AddKeepsNamesUniqueAndWarnsAboutDottedNames) {
  Scene scene;
  TVarList vars;
  EXPECT_TRUE(vars.Add({"A", ScriptValue::Int(1)}));
  EXPECT_TRUE(vars.Add({"A", ScriptValue::Int(2)}));  // exists: nothing changes
  EXPECT_EQ(vars.Count(), 1);
  EXPECT_EQ(vars[0].Value.IntValue(), 1);
  EXPECT_FALSE(vars.Add({"1A", ScriptValue::Int(1)}));
  EXPECT_TRUE(scene.host.Log().empty());
  EXPECT_TRUE(vars.Add({"A.B", ScriptValue::Int(3)}));
  ASSERT_EQ(scene.host.Log().size(), 1u);
  EXPECT_EQ(scene.host.Log()[0], "Add var A.B (in IMG1 <TQXImage> ms_Down");
  EXPECT_TRUE(vars.AddIfMissing({"C.D", ScriptValue::Int(4)}));
  EXPECT_EQ(scene.host.Log().size(), 1u);
  EXPECT_EQ(vars.Find("C.D"), 2);
  EXPECT_EQ(vars.Find("c.d"), -1);  // lookups are exact
}

TEST(TVarList, AssignWritesVariablesThenElementPropertiesThenAdds) {
  Scene scene;
  TVarList vars;
  ASSERT_TRUE(vars.Assign({"PX", ScriptValue::Int(99)}));
  EXPECT_EQ(vars.Count(), 0);  // a property of the current element, no variable
  EXPECT_EQ(scene.host.Prop(scene.image, "PX").IntValue(), 99);
  ASSERT_TRUE(vars.Assign({"QXDB.PX", ScriptValue::Int(1)}));
  EXPECT_EQ(scene.host.Prop(scene.root, "PX").IntValue(), 1);
  ASSERT_TRUE(vars.Assign({"Q", ScriptValue::Int(1)}));
  ASSERT_TRUE(vars.Assign({"Q", ScriptValue::Str("x")}));
  EXPECT_EQ(vars.Count(), 1);
  EXPECT_EQ(vars[0].Value.StrValue(), "x");
  EXPECT_FALSE(vars.Assign({"1Q", ScriptValue::Int(1)}));
  // A variable shadows the property of the same name from then on.
  vars.Append({"PY", ScriptValue::Int(0)});
  ASSERT_TRUE(vars.Assign({"PY", ScriptValue::Int(8)}));
  EXPECT_EQ(scene.host.Prop(scene.image, "PY").IntValue(), 6);
}

TEST(TVarList, SetExistingGetAndCopy) {
  Scene scene;
  TVarList vars;
  EXPECT_FALSE(vars.SetExisting("Q", ScriptValue::Int(1)));
  EXPECT_EQ(vars.Count(), 0);
  vars.Append({"Q", ScriptValue::Int(1)});
  EXPECT_TRUE(vars.SetExisting("Q", ScriptValue::Int(2)));
  TVar v;
  ASSERT_TRUE(vars.Get("Q", v));
  EXPECT_EQ(v.Name, "Q");
  EXPECT_EQ(v.Value.IntValue(), 2);
  ASSERT_TRUE(vars.Get("PNAME", v));  // falls back to the current element
  EXPECT_EQ(v.Name, "PNAME");
  EXPECT_EQ(v.Value.StrValue(), "pic");
  EXPECT_FALSE(vars.GetLocal("PNAME", v));
  EXPECT_FALSE(vars.Get("NOPE", v));

  TVarList target;
  target.Append({"Q", ScriptValue::Int(7)});
  vars.Append({"R", ScriptValue::Int(3)});
  vars.CopyTo(target);
  ASSERT_EQ(target.Count(), 2);
  EXPECT_EQ(target[0].Value.IntValue(), 7);  // existing entries stay as they are
  EXPECT_EQ(target[1].Name, "R");
  EXPECT_TRUE(target.HasArray("R") == false);
  target.Append({"R[1]", ScriptValue::Int(1)});
  EXPECT_TRUE(target.HasArray("R"));
  EXPECT_FALSE(target.HasArray("R[1"));
  target.Clear();
  EXPECT_EQ(target.Count(), 0);
}

TEST(ElementPaths, DotsParentsChildrenVariablesAndTheRoot) {
  Scene scene;
  TVarList vars;
  vars.Append({"EL", ScriptValue::Element(scene.screen)});
  vars.Append({"NUM", ScriptValue::Int(2)});
  auto read = [&](const std::string& path) {
    ScriptValue v;
    return ReadElementPath(scene.image, path, v, &vars) ? v.ToText() : std::string("fail");
  };
  EXPECT_EQ(read("PX"), "5");
  EXPECT_EQ(read(".PX"), "10");
  EXPECT_EQ(read("..PX"), "640");
  EXPECT_EQ(read("...PX"), "fail");  // past the root
  EXPECT_EQ(read("QXDB.PX"), "640");
  EXPECT_EQ(read("QXDB.SCR1.IMG1.PY"), "6");
  EXPECT_EQ(read("EL.PX"), "10");
  EXPECT_EQ(read("OBSCREEN.PX"), "10");
  EXPECT_EQ(read("NUM.PX"), "fail");    // a variable that is no element
  EXPECT_EQ(read("PNAME.PX"), "fail");  // a property that is no element
  EXPECT_EQ(read("EL..PX"), "fail");    // empty segment
  EXPECT_EQ(read("NOPE.PX"), "fail");
  EXPECT_EQ(read("EL.NOPE"), "fail");
  // A property named QXDB wins over the root.
  scene.host.SetProp(scene.image, "QXDB", ScriptValue::Element(scene.screen));
  EXPECT_EQ(read("QXDB.PX"), "10");

  ScriptValue v;
  EXPECT_FALSE(ReadElementPath(0, ".PX", v, &vars));  // no current element
  EXPECT_FALSE(ReadElementPath(0, "PX", v, &vars));
  EXPECT_TRUE(ReadElementPath(0, "EL.PX", v, &vars));
  EXPECT_TRUE(WriteElementPath(scene.image, ".PX", ScriptValue::Int(11), &vars));
  EXPECT_EQ(scene.host.Prop(scene.screen, "PX").IntValue(), 11);
  EXPECT_FALSE(WriteElementPath(scene.image, ".NOPE", ScriptValue::Int(11), &vars));
}

// Long lists are looked up through an index; it must answer exactly as a scan would.
TEST(TVarList, LongListsFindWhatAScanFinds) {
  Scene scene;
  TVarList vars;
  std::vector<std::string> names;
  for (int i = 0; i < 40; ++i) names.push_back("V" + std::to_string(i));
  for (int i = 0; i < 9; ++i) names.push_back("G[" + std::to_string(i % 3) + "," + std::to_string(i / 3) + "]");
  names.push_back("GRID");
  for (const std::string& n : names) ASSERT_TRUE(vars.Add({n, ScriptValue::Int(1)}));
  vars.Append({"V3", ScriptValue::Int(99)});  // an unchecked repeat: the first entry wins
  auto scan = [&](std::string_view name) {
    for (int i = 0; i < vars.Count(); ++i) {
      if (std::as_const(vars)[i].Name == name) return i;
    }
    return -1;
  };
  for (const char* name : {"V0", "V3", "V39", "G[2,1]", "GRID", "G", "V", "V40", "", "G[1]"}) {
    EXPECT_EQ(vars.Find(name), scan(name)) << name;
  }
  EXPECT_TRUE(vars.HasArray("G"));
  EXPECT_FALSE(vars.HasArray("GRID"));
  EXPECT_FALSE(vars.HasArray("V1"));
  bool hasArray = false;
  EXPECT_EQ(vars.FindWithArray("G", hasArray), -1);
  EXPECT_TRUE(hasArray);
  EXPECT_EQ(vars.FindWithArray("V5", hasArray), 5);
  EXPECT_FALSE(hasArray);
  // Writable access may rename: the next lookups see the new name.
  vars[5].Name = "RENAMED";
  EXPECT_EQ(vars.Find("V5"), -1);
  EXPECT_EQ(vars.Find("RENAMED"), 5);
  vars[0].Name = "H[1]";
  EXPECT_TRUE(vars.HasArray("H"));
  vars.RemoveAt(0);
  EXPECT_FALSE(vars.HasArray("H"));
  EXPECT_EQ(vars.Find("V1"), 0);
  vars.Clear();
  EXPECT_EQ(vars.Find("V1"), -1);
  EXPECT_FALSE(vars.HasArray("G"));
}

TEST(TVarList, TheGenerationFollowsTheNamesNotTheValues) {
  Scene scene;
  TVarList vars;
  vars.Add({"A", ScriptValue::Int(1)});
  const uint64_t g1 = vars.Generation();
  vars.SetExisting("A", ScriptValue::Int(2));
  vars.Assign({"A", ScriptValue::Int(3)});
  vars.SetValueAt(0, ScriptValue::Int(4));
  EXPECT_EQ(vars.Generation(), g1);
  vars.PushMark();
  vars.Add({"B", ScriptValue::Int(1)});
  EXPECT_NE(vars.Generation(), g1);
  vars.PopMark();
  EXPECT_EQ(vars.Generation(), g1);  // the same names in the same order again
  EXPECT_EQ(vars.Count(), 1);
  EXPECT_EQ(vars[0].Value.IntValue(), 4);
  const TVarList copy = vars;
  EXPECT_NE(copy.Generation(), vars.Generation());
  (void)vars[0];  // writable access
  EXPECT_NE(vars.Generation(), g1);
  // A lookup kept in a slot is redone once the names change.
  VarSlot slot;
  bool hasArray = false;
  EXPECT_EQ(vars.FindCached("B", slot, hasArray), -1);
  vars.Add({"B", ScriptValue::Int(1)});
  EXPECT_EQ(vars.FindCached("B", slot, hasArray), 1);
  vars.Add({"B[1]", ScriptValue::Int(1)});
  EXPECT_EQ(vars.FindCached("B", slot, hasArray), 1);
  EXPECT_TRUE(hasArray);
}

// Opens a mark, or closes the newest open one (if any): a call's frame, at random.
void OpenOrCloseMark(TVarList& vars, int& marks, bool open) {
  if (open) {
    vars.PushMark();
    ++marks;
  } else if (marks > 0) {
    vars.PopMark();
    --marks;
  }
}

// A call's mark on a long list drops the call's entries from the name index instead of
// rebuilding it; lookups must still answer what a scan answers, arrays and repeats included.
TEST(TVarList, LongListsKeepTheirIndexAcrossMarks) {
  Scene scene;
  std::mt19937 rng(9001);
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  auto nameOf = [&](int k) {
    switch (k % 3) {
      case 0: return "P" + std::to_string(k % 17);
      case 1: return "A[" + std::to_string(k % 5) + "]";
      default: return "B" + std::to_string(k % 7) + "[1,2]";
    }
  };
  for (int round = 0; round < 60; ++round) {
    TVarList vars;
    for (int i = 0; i < 14 + pick(30); ++i) vars.Add({"G" + std::to_string(i), ScriptValue::Int(i)});
    int marks = 0;
    for (int step = 0; step < 200; ++step) {
      const int what = pick(8);
      switch (what) {
        case 0:
        case 1: OpenOrCloseMark(vars, marks, what == 0); break;
        case 2: vars.Append({nameOf(pick(60)), ScriptValue::Int(step)}); break;  // repeats allowed
        case 3: vars.SetValueAt(pick(vars.Count()), ScriptValue::Int(-step)); break;  // a value saved
        case 4:
          if (pick(6) == 0) vars.RemoveAt(pick(vars.Count()));
          else if (pick(6) == 0) vars[pick(vars.Count())].Name = nameOf(pick(60));
          break;
        default: vars.AssignMissing(nameOf(pick(60)), ScriptValue::Int(step), true); break;
      }
      for (int k = 0; k < 60; k += 7) {
        const std::string name = nameOf(k);
        int expected = -1;
        for (int i = vars.Count() - 1; i >= 0; --i) {
          if (std::as_const(vars)[i].Name == name) expected = i;
        }
        ASSERT_EQ(vars.Find(name), expected) << round << ":" << step << " " << name;
      }
      for (const char* array : {"A", "B0", "B3", "P1"}) {
        bool expected = false;
        for (int i = 0; i < vars.Count(); ++i) {
          const std::string& n = std::as_const(vars)[i].Name;
          expected = expected || (n.rfind(std::string(array) + "[", 0) == 0);
        }
        ASSERT_EQ(vars.HasArray(array), expected) << round << ":" << step << " " << array;
      }
    }
  }
}

// Marks must bring back exactly what a full copy taken at the mark holds, whatever happened
// in between (nested marks, kept ones, renames, removals, Clear, whole-list assignment).
TEST(TVarList, MarksUndoEverythingAFullCopyWouldRestore) {
  Scene scene;
  std::mt19937 rng(424242);
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  auto text = [](const TVarList& l) {
    std::string s;
    for (int i = 0; i < l.Count(); ++i) s += std::as_const(l)[i].Name + "=" + Describe(std::as_const(l)[i].Value) + ";";
    return s;
  };
  for (int round = 0; round < 200; ++round) {
    TVarList vars;
    for (int i = 0; i < pick(15); ++i) vars.Add({"V" + std::to_string(i), ScriptValue::Int(i)});
    std::vector<std::pair<std::string, uint64_t>> copies;  // what each open mark must bring back
    for (int step = 0; step < 120; ++step) {
      const int n = vars.Count();
      switch (pick(11)) {
        case 0:
          copies.emplace_back(text(vars), vars.Generation());
          vars.PushMark();
          break;
        case 1:
          if (copies.empty()) break;
          if (pick(3) == 0) {
            // Kept: the changes stay, and the enclosing mark must still undo them.
            vars.KeepMark();
            copies.pop_back();
            break;
          }
          vars.PopMark();
          ASSERT_EQ(text(vars), copies.back().first) << round << ":" << step;
          ASSERT_EQ(vars.Generation(), copies.back().second);
          copies.pop_back();
          break;
        case 2: vars.Add({"N" + std::to_string(pick(30)), ScriptValue::Int(step)}); break;
        case 3: if (n) vars.SetValueAt(pick(n), ScriptValue::Str("s" + std::to_string(step))); break;
        case 4: if (n) vars.ValueAt(pick(n)).SetInt(step); break;
        case 5: vars.SetExisting("V" + std::to_string(pick(15)), ScriptValue::Float(step + 0.5)); break;
        case 6: vars.Assign({"V" + std::to_string(pick(20)), ScriptValue::Bool(step % 2)}); break;
        case 7: if (n) vars.RemoveAt(pick(n)); break;
        case 8: if (n) vars[pick(n)].Name = "R" + std::to_string(step); break;
        case 9:
          if (pick(8) == 0) vars.Clear();
          else if (pick(8) == 0) vars = TVarList();
          else vars.Append({"V1", ScriptValue::Int(-1)});  // a repeated name
          break;
        default: if (n) vars.AssignMissing("M" + std::to_string(pick(5)), ScriptValue::Int(step)); break;
      }
    }
    while (!copies.empty()) {
      vars.PopMark();
      ASSERT_EQ(text(vars), copies.back().first) << round;
      copies.pop_back();
    }
    // Lookups after all that agree with a scan.
    for (int i = 0; i < vars.Count(); ++i) EXPECT_LE(vars.Find(std::as_const(vars)[i].Name), i);
  }
}

// Lookups kept in slots, appends that reuse the stamp a slot remembers, marks and renames in
// any order: every kept lookup must answer what a fresh one does.
TEST(TVarList, KeptLookupsAndRememberedAppendsAgreeWithAFreshLookup) {
  Scene scene;
  std::mt19937 rng(77);
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  const std::vector<std::string> names = {"A", "B", "RESULT", "C", "B[1]", "D"};
  for (int round = 0; round < 100; ++round) {
    TVarList vars, other;
    std::vector<VarSlot> slots(names.size());  // shared by both lists, as call sites are
    int marks = 0;
    for (int step = 0; step < 150; ++step) {
      TVarList& list = pick(4) == 0 ? other : vars;
      const size_t k = static_cast<size_t>(pick(static_cast<int>(names.size())));
      bool hasArray = false;
      const int what = pick(7);
      switch (what) {
        case 0:
        case 1: OpenOrCloseMark(vars, marks, what == 0); break;
        case 2:
        case 3:
          if (list.FindCached(names[k], slots[k], hasArray) < 0)
            list.AssignMissing(names[k], ScriptValue::Int(step), true, &slots[k]);
          break;
        case 4: if (list.Count()) list.RemoveAt(pick(list.Count())); break;
        case 5: if (list.Count()) list[pick(list.Count())].Name = names[k]; break;
        default: list.Append({names[k], ScriptValue::Int(step)}); break;
      }
      for (TVarList* l : {&vars, &other}) {
        for (size_t j = 0; j < names.size(); ++j) {
          bool fresh = false, kept = false;
          const int expected = l->FindWithArray(names[j], fresh);
          VarSlot copy = slots[j];  // asking must not disturb the other list's kept answer
          ASSERT_EQ(l->FindCached(names[j], copy, kept), expected) << round << ":" << step << " " << names[j];
          ASSERT_EQ(kept, fresh);
        }
      }
    }
  }
}

// A kept mark's journal names entries by position. Entries made since the enclosing mark
// are not journaled by it, so removing one after the inner mark was kept must not leave
// the kept records pointing past the end when the enclosing mark is undone.
TEST(TVarList, AKeptMarkLeavesNoRecordForEntriesTheEnclosingMarkDrops) {
  Scene scene;
  scene.host.SetCurrent(0);
  for (int variant = 0; variant < 3; ++variant) {
    TVarList vars;
    vars.Add({"A", ScriptValue::Int(1)});
    const uint64_t stamp = vars.Generation();
    vars.PushMark();  // the outer call
    vars.Add({"B", ScriptValue::Int(2)});
    vars.Add({"C", ScriptValue::Int(3)});
    vars.PushMark();  // the inner call: it changes C, then fails
    if (variant == 0) vars[2].Name = "D";
    else if (variant == 1) vars.SetValueAt(2, ScriptValue::Int(30));
    else vars.RemoveAt(2);
    vars.KeepMark();
    vars.RemoveAt(1);  // B: new since the outer mark, so not journaled
    if (variant != 2) vars.RemoveAt(1);
    vars.PopMark();
    ASSERT_EQ(vars.Count(), 1) << variant;
    EXPECT_EQ(std::as_const(vars)[0].Name, "A") << variant;
    EXPECT_EQ(vars.Generation(), stamp) << variant;
  }
}

// The entries a call drops stay behind as spares for the next call: they must never be seen
// (count, lookups, arrays, copies) and a different name appended in their place is that name.
TEST(TVarList, DroppedEntriesAreNeverSeenAndTakeOtherNames) {
  Scene scene;
  scene.host.SetCurrent(0);
  TVarList vars;
  vars.Add({"A", ScriptValue::Int(1)});
  vars.PushMark();
  VarSlot p, q;
  vars.AssignMissing("P", ScriptValue::Str("a long text that does not fit in place"), true, &p);
  vars.AssignMissing("Q[1]", ScriptValue::Int(2), false, &q);
  vars.PopMark();
  ASSERT_EQ(vars.Count(), 1);
  EXPECT_EQ(vars.Find("P"), -1);
  EXPECT_FALSE(vars.HasArray("Q"));
  EXPECT_FALSE(vars.AnyStartsWith("Q"));
  TVarList copy(vars), assigned;
  assigned = vars;
  EXPECT_EQ(copy.Count(), 1);
  EXPECT_EQ(assigned.Count(), 1);
  // Another name where P was, then P again: each lookup finds its own entry and value.
  vars.PushMark();
  VarSlot r;
  vars.AssignMissing("R", ScriptValue::Int(3), true, &r);
  EXPECT_EQ(vars.Find("P"), -1);
  ASSERT_EQ(vars.Find("R"), 1);
  EXPECT_EQ(std::as_const(vars)[1].Value.IntValue(), 3);
  vars.PopMark();
  vars.PushMark();
  vars.AssignMissing("P", ScriptValue::Int(4), true, &p);
  ASSERT_EQ(vars.Find("P"), 1);
  EXPECT_EQ(std::as_const(vars)[1].Value.IntValue(), 4);
  vars.RemoveAt(0);  // a removal under a mark, with spares behind the entries
  EXPECT_EQ(vars.Count(), 1);
  EXPECT_EQ(vars.Find("P"), 0);
  vars.PopMark();
  ASSERT_EQ(vars.Count(), 1);
  EXPECT_EQ(std::as_const(vars)[0].Name, "A");
  EXPECT_EQ(std::as_const(vars)[0].Value.IntValue(), 1);
  // A moved-from list has nothing, spares included.
  TVarList moved(std::move(vars));
  EXPECT_EQ(moved.Count(), 1);
  moved.Clear();
  EXPECT_EQ(moved.Count(), 0);
  EXPECT_EQ(moved.Find("A"), -1);
}

}  // namespace
}  // namespace qx::test
