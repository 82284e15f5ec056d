// Language files: the root reads the file its Lang names, then translates every key it holds,
// on its own and as double-quoted references inside script text.
#include <string>

#include "FuzzRoot.h"
#include "FuzzSupport.h"
#include "IniKeys.h"
#include "scene/QXDB.h"
#include "runtime/RuntimeState.h"

using namespace qx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = fuzz::AsText(data, size);
  fuzz::WriteScratchFile("game.lng", text);
  ResetRuntime();
  {
    fuzz::FuzzRoot made;
    TQXDB& root = *made;
    root.SetGameFolder(fuzz::ScratchFolder());
    root.SetPropValue("DefLang", ScriptValue::Str("GAME.LNG"));
    root.SetPropValue("Lang", ScriptValue::Str("game.lng"));
    QX_FUZZ_CHECK(root.LangTable() != nullptr);
    std::string script = "X := \"";
    for (const auto& [section, key] : fuzz::IniKeys(text)) {
      const std::string reference = section + "." + key;
      root.TranslateText(reference);
      root.TranslateText(key);
      script += reference + "\"; Y := \"" + key + "\" + \"";
    }
    root.SubstituteTexts(script);
    root.SubstituteTexts(std::string(text));
  }
  ResetRuntime();
  return 0;
}
