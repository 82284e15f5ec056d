#include "scene/QXDB.h"

#include <filesystem>

#include "base/Log.h"
#include "base/SafeFile.h"
#include "elements/ParticleSystem.h"
#include "elements/QXScreen.h"
#include "scene/EventScripts.h"
#include "scene/GameFile.h"
#include "shell/MediaCache.h"
#include "shell/RuntimeState.h"
#include "shell/Trace.h"

namespace qx {

TQXDB::TQXDB() : TQXElement(nullptr) { BecomeRoot(this); }

void SetCurrentScreen(TQXElement* screen) {
  RuntimeState& rt = Runtime();
  rt.CurrentScreen = screen;
  if (screen && rt.EventTrace) rt.EventTrace->Line(rt.Tick, "Screen", screen->Id, screen->ClassName(), screen->Key);
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

TQXElement* TQXDB::FindTopLevel(int32_t key, std::string_view className) const {
  for (TQXElement* child : Children()) {
    if (child->Key == key && child->ClassName() == className) return child;
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

bool TQXDB::LoadGame() {
  ClearChildren();
  RuntimeState& rt = Runtime();
  std::error_code ec;
  if (GameFilePath.empty() || !std::filesystem::is_regular_file(GameFilePath, ec)) {
    if (!GameFilePath.empty()) LogDetail("game", "no game file at " + GameFilePath);
    return false;
  }
  std::string data, error;
  if (!ReadWholeFile(GameFilePath, data, error)) {
    LogError("game", error);
    return false;
  }
  const std::filesystem::path folder = std::filesystem::absolute(GameFilePath, ec).parent_path();
  // The folder keeps its spelling on disk; game names are matched inside it without
  // regard to case by the resolver.
  rt.GameFolder = folder.string() + "/";
  files_ = TGameFs(folder.string());
  if (Canvas && !particles_) {
    particles_ = std::make_unique<TXParticleManager>(Canvas);
    particles_->SetImage(Media().GetImage("particles.bmp", true));
  }
  rt.FileLoading = true;
  GameFileReport report;
  const bool ok = ReadElementData(*this, data, &report);
  rt.FileLoading = false;
  if (IsVerbose()) {
    LogDetail("game", "read " + std::to_string(report.elements) + " elements from " + GameFilePath +
                          (report.skipped ? ", skipped " + std::to_string(report.skipped) : std::string()));
  }
  return ok;
}

void TQXDB::MarkAlwaysLoaded() {
  for (TQXElement* child : Children()) {
    if (child->ClassName() != "TQXScreen") continue;
    child->LoadMark = static_cast<TQXScreen*>(child)->AllwaysLoad;
    if (child->LoadMark) child->LoadResources();
  }
}

void TQXDB::FinishLoading() {
  RuntimeState& rt = Runtime();
  if (Shell.renderFrame) Shell.renderFrame();
  if (!rt.LoadingPhase) return;
  if (rt.MousedElement) rt.MousedElement->DoMouseOut();
  rt.MousedElement = nullptr;
  rt.MouseIsDown = false;
  Media().ClearImageCounts();
  ResetResources();
  if (particles_) particles_->SetImage(Media().GetImage("particles.bmp", false));
  ++rt.ImForLoadCount;
  rt.ImForLoadPos = 0;
  rt.CurrentScreen = nullptr;
  for (TQXElement* child : Children()) {
    if (child->LoadMark) child->LoadResources();
  }
  SetCurrentScreen(rt.PendingScreen);
  if (rt.CurrentScreen) rt.CurrentScreen->DoShow();
  // Fading out the music arrives with the sound cache.
  Media().ReleaseUnusedImages();
  if (Shell.resetTimer) Shell.resetTimer();
}

void TQXDB::KeyDown(int32_t virtualKey) {
  Runtime().LastKey = virtualKey;
  RunEvent("key_Down", ScriptSlot::KeyDown);
}

void TQXDB::ExitEvent() { RunEvent("Exit", ScriptSlot::Exit); }

void TQXDB::LoadProgress() {
  RunEvent("LIProcess", ScriptSlot::LoadImProcess);
  if (Shell.renderFrame) Shell.renderFrame();
  if (Shell.presentFrame) Shell.presentFrame();
}

// --- texts ------------------------------------------------------------------------------

std::string TQXDB::TranslateText(const std::string& reference) {
  const size_t dot = reference.find('.');
  const std::string_view ref = reference;
  const std::string section(dot == std::string::npos ? std::string_view("Default") : TrimBlanks(ref.substr(0, dot)));
  const std::string key(TrimBlanks(dot == std::string::npos ? ref : ref.substr(dot + 1)));
  if (section.empty() || key.empty()) return {};
  // The language table arrives with the root's settings; without one every lookup is empty.
  return {};
}

std::string TQXDB::SubstituteTexts(const std::string& script) {
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
    const std::string text = TranslateText(reference);
    if (text.find_first_of("'\"") != std::string::npos) {
      out += '"' + reference + '"';  // a quote would break the literal: keep the reference
    } else {
      out += '\'' + text + '\'';
    }
    pos = close + 1;
  }
  return out;
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
  // The settings' side effects (opening the archive, fonts, language, ini, sound table and
  // state files) arrive with the root's settings; until then the names are only stored.
  switch (field) {
    case PropField::CurKey: CurKey = static_cast<int32_t>(v.i); return true;
    case PropField::InitScreen: InitScreen = static_cast<int32_t>(v.i); return true;
    case PropField::FileRS: fileRS_ = v.s; return true;
    case PropField::FileFonts: fileFonts_ = v.s; return true;
    case PropField::hxTransLev: hxTransLev = static_cast<uint8_t>(v.i); return true;
    case PropField::DefLang: defLang_ = v.s; return true;
    case PropField::Lang: lang_ = v.s; return true;
    case PropField::LoadingScreen: LoadingScreen = static_cast<int32_t>(v.i); return true;
    case PropField::IniFile: iniFile_ = v.s; return true;
    case PropField::SoundFile: soundFile_ = v.s; return true;
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
  // Writing the player's ini file and re-targeting playing music arrive with the ini file
  // and the media cache.
  if (name == "VOLMUZ") rt.MusicVolume = n;
  else if (name == "VOLSND") rt.SoundVolume = n;
  else if (name == "FULLSCREEN") rt.FullScreenWanted = n != 0;
  else return false;
  return true;
}

}  // namespace qx
