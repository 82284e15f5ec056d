// Ini files (the player's settings): the text is kept line for line, every key reads, and a
// value written reads back, in memory and after the text is read again.
#include <string>

#include "FuzzSupport.h"
#include "IniKeys.h"
#include "scene/IniFile.h"

using namespace qx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = fuzz::AsText(data, size);
  TIniFile ini(text);
  QX_FUZZ_CHECK(ini.Text() == text);  // lines the runtime did not change stay byte for byte

  TIniFile loaded;
  QX_FUZZ_CHECK(loaded.Load(fuzz::WriteScratchFile("player.ini", text)));
  QX_FUZZ_CHECK(loaded.Text() == text);

  auto keys = fuzz::IniKeys(text);
  keys.emplace_back(keys.empty() ? "Def" : keys.front().first, "NewKey");
  keys.emplace_back("New Section", "Snd");
  int n = 0;
  for (const auto& [section, key] : keys) {
    ini.SectionExists(section);
    ini.ValueExists(section, key);
    ini.ReadString(section, key, "default");
    ini.ReadInteger(section, key, -7);
    ini.ReadBool(section, key, true);
    if (n++ % 3 != 0) continue;
    const std::string value = "v" + std::to_string(n);
    if (!ini.WriteString(section, key, value)) continue;
    QX_FUZZ_CHECK(ini.ReadString(section, key, "") == value);
    const TIniFile reread(ini.Text());
    QX_FUZZ_CHECK(reread.ReadString(section, key, "") == value);
    QX_FUZZ_CHECK(reread.Text() == ini.Text());
  }
  return 0;
}
