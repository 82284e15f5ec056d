#include "shell/WhereReport.h"

#include <unistd.h>

#include <filesystem>
#include <optional>

#include "base/CodePage.h"
#include "base/SafeFile.h"
#include "resources/GameFs.h"
#include "runtime/GameDataPlaces.h"
#include "scene/ClassTable.h"
#include "scene/GameFile.h"

namespace qx {
namespace fs = std::filesystem;

namespace {

std::string Line(const std::string& what, const std::string& where) {
  std::string label = what + ":";
  if (label.size() < 14) label.resize(14, ' ');
  return label + " " + where + "\n";
}

// A root setting of the game file as it stores it; "" when the file does not hold it.
std::string RootString(const ElementRecord& root, const char* name) {
  if (!root.cls) return {};
  const int i = root.cls->FindProp(name);
  return i >= 0 && static_cast<size_t>(i) < root.values.size() ? root.values[static_cast<size_t>(i)].s : std::string();
}

std::string PlayerFile(GameDataPlaces& places, const std::string& name, const char* setting) {
  if (name.empty()) return std::string("none (the game sets no ") + setting + ")";
  const std::optional<GameDataPlaces::Place> place = places.Locate(name);
  if (!place) return Cp1251ToUtf8(name) + ": refused (it would lead out of the game folder)";
  if (place->moved) return place->writePath + " (moved there from the game folder)";
  if (!place->movesOnWrite) return place->writePath;
  std::string text = place->writePath + " (from its first write: the game folder cannot be written";
  std::error_code ec;
  if (place->readPath != place->writePath && fs::exists(place->readPath, ec)) {
    text += "; read from " + place->readPath + " until then";
  }
  return text + ")";
}

}  // namespace

std::string DescribePlaces(const WhereQuery& query) {
  std::string out;
  if (query.gamePath.empty()) {
    out += Line("game file", "none found");
    out += Line("settings", query.settingsPath + " (read)");
    return out;
  }
  std::error_code ec;
  const fs::path game = fs::absolute(query.gamePath, ec);
  const std::string folder = game.parent_path().string();
  ElementRecord root;
  std::string data, error;
  const bool read = ReadWholeFile(game.string(), data, error, kMaxGameFileBytes);
  if (read) ParseElementBlob(data, ClassEntry(ClassId::DB), root);
  GameDataPlaces places;
  places.SetDataHome(query.dataHome);
  places.SetDataFolder(query.dataFolder);
  places.SetGame(folder, game.string());
  places.SetGameId(RootString(root, "Id"));

  out += Line("game file", game.string() + (read ? "" : " (cannot be read)"));
  const bool writable = ::access(folder.c_str(), W_OK | X_OK) == 0;
  out += Line("game folder", folder + " (read: pictures, sounds, fonts, texts" +
                                 (writable ? std::string(")") : std::string("; it cannot be written)")));
  const std::string dataFolder = places.DataFolder();
  out += Line("data folder", dataFolder.empty() ? std::string("none") : dataFolder);
  out += Line("player's ini", PlayerFile(places, RootString(root, "IniFile"), "IniFile"));
  out += Line("saved state", PlayerFile(places, RootString(root, "FileRS"), "FileRS"));
  out += Line("error log", PlayerFile(places, "korvane.err", "korvane.err"));
  out += Line("save slots", places.SlotsFolder().empty() ? std::string("none") : places.SlotsFolder());
  out += Line("settings", query.settingsPath + " (read)");
  out += Line("screenshots", query.screenshotFolder.empty() ? std::string("none") : query.screenshotFolder + " (F12)");
  return out;
}

}  // namespace qx
