// The process-wide runtime state the shell, the element model, the media cache and the
// built-ins share. One instance; everything runs on the game thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qx {

class TQXElement;
class TQXScreen;
class TQXText;
class Trace;
class TGfxCanvas;
class TGfxDevice;
class TGfxImages;
class TGfxTimer;
class TResArchive;
class TGameFs;
class TQXDB;

// The main window's components, published for the media cache, the fonts, the root and the
// built-ins (set at start-up, cleared at close; null in tests that do not need them).
struct Components {
  TGfxDevice* Device = nullptr;
  TGfxTimer* Timer = nullptr;
  TGfxCanvas* Canvas = nullptr;
  TGfxImages* Images = nullptr;
  TResArchive* ResDb = nullptr;
  TGameFs* Files = nullptr;  // the game folder's files (the root's resolver)
  // Clears the font list and loads every font record of ResDb (after the archive opened).
  std::function<void()> LoadFonts;
  // The sound cache: a sound effect once, a music stream faded in or re-targeted, and every
  // music stream faded out (volumes in percent). Silent while not installed.
  std::function<void(const std::string& name, int volume)> PlaySound;
  std::function<void(const std::string& name, int volume)> PlayMusic;
  std::function<void()> FadeOutAllMusic;
};

struct RuntimeState {
  TQXElement* CurrentScreen = nullptr;
  TQXElement* PendingScreen = nullptr;
  TQXElement* CursorElement = nullptr;
  TQXElement* MousedElement = nullptr;
  int32_t MouseX = 0, MouseY = 0;
  int32_t MouseDX = 0, MouseDY = 0;
  bool MouseIsDown = false;
  int32_t LastKey = 0;
  bool LoadingPhase = false;
  TQXText* FocusedText = nullptr;
  bool FullScreenWanted = false;
  bool ExitRequested = false;
  bool TestMode = false;
  bool LoadNow = true;
  // Held with the root: the player's volumes, the game's folder (with its trailing
  // separator) and whether a game file or saved state is being read.
  int32_t SoundVolume = 100;
  int32_t MusicVolume = 50;
  std::string GameFolder;
  bool FileLoading = false;
  // The media cache's counters of queued and loaded images ("IMFORLOADCOUNT", "IMFORLOADPOS").
  int32_t ImForLoadCount = 0;
  int32_t ImForLoadPos = 0;
  // Process ticks run so far, and where element events are traced (--trace), if anywhere.
  int64_t Tick = 0;
  Trace* EventTrace = nullptr;
  Components Parts;
  // The one game root, while a game is loaded.
  TQXDB* Root = nullptr;
};

// The one instance.
RuntimeState& Runtime();
// Back to the start-up values (tests, and a second run in one process).
void ResetRuntime();

}  // namespace qx
