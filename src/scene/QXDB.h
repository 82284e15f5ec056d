// TQXDB: the game root. The top of the element tree (screens and free-standing animations)
// and the holder of the game-wide settings and events: start and loading screens, resource
// archive, language, ini, sound table and saved-state files, key presses, exit, loading
// progress. It also keeps the layer range and the table of element handles.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "resources/GameFs.h"
#include "runtime/GameDataPlaces.h"
#include "runtime/Services.h"
#include "scene/QXElement.h"

namespace qx {

class ElementFactory;
class TXParticleManager;
class TIniFile;

class TQXDB : public TQXElement {
 public:
  // The root of a game. `kinds` makes its elements (the element kinds' ElementKinds()); the
  // services are what its elements and the built-ins use (what the main window owns; tests
  // give what they need). Both must outlive the root.
  explicit TQXDB(const ElementFactory& kinds, const qx::Services& services = {});
  ~TQXDB() override;

  const ClassInfo& Class() const override;
  bool GetPropValue(const std::string& name, ScriptValue& value) override;
  bool SetPropValue(const std::string& name, const ScriptValue& value) override;

  // --- settings (published) -----------------------------------------------------------
  int32_t InitScreen = 0;
  int32_t LoadingScreen = 0;
  int32_t CurKey = 0;
  uint8_t hxTransLev = 0;
  const std::string& FileRS() const { return fileRS_; }
  const std::string& FileFonts() const { return fileFonts_; }
  const std::string& DefLang() const { return defLang_; }
  const std::string& Lang() const { return lang_; }
  const std::string& IniFile() const { return iniFile_; }
  const std::string& SoundFile() const { return soundFile_; }

  // The factory the tree's elements are made by.
  const ElementFactory& Kinds() const { return kinds_; }
  // The services the root was made with. Tests may change them while nothing uses them.
  const qx::Services& Services() const { return services_; }
  qx::Services& Services() { return services_; }

  // --- the game -------------------------------------------------------------------------
  // The game file's path; set by the shell before LoadGame.
  std::string GameFilePath;
  // When not empty, the game folder instead of the game file's (qxrun --watch plays a game
  // built into its cache with the files beside the source).
  std::string GameFolderOverride;
  // Reads the game file into the tree (an empty tree when it is missing or unreadable).
  bool LoadGame();
  // How the last LoadGame went, so that the shell can tell a game that cannot start.
  struct LoadOutcome {
    enum class Kind { Read, Missing, Unreadable, Empty };
    Kind kind = Kind::Missing;
    std::string reason;  // Unreadable, Empty: why
    int elements = 0;    // elements read, the root included
    bool damaged = false;
  };
  const LoadOutcome& LastLoad() const { return lastLoad_; }
  // The game folder's files, named as the game names them (any case, backslashes): the
  // files service, or the root's own when it was made without one.
  TGameFs& Files() { return services_.files ? *services_.files : ownFiles_; }
  // Where the player's ini, the saved state and the error log are read and written: the
  // places service, or the root's own (everything in the game folder) without one.
  GameDataPlaces& Places() { return services_.places ? *services_.places : ownPlaces_; }
  // Holder of the particle texture, made when the game loads with a canvas.
  TXParticleManager* Particles() const { return particles_.get(); }
  // Makes `folder` (a disk path) the game folder: GameFolder and Files(). LoadGame
  // does this with the game file's folder before the settings are read.
  void SetGameFolder(const std::string& folder);
  // Ends a screen change: makes the pending screen current and shows it.
  void FinishLoading();
  // Marks the screens that always load and loads them.
  void MarkAlwaysLoaded();
  // The root's own events.
  void KeyDown(int32_t virtualKey);
  void ExitEvent();
  void LoadProgress();

  // --- texts ----------------------------------------------------------------------------
  // The language text of a reference "Section.Key" (section "Default" without a dot).
  std::string TranslateText(const std::string& reference);
  // Replaces double-quoted references in script text by their translation in single quotes.
  std::string SubstituteTexts(const std::string& script);
  // The sound of a reference "Section.Key": a table value "60:door.wav" gives door.wav at
  // volume 60, "door.wav" gives volume 100. An empty section or key, or no sound table,
  // gives no file and volume 0; a volume part that is not a number leaves `volume` as the
  // caller set it.
  void LookupSound(const std::string& reference, std::string& fileName, int32_t& volume);

  // --- settings files ------------------------------------------------------------------
  // The player's ini file (read-write, every write at once), or nullptr when IniFile names
  // none that could be opened.
  TIniFile* Ini() { return ini_.get(); }
  // The language table translations come from, and the default-language table (opened,
  // not consulted); nullptr before Lang/DefLang named one.
  const TIniFile* LangTable() const { return langTable_.get(); }
  const TIniFile* DefLangTable() const { return defLangTable_.get(); }
  const TIniFile* SoundTable() const { return soundTable_.get(); }
  // Writes section "Def", `key` := value to the ini file when one is open; false otherwise
  // or when the write failed (logged).
  bool WritePlayerSetting(std::string_view key, int32_t value);

  // --- saved state ---------------------------------------------------------------------
  // The disk path the state file FileRS named is read from now; empty when the game has none.
  std::string StatePath();
  // Writes every saveable property and variable of the tree to the state file, replacing
  // it whole and atomically. False when there is no state file or the write failed (the
  // previous state is then left as it was).
  bool SaveState();
  // Assigns the state file's records back by name, then runs the Load events of the whole
  // tree. A damaged record ends the reading; what came before it stays assigned. False
  // only when there is no state file.
  bool LoadState();
  // --reset-state: until the next successful SaveState, LoadState reads the state file as
  // empty. The file itself is neither read nor deleted, so a player who changes their mind
  // before the game saves has lost nothing.
  void SetStateIgnored(bool ignored) { stateIgnored_ = ignored; }
  bool StateIgnored() const { return stateIgnored_; }
  // The frame timer re-reads its clock: the time spent so far is not caught up.
  void ResetTimer();
  // --dev: a state file that names Keys the game does not have (a save from an older build of
  // it) is reported on stderr; otherwise those records are skipped without a word.
  void SetReportUnknownKeys(bool report) { reportUnknownKeys_ = report; }

  // --- layers ---------------------------------------------------------------------------
  // The range of Order values ever assigned, always containing 0; it never shrinks.
  int32_t MinLayer() const { return minLayer_; }
  int32_t MaxLayer() const { return maxLayer_; }
  void WidenLayers(int32_t order);

  // --- element handles --------------------------------------------------------------------
  uint32_t RegisterHandle(TQXElement* element);
  void ReleaseHandle(uint32_t handle);
  // The element of a handle; nullptr for 0, stale or unknown handles.
  TQXElement* FromHandle(uint32_t handle) const;
  // The first top-level child with this Key whose class is exactly `cls` (embedded screens
  // and animations show exactly a screen or an animation, not a class derived from one).
  TQXElement* FindTopLevel(int32_t key, ClassId cls) const;
  // The first top-level child whose Id equals `name` upper-cased.
  TQXElement* FindChildById(const std::string& name) const;

 protected:
  bool ReadField(PropField field, PropValue& value) override;
  bool WriteField(PropField field, const PropValue& value) override;

 private:
  void OpenStateFile(const std::string& name);
  void OpenArchive();
  void OpenLanguage(const std::string& name);
  void OpenIni(const std::string& name);
  // The game file `name` read into memory (an empty table when missing or unreadable).
  std::unique_ptr<TIniFile> ReadTable(const std::string& name);
  // The shell's render step drawn into the back buffer (cleared black); shown with Present.
  void RenderFrame();
  void PresentFrame();

  const ElementFactory& kinds_;
  qx::Services services_;
  TGameFs ownFiles_{"."};
  GameDataPlaces ownPlaces_;
  std::string fileRS_, fileFonts_, defLang_, lang_, iniFile_, soundFile_;
  std::unique_ptr<TXParticleManager> particles_;
  std::unique_ptr<TIniFile> ini_, langTable_, defLangTable_, soundTable_;
  LoadOutcome lastLoad_;
  bool reportUnknownKeys_ = false;
  bool stateIgnored_ = false;
  bool hasState_ = false;   // FileRS named a state file that has a place
  std::string statePlace_;  // where its writes went when it was opened, to tell a new name from the same
  int32_t minLayer_ = 0;
  int32_t maxLayer_ = 0;
  std::vector<TQXElement*> handles_;  // handle - 1 -> element; nullptr once freed
};

// Makes `screen` the current screen (and traces the change on its root's trace).
void SetCurrentScreen(TQXElement* screen);

}  // namespace qx
