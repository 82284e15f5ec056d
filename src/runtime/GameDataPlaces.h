// GameDataPlaces: where a game's player files live. The player's ini, the saved state and
// korvane.err are written in the game folder while it can be written; when it cannot (an
// installed game), they go to the game's own data folder, and a file that went there once
// lives there from then on. The runtime menu's save slots always live in the data folder.
// Every writer of those files asks here; nothing else decides where they go.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qx {

class GameDataPlaces {
 public:
  // Whether the file at `path` (existing or not) can be written where it is. The default asks
  // the system for the running user; tests give their own.
  using WriteProbe = std::function<bool(const std::string& path)>;

  GameDataPlaces();

  // The game: its folder and its game file, whose name (without ".qxf") names the data folder.
  void SetGame(const std::string& gameFolder, const std::string& gameFilePath);
  // The root's Id as the game file gives it (code page 1251): the rest of the data folder's
  // name, so that two games with one file name do not share a folder.
  void SetGameId(const std::string& id);
  // Where the per-game data folders are made ("$XDG_DATA_HOME/qxrun"); empty, the default:
  // there is no data folder and every file stays in the game folder (tests, tools).
  void SetDataHome(const std::string& folder);
  // --data-dir: this very folder is the game's data folder, whatever the game.
  void SetDataFolder(const std::string& folder);
  void SetWriteProbe(WriteProbe probe);

  // $XDG_DATA_HOME/qxrun, else ~/.local/share/qxrun; "" when neither can be told.
  static std::string DefaultDataHome();
  // The data folder's own name for a game file and root Id: "NAME-ID", or "NAME" without an
  // Id; blanks and signs other than ". _ -" become "_".
  static std::string DataFolderName(const std::string& gameFilePath, const std::string& id);

  // Where F12 screenshots go: "qxrun" in the pictures folder (XDG_PICTURES_DIR of
  // $XDG_CONFIG_HOME/user-dirs.dirs, as xdg-user-dir tells it, else ~/Pictures); "" when no
  // home is known.
  static std::string ScreenshotFolder();

  const std::string& GameFolder() const { return gameFolder_; }
  // The game's data folder (it may not exist yet); "" when there is none.
  std::string DataFolder() const;
  // The runtime menu's save slots: "slots" in the data folder; "" when there is none.
  std::string SlotsFolder() const;

  // Where a player file named by the game is now.
  struct Place {
    std::string readPath;   // where it is read from; may not exist yet
    std::string writePath;  // where the next write goes
    bool moved = false;     // it lives in the data folder
    bool movesOnWrite = false;  // the next write moves it there (the game folder cannot take it)
  };
  // Nothing for a name that is refused (absolute, "..", leading out through a link) or that
  // has no place at all (under a missing folder of the game folder, with no data folder).
  std::optional<Place> Locate(std::string_view gameName);
  // Makes the place for a write and answers its path: when the file moves now, the data
  // folder's folders are made and the shipped file is copied there first, so nothing of it
  // is lost. Nothing (with the reason) when that fails or the name is refused.
  std::optional<std::string> PrepareWrite(std::string_view gameName, std::string* error = nullptr);
  // The file a delete of `gameName` removes: the moved copy when there is one, else the game
  // folder's file when the folder can be written; never a shipped file of a folder that
  // cannot be written. Nothing when there is nothing to delete.
  std::optional<std::string> DeletePath(std::string_view gameName);

 private:
  std::optional<std::string> CopyOf(std::string_view gameName) const;
  bool CanWrite(const std::string& path) const;

  std::string gameFolder_, gameFilePath_, gameId_;
  std::string dataHome_, dataFolder_;
  WriteProbe probe_;
};

}  // namespace qx
