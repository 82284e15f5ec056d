// The saved-state file: its records are read, written back, and assigned by Key and name to a
// tree holding an element of every class, as LoadState assigns them.
#include <memory>
#include <string>
#include <vector>

#include "FuzzRoot.h"
#include "FuzzSupport.h"
#include "scene/ClassTable.h"
#include "scene/QXDB.h"
#include "scene/SavedState.h"
#include "runtime/RuntimeState.h"

using namespace qx;

namespace {

// Under the root: one element of every other class, each below the first element it may be a
// child of, with Keys 1, 2, ... in creation order; the last Key is given twice.
void FillTree(TQXDB& root) {
  std::vector<TQXElement*> all{&root};
  int32_t key = 1;
  for (int pass = 0; pass < 2; ++pass) {
    for (const ClassInfo& cls : ClassTable()) {
      if (cls.name == root.ClassName()) continue;
      bool made = false;
      for (TQXElement* e : all) made = made || e->ClassName() == cls.name;
      if (made) continue;
      for (TQXElement* parent : all) {
        TQXElement* e = parent->CreateChild(cls.name);  // owned by its parent
        if (!e) continue;
        e->Key = key++;
        e->Id = "E" + std::to_string(e->Key);
        all.push_back(e);
        break;
      }
    }
  }
  all.back()->Key = key - 2;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<StateRecord> records;
  StateReadReport report;
  const bool whole = ParseStateRecords(fuzz::AsText(data, size), records, &report);
  QX_FUZZ_CHECK(whole != report.damaged);
  QX_FUZZ_CHECK(report.records == records.size());
  QX_FUZZ_CHECK(!report.damaged || report.damageOffset < size);

  // What is written back reads back as the same records, and writes the same bytes again.
  std::string written;
  for (const StateRecord& r : records) AppendStateRecord(written, r);
  std::vector<StateRecord> again;
  QX_FUZZ_CHECK(ParseStateRecords(written, again));
  QX_FUZZ_CHECK(again.size() == records.size());
  std::string rewritten;
  for (const StateRecord& r : again) AppendStateRecord(rewritten, r);
  QX_FUZZ_CHECK(rewritten == written);

  ResetRuntime();
  {
    fuzz::FuzzRoot made;
    TQXDB& root = *made;
    root.SetGameFolder(fuzz::ScratchFolder());
    FillTree(root);
    // As LoadState assigns them: pictures named by restored properties are queued, not loaded.
    Runtime().FileLoading = true;
    Runtime().LoadNow = false;
    const StateApplyReport applied = ApplyStateRecords(root, records);
    Runtime().LoadNow = true;
    Runtime().FileLoading = false;
    QX_FUZZ_CHECK(applied.assigned + applied.skipped == records.size());
    WriteStateData(root);
  }
  ResetRuntime();
  return 0;
}
