#include "shell/MainForm.h"

#include <utility>

#include "base/Log.h"
#include "resources/PngWriter.h"
#include "shell/GameFinder.h"
#include "shell/RuntimeState.h"

namespace qx {
namespace {
constexpr int kBackBufferWidth = 1024;
constexpr int kBackBufferHeight = 768;
constexpr int kAudioFrequency = 44100;
}  // namespace

TFormMain::TFormMain(Window& window, Audio& audio, GfxPlatform& gfx, TimerClock& clock,
                     ShellOptions options)
    : window_(window),
      audio_(audio),
      device_(gfx),
      timer_(clock),
      options_(std::move(options)),
      replay_(std::move(options_.replay)) {
  // The form's fixed component settings.
  device_.SetWidth(kBackBufferWidth);
  device_.SetHeight(kBackBufferHeight);
  device_.SetBitDepth(TBitDepth::bdHigh);
  device_.SetRefresh(0);
  device_.SetWindowed(true);
  device_.SetVSync(false);
  device_.SetHardwareTL(false);
  device_.SetDepthBuffer(false);
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
  if (!FormCreate()) return exitStatus_;
  while (!closeRequested_) {
    PumpEvents();
    if (closeRequested_) break;
    timer_.Idle();
  }
  if (!options_.screenshotPath.empty() && !TakeScreenshot(options_.screenshotPath)) exitStatus_ = 1;
  recorder_.RecordQuit(processTicks_);
  FormClose();
  return exitStatus_;
}

bool TFormMain::FormCreate() {
  RuntimeState& rt = Runtime();
  rt.TestMode = options_.testMode;
  if (!options_.recordPath.empty() && !recorder_.Open(options_.recordPath)) {
    LogError("qxrun", "cannot write the recording " + options_.recordPath);
  }
  if (!options_.tracePath.empty() && !trace_.Open(options_.tracePath)) {
    LogError("qxrun", "cannot write the trace " + options_.tracePath);
  }

  if (!audio_.LibraryAvailable()) {
    window_.ShowError("Audio library was not loaded!");
    exitStatus_ = 1;
    closed_ = true;  // the process stops at once: no close sequence
    return false;
  }
  if (!audio_.Initialize(kAudioFrequency)) {
    window_.ShowError("Error initializing audio!");
    exitStatus_ = 1;
    FormClose();
    return false;
  }
  audioOpen_ = true;
  if (!device_.Initialize()) {
    window_.ShowError("Failed initializing graphics device!");
    exitStatus_ = 1;
    FormClose();
    return false;
  }
  return true;
}

void TFormMain::DeviceInitialize(bool& success) {
  RuntimeState& rt = Runtime();
  // Find the game file: given on the command line, else beside the program, else the
  // "Zembric.ini" entry, else the bundled demo.
  gamePath_ = options_.gamePath;
  if (gamePath_.empty()) gamePath_ = FindGameFile(options_.programPath, DefaultZembricIniPath());
  if (gamePath_.empty()) gamePath_ = options_.demoGamePath;
  LogDetail("qxrun", gamePath_.empty() ? "no game file found" : "game file " + gamePath_);

  rt.LoadNow = false;  // image requests made while the game file loads are only queued
  // The game root is created and loaded here once the scene tree exists.

  if (rt.TestMode) rt.FullScreenWanted = false;
  device_.SetWindowed(!rt.FullScreenWanted);
  window_.ApplyStyle(device_.Windowed());
  rt.LoadNow = true;
  timer_.Reset();
  timer_.SetEnabled(true);
  window_.SetCaption("qxrun");
  success = true;
}

void TFormMain::TimerTimer() {
  device_.Render(0, true);
  timer_.Process();
  device_.Present();
  ++frames_;
  if (options_.frameLimit >= 0 && frames_ >= options_.frameLimit) Close();
}

void TFormMain::TimerProcess() {
  ++processTicks_;
  RuntimeState& rt = Runtime();
  // Apply a wanted change of display mode, then honour an exit request.
  if (rt.FullScreenWanted == device_.Windowed()) {
    device_.SetWindowed(!rt.FullScreenWanted);
    FlWin();
  }
  if (rt.ExitRequested) Close();
}

void TFormMain::DeviceRender() {}

void TFormMain::FormPaint() {
  if (timer_.Enabled()) return;
  device_.Render(0, false);
  device_.Present();
}

void TFormMain::FormMouseMove(int x, int y) {
  RuntimeState& rt = Runtime();
  if (rt.LoadingPhase) return;
  rt.MouseDX = x - rt.MouseX;
  rt.MouseDY = y - rt.MouseY;
  rt.MouseX = x;
  rt.MouseY = y;
}

void TFormMain::FormMouseDown(int x, int y) {
  RuntimeState& rt = Runtime();
  if (rt.LoadingPhase) return;
  rt.MouseX = x;
  rt.MouseY = y;
  rt.MouseIsDown = true;
  FormMouseMove(x, y);
}

void TFormMain::FormMouseUp(int x, int y) {
  RuntimeState& rt = Runtime();
  if (rt.LoadingPhase) return;
  rt.MouseX = x;
  rt.MouseY = y;
  FormMouseMove(x, y);
  rt.MouseIsDown = false;
}

void TFormMain::FormKeyDown(int vk, bool alt, bool ctrl, bool shift) {
  RuntimeState& rt = Runtime();
  if (vk == kVkReturn && alt && !ctrl && !shift) {
    device_.SetWindowed(!device_.Windowed());
    rt.FullScreenWanted = !device_.Windowed();
    FlWin();
  }
}

void TFormMain::FormKeyPress(int) {}

void TFormMain::FlWin() {
  RuntimeState& rt = Runtime();
  if (rt.TestMode) rt.FullScreenWanted = false;
  timer_.SetEnabled(false);
  window_.ApplyStyle(device_.Windowed());
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
  timer_.SetEnabled(false);
  Runtime().CurrentScreen = nullptr;
  Runtime().MousedElement = nullptr;
  device_.Finalize();
  if (audioOpen_) audio_.Shutdown();
  audioOpen_ = false;
}

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

bool TFormMain::TakeScreenshot(const std::string& path) {
  std::vector<uint32_t> pixels;
  int width = 0, height = 0;
  std::string error;
  if (!device_.Active() || !device_.Platform().ReadBackBuffer(pixels, width, height)) {
    LogError("qxrun", "cannot read the back buffer for " + path);
    return false;
  }
  // The back buffer has no meaningful alpha for a picture on screen: store it opaque.
  for (uint32_t& p : pixels) p |= 0xFF000000u;
  if (!WritePngFile(path, pixels.data(), width, height, error)) {
    LogError("qxrun", error);
    return false;
  }
  LogDetail("qxrun", "screenshot " + path);
  return true;
}

}  // namespace qx
