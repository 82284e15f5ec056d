// Readable game sources: a game as YAML that a person can write and diff. The document is
// the root element's mapping; every element is a mapping with its `class`, its published
// properties by name (any letter case) and an optional `children` list. Text is UTF-8 in
// the source and code page 1251 in the game. It sits with the element kinds: what a source
// leaves out is the kind's default, which only the kinds know.
#pragma once

#include <functional>
#include <string>
#include <vector>

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

// Where the elements of a source are written, for messages that name a line: a tree shaped
// like the records.
struct RecordPlaces {
  std::string file;            // the source, or the included file the element is in
  int line = 0;                // the line of the element's mapping (1-based)
  std::vector<int> propLines;  // by property index: the line of its value; 0 when not written
  // By property index: the line a literal block's (|) first text line is on, so a line of the
  // text is found by counting; 0 for other styles (their lines are folded or escaped).
  std::vector<int> textLines;
  std::vector<RecordPlaces> children;
};
bool RecordFromYaml(const std::string& text, const std::string& fileName, ElementRecord& root, std::string& error,
                    const SourceIncludeReader& readInclude, RecordPlaces* places);
// The disk reader the two-argument forms use.
bool ReadSourceInclude(const std::string& name, std::string& text, std::string& why);

// The source of a record tree: the properties that differ from their defaults, or all.
std::string YamlFromRecord(const ElementRecord& root, bool allProperties);

// A property value as the source writes it (also the schema's default column).
std::string FormatPropValue(const PropInfo& prop, const PropValue& value);

// The class registry for authors: per class, one line per property
// "CLASS INDEX NAME TYPE DEFAULT", then "CLASS parents P1 P2 ..." ("-" for none).
std::string SchemaText();

}  // namespace qx
