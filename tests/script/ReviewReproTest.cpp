// Reproductions of faults found in review (they fail until the faults are mended).
#include <gtest/gtest.h>

#include <utility>

#include "Fixture.h"

namespace qx::test {
namespace {

// A kept mark's journal names entries by position. Entries made since the enclosing mark
// are not journaled by it, so removing one after the inner mark was kept must not leave
// the kept records pointing past the end when the enclosing mark is undone.
TEST(TVarListKeepMark, RemovingAnEntryNewSinceTheEnclosingMarkAfterAKeep) {
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

}  // namespace
}  // namespace qx::test
