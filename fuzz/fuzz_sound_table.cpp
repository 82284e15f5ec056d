// The sound table: the root reads the file its SoundFile names, then looks up every key it
// holds as "Section.Key" and as a key of the default section.
#include <string>

#include "FuzzRoot.h"
#include "FuzzSupport.h"
#include "IniKeys.h"
#include "scene/QXDB.h"
#include "runtime/RuntimeState.h"

using namespace qx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = fuzz::AsText(data, size);
  fuzz::WriteScratchFile("sounds.ini", text);
  ResetRuntime();
  {
    fuzz::FuzzRoot made;
    TQXDB& root = *made;
    root.SetGameFolder(fuzz::ScratchFolder());
    root.SetPropValue("SoundFile", ScriptValue::Str("Sounds.ini"));
    QX_FUZZ_CHECK(root.SoundTable() != nullptr);
    for (const auto& [section, key] : fuzz::IniKeys(text)) {
      std::string file;
      int32_t volume = -1;
      root.LookupSound(section + "." + key, file, volume);
      root.LookupSound(key, file, volume);
    }
  }
  ResetRuntime();
  return 0;
}
