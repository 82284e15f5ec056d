// TFormMain: the runner shell. Start-up, the timer-driven frame loop with its phases,
// mouse and keyboard routing, the display mode, pausing in the background and the close.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "builtins/Builtins.h"
#include "render/GfxCanvas.h"
#include "render/GfxDevice.h"
#include "render/GfxTimer.h"
#include "resources/GameFs.h"
#include "resources/GfxFont.h"
#include "resources/GfxImages.h"
#include "resources/ResArchive.h"
#include "runtime/Audio.h"
#include "runtime/GameDataPlaces.h"
#include "runtime/MediaCache.h"
#include "runtime/Services.h"
#include "runtime/SoundCache.h"
#include "runtime/Trace.h"
#include "scene/QXDB.h"
#include "shell/Inspector.h"
#include "shell/Replay.h"
#include "shell/RuntimeMenu.h"
#include "shell/ShellMedia.h"
#include "shell/Window.h"

namespace qx {

class EventInterpreter;
class SceneScriptHost;
class TQXElement;

// The game's pace: process ticks and frames a second.
inline constexpr double kProcessTicksPerSecond = 30.0;
// The Exit script's budget of statements and loop passes (or the game's, when smaller): a
// tenth of a second or so, so that closing never waits long.
inline constexpr uint64_t kExitScriptBudget = 5'000'000;

struct ShellOptions {
  std::string programPath;  // the running program, for finding its game file
  std::string gamePath;     // a ".qxf" file or a folder holding one; empty: look for it
  std::string demoGamePath; // played when nothing else is found
  bool testMode = false;    // keep the game windowed
  // A game that cannot start (none found, unreadable, nothing in it) ends the run with an
  // error box and status 1, as qxrun wants; off, the shell runs with an empty root (tests
  // that build their trees in code).
  bool requireGame = false;
  // The runtime's own keys (F12: a screenshot into the pictures folder) are the player's and
  // do not reach the game; --no-menu turns this off and gives them back to the game.
  bool menuEnabled = true;
  // The runtime menu's fonts (menu-title.fnt, menu-text.fnt); without them F5 opens no menu.
  std::string menuFontFolder;
  // Where F12 writes its screenshots (qxrun: GameDataPlaces::ScreenshotFolder()); empty: F12
  // writes none.
  std::string screenshotFolder;
  int64_t frameLimit = -1;  // stop after this many frames (--frames)
  std::string screenshotPath;
  std::vector<ReplayEvent> replay;
  std::string recordPath;
  std::string tracePath;
  // Where the per-game data folders are made when a game folder cannot be written (qxrun:
  // GameDataPlaces::DefaultDataHome()); empty: the player's files stay in the game folder.
  std::string dataHome;
  // --data-dir: the game's data folder itself.
  std::string dataFolder;
  // --reset-state: the game starts as if its saved state were empty (TQXDB::SetStateIgnored).
  bool resetState = false;
  bool serialDecode = false;  // no worker threads for pictures (the old path, for comparison)
  // --watch: the game folder when it is not the game file's (the source's folder), and what
  // runs once a pass of the message loop (the watcher's poll).
  std::string gameFolder;
  std::function<void()> idle;
  // --dev: F11 is the inspector's (and no longer reaches the game), and a saved state naming
  // Keys the game lacks is reported. The inspector writes with the game's first font, else
  // with the first font of this archive (the bundled demo's).
  bool devTools = false;
  std::string toolFontArchive;
  // Makes interpreter n (0..9) of the pool, whose built-ins find the game through the link
  // (MakeGameInterpreter); without it event scripts do not run.
  std::function<std::unique_ptr<EventInterpreter>(int index, const GameLink& game)> makeInterpreter;
  // The shell's logos, sound step and device rebuild; the media cache's own when not given.
  ShellMedia* media = nullptr;
};

// Intro bookkeeping: the logo shown and the ticks since it appeared.
struct IntroState {
  int32_t LogoIndex = 0;   // -1 once the intro is over
  int32_t FadeCount = 0;
  bool LogoLoaded = false; // the current logo has a picture
  bool RootInitDone = false;
  bool StartScreenShown = false;
};

// Why a game cannot start, as the player is told (message box and stderr); "" when it can.
// `nothingFound`: no game was named or found and no demo is installed.
std::string StartFailure(bool nothingFound, const std::string& gamePath, const TQXDB::LoadOutcome& load);

// A logo's opacity at a tick of its cycle: fading in over 0..17, out over 83..100.
uint8_t LogoAlpha(int32_t fadeCount);

class TFormMain {
 public:
  TFormMain(Window& window, Audio& audio, GfxPlatform& gfx, TimerClock& clock, ShellOptions options);
  ~TFormMain();
  TFormMain(const TFormMain&) = delete;
  TFormMain& operator=(const TFormMain&) = delete;

  // Start-up (unless FormCreate already ran), the message loop until the window closes, and
  // the close. Exit status.
  int Run();

  // The window's event handlers; public so that tests can drive them one by one.
  bool FormCreate();  // false: the program stops (ExitStatus says how)
  void DeviceInitialize(bool& success);
  void TimerTimer();
  void TimerProcess();
  void DeviceRender();
  void FormPaint();
  void FormMouseDown(int x, int y);
  void FormMouseMove(int x, int y);
  void FormMouseUp(int x, int y);
  void FormKeyDown(int vk, bool alt, bool ctrl, bool shift);
  void FormKeyPress(int ch);
  void FlWin();
  void WMActivate(bool active);
  void FormClose();

  // One window event (or replayed one) routed to its handler.
  void HandleEvent(const WindowEvent& event);
  // Window events, then replay events due at the current tick.
  void PumpEvents();
  // Ends the message loop after the current pass, like closing the window.
  void Close() { closeRequested_ = true; }

  TQXDB* Root() { return root_.get(); }
  IntroState& Intro() { return intro_; }
  // Ends the intro at once (tests and tools that start in the game phase).
  void SkipIntro();
  // The start screen's resources (the intro does this), its pictures decoded ahead on the
  // worker threads as a screen change's are.
  void LoadStartScreen();
  TGfxDevice& Device() { return device_; }
  TGfxCanvas& Canvas() { return canvas_; }
  TGfxImages& Images() { return images_; }
  TGfxFonts& GfxFonts() { return fonts_; }
  TResArchive& ResDb() { return resDb_; }
  TGfxTimer& Timer() { return timer_; }
  Trace& EventTrace() { return trace_; }
  MediaCache& Media() { return media_; }
  TSoundCache& Sounds() { return sounds_; }
  TGameFs& GameFiles() { return files_; }
  GameDataPlaces& Places() { return places_; }
  // What the root is made with.
  const qx::Services& Services() const { return services_; }
  const std::string& GamePath() const { return gamePath_; }
  int64_t ProcessTicks() const { return processTicks_; }
  int64_t Frames() const { return frames_; }
  bool CloseRequested() const { return closeRequested_; }
  bool Closed() const { return closed_; }
  int ExitStatus() const { return exitStatus_; }

  // --watch: drops the running game (its Exit does not run and nothing of its state is kept)
  // and plays the game file again from its Init, without the intro, on the screen that was
  // current (or the start screen when the new game has no screen of that Key).
  void RestartGame();
  // A line drawn over the game until replaced (a failed rebuild); "" removes it.
  void ShowNotice(std::string text) { notice_ = std::move(text); }
  const std::string& Notice() const { return notice_; }
  qx::Inspector& Inspector() { return inspector_; }

  // Writes the back buffer as a PNG file.
  bool TakeScreenshot(const std::string& path);
  // F12: the back buffer into the screenshot folder, under a name of the game and the time;
  // the file written, "" when none could be.
  std::string SaveScreenshotKey();
  // Whether a key belongs to the player rather than the game: while the runtime menu is
  // enabled it does the runtime's work and never reaches the game's key-down event.
  bool IsPlayerKey(int vk) const;

  // The one way into the runtime menu (F5, and whatever else the player has for it): opens
  // it over the paused game when the game phase runs, the menu is enabled and its fonts are
  // there; false when it did not open. While it is open the game's process step does not
  // run and the mouse and keys go to the menu; the tick count goes on.
  bool OpenRuntimeMenu();
  bool RuntimeMenuOpen() const { return menu_.IsOpen(); }
  RuntimeMenu& Menu() { return menu_; }
  // The menu's slots, by number 1..9: saved from the game now (with the thumbnail taken as
  // the menu opened), and loaded into it. False (logged) when that could not be done.
  bool SaveSlotNow(int number);
  bool LoadSlotNow(int number);

 private:
  void ProcessIntro();
  void RenderIntro();
  // Draws an element for every layer of the root's range at an offset.
  void RenderLayers(TQXElement* element, double offsetX, double offsetY);
  TQXElement* LoadingScreenElement();
  void CreateRoot();
  void RenderNotice();
  void RenderInspector();
  // The font the runtime's own overlays write with; null when there is none.
  TGfxFont* ToolFont();
  // The one warning of a game that plays without sound from now on.
  void WarnSilent(const std::string& what);
  // Once a tick: a sound device that has gone is replaced by the silent one.
  void CheckAudioDevice();
  RuntimeMenu::Actions MenuActions();
  bool LoadMenuFonts();
  void FillSlotViews();
  void ToggleFullScreen();

  Window& window_;
  Audio& audio_;
  // The services, in the order they are made; the root gets them through services_.
  TGfxDevice device_;
  TGfxTimer timer_;
  TGfxCanvas canvas_;
  TResArchive resDb_;
  TGameFs files_{"."};
  MediaCache media_;  // before the image list, which tells it of every picture it frees
  TGfxImages images_;
  TGfxFonts fonts_;
  TSoundCache sounds_;
  Trace trace_;
  GameDataPlaces places_;
  qx::Services services_;
  GameLink game_;  // the built-ins' way to the root
  ShellOptions options_;
  ReplayPlayer replay_;
  ReplayRecorder recorder_;
  std::string gamePath_;
  CacheShellMedia cacheMedia_;
  ShellMedia* shellMedia_;
  std::unique_ptr<TQXDB> root_;
  std::unique_ptr<SceneScriptHost> host_;
  IntroState intro_;
  RuntimeMenu menu_;
  std::unique_ptr<TGfxFont> menuTitleFont_, menuTextFont_;
  bool menuFontsMissingSaid_ = false;
  std::vector<uint32_t> menuThumbnail_;  // the game's picture as the menu opened, thumbnail sized
  int64_t processTicks_ = 0;
  int64_t frames_ = 0;
  bool created_ = false;  // FormCreate succeeded
  bool closeRequested_ = false;
  bool closed_ = false;
  bool audioOpen_ = false;
  bool audioSilent_ = false;  // no sound device: the silent one, or none
  int exitStatus_ = 0;
  std::string notice_;
  qx::Inspector inspector_;
  TResArchive toolArchive_;
  std::unique_ptr<TGfxFonts> toolFonts_;
  bool toolFontTried_ = false;
  std::string startFailure_;   // set by DeviceInitialize when the game cannot start
  bool runExitScript_ = true;  // the root's Exit runs at the close (not for a game that never started)
};

}  // namespace qx
