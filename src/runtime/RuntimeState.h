// The process-wide runtime state the shell, the element model, the media and sound caches
// and the built-ins share: where the mouse is, which screen is current, which phase the
// frame loop is in, the player's volumes. One instance; everything runs on the game thread.
// It holds no services: those reach their users through Services (runtime/Services.h). The
// elements it points at are known here only by name; the layers that set them know them.
#pragma once

#include <cstdint>
#include <string>

namespace qx {

class TQXElement;
class TQXText;

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
  // Process ticks run so far (the trace's first column).
  int64_t Tick = 0;
};

// The one instance.
RuntimeState& Runtime();
// Back to the start-up values (tests, and a second run in one process).
void ResetRuntime();

}  // namespace qx
