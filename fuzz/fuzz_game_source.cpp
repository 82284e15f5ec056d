// Readable game sources (YAML): a source builds records, and the source written from those
// records builds the same records again.
#include <string>

#include "FuzzSupport.h"
#include "scene/GameFile.h"
#include "elements/GameSource.h"

using namespace qx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ElementRecord root;
  std::string error;
  if (!RecordFromYaml(std::string(fuzz::AsText(data, size)), "fuzz.yaml", root, error)) {
    QX_FUZZ_CHECK(!error.empty());
    return 0;
  }
  const std::string blob = WriteRecord(root);
  for (const bool all : {false, true}) {
    const std::string source = YamlFromRecord(root, all);
    ElementRecord again;
    if (!RecordFromYaml(source, "again.yaml", again, error)) {
      std::fprintf(stderr, "fuzz: the written source does not read back: %s\n%s\n", error.c_str(), source.c_str());
      fuzz::Broken("YamlFromRecord gives a source RecordFromYaml refuses");
    }
    QX_FUZZ_CHECK(WriteRecord(again) == blob);
  }
  return 0;
}
