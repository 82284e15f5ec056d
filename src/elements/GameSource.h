// Readable game sources: a game as YAML that a person can write and diff. The document is
// the root element's mapping; every element is a mapping with its `class`, its published
// properties by name (any letter case) and an optional `children` list. Text is UTF-8 in
// the source and code page 1251 in the game. It sits with the element kinds: what a source
// leaves out is the kind's default, which only the kinds know.
#pragma once

#include <functional>
#include <string>

#include "scene/GameFile.h"

namespace qx {

// Reads the text of an included source file; false with a reason when it cannot.
using SourceIncludeReader = std::function<bool(const std::string& name, std::string& text, std::string& why)>;

// Builds the element records of a source. A `children` entry written `- include: NAME`
// takes the element mapping of the file NAME (relative to the including file's folder) in
// its place; includes may nest. On failure `error` says "FILE:LINE: PATH: what", FILE being
// the included file where the fault is. Included files are read from disk, or through
// `readInclude`.
bool RecordFromYaml(const std::string& text, const std::string& fileName, ElementRecord& root, std::string& error);
bool RecordFromYaml(const std::string& text, const std::string& fileName, ElementRecord& root, std::string& error,
                    const SourceIncludeReader& readInclude);

// The source of a record tree: the properties that differ from their defaults, or all.
std::string YamlFromRecord(const ElementRecord& root, bool allProperties);

// A property value as the source writes it (also the schema's default column).
std::string FormatPropValue(const PropInfo& prop, const PropValue& value);

// The class registry for authors: per class, one line per property
// "CLASS INDEX NAME TYPE DEFAULT", then "CLASS parents P1 P2 ..." ("-" for none).
std::string SchemaText();

}  // namespace qx
