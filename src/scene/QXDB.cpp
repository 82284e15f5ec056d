#include "scene/QXDB.h"

#include <sys/stat.h>

#include <filesystem>

#include "base/CodePage.h"
#include "base/IntText.h"
#include "base/Log.h"
#include "base/SafeFile.h"
#include "render/GfxDevice.h"
#include "render/GfxTimer.h"
#include "resources/GfxFont.h"
#include "resources/ResArchive.h"
#include "runtime/MediaCache.h"
#include "runtime/ParticleSystem.h"
#include "runtime/RuntimeState.h"
#include "runtime/SoundPlayer.h"
#include "runtime/Trace.h"
#include "scene/EventScripts.h"
#include "scene/GameFile.h"
#include "scene/IniFile.h"
#include "scene/SavedState.h"
#include "scene/TextReferences.h"

namespace qx {

TQXDB::TQXDB(const ElementFactory& kinds, const qx::Services& services)
    : TQXElement(nullptr), kinds_(kinds), services_(services) {
  BecomeRoot(this);
}

const ClassInfo& TQXDB::Class() const { return ClassEntry(ClassId::DB); }

void SetCurrentScreen(TQXElement* screen) {
  RuntimeState& rt = Runtime();
  rt.CurrentScreen = screen;
  Trace* trace = screen && screen->Root() ? screen->Root()->Services().trace : nullptr;
  if (trace) trace->Line(rt.Tick, "Screen", screen->Id, screen->ClassName(), screen->Key);
}

TQXDB::~TQXDB() {
  // Children go first: they hand their handles back to this root.
  ClearChildren();
}

// --- element handles --------------------------------------------------------------------

uint32_t TQXDB::RegisterHandle(TQXElement* element) {
  handles_.push_back(element);
  return static_cast<uint32_t>(handles_.size());
}

void TQXDB::ReleaseHandle(uint32_t handle) {
  if (handle >= 1 && handle <= handles_.size()) handles_[handle - 1] = nullptr;
}

TQXElement* TQXDB::FromHandle(uint32_t handle) const {
  if (handle < 1 || handle > handles_.size()) return nullptr;
  return handles_[handle - 1];
}

TQXElement* TQXDB::FindTopLevel(int32_t key, ClassId cls) const {
  for (TQXElement* child : Children()) {
    if (child->Key == key && child->IsExactly(cls)) return child;
  }
  return nullptr;
}

TQXElement* TQXDB::FindChildById(const std::string& name) const {
  const std::string upper = UpperAscii(name);
  for (TQXElement* child : Children()) {
    if (child->Id == upper) return child;
  }
  return nullptr;
}

void TQXDB::WidenLayers(int32_t order) {
  if (order < minLayer_) minLayer_ = order;
  if (order > maxLayer_) maxLayer_ = order;
}

// --- the game ---------------------------------------------------------------------------

void TQXDB::SetGameFolder(const std::string& folder) {
  // The folder keeps its spelling on disk; game names are matched inside it without regard
  // to case by the resolver.
  Runtime().GameFolder = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  Files() = TGameFs(folder);
  Places().SetGame(folder, GameFilePath);
}

bool TQXDB::LoadGame() {
  ClearChildren();
  RuntimeState& rt = Runtime();
  lastLoad_ = LoadOutcome{};
  std::error_code ec;
  if (GameFilePath.empty() || !std::filesystem::is_regular_file(GameFilePath, ec)) {
    if (!GameFilePath.empty()) LogDetail("game", "no game file at " + GameFilePath);
    return false;
  }
  std::string data, error;
  if (!ReadWholeFile(GameFilePath, data, error)) {
    lastLoad_.kind = LoadOutcome::Kind::Unreadable;
    lastLoad_.reason = error;
    return false;
  }
  SetGameFolder(!GameFolderOverride.empty() ? GameFolderOverride
                                            : std::filesystem::absolute(GameFilePath, ec).parent_path().string());
  if (services_.canvas && !particles_) {
    particles_ = std::make_unique<TXParticleManager>(services_.canvas, services_.device);
    particles_->SetImage(RequestImage("particles.bmp", true, false));
  }
  rt.FileLoading = true;
  GameFileReport report;
  report.logDamage = false;  // one line below, whatever the damage
  const bool ok = !data.empty() && ReadElementData(*this, data, &report);
  rt.FileLoading = false;
  // A game with nothing below its root can never show anything: as good as no game.
  lastLoad_.kind = ChildCount() > 0 ? LoadOutcome::Kind::Read : LoadOutcome::Kind::Empty;
  lastLoad_.elements = report.elements;
  lastLoad_.damaged = report.damaged > 0;
  if (lastLoad_.kind == LoadOutcome::Kind::Empty) {
    lastLoad_.reason = data.empty()        ? "it is empty"
                       : lastLoad_.damaged ? "it is not a game file: nothing in it could be read"
                                           : "it holds no screens or other elements";
    if (!report.firstDamage.empty()) LogDetail("game", report.firstDamage);
  } else if (lastLoad_.damaged) {
    // What came before the damage plays; the player is told once.
    LogError("game", report.firstDamage);
  }
  if (IsVerbose()) {
    LogDetail("game", "read " + std::to_string(report.elements) + " elements from " + GameFilePath +
                          (report.skipped ? ", skipped " + std::to_string(report.skipped) : std::string()));
  }
  return ok;
}

void TQXDB::MarkAlwaysLoaded() {
  for (TQXElement* child : Children()) {
    // Exactly a screen, as the screen change asks; its AllwaysLoad is a published field.
    PropValue always;
    if (!child->IsExactly(ClassId::Screen) || !child->GetField(PropField::AllwaysLoad, always)) continue;
    child->LoadMark = always.i != 0;
    if (child->LoadMark) child->LoadResources();
  }
}

void TQXDB::RenderFrame() {
  if (services_.device) services_.device->Render(0, true);
}

void TQXDB::PresentFrame() {
  if (services_.device) services_.device->Present();
}

void TQXDB::ResetTimer() {
  if (services_.timer) services_.timer->Reset();
}

void TQXDB::FinishLoading() {
  RuntimeState& rt = Runtime();
  RenderFrame();
  if (!rt.LoadingPhase) return;
  if (rt.MousedElement) rt.MousedElement->DoMouseOut();
  rt.MousedElement = nullptr;
  rt.MouseIsDown = false;
  // What SetScreen queued is decoded on worker threads while the loads below take it in order.
  if (services_.media) services_.media->DecodeQueuedAhead();
  if (services_.media) services_.media->ClearImageCounts();
  ResetResources();
  if (particles_) particles_->SetImage(RequestImage("particles.bmp", false, false));
  ++rt.ImForLoadCount;
  rt.ImForLoadPos = 0;
  rt.CurrentScreen = nullptr;
  for (TQXElement* child : Children()) {
    if (child->LoadMark) child->LoadResources();
  }
  SetCurrentScreen(rt.PendingScreen);
  // The old screen's music fades before the new one is shown, so that music its Show event
  // starts (or turns back up) is not faded with it.
  if (services_.sound) services_.sound->FadeOutAllMusic();
  if (rt.CurrentScreen) rt.CurrentScreen->DoShow();
  if (services_.media) {
    services_.media->DropDecodedAhead();
    services_.media->ReleaseUnusedImages();
  }
  ResetTimer();
}

void TQXDB::KeyDown(int32_t virtualKey) {
  Runtime().LastKey = virtualKey;
  RunEvent("key_Down", ScriptSlot::KeyDown);
}

void TQXDB::ExitEvent() { RunEvent("Exit", ScriptSlot::Exit); }

void TQXDB::LoadProgress() {
  RunEvent("LIProcess", ScriptSlot::LoadImProcess);
  RenderFrame();
  PresentFrame();
}

// --- texts ------------------------------------------------------------------------------

std::string TQXDB::TranslateText(const std::string& reference) {
  std::string section, key;
  SplitReference(reference, section, key);
  if (section.empty() || key.empty()) return {};
  if (!langTable_ || !langTable_->ValueExists(section, key)) {
    LogDetailOnce("text", "no translation of " + Cp1251ToUtf8(reference));
    return {};
  }
  return langTable_->ReadString(section, key, "");
}

void TQXDB::LookupSound(const std::string& reference, std::string& fileName, int32_t& volume) {
  std::string section, key;
  SplitReference(reference, section, key);
  fileName.clear();
  if (section.empty() || key.empty() || !soundTable_) {
    volume = 0;
    LogDetailOnce("sound", "no sound '" + Cp1251ToUtf8(reference) + "' in the sound table");
    return;
  }
  const std::string value = soundTable_->ReadString(section, key, "");
  if (value.empty()) LogDetailOnce("sound", "no sound '" + Cp1251ToUtf8(reference) + "' in the sound table");
  ReadSoundValue(value, fileName, volume);
}

std::string TQXDB::SubstituteTexts(const std::string& script) {
  return qx::SubstituteTexts(script, [this](const std::string& reference, size_t) { return TranslateText(reference); });
}

// --- properties ---------------------------------------------------------------------------

bool TQXDB::ReadField(PropField field, PropValue& v) {
  switch (field) {
    case PropField::CurKey: v.i = CurKey; return true;
    case PropField::InitScreen: v.i = InitScreen; return true;
    case PropField::FileRS: v.s = fileRS_; return true;
    case PropField::FileFonts: v.s = fileFonts_; return true;
    case PropField::hxTransLev: v.i = hxTransLev; return true;
    case PropField::DefLang: v.s = defLang_; return true;
    case PropField::Lang: v.s = lang_; return true;
    case PropField::LoadingScreen: v.i = LoadingScreen; return true;
    case PropField::IniFile: v.s = iniFile_; return true;
    case PropField::SoundFile: v.s = soundFile_; return true;
    default: return TQXElement::ReadField(field, v);
  }
}

bool TQXDB::WriteField(PropField field, const PropValue& v) {
  // The settings act as they are set (the game file sets them in index order, so each sees
  // GameFolder and the settings before it).
  switch (field) {
    case PropField::CurKey: CurKey = static_cast<int32_t>(v.i); return true;
    case PropField::Id:
      // The game file's Id names the game's data folder (it comes before IniFile and FileRS).
      if (Runtime().FileLoading) Places().SetGameId(v.s);
      return TQXElement::WriteField(field, v);
    case PropField::InitScreen: InitScreen = static_cast<int32_t>(v.i); return true;
    case PropField::FileRS: OpenStateFile(v.s); return true;
    case PropField::FileFonts:
      if (v.s != fileFonts_) {
        fileFonts_ = v.s;
        OpenArchive();
      }
      return true;
    case PropField::hxTransLev: hxTransLev = static_cast<uint8_t>(v.i); return true;
    case PropField::DefLang:
      if (v.s != defLang_) {
        defLang_ = v.s;
        defLangTable_ = ReadTable(defLang_);
      }
      return true;
    case PropField::Lang:
      if (v.s != lang_) OpenLanguage(v.s);
      return true;
    case PropField::LoadingScreen: LoadingScreen = static_cast<int32_t>(v.i); return true;
    case PropField::IniFile:
      if (v.s != iniFile_) OpenIni(v.s);
      return true;
    case PropField::SoundFile:
      if (v.s != soundFile_) {
        soundFile_ = v.s;
        soundTable_ = ReadTable(soundFile_);
      }
      return true;
    default: return TQXElement::WriteField(field, v);
  }
}

bool TQXDB::GetPropValue(const std::string& name, ScriptValue& value) {
  if (TQXElement::GetPropValue(name, value)) return true;
  RuntimeState& rt = Runtime();
  if (name == "VOLMUZ") value = ScriptValue::Int(rt.MusicVolume);
  else if (name == "VOLSND") value = ScriptValue::Int(rt.SoundVolume);
  else if (name == "FULLSCREEN") value = ScriptValue::Int(rt.FullScreenWanted ? 1 : 0);
  else return false;
  return true;
}

bool TQXDB::SetPropValue(const std::string& name, const ScriptValue& value) {
  if (TQXElement::SetPropValue(name, value)) return true;
  RuntimeState& rt = Runtime();
  int32_t n = 0;
  if (!value.TryToInt32(n)) n = 0;
  if (name == "VOLMUZ") {
    rt.MusicVolume = n;
    WritePlayerSetting("Muz", n);
    if (services_.sound) services_.sound->ApplyMusicVolume();
  } else if (name == "VOLSND") {
    rt.SoundVolume = n;
    WritePlayerSetting("Snd", n);
  } else if (name == "FULLSCREEN") {
    // The frame loop applies the new mode on its next tick.
    rt.FullScreenWanted = n != 0;
    WritePlayerSetting("FS", rt.FullScreenWanted ? 1 : 0);
  } else {
    return false;
  }
  return true;
}

// --- settings files -------------------------------------------------------------------------

std::unique_ptr<TIniFile> TQXDB::ReadTable(const std::string& name) {
  auto table = std::make_unique<TIniFile>();
  const std::optional<std::string> path = Files().ResolveFile(name);
  std::string error;
  if (!path) {
    if (!name.empty()) LogDetail("game", "no file " + Cp1251ToUtf8(name) + " in the game folder");
  } else if (!table->Load(*path, &error)) {
    LogError("game", error);
  }
  return table;
}

void TQXDB::OpenArchive() {
  if (TResArchive* archive = services_.archive) {
    const std::optional<std::string> path = Files().ResolveFile(fileFonts_);
    archive->SetOpenMode(TResOpenMode::opReadOnly);
    archive->SetFileName(path ? *path : std::string());
    if (!path) {
      if (!fileFonts_.empty()) LogDetail("archive", "no archive " + Cp1251ToUtf8(fileFonts_) + " in the game folder");
    } else if (!archive->Open()) {
      LogError("archive", archive->LastError());
    }
  }
  if (services_.fonts && services_.archive) services_.fonts->Reload(*services_.archive);
}

void TQXDB::OpenLanguage(const std::string& name) {
  langTable_.reset();
  std::string value = name;
  if (!Files().ResolveFile(value)) {
    for (const char* fallback : {"eng.lng", "rus.lng", "deu.lng"}) {
      if (Files().ResolveFile(fallback)) {
        value = fallback;
        break;
      }
    }
  }
  lang_ = value;
  langTable_ = ReadTable(lang_);
}

void TQXDB::OpenIni(const std::string& name) {
  iniFile_ = name;
  ini_.reset();
  // A new file is created under the name as given, at the first write; every write asks the
  // player's places where it goes, so a game folder that cannot be written moves it.
  const std::optional<GameDataPlaces::Place> place =
      name.empty() ? std::nullopt : Places().Locate(name);
  auto ini = std::make_unique<TIniFile>();
  std::string error;
  if (!place) {
    if (!name.empty()) LogError("ini", "refused the ini file name " + Cp1251ToUtf8(name));
  } else if (!ini->Open(place->readPath, &error)) {
    LogError("ini", error);
  } else {
    ini->SetWriteTarget([this, name](std::string* reason) { return Places().PrepareWrite(name, reason); });
    ini_ = std::move(ini);
  }
  // Without an ini object the settings take their defaults.
  const TIniFile empty;
  const TIniFile& t = ini_ ? *ini_ : empty;
  RuntimeState& rt = Runtime();
  rt.SoundVolume = t.ReadInteger("Def", "Snd", 100);
  rt.MusicVolume = t.ReadInteger("Def", "Muz", 50);
  rt.FullScreenWanted = t.ReadBool("Def", "FS", true);
}

bool TQXDB::WritePlayerSetting(std::string_view key, int32_t value) {
  if (!ini_) return false;
  std::string error;
  if (ini_->WriteInteger("Def", key, value, &error)) return true;
  LogError("ini", error);
  return false;
}

// --- saved state ------------------------------------------------------------------------------

namespace {
// Largest state file read back (a game's state is a few hundred kilobytes at most).
constexpr size_t kMaxStateBytes = size_t{256} << 20;
}  // namespace

void TQXDB::OpenStateFile(const std::string& name) {
  fileRS_ = name;
  const std::optional<GameDataPlaces::Place> place = name.empty() ? std::nullopt : Places().Locate(name);
  if (place && hasState_ && place->writePath == statePlace_) return;  // the same file, however it is spelled
  hasState_ = false;
  statePlace_.clear();
  if (!place) {
    if (!name.empty()) LogError("state", "refused the state file name " + Cp1251ToUtf8(name));
    return;
  }
  struct stat st {};
  if (::stat(place->readPath.c_str(), &st) == 0) {
    if (S_ISREG(st.st_mode)) hasState_ = true;
    else LogError("state", place->readPath + " is not a file");
    statePlace_ = place->writePath;
    return;
  }
  statePlace_ = place->writePath;
  // No state yet: an empty one, so that a game without saves loads nothing. Where the game
  // folder cannot take it, a missing state reads as empty until the first save makes it.
  if (place->movesOnWrite) {
    hasState_ = true;
    return;
  }
  std::string error;
  if (WriteFileAtomically(place->writePath, "", 0, error)) hasState_ = true;
  else LogError("state", error);
}

std::string TQXDB::StatePath() {
  if (!hasState_) return {};
  const std::optional<GameDataPlaces::Place> place = Places().Locate(fileRS_);
  return place ? place->readPath : std::string();
}

bool TQXDB::SaveState() {
  if (!hasState_) return false;
  const std::string data = WriteStateData(*this);
  std::string error;
  const std::optional<std::string> path = Places().PrepareWrite(fileRS_, &error);
  const bool ok = path && WriteFileAtomically(*path, data.data(), data.size(), error);
  if (!ok) LogError("state", error);
  else stateIgnored_ = false;
  ResetTimer();  // saving may take longer than a tick
  return ok;
}

bool TQXDB::LoadState() {
  if (!hasState_) return false;
  RuntimeState& rt = Runtime();
  rt.FileLoading = true;
  rt.LoadNow = false;  // pictures named by restored properties are queued, not loaded here
  const std::string statePath = StatePath();
  std::string data, error;
  std::error_code ec;
  if (stateIgnored_) {
    LogDetail("state", "--reset-state: " + statePath + " is read as empty until the game saves");
  } else if (!std::filesystem::exists(statePath, ec)) {
    data.clear();  // not saved yet (or deleted): nothing to restore
  } else if (!ReadWholeFile(statePath, data, error, kMaxStateBytes)) {
    LogError("state", error);
    data.clear();
  }
  std::vector<StateRecord> records;
  StateReadReport read;
  if (!ParseStateRecords(data, records, &read)) {
    LogError("state", statePath + ": " + read.reason + " at offset " + std::to_string(read.damageOffset) +
                          "; the " + std::to_string(read.records) + " records before it are restored");
  }
  const StateApplyReport applied = ApplyStateRecords(*this, records);
  if (reportUnknownKeys_ && !applied.unknownKeys.empty()) {
    std::string keys;
    for (const int32_t key : applied.unknownKeys) keys += (keys.empty() ? "" : ", ") + std::to_string(key);
    LogError("state", statePath + " names Keys this game does not have (a save from another build of it?), "
                      "their records are skipped: " + keys);
  }
  LogDetail("state", "restored " + std::to_string(applied.assigned) + " values, skipped " +
                         std::to_string(applied.skipped));
  rt.LoadNow = true;
  DoAfterLoad();
  ResetTimer();
  rt.FileLoading = false;
  return true;
}

}  // namespace qx
