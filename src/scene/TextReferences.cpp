#include "scene/TextReferences.h"

#include "base/Ascii.h"
#include "base/IntText.h"

namespace qx {

void SplitReference(std::string_view reference, std::string& section, std::string& key) {
  const size_t dot = reference.find('.');
  section = dot == std::string_view::npos ? "Default" : std::string(TrimBlanks(reference.substr(0, dot)));
  key = std::string(TrimBlanks(dot == std::string_view::npos ? reference : reference.substr(dot + 1)));
}

std::string SubstituteTexts(const std::string& script, const TextLookup& translate) {
  std::string out;
  out.reserve(script.size());
  size_t pos = 0;
  while (pos < script.size()) {
    const size_t open = script.find('"', pos);
    if (open == std::string::npos) {
      out.append(script, pos, std::string::npos);
      break;
    }
    out.append(script, pos, open - pos);
    const size_t close = script.find('"', open + 1);
    if (close == std::string::npos) {
      // No closing quote: the opening one is dropped and the rest kept as it is.
      out.append(script, open + 1, std::string::npos);
      break;
    }
    const std::string reference = script.substr(open + 1, close - open - 1);
    const std::string text = translate(reference, open);
    if (text.find_first_of("'\"") != std::string::npos) {
      out += '"' + reference + '"';  // a quote would break the literal: keep the reference
    } else {
      out += '\'' + text + '\'';
    }
    pos = close + 1;
  }
  return out;
}

namespace {
// A volume in the sound table: blanks around it are allowed.
bool ParseVolume(std::string_view text, int32_t& out) { return ParseSignedWholeInt(TrimBlanks(text), out); }
}  // namespace

void ReadSoundValue(const std::string& value, std::string& fileName, int32_t& volume) {
  const size_t colon = value.find(':');
  if (colon == std::string::npos) {
    fileName = value;
    volume = 100;
    return;
  }
  int32_t v = 0;
  if (ParseVolume(std::string_view(value).substr(0, colon), v)) volume = v;
  fileName = value.substr(colon + 1);
}

}  // namespace qx
