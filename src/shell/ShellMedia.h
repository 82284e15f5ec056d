// What the shell asks of the media: the intro logos and their sounds, the per-tick sound
// step, and rebuilding device resources after a display-mode change. CacheShellMedia does it
// with the main window's media cache, sound cache and fonts; NullShellMedia shows no logos
// and plays nothing.
#pragma once

#include <cstdint>

namespace qx {

class MediaCache;
class TGfxCanvas;
class TGfxFonts;
class TResArchive;
class TSoundCache;
struct TQXIm;

class ShellMedia {
 public:
  virtual ~ShellMedia() = default;
  // Requests the picture "logos\logoN.jpg" (not forced) and plays "logoN.mp3" at volume
  // 100; true when the picture is loaded. It becomes the logo DrawLogo draws.
  virtual bool RequestLogo(int index) = 0;
  // Fills the back buffer with the logo's top-left pixel and draws the logo centred, at
  // the given opacity. Nothing when the current logo has no picture.
  virtual void DrawLogo(uint8_t alpha) = 0;
  // The per-process-tick music fade step.
  virtual void SoundTick() = 0;
  // After a display-mode change: reload every picture, then the fonts. The shell then gives
  // the particle manager its picture and reloads the elements' resources.
  virtual void RebuildDeviceResources() = 0;
};

class NullShellMedia final : public ShellMedia {
 public:
  bool RequestLogo(int) override { return false; }
  void DrawLogo(uint8_t) override {}
  void SoundTick() override {}
  void RebuildDeviceResources() override {}
};

// The shell's media through the main window's services.
class CacheShellMedia final : public ShellMedia {
 public:
  CacheShellMedia(MediaCache& media, TGfxCanvas& canvas, TSoundCache& sounds, TGfxFonts& fonts, TResArchive& archive)
      : media_(media), canvas_(canvas), sounds_(sounds), fonts_(fonts), archive_(archive) {}
  bool RequestLogo(int index) override;
  void DrawLogo(uint8_t alpha) override;
  void SoundTick() override;
  // The pictures again, then the fonts from the archive.
  void RebuildDeviceResources() override;

 private:
  MediaCache& media_;
  TGfxCanvas& canvas_;
  TSoundCache& sounds_;
  TGfxFonts& fonts_;
  TResArchive& archive_;
  TQXIm* logo_ = nullptr;
};

}  // namespace qx
