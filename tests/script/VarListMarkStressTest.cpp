// Variable lists under random mixes of every change, kept and undone marks, remembered
// appends and long-list indexes: lookups, stamps and undos checked after every step.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <utility>

#include "Fixture.h"

namespace qx::test {
namespace {

std::string NamesOf(const TVarList& l) {
  std::string s;
  for (int i = 0; i < l.Count(); ++i) s += l[i].Name + ";";
  return s;
}

std::string EntriesOf(const TVarList& l) {
  std::string s;
  for (int i = 0; i < l.Count(); ++i) s += l[i].Name + "=" + Describe(l[i].Value) + ";";
  return s;
}

int ScanFind(const TVarList& l, const std::string& name) {
  for (int i = 0; i < l.Count(); ++i) {
    if (l[i].Name == name) return i;
  }
  return -1;
}

bool ScanHasArray(const TVarList& l, const std::string& name) {
  for (int i = 0; i < l.Count(); ++i) {
    if (l[i].Name.rfind(name + "[", 0) == 0) return true;
  }
  return false;
}

// Two long lists share the call sites' slots. Every stamp must always stand for one list of
// names; every lookup, through the index or a kept slot, must answer what a scan answers;
// every undone mark must bring back the entries and the stamp it saw.
TEST(TVarListStress, StampsIndexesAndMarksStayExact) {
  Scene scene;
  std::mt19937 rng(20240611);
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  std::vector<std::string> names;
  for (int i = 0; i < 9; ++i) names.push_back("P" + std::to_string(i));
  for (int i = 0; i < 4; ++i) names.push_back("A[" + std::to_string(i) + "]");
  names.push_back("A");
  names.push_back("B[1,2]");
  names.push_back("PX");  // a property of the current element while one runs
  std::map<uint64_t, std::string> stampNames;
  for (int round = 0; round < 150; ++round) {
    TVarList lists[2];
    std::vector<std::pair<std::string, uint64_t>> copies[2];
    std::vector<VarSlot> slots(names.size());  // one per name, shared by both lists
    for (TVarList& l : lists) {
      const int base = pick(3) == 0 ? pick(6) : 10 + pick(30);
      for (int i = 0; i < base; ++i) l.Add({"G" + std::to_string(i), ScriptValue::Int(i)});
    }
    for (int step = 0; step < 300; ++step) {
      const int which = pick(5) == 0 ? 1 : 0;
      TVarList& l = lists[which];
      auto& marks = copies[which];
      const size_t k = static_cast<size_t>(pick(static_cast<int>(names.size())));
      const int n = l.Count();
      scene.host.SetCurrent(pick(3) == 0 ? scene.image : 0, "ev");
      bool hasArray = false;
      switch (pick(16)) {
        case 0:
        case 1:
          marks.emplace_back(EntriesOf(l), l.Generation());
          l.PushMark();
          break;
        case 2:
        case 3:
          if (marks.empty()) break;
          if (pick(2) == 0) {
            l.KeepMark();  // the enclosing mark must still undo what the kept one saw
          } else {
            l.PopMark();
            ASSERT_EQ(EntriesOf(l), marks.back().first) << round << ":" << step;
            ASSERT_EQ(l.Generation(), marks.back().second) << round << ":" << step;
          }
          marks.pop_back();
          break;
        case 4:
        case 5:
        case 6:
          // A call site: a kept lookup, else a new entry through the slot.
          if (l.FindCached(names[k], slots[k], hasArray) < 0 && !hasArray)
            l.AssignMissing(names[k], ScriptValue::Int(step), names[k].find('[') == std::string::npos, &slots[k]);
          else if (l.FindCached(names[k], slots[k], hasArray) >= 0)
            l.SetValueAt(l.FindCached(names[k], slots[k], hasArray), ScriptValue::Int(step));
          break;
        case 7: l.Append({names[k], ScriptValue::Int(step)}); break;  // repeats allowed
        case 8: if (n) l.ValueAt(pick(n)).SetInt(-step); break;
        case 9: if (n) l.RemoveAt(pick(n)); break;
        case 10: if (n) l[pick(n)].Name = names[k]; break;
        case 11: if (n) l.RemoveAt(n - 1); break;  // the newest entry
        case 12:
          if (pick(6) == 0) l.Clear();
          else if (pick(5) == 0) l = lists[1 - which];
          else if (pick(4) == 0) l = TVarList(lists[1 - which]);
          break;
        case 13: l.Assign({names[k], ScriptValue::Int(step)}); break;
        default: l.Add({names[k], ScriptValue::Int(step)}); break;
      }
      for (int li = 0; li < 2; ++li) {
        const TVarList& v = lists[li];
        const std::string now = NamesOf(v);
        auto [it, fresh] = stampNames.emplace(v.Generation(), now);
        ASSERT_TRUE(fresh || it->second == now) << round << ":" << step << " stamp " << v.Generation()
                                                << " was " << it->second << " now " << now;
        for (size_t j = 0; j < names.size(); ++j) {
          const int expected = ScanFind(v, names[j]);
          ASSERT_EQ(v.Find(names[j]), expected) << round << ":" << step << " " << names[j];
          VarSlot copy = slots[j];
          bool kept = false;
          ASSERT_EQ(v.FindCached(names[j], copy, kept), expected) << round << ":" << step << " " << names[j];
          ASSERT_EQ(kept, ScanHasArray(v, names[j])) << round << ":" << step << " " << names[j];
          ASSERT_EQ(v.HasArray(names[j]), ScanHasArray(v, names[j])) << round << ":" << step << " " << names[j];
        }
        for (int i = 0; i < v.Count(); ++i) ASSERT_EQ(v.Find(v[i].Name), ScanFind(v, v[i].Name));
      }
    }
    for (int li = 0; li < 2; ++li) {
      while (!copies[li].empty()) {
        lists[li].PopMark();
        ASSERT_EQ(EntriesOf(lists[li]), copies[li].back().first) << round;
        ASSERT_EQ(lists[li].Generation(), copies[li].back().second) << round;
        copies[li].pop_back();
      }
    }
  }
}

}  // namespace
}  // namespace qx::test
