// The ".qxf" game file: the root blob is parsed into records, written back (which must read
// back the same), then read into a live tree as LoadGame reads it, setters acting.
#include <string>

#include "FuzzRoot.h"
#include "FuzzSupport.h"
#include "scene/ClassTable.h"
#include "scene/GameFile.h"
#include "scene/QXDB.h"
#include "runtime/RuntimeState.h"

using namespace qx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view blob = fuzz::AsText(data, size);
  static const ClassInfo* rootClass = FindClass("TQXDB");
  ElementRecord record;
  GameFileReport report;
  const bool whole = ParseElementBlob(blob, *rootClass, record, &report);
  QX_FUZZ_CHECK(whole == (report.damaged == 0));

  const std::string written = WriteRecord(record);
  ElementRecord again;
  QX_FUZZ_CHECK(ParseElementBlob(written, *rootClass, again));
  QX_FUZZ_CHECK(WriteRecord(again) == written);

  ResetRuntime();
  {
    fuzz::FuzzRoot made;
    TQXDB& root = *made;
    root.SetGameFolder(fuzz::ScratchFolder());
    Runtime().FileLoading = true;
    ReadElementData(root, blob);
    Runtime().FileLoading = false;
    // What the tree holds now is what a save of the game would write.
    const std::string live = WriteElementData(root);
    ElementRecord reread;
    QX_FUZZ_CHECK(ParseElementBlob(live, *rootClass, reread));
  }
  ResetRuntime();
  return 0;
}
