#include "shell/MainForm.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <map>
#include <utility>

#include "base/Ascii.h"
#include "base/BoundedLog.h"
#include "base/Log.h"
#include "base/SafeFile.h"
#include "elements/ElementKinds.h"
#include "elements/QXText.h"
#include "resources/ImageDecoders.h"
#include "resources/PngWriter.h"
#include "runtime/ParticleSystem.h"
#include "runtime/RuntimeState.h"
#include "scene/EventScripts.h"
#include "scene/QXDB.h"
#include "scene/SaveSlot.h"
#include "scene/SceneScriptHost.h"
#include "script/ScriptBudget.h"
#include "shell/GameFinder.h"

namespace qx {
namespace {
constexpr int kBackBufferWidth = 1024;
constexpr int kBackBufferHeight = 768;
constexpr int kAudioFrequency = 44100;
constexpr uint32_t kOpaqueWhite = 0xFFFFFFFFu;

// Where a click may land and still reach a clickable element: the true point first, then
// the eight points two pixels around it.
constexpr int kProbeX[9] = {0, -1, -1, -1, 0, 0, 1, 1, 1};
constexpr int kProbeY[9] = {0, -1, 0, 1, -1, 1, -1, 0, 1};
constexpr int kProbeStep = 2;

// The slot thumbnails' size, a fifth of the screen or so, 4:3.
constexpr int kThumbnailWidth = 192;
constexpr int kThumbnailHeight = 144;
// A slot file is a game's state; anything larger is not one of ours.
constexpr size_t kMaxSlotBytes = size_t{64} << 20;

// The back buffer shrunk to a thumbnail, each pixel the mean of the block it stands for.
std::vector<uint32_t> Shrink(const std::vector<uint32_t>& pixels, int width, int height) {
  std::vector<uint32_t> out(static_cast<size_t>(kThumbnailWidth) * kThumbnailHeight, 0xFF000000u);
  if (width <= 0 || height <= 0 || pixels.size() < static_cast<size_t>(width) * static_cast<size_t>(height)) return out;
  for (int ty = 0; ty < kThumbnailHeight; ++ty) {
    const int y0 = ty * height / kThumbnailHeight, y1 = std::max(y0 + 1, (ty + 1) * height / kThumbnailHeight);
    for (int tx = 0; tx < kThumbnailWidth; ++tx) {
      const int x0 = tx * width / kThumbnailWidth, x1 = std::max(x0 + 1, (tx + 1) * width / kThumbnailWidth);
      uint64_t r = 0, g = 0, b = 0, n = 0;
      for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
          const uint32_t p = pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
          r += (p >> 16) & 0xFF;
          g += (p >> 8) & 0xFF;
          b += p & 0xFF;
          ++n;
        }
      }
      out[static_cast<size_t>(ty) * kThumbnailWidth + static_cast<size_t>(tx)] =
          0xFF000000u | static_cast<uint32_t>((r / n) << 16 | (g / n) << 8 | (b / n));
    }
  }
  return out;
}

std::string SlotDate(int64_t savedAt) {
  const std::time_t t = static_cast<std::time_t>(savedAt);
  std::tm local{};
  localtime_r(&t, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
  return text;
}

// The cache's entries of the pictures `e` and its children name and have not loaded yet: what
// loading their resources is about to load.
void CollectNamedPictures(TQXElement& e, const MediaCache& media, std::vector<TQXIm*>& out) {
  if (!e.ResourcesLoaded) {
    const ClassInfo& info = e.Class();
    for (size_t i = 0; i < info.props.size(); ++i) {
      const std::string_view name = info.props[i].name;
      if (name.size() < 2 || !EqualsNoCaseAscii(name.substr(0, 2), "im")) continue;
      const std::string picture = e.GetProp(static_cast<int>(i)).s;
      if (picture.empty()) continue;
      if (TQXIm* entry = media.Find(picture)) out.push_back(entry);
    }
  }
  for (TQXElement* child : e.Children()) CollectNamedPictures(*child, media, out);
}
}  // namespace

uint8_t LogoAlpha(int32_t fadeCount) {
  if (fadeCount >= 0 && fadeCount <= 17) return static_cast<uint8_t>(fadeCount * 15);
  if (fadeCount >= 83 && fadeCount <= 100) return static_cast<uint8_t>((100 - fadeCount) * 15);
  return 255;
}

TFormMain::TFormMain(Window& window, Audio& audio, GfxPlatform& gfx, TimerClock& clock,
                     ShellOptions options)
    : window_(window),
      audio_(audio),
      device_(gfx),
      timer_(clock),
      canvas_(gfx),
      media_(&images_, &resDb_, &files_),
      images_(gfx),
      fonts_(gfx),
      sounds_(audio, files_, &resDb_, &timer_),
      options_(std::move(options)),
      replay_(std::move(options_.replay)),
      cacheMedia_(media_, canvas_, sounds_, fonts_, resDb_),
      shellMedia_(options_.media ? options_.media : &cacheMedia_),
      menu_(MenuActions()) {
  services_.device = &device_;
  services_.canvas = &canvas_;
  services_.timer = &timer_;
  services_.media = &media_;
  services_.archive = &resDb_;
  services_.files = &files_;
  services_.sound = &sounds_;
  services_.fonts = &fonts_;
  services_.places = &places_;
  places_.SetDataHome(options_.dataHome);
  places_.SetDataFolder(options_.dataFolder);
  // The form's fixed component settings.
  device_.SetWidth(kBackBufferWidth);
  device_.SetHeight(kBackBufferHeight);
  device_.SetBitDepth(TBitDepth::bdHigh);
  device_.SetRefresh(0);
  device_.SetWindowed(true);
  device_.SetVSync(false);
  device_.SetHardwareTL(false);
  device_.SetDepthBuffer(false);
  canvas_.SetAlphaTesting(true);
  canvas_.SetVertexCache(4096);
  canvas_.SetAntialias(false);
  canvas_.SetDithering(false);
  canvas_.SetPublisher(&device_);
  images_.SetMipMappping(false);
  media_.SetParallelDecode(!options_.serialDecode);
  images_.SetPublisher(&device_);
  images_.OnImageFreed = [this](TGfxImage* image) { media_.Forget(image); };
  fonts_.Canvas = &canvas_;
  menu_.onListOpen = [this] { FillSlotViews(); };
  fonts_.SetPublisher(&device_);
  resDb_.SetOpenMode(TResOpenMode::opReadOnly);
  device_.OnInitialize = [this](bool& success) { DeviceInitialize(success); };
  device_.OnRender = [this] { DeviceRender(); };
  timer_.SetSpeed(kProcessTicksPerSecond);
  timer_.SetMaxFPS(static_cast<int>(kProcessTicksPerSecond));
  timer_.SetEnabled(false);
  timer_.OnTimer = [this] { TimerTimer(); };
  timer_.OnProcess = [this] { TimerProcess(); };
}

TFormMain::~TFormMain() {
  if (!closed_) FormClose();
}

int TFormMain::Run() {
  if (!created_ && !FormCreate()) return exitStatus_;
  while (!closeRequested_) {
    PumpEvents();
    if (options_.idle) options_.idle();
    // Asked to close (a signal, or the window while a script ran): the running script has
    // stopped, and the close order follows.
    if (ScriptStopRequested()) Close();
    if (closeRequested_) break;
    timer_.Idle();
  }
  if (!options_.screenshotPath.empty() && !TakeScreenshot(options_.screenshotPath)) exitStatus_ = 1;
  recorder_.RecordQuit(processTicks_);
  FormClose();
  return exitStatus_;
}

// --- start-up ---------------------------------------------------------------------------

bool TFormMain::FormCreate() {
  RuntimeState& rt = Runtime();
  rt.TestMode = options_.testMode;
  rt.Tick = 0;
  if (!options_.recordPath.empty() && !recorder_.Open(options_.recordPath)) {
    LogError("qxrun", "cannot write the recording " + options_.recordPath);
  }
  if (!options_.tracePath.empty()) {
    if (trace_.Open(options_.tracePath)) services_.trace = &trace_;
    else LogError("qxrun", "cannot write the trace " + options_.tracePath);
  }
  if (options_.makeInterpreter) {
    CreateInterpreterPool([this](int index) { return options_.makeInterpreter(index, game_); });
  }
  // A script that runs long still notices the window's close button.
  SetScriptPoll([this] {
    if (window_.CloseRequested()) RequestScriptStop();
  });

  // A machine without speakers still plays the game: one warning, and silence.
  if (audio_.LibraryAvailable() && audio_.Initialize(kAudioFrequency)) {
    audioOpen_ = true;
  } else {
    WarnSilent("no sound device");
    audioOpen_ = audio_.InitializeSilent(kAudioFrequency);
  }
  if (!device_.Initialize()) {
    window_.ShowError("Failed initializing graphics device!");
    exitStatus_ = 1;
    FormClose();
    return false;
  }
  if (!startFailure_.empty()) {
    window_.ShowError(startFailure_);
    exitStatus_ = 1;
    FormClose();
    return false;
  }
  created_ = true;
  return true;
}

void TFormMain::WarnSilent(const std::string& what) {
  const std::string reason = audio_.FailureReason();
  LogError("audio", what + (reason.empty() ? "" : " (" + reason + ")") + ": the game plays without sound");
  audioSilent_ = true;
}

void TFormMain::CreateRoot() {
  root_ = std::make_unique<TQXDB>(ElementKinds(), services_);
  host_ = std::make_unique<SceneScriptHost>(root_.get());
  SetHost(host_.get());
  game_.root = root_.get();
  media_.OnLoadProgress = [this] { root_->LoadProgress(); };
}

void TFormMain::DeviceInitialize(bool& success) {
  RuntimeState& rt = Runtime();
  // The game file: given on the command line, else beside the program, else the
  // "Zembric.ini" entry, else the bundled demo.
  const GameChoice choice =
      ChooseGame(options_.gamePath, options_.programPath, DefaultZembricIniPath(), options_.demoGamePath);
  gamePath_ = choice.path;
  LogDetail("qxrun", gamePath_.empty() ? "no game file found" : "game file " + gamePath_);
  if (choice.from == GameChoice::From::Demo) {
    LogError("qxrun", "no game named and none found beside qxrun: playing the bundled demo " + gamePath_);
  }

  CreateRoot();
  root_->GameFilePath = gamePath_;
  root_->GameFolderOverride = options_.gameFolder;
  root_->SetStateIgnored(options_.resetState);
  root_->SetReportUnknownKeys(options_.devTools);
  rt.LoadNow = false;  // image requests made while the game file loads are only queued
  root_->LoadGame();
  if (options_.requireGame) {
    startFailure_ = StartFailure(choice.from == GameChoice::From::Nothing, gamePath_, root_->LastLoad());
  }
  if (!startFailure_.empty()) {
    // FormCreate tells the player and closes; the game never ran, so its Exit does not either.
    runExitScript_ = false;
    success = true;
    return;
  }
  if (IsVerbose() && root_->ChildCount() > 0) {
    std::map<std::string, int> perClass;
    auto count = [&](auto&& self, TQXElement* e) -> void {
      ++perClass[e->ClassName()];
      for (TQXElement* c : e->Children()) self(self, c);
    };
    count(count, root_.get());
    for (const ClassInfo& c : ClassTable()) {
      if (perClass.count(c.name)) LogDetail("game", c.name + ": " + std::to_string(perClass[c.name]));
    }
  }

  if (rt.TestMode) rt.FullScreenWanted = false;
  device_.SetWindowed(!rt.FullScreenWanted);
  window_.ApplyStyle(device_.Windowed());
  rt.LoadNow = true;
  // As with the loading screen, a key that names the root names no screen (an empty game
  // has no current screen).
  TQXElement* start = root_->FindByKey(root_->InitScreen);
  SetCurrentScreen(start == root_.get() ? nullptr : start);
  timer_.Reset();
  timer_.SetEnabled(true);
  window_.SetCaption(root_->Id);
  success = true;
}

void TFormMain::RestartGame() {
  RuntimeState& rt = Runtime();
  TQXElement* was = rt.LoadingPhase && rt.PendingScreen ? rt.PendingScreen : rt.CurrentScreen;
  const int32_t screenKey = was ? was->Key : 0;
  timer_.SetEnabled(false);
  rt.CurrentScreen = rt.PendingScreen = rt.MousedElement = rt.CursorElement = nullptr;
  rt.FocusedText = nullptr;
  rt.LoadingPhase = rt.MouseIsDown = false;
  // The old game goes whole: its scripts' programs, its tree, every picture and sound it
  // loaded (a changed picture is read again).
  FreeInterpreterPool();
  game_.root = nullptr;
  SetHost(nullptr);
  host_.reset();
  root_.reset();
  media_.OnLoadProgress = nullptr;
  media_.Clear();
  sounds_.Clear();
  images_.Clear();
  if (options_.makeInterpreter) {
    CreateInterpreterPool([this](int index) { return options_.makeInterpreter(index, game_); });
  }
  CreateRoot();
  root_->GameFilePath = gamePath_;
  root_->GameFolderOverride = options_.gameFolder;
  root_->SetStateIgnored(options_.resetState);
  root_->SetReportUnknownKeys(options_.devTools);
  rt.LoadNow = false;
  root_->LoadGame();
  rt.LoadNow = true;
  SkipIntro();
  TQXElement* start = root_->FindByKey(root_->InitScreen);
  SetCurrentScreen(start == root_.get() ? nullptr : start);
  root_->DoInit();
  // As FastSetScreen goes there: no loading screen, the screen's Show runs.
  TQXElement* screen = screenKey != 0 ? root_->FindByKey(screenKey) : nullptr;
  if (!screen || screen == root_.get() || !screen->IsExactly(ClassId::Screen)) screen = rt.CurrentScreen;
  if (screen && !rt.LoadingPhase) {
    SetCurrentScreen(screen);
    screen->LoadResources();
    screen->DoShow();
  }
  window_.SetCaption(root_->Id);
  timer_.Reset();
  timer_.SetEnabled(true);
}

std::string StartFailure(bool nothingFound, const std::string& gamePath, const TQXDB::LoadOutcome& load) {
  using Kind = TQXDB::LoadOutcome::Kind;
  if (nothingFound) {
    return "no game to play: none was named, none is beside qxrun or in Zembric.ini, and no demo is "
           "installed (qxrun GAME.qxf plays one)";
  }
  switch (load.kind) {
    case Kind::Read: return {};
    case Kind::Missing: {
      // Zembric.ini's Path may name a folder, and that folder may hold no game.
      std::error_code ec;
      if (std::filesystem::is_directory(gamePath, ec)) return "no .qxf game file in " + gamePath;
      return "cannot find the game file " + gamePath;
    }
    case Kind::Unreadable: return "cannot read the game file: " + load.reason;
    case Kind::Empty: return "cannot start the game " + gamePath + ": " + load.reason;
  }
  return {};
}

void TFormMain::SkipIntro() {
  intro_.LogoIndex = -1;
  intro_.RootInitDone = intro_.StartScreenShown = true;
}

// --- the frame ------------------------------------------------------------------------------

void TFormMain::TimerTimer() {
  device_.Render(0, true);
  timer_.Process();
  device_.Present();
  ++frames_;
  if (options_.frameLimit >= 0 && frames_ >= options_.frameLimit) Close();
}

TQXElement* TFormMain::LoadingScreenElement() {
  if (!root_) return nullptr;
  TQXElement* screen = root_->FindByKey(root_->LoadingScreen);
  // A key that names the root itself names no loading screen: processing the root in its
  // place would never finish the loading.
  return screen == root_.get() ? nullptr : screen;
}

void TFormMain::TimerProcess() {
  ++processTicks_;
  RuntimeState& rt = Runtime();
  rt.Tick = processTicks_;
  if (intro_.LogoIndex > -1) {
    ProcessIntro();
    return;
  }
  if (rt.LoadingPhase) {
    if (TQXElement* loading = LoadingScreenElement()) {
      loading->DoProcess();
    } else {
      if (root_) root_->FinishLoading();
      rt.LoadingPhase = false;
    }
    CheckAudioDevice();
    shellMedia_->SoundTick();
    return;
  }
  // The menu pauses the game: nothing of it moves, but the ticks go on being counted.
  if (menu_.IsOpen()) {
    CheckAudioDevice();
    return;
  }
  if (rt.CurrentScreen) rt.CurrentScreen->DoProcess();
  if (rt.CursorElement) rt.CursorElement->DoProcess();
  CheckAudioDevice();
  shellMedia_->SoundTick();
  if (rt.FullScreenWanted == device_.Windowed()) {
    device_.SetWindowed(!rt.FullScreenWanted);
    FlWin();
  }
  if (rt.ExitRequested) Close();
}

void TFormMain::CheckAudioDevice() {
  if (!audioOpen_ || audioSilent_ || !audio_.DeviceLost()) return;
  // A headset pulled out: what plays goes on, in silence.
  WarnSilent("the sound device has gone");
  if (!audio_.InitializeSilent(kAudioFrequency)) LogDetail("audio", "no silent device either");
}

void TFormMain::LoadStartScreen() {
  TQXElement* screen = Runtime().CurrentScreen;
  if (!screen) return;
  // Decoded ahead as a screen change's pictures are; the loads below take them in order.
  std::vector<TQXIm*> named;
  CollectNamedPictures(*screen, media_, named);
  media_.DecodeAhead(named);
  screen->LoadResources();
  media_.DropDecodedAhead();
}

void TFormMain::ProcessIntro() {
  RuntimeState& rt = Runtime();
  IntroState& in = intro_;
  if (in.FadeCount < 100 && in.LogoIndex > 0) {
    ++in.FadeCount;
    if (in.FadeCount == 18) {
      // The game initialises while the first logo is fully visible; the start screen is
      // shown during the second.
      if (!in.RootInitDone) {
        if (root_) root_->DoInit();
        LoadStartScreen();
        in.RootInitDone = true;
      } else if (!in.StartScreenShown) {
        if (rt.CurrentScreen) rt.CurrentScreen->DoShow();
        in.StartScreenShown = true;
      }
    }
  } else if (in.LogoIndex >= 10) {
    if (!in.RootInitDone && root_) root_->DoInit();
    if (!in.StartScreenShown && rt.CurrentScreen) {
      LoadStartScreen();
      rt.CurrentScreen->DoShow();
    }
    in.RootInitDone = in.StartScreenShown = true;
    timer_.Reset();
    in.LogoIndex = -1;
  } else {
    // The next logo that exists; missing numbers are skipped (their sounds are still asked for).
    do {
      ++in.LogoIndex;
      in.LogoLoaded = shellMedia_->RequestLogo(in.LogoIndex);
    } while (!in.LogoLoaded && in.LogoIndex <= 9);
    in.FadeCount = 0;
    timer_.Reset();
  }
}

void TFormMain::RenderLayers(TQXElement* element, double offsetX, double offsetY) {
  if (!element || !root_) return;
  for (int32_t layer = root_->MinLayer(); layer <= root_->MaxLayer(); ++layer) {
    element->Render(layer, kOpaqueWhite, offsetX, offsetY, false);
  }
}

void TFormMain::RenderIntro() {
  if (intro_.LogoLoaded) shellMedia_->DrawLogo(LogoAlpha(intro_.FadeCount));
}

void TFormMain::DeviceRender() {
  RuntimeState& rt = Runtime();
  if (intro_.LogoIndex > -1) {
    RenderIntro();
  } else if (rt.LoadingPhase) {
    RenderLayers(rt.CurrentScreen, 0, 0);
    RenderLayers(LoadingScreenElement(), 0, 0);
  } else {
    RenderLayers(rt.CurrentScreen, 0, 0);
    if (menu_.IsOpen()) {
      menu_.Render(canvas_, menuTitleFont_.get(), menuTextFont_.get(), kBackBufferWidth, kBackBufferHeight);
    } else {
      RenderLayers(rt.CursorElement, rt.MouseX, rt.MouseY);
    }
  }
  RenderNotice();
  if (inspector_.Active()) RenderInspector();
}

TGfxFont* TFormMain::ToolFont() {
  if (fonts_.Count() > 0) {
    if (TGfxFont* font = fonts_.Font(0); font && font->Loaded()) return font;
  }
  if (!toolFontTried_ && !options_.toolFontArchive.empty()) {
    toolFontTried_ = true;
    toolFonts_ = std::make_unique<TGfxFonts>(device_.Platform());
    toolFonts_->Canvas = &canvas_;
    toolFonts_->SetPublisher(&device_);
    toolArchive_.SetOpenMode(TResOpenMode::opReadOnly);
    toolArchive_.SetFileName(options_.toolFontArchive);
    if (!toolFonts_->LoadFromArchive(toolArchive_)) LogDetail("qxrun", "no font in " + options_.toolFontArchive);
  }
  if (toolFonts_ && toolFonts_->Count() > 0) return toolFonts_->Font(0);
  return nullptr;
}

void TFormMain::RenderInspector() {
  RuntimeState& rt = Runtime();
  TQXElement* element = root_ ? InspectedElement(*root_, rt.CurrentScreen, rt.MouseX, rt.MouseY) : nullptr;
  if (!element) element = root_.get();
  inspector_.Render(canvas_, ToolFont(), element, host_ ? host_->LastErrorLine() : std::string(), rt.MouseX,
                    kBackBufferWidth, kBackBufferHeight);
}

void TFormMain::RenderNotice() {
  if (notice_.empty()) return;
  constexpr int kBarHeight = 28;
  canvas_.FillRect(0, 0, kBackBufferWidth, kBarHeight, 0xE01010A0u, kFxBlend);  // red: AABBGGRR
  // In the game's first font when it has one (its letters are what the game has); the bar
  // alone says that something is wrong, the line is on stderr.
  if (TGfxFont* font = ToolFont()) {
    // At a small size whatever size the font was made at, and with its settings given back.
    const double scale = font->Scale;
    font->Scale = 1;
    font->Scale = 16.0 / std::max(font->TextHeight("Ag"), 1.0);
    font->TextOut(notice_, kOpaqueWhite, 6, 5, kOpaqueWhite, kFxBlend);
    font->Scale = scale;
  }
}

void TFormMain::FormPaint() {
  if (timer_.Enabled()) return;
  device_.Render(0, false);
  device_.Present();
}

// --- the mouse --------------------------------------------------------------------------------

void TFormMain::FormMouseMove(int x, int y) {
  if (menu_.IsOpen()) return menu_.MouseMove(x, y);
  RuntimeState& rt = Runtime();
  if (rt.LoadingPhase) return;
  rt.MouseDX = x - rt.MouseX;
  rt.MouseDY = y - rt.MouseY;
  rt.MouseX = x;
  rt.MouseY = y;
  if (!rt.CurrentScreen || !root_) return;
  TQXElement* hit = nullptr;
  for (int32_t layer = root_->MaxLayer(); layer >= root_->MinLayer() && !hit; --layer) {
    hit = rt.CurrentScreen->HitTest(layer, x, y, 0, 0);
  }
  const bool kept = rt.MouseIsDown && rt.MousedElement && rt.MousedElement->MsKeep;
  if (!kept && hit != rt.MousedElement) {
    if (rt.MousedElement) rt.MousedElement->DoMouseOut();
    rt.MousedElement = hit;
    if (hit) hit->DoMouseIn();
  }
  if (rt.MousedElement) rt.MousedElement->DoMouseMove();
}

void TFormMain::FormMouseDown(int x, int y) {
  if (menu_.IsOpen()) return menu_.MouseDown(x, y);
  RuntimeState& rt = Runtime();
  if (intro_.LogoIndex > -1) {
    // A click during the fade-in does nothing; later it skips to the fade-out.
    if (intro_.FadeCount > 18 && intro_.FadeCount < 133) intro_.FadeCount = 83;
    return;
  }
  if (rt.LoadingPhase) return;
  rt.MouseX = x;
  rt.MouseY = y;
  for (int i = 0; i < 9; ++i) {
    FormMouseMove(x + kProbeX[i] * kProbeStep, y + kProbeY[i] * kProbeStep);
    if (rt.MousedElement && !rt.MousedElement->Script(ScriptSlot::MouseDown).source.empty()) break;
  }
  if (rt.MousedElement) rt.MousedElement->DoMouseDown();
  rt.MouseIsDown = true;
  if (root_ && (!rt.MousedElement || !rt.MousedElement->NoMsQXDB)) root_->DoMouseDown();
  FormMouseMove(x, y);
}

void TFormMain::FormMouseUp(int x, int y) {
  if (menu_.IsOpen()) return;
  RuntimeState& rt = Runtime();
  if (rt.LoadingPhase) return;
  rt.MouseX = x;
  rt.MouseY = y;
  FormMouseMove(x, y);
  if (rt.MousedElement) rt.MousedElement->DoMouseUp();
  if (root_ && (!rt.MousedElement || !rt.MousedElement->NoMsQXDB)) root_->DoMouseUp();
  const bool kept = rt.MouseIsDown && rt.MousedElement && rt.MousedElement->MsKeep;
  rt.MouseIsDown = false;
  // Hover is looked at again with the button up.
  if (!kept) FormMouseMove(x, y);
}

// --- the keyboard -----------------------------------------------------------------------------

bool TFormMain::IsPlayerKey(int vk) const { return options_.menuEnabled && (vk == kVkF12 || vk == kVkF5); }

void TFormMain::FormKeyDown(int vk, bool alt, bool ctrl, bool shift) {
  if (options_.devTools && vk == kVkF11) {
    inspector_.Toggle();
    return;
  }
  if (IsPlayerKey(vk)) {
    if (vk == kVkF12) SaveScreenshotKey();
    else if (vk == kVkF5 && menu_.IsOpen()) menu_.Close();
    else if (vk == kVkF5) OpenRuntimeMenu();
    return;
  }
  if (vk == kVkReturn && alt && !ctrl && !shift) ToggleFullScreen();
  // The menu has the keys while it is open; the game hears none of them.
  if (menu_.IsOpen()) {
    if (!alt) menu_.KeyDown(vk);
    return;
  }
  if (root_) root_->KeyDown(vk);
}

void TFormMain::ToggleFullScreen() {
  device_.SetWindowed(!device_.Windowed());
  Runtime().FullScreenWanted = !device_.Windowed();
  FlWin();
}

// --- the runtime menu ---------------------------------------------------------------------

RuntimeMenu::Actions TFormMain::MenuActions() {
  RuntimeMenu::Actions a;
  a.save = [this](int n) { return SaveSlotNow(n); };
  a.load = [this](int n) { return LoadSlotNow(n); };
  a.toggleFullScreen = [this] { ToggleFullScreen(); };
  a.fullScreen = [this] { return !device_.Windowed(); };
  a.quit = [this] { Close(); };
  // Through the root's VOLSND and VOLMUZ, as the game's scripts set them: the player's ini
  // is written and the playing music follows.
  a.soundVolume = [] { return static_cast<int>(Runtime().SoundVolume); };
  a.musicVolume = [] { return static_cast<int>(Runtime().MusicVolume); };
  a.setSoundVolume = [this](int v) {
    if (root_) root_->SetPropValue("VOLSND", ScriptValue::Int(v));
  };
  a.setMusicVolume = [this](int v) {
    if (root_) root_->SetPropValue("VOLMUZ", ScriptValue::Int(v));
  };
  return a;
}

bool TFormMain::LoadMenuFonts() {
  if (menuTitleFont_ && menuTextFont_) return true;
  if (options_.menuFontFolder.empty()) {
    // F5 is the player's even so: say once why it opens nothing.
    if (!menuFontsMissingSaid_) LogError("menu", "no menu: its fonts (fonts/menu-text.fnt) were not found beside qxrun or in its share folder");
    menuFontsMissingSaid_ = true;
    return false;
  }
  const auto load = [this](const std::string& file) -> std::unique_ptr<TGfxFont> {
    std::string data, error;
    const std::string path = options_.menuFontFolder + "/" + file;
    if (!ReadWholeFile(path, data, error, size_t{16} << 20)) {
      LogError("menu", "no menu: cannot read the font " + path);
      return nullptr;
    }
    auto font = std::make_unique<TGfxFont>(&fonts_, &device_.Platform());
    if (!font->LoadFromMemory(reinterpret_cast<const uint8_t*>(data.data()), data.size(), TGfxQuality::aqHigh,
                              TAlphaLevel::alFull)) {
      LogError("menu", "no menu: the font " + path + " is damaged");
      return nullptr;
    }
    font->TextTags = false;  // slot names are shown as they are
    return font;
  };
  menuTitleFont_ = load("menu-title.fnt");
  menuTextFont_ = load("menu-text.fnt");
  if (!menuTitleFont_ || !menuTextFont_) {
    menuTitleFont_.reset();
    menuTextFont_.reset();
    options_.menuFontFolder.clear();  // said once
    menuFontsMissingSaid_ = true;
    return false;
  }
  return true;
}

bool TFormMain::OpenRuntimeMenu() {
  if (!options_.menuEnabled || !created_ || !root_ || menu_.IsOpen()) return false;
  // Only in the game phase: the intro and a screen change run on by themselves.
  if (intro_.LogoIndex > -1 || Runtime().LoadingPhase) return false;
  if (!LoadMenuFonts()) return false;
  // The picture a save made now would show: the last frame, before the menu covers it.
  std::vector<uint32_t> pixels;
  int width = 0, height = 0;
  if (device_.Active() && device_.Platform().ReadBackBuffer(pixels, width, height)) {
    menuThumbnail_ = Shrink(pixels, width, height);
  } else {
    menuThumbnail_ = Shrink({}, 0, 0);
  }
  menu_.Open();
  return true;
}

void TFormMain::FillSlotViews() {
  const std::string folder = places_.SlotsFolder();
  for (int i = 0; i < kSaveSlotCount; ++i) {
    RuntimeMenu::SlotView& view = menu_.Slots()[static_cast<size_t>(i)];
    view = RuntimeMenu::SlotView{};
    if (folder.empty()) continue;
    std::string data, error;
    SaveSlot slot;
    const std::string path = folder + "/" + SaveSlotFileName(i + 1);
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) continue;
    if (!ReadWholeFile(path, data, error, kMaxSlotBytes) || !DecodeSaveSlot(data, slot, error)) {
      LogError("menu", path + ": " + error);
      continue;
    }
    view.used = true;
    view.screenId = slot.screenId;
    view.date = SlotDate(slot.savedAt);
    std::string png;
    TBitmap bitmap;
    if (ReadWholeFile(folder + "/" + SaveSlotThumbnailName(i + 1), png, error, kMaxSlotBytes) &&
        DecodePng(reinterpret_cast<const uint8_t*>(png.data()), png.size(), bitmap, error) && !bitmap.Empty()) {
      auto image = std::make_unique<TGfxImage>(&device_.Platform());
      image->SetQuality(TGfxQuality::aqHigh);
      image->SetAlphaLevel(TAlphaLevel::alNone);
      image->SetFrameLayout(bitmap.width, bitmap.height, 1);
      if (image->LoadFromBitmap(bitmap)) view.thumbnail = std::move(image);
    }
  }
}

bool TFormMain::SaveSlotNow(int number) {
  if (!root_ || number < 1 || number > kSaveSlotCount) return false;
  const std::string folder = places_.SlotsFolder();
  if (folder.empty()) {
    LogError("menu", "cannot save: this game has no data folder");
    return false;
  }
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    LogError("menu", "cannot save: cannot make " + folder + ": " + ec.message());
    return false;
  }
  const SaveSlot slot = CaptureSaveSlot(*root_, static_cast<int64_t>(std::time(nullptr)));
  const std::string data = EncodeSaveSlot(slot);
  std::string error;
  // The thumbnail first: a slot file without its picture still loads, the other way round
  // would show a picture of a save that is not there.
  const std::string thumbnail = folder + "/" + SaveSlotThumbnailName(number);
  if (menuThumbnail_.empty() ||
      !WritePngFile(thumbnail, menuThumbnail_.data(), kThumbnailWidth, kThumbnailHeight, error)) {
    if (!error.empty()) LogError("menu", error);
  }
  const std::string path = folder + "/" + SaveSlotFileName(number);
  if (!WriteFileAtomically(path, data.data(), data.size(), error)) {
    LogError("menu", "cannot save: " + error);
    return false;
  }
  LogDetail("menu", "saved " + std::to_string(slot.records.size()) + " values in " + path);
  root_->ResetTimer();
  return true;
}

bool TFormMain::LoadSlotNow(int number) {
  if (!root_ || number < 1 || number > kSaveSlotCount) return false;
  const std::string folder = places_.SlotsFolder();
  if (folder.empty()) return false;
  const std::string path = folder + "/" + SaveSlotFileName(number);
  std::string data, error;
  SaveSlot slot;
  if (!ReadWholeFile(path, data, error, kMaxSlotBytes) || !DecodeSaveSlot(data, slot, error)) {
    LogError("menu", "cannot load " + path + ": " + error);
    return false;
  }
  RestoreSaveSlot(*root_, slot);
  LogDetail("menu", "loaded " + path);
  return true;
}

void TFormMain::FormKeyPress(int ch) {
  if (menu_.IsOpen()) return;
  TQXText* text = Runtime().FocusedText;
  if (!text) return;
  std::string value = text->Text();
  if (ch == kVkBack) {
    if (value.empty()) return;
    value.pop_back();
  } else if (ch >= 32 && ch <= 255) {
    value.push_back(static_cast<char>(ch));
  } else {
    return;
  }
  text->SetText(value);
}

// --- window mode, activation, close ----------------------------------------------------------

void TFormMain::FlWin() {
  RuntimeState& rt = Runtime();
  if (root_) root_->WritePlayerSetting("FS", rt.FullScreenWanted ? 1 : 0);
  if (rt.TestMode) rt.FullScreenWanted = false;
  timer_.SetEnabled(false);
  window_.ApplyStyle(device_.Windowed());
  // Everything that lives on the device is built again: pictures, fonts, the particle
  // picture, then the elements take their pictures and fonts anew.
  shellMedia_->RebuildDeviceResources();
  if (root_ && root_->Particles()) root_->Particles()->SetImage(media_.GetImage("particles.bmp", true, false));
  if (root_) {
    for (TQXElement* child : root_->Children()) child->ReloadResources();
  }
  timer_.Reset();
  timer_.SetEnabled(true);
}

void TFormMain::WMActivate(bool active) {
  if (active && !window_.Minimized()) {
    timer_.SetEnabled(true);
    timer_.Reset();
    if (audioOpen_) audio_.ResumeAll();
  } else {
    timer_.SetEnabled(false);
    if (audioOpen_) audio_.PauseAll();
  }
}

void TFormMain::FormClose() {
  if (closed_) return;
  closed_ = true;
  RuntimeState& rt = Runtime();
  timer_.SetEnabled(false);
  SetScriptPoll(nullptr);
  // The Exit script runs even when a stop ended the last script, so a game that saves on exit
  // loses nothing; a budget of its own keeps the close prompt.
  ClearScriptStop();
  if (root_ && runExitScript_) {
    const uint64_t budget = ScriptBudget();
    SetScriptBudget(budget == 0 ? kExitScriptBudget : std::min(budget, kExitScriptBudget));
    root_->ExitEvent();
    SetScriptBudget(budget);
  }
  rt.CurrentScreen = nullptr;
  menu_.Close();
  menuTitleFont_.reset();
  menuTextFont_.reset();
  FreeInterpreterPool();
  game_.root = nullptr;
  root_.reset();
  rt.MousedElement = nullptr;
  rt.CursorElement = nullptr;
  rt.FocusedText = nullptr;
  SetHost(nullptr);
  host_.reset();
  media_.OnLoadProgress = nullptr;
  media_.Clear();
  sounds_.Clear();
  images_.Clear();
  toolFonts_.reset();
  device_.Finalize();
  if (audioOpen_) audio_.Shutdown();
  audioOpen_ = false;
  // Repeats still being counted get their line now.
  FlushLogs();
}

// --- events ----------------------------------------------------------------------------------

void TFormMain::HandleEvent(const WindowEvent& e) {
  switch (e.kind) {
    case WindowEvent::Kind::MouseMove: FormMouseMove(e.x, e.y); break;
    case WindowEvent::Kind::MouseDown: FormMouseDown(e.x, e.y); break;
    case WindowEvent::Kind::MouseUp: FormMouseUp(e.x, e.y); break;
    case WindowEvent::Kind::KeyDown: FormKeyDown(e.vk, e.alt, e.ctrl, e.shift); break;
    case WindowEvent::Kind::Char: FormKeyPress(e.ch); break;
    case WindowEvent::Kind::Activate: WMActivate(true); break;
    case WindowEvent::Kind::Deactivate: WMActivate(false); break;
    case WindowEvent::Kind::Expose: FormPaint(); break;
    case WindowEvent::Kind::Close: Close(); break;
  }
}

void TFormMain::PumpEvents() {
  WindowEvent e;
  while (!closeRequested_ && window_.PollEvent(e)) {
    recorder_.Record(processTicks_, e);
    HandleEvent(e);
  }
  ReplayEvent r;
  while (!closeRequested_ && replay_.Next(processTicks_, r)) {
    switch (r.kind) {
      case ReplayEvent::Kind::Input: HandleEvent(r.input); break;
      case ReplayEvent::Kind::Shot:
        if (!TakeScreenshot(r.file)) exitStatus_ = 1;
        break;
      case ReplayEvent::Kind::Quit: Close(); break;
    }
  }
}

std::string TFormMain::SaveScreenshotKey() {
  const std::string folder = options_.screenshotFolder;
  if (folder.empty()) {
    LogError("qxrun", "no screenshot: there is no pictures folder (HOME is not set)");
    return {};
  }
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    LogError("qxrun", "no screenshot: cannot make " + folder + ": " + ec.message());
    return {};
  }
  std::string name = std::filesystem::path(gamePath_).stem().string();
  if (name.empty()) name = "qxrun";
  char stamp[32];
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
  // Several in one second get a number each, and none replaces an older one.
  std::string path = folder + "/" + name + "_" + stamp + ".png";
  for (int n = 2; std::filesystem::exists(path, ec); ++n) {
    path = folder + "/" + name + "_" + stamp + "_" + std::to_string(n) + ".png";
  }
  if (!TakeScreenshot(path)) return {};
  LogError("qxrun", "screenshot saved to " + path);
  return path;
}

bool TFormMain::TakeScreenshot(const std::string& path) {
  std::vector<uint32_t> pixels;
  int width = 0, height = 0;
  std::string error;
  if (!device_.Active() || !device_.Platform().ReadBackBuffer(pixels, width, height)) {
    LogError("qxrun", "cannot read the back buffer for " + path);
    return false;
  }
  // The back buffer's alpha means nothing on screen: the picture is stored opaque.
  for (uint32_t& p : pixels) p |= 0xFF000000u;
  if (!WritePngFile(path, pixels.data(), width, height, error)) {
    LogError("qxrun", error);
    return false;
  }
  LogDetail("qxrun", "screenshot " + path);
  return true;
}

}  // namespace qx
