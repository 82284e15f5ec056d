// The resource archive: the index is read from the file, then every record is looked up by name
// and inflated. The input lives in an in-memory file, opened by its /proc path.
#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "resources/ResArchive.h"

using namespace qx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int fd = memfd_create("archive", MFD_CLOEXEC);
  if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) {
    fuzz::Broken("cannot fill the in-memory file");
  }
  TResArchive archive;
  archive.SetFileName("/proc/self/fd/" + std::to_string(fd));
  archive.SetOpenMode(TResOpenMode::opReadOnly);
  if (!archive.Open()) {
    QX_FUZZ_CHECK(!archive.LastError().empty());
    QX_FUZZ_CHECK(archive.RecordCount() == 0);
    return 0;
  }
  std::vector<uint8_t> record;
  for (int i = 0; i < archive.RecordCount() && i < 64; ++i) {
    const TResRecordInfo* info = archive.Record(i);
    QX_FUZZ_CHECK(info != nullptr);
    QX_FUZZ_CHECK(archive.IndexOf(info->name) <= i);
    if (archive.ReadRecord(i, record)) QX_FUZZ_CHECK(record.size() == static_cast<size_t>(info->unpackedSize));
    archive.ReadRecord(info->name, record);
  }
  QX_FUZZ_CHECK(archive.Record(archive.RecordCount()) == nullptr);
  archive.ReadRecord(archive.RecordCount(), record);
  archive.ReadRecord("no such record", record);
  return 0;
}
