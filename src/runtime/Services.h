// Services: what the main window owns and hands to the game root when it makes it, and
// through which the element kinds, the root and the built-ins reach the device, the frame
// timer, the pictures, the game's files and archive, the player's places, the sounds, the fonts and the trace.
// Elements reach it through their root; nothing reaches it through a global. A null member
// is a service the holder does without: tests build only the ones they use.
#pragma once

namespace qx {

class GameDataPlaces;
class MediaCache;
class SoundPlayer;
class TGameFs;
class TGfxCanvas;
class TGfxDevice;
class TGfxFonts;
class TGfxTimer;
class TResArchive;
class Trace;

struct Services {
  // Renders and presents frames while a screen's pictures load (the shell's render step).
  TGfxDevice* device = nullptr;
  // What the elements draw with.
  TGfxCanvas* canvas = nullptr;
  // Reset after long work so the time is not caught up; its speed paces the effects.
  TGfxTimer* timer = nullptr;
  // Every picture of the game by name (the only maker of textures, holding the image list).
  MediaCache* media = nullptr;
  // The game's resource archive (the root opens it; fonts, effects and pictures read it).
  TResArchive* archive = nullptr;
  // The game folder's files, named as the game names them; the root points it at the
  // folder of the game file it reads.
  TGameFs* files = nullptr;
  // Where the player's ini, the saved state, korvane.err and the menu's save slots live
  // (the game folder while it can be written, else the game's data folder).
  GameDataPlaces* places = nullptr;
  // Sound effects and music.
  SoundPlayer* sound = nullptr;
  // The bitmap fonts text elements are drawn in.
  TGfxFonts* fonts = nullptr;
  // --trace: one line per element event and screen change.
  Trace* trace = nullptr;
};

}  // namespace qx
