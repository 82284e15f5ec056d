// The graphics operations the device, the images and the canvas need from the platform.
// Implemented by platform/gl (OpenGL 3.3) and platform/null (records calls, for tests).
#pragma once

#include <cstdint>
#include <vector>

namespace qx {

// What the device asks for when it creates or resets the platform device.
struct GfxPresentParams {
  int width = 640;
  int height = 480;
  bool windowed = true;
  bool vsync = false;
  bool depthBuffer = false;
  int refresh = 0;          // 0: the display's default
  bool highBitDepth = true;  // bdHigh; no meaning on GL (the back buffer is always RGBA8)
};

enum class PresentResult { Ok, DeviceLost, DriverError };

// Answer of a lost device to "can you be reset now?".
enum class CooperativeLevel { Ok, Lost, NotReset };

// The canvas's pre-transformed vertex: pixel position, diffuse colour in device order
// (0xAARRGGBB) and one texture coordinate pair. 28 bytes, the layout the back end uploads.
struct GfxVertex {
  float x = 0, y = 0, z = 0, rhw = 1;
  uint32_t color = 0xFFFFFFFF;
  float u = 0, v = 0;
};
static_assert(sizeof(GfxVertex) == 28, "vertex layout is shared with the back end");

enum class PrimitiveKind { None, Lines, Triangles };

// Blend factor and operation indices exactly as the DrawFx code carries them.
enum class BlendFactor : uint8_t {
  Zero, One, SrcColor, InvSrcColor, SrcAlpha, InvSrcAlpha, DestAlpha, InvDestAlpha,
  DestColor, InvDestColor, SrcAlphaSat
};
enum class BlendOp : uint8_t { Add, RevSubtract, Subtract, Min, Max };

// Fixed-function state of one batch.
struct GfxDrawState {
  bool blending = false;
  bool alphaTest = false;       // discard alpha < 1/255 (reference 1, greater-or-equal passes)
  BlendFactor src = BlendFactor::One;
  BlendFactor dst = BlendFactor::Zero;
  BlendOp op = BlendOp::Add;
  bool modulate = false;        // texture colour x vertex colour, else texture as it is
  bool linearFilter = false;    // stage-0 magnification and minification
  bool dithering = false;
};

using TextureHandle = uint32_t;  // 0 is "no texture"

class GfxPlatform {
 public:
  virtual ~GfxPlatform() = default;

  // Device life cycle. createDevice fails when no back buffer of the size can be made.
  virtual bool CreateDevice(const GfxPresentParams& params) = 0;
  virtual void ReleaseDevice() = 0;
  virtual bool ResetDevice(const GfxPresentParams& params) = 0;
  virtual CooperativeLevel TestCooperativeLevel() = 0;

  // Frame. Colours are in device order 0xAARRGGBB.
  virtual bool Clear(uint32_t argb, bool depth) = 0;
  virtual bool BeginScene() = 0;
  virtual void EndScene() = 0;
  virtual PresentResult Present() = 0;

  // Textures hold 32-bit ARGB texels (0xAARRGGBB per pixel, rows top to bottom).
  virtual TextureHandle CreateTexture(int width, int height) = 0;
  virtual bool UploadTexture(TextureHandle texture, const uint32_t* pixels, int pitchPixels) = 0;
  virtual void ReleaseTexture(TextureHandle texture) = 0;

  // Batches. Buffers hold `capacity` vertices and as many 16-bit indices.
  virtual bool CreateBuffers(int capacity) = 0;
  virtual void ReleaseBuffers() = 0;
  virtual void SetDrawState(const GfxDrawState& state) = 0;
  virtual void BindTexture(TextureHandle texture) = 0;  // 0 unbinds stage 0
  virtual bool DrawIndexed(PrimitiveKind kind, const GfxVertex* vertices, int vertexCount,
                           const uint16_t* indices, int indexCount, int primitiveCount) = 0;

  // The back buffer as 0xAARRGGBB pixels, rows top to bottom (screenshots, tests).
  virtual bool ReadBackBuffer(std::vector<uint32_t>& pixels, int& width, int& height) = 0;
};

}  // namespace qx
