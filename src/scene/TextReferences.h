// Text and sound references: "Section.Key", or "Key" alone in section "Default", looked up in
// the language files and the sound table; and the replacement of double-quoted references
// in script text when a script is prepared. The root uses these, and so do the checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qx {

// Split at the first dot, both parts trimmed of blanks; "Default" and the whole reference
// without a dot.
void SplitReference(std::string_view reference, std::string& section, std::string& key);

// The translation of a reference; `offset` is where its opening quote is in the script.
using TextLookup = std::function<std::string(const std::string& reference, size_t offset)>;

// Each double-quoted reference becomes its translation in single quotes (a string literal);
// a translation holding a quote leaves the reference as it was, and an opening quote
// without a closing one is dropped.
std::string SubstituteTexts(const std::string& script, const TextLookup& translate);

// A sound table value "60:door.wav" gives door.wav at volume 60, "door.wav" volume 100; a
// volume part that is not a number leaves `volume` as it was.
void ReadSoundValue(const std::string& value, std::string& fileName, int32_t& volume);

}  // namespace qx
