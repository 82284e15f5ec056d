// The process-wide runtime state the shell, the element model, the media cache and the
// built-ins share. One instance; everything runs on the game thread.
#pragma once

#include <cstdint>

namespace qx {

class TQXElement;
class TQXScreen;
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
};

// The one instance.
RuntimeState& Runtime();
// Back to the start-up values (tests, and a second run in one process).
void ResetRuntime();

}  // namespace qx
