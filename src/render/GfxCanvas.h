// TGfxCanvas: turns every 2D drawing request into batched, pre-transformed triangles and
// lines. A batch is submitted only when the primitive kind, the blend code or the texture
// changes or the buffers are full. Colours come in the runtime's order (0xAABBGGRR) and the
// blend of each draw is a DrawFx code.
#pragma once

#include <cstdint>
#include <vector>

#include "render/CanvasPicture.h"
#include "render/GfxPlatform.h"
#include "render/GfxPublisher.h"

namespace qx {

struct TPoint2 {
  double x = 0, y = 0;
};

// A part of one frame: source rectangle inside the frame's visible area (width or height
// 0 or less: the whole visible pattern), and mirroring.
struct TFrameRegion {
  int32_t frame = 0;
  int32_t left = 0, top = 0, width = 0, height = 0;
  uint8_t mirrorVertical = 0;
  uint8_t mirrorHorizontal = 0;
};

// DrawFx codes the runtime uses; any other combination of factors is applied as decoded.
inline constexpr uint32_t kFxOpaque = 1;      // one, zero, add: no blending, no alpha test
inline constexpr uint32_t kFxBlend = 1284;    // source alpha, inverse source alpha, add
inline constexpr uint32_t kFxAdd = 260;       // source alpha, one, add
inline constexpr uint32_t kFxModulated = 1u << 28;  // set by the canvas for tinted draws

// The runtime's colour order (red lowest) to the device's (blue lowest), and back: the
// same swap of the red and blue bytes.
inline uint32_t ToDeviceColor(uint32_t c) {
  return (c & 0xFF00FF00u) | ((c & 0xFFu) << 16) | ((c >> 16) & 0xFFu);
}
inline uint32_t ToRuntimeColor(uint32_t deviceColor) { return ToDeviceColor(deviceColor); }

class TGfxCanvas : public TGfxSubscriber {
 public:
  explicit TGfxCanvas(GfxPlatform& platform);
  ~TGfxCanvas() override;

  // Capacity of a batch in vertices and in indices: rounded up to a multiple of 4 and kept
  // within 512..65536; ignored while the canvas is initialised.
  int VertexCache() const { return vertexCache_; }
  void SetVertexCache(int v);
  // Linear (true) or point filtering. Writing it or Dithering while initialised submits the
  // pending batch first, even when the value stays the same.
  bool Antialias() const { return antialias_; }
  void SetAntialias(bool on);
  bool Dithering() const { return dithering_; }
  void SetDithering(bool on);
  // When blending, also discard pixels whose alpha is below 1; ignored while initialised.
  bool AlphaTesting() const { return alphaTesting_; }
  void SetAlphaTesting(bool on);

  bool Initialized() const { return initialized_; }

  void FillRect(int32_t left, int32_t top, int32_t width, int32_t height, uint32_t color, uint32_t code);
  void FrameRect(int32_t left, int32_t top, int32_t width, int32_t height, uint32_t color, uint32_t code);
  void FillFramedRect(int32_t left, int32_t top, int32_t width, int32_t height, uint32_t fill, uint32_t frame,
                      uint32_t code);
  void FillQuad(const TPoint2 p[4], const uint32_t colors[4], uint32_t code);
  void FrameQuad(const TPoint2 p[4], const uint32_t colors[4], uint32_t code);
  void DrawLine(TPoint2 a, TPoint2 b, uint32_t colorA, uint32_t colorB, uint32_t code);
  void FillTriangle(TPoint2 a, TPoint2 b, TPoint2 c, uint32_t color, uint32_t code);
  void DrawImage(const TCanvasPicture* image, uint32_t color, uint32_t code, int32_t frame, double x, double y);
  void DrawImageRotated(const TCanvasPicture* image, uint32_t color, uint32_t code, int32_t frame, double x,
                        double y, double scale, double angle);
  void DrawImageQuad(const TCanvasPicture* image, const TPoint2 p[4], uint32_t code, const TFrameRegion& region,
                     const uint32_t colors[4]);
  // Submits what is queued.
  void Flush();

  // Statistics of the current frame.
  int Batches() const { return batches_; }
  int VerticesQueued() const { return verticesQueued_; }
  int IndicesQueued() const { return indicesQueued_; }

  // The quad of a picture of size (w, h) whose pivot (px, py) lands at (x, y), scaled and
  // rotated clockwise by `angle` radians about the pivot (corners in canvas order).
  static void RotatedQuad(double x, double y, double w, double h, double px, double py, double scale, double angle,
                          TPoint2 out[4]);

 protected:
  bool Notify(TGfxPublisher* sender, int code) override;

 private:
  void Initialize();
  void Finalize();
  void ResetStates();
  void ApplyCode(uint32_t code);
  // Queues one primitive; `texture` -1 means untextured.
  void Queue(PrimitiveKind kind, const GfxVertex* vertices, int vertexCount, const uint16_t* indices,
             int indexCount, int primitives, uint32_t code, const TCanvasPicture* image, int texture);
  void QueueLine(TPoint2 a, TPoint2 b, uint32_t colorA, uint32_t colorB, uint32_t code);
  void PushState();

  GfxPlatform& platform_;
  int vertexCache_ = 4096;
  bool antialias_ = true;
  bool dithering_ = false;
  bool alphaTesting_ = true;

  bool initialized_ = false;
  bool lost_ = false;
  bool resetPending_ = false;
  std::vector<GfxVertex> vertices_;
  std::vector<uint16_t> indices_;
  int vertexCount_ = 0;
  int indexCount_ = 0;
  int primitiveCount_ = 0;
  PrimitiveKind kind_ = PrimitiveKind::None;
  int64_t currentCode_ = -1;
  const TCanvasPicture* boundImage_ = nullptr;
  int boundTexture_ = -2;  // -2: nothing bound yet; -1: untextured
  GfxDrawState state_;

  int batches_ = 0;
  int verticesQueued_ = 0;
  int indicesQueued_ = 0;
};

}  // namespace qx
