// The graphics back end on OpenGL 3.3 core (through libepoxy): an off-screen 1024 x 768
// framebuffer as the back buffer, presented letterboxed into the SDL window; textures in
// RGBA8; one shader pair doing the texture stage, the vertex-colour modulation and the
// alpha test of the canvas.
#pragma once

#include <SDL.h>
#include <epoxy/gl.h>

#include <string>
#include <vector>

#include "render/GfxPlatform.h"
#include "render/Letterbox.h"

namespace qx {

class GlGfx final : public GfxPlatform {
 public:
  GlGfx(SDL_Window* window, bool headless, PresentOptions present = {});
  ~GlGfx() override;

  bool CreateDevice(const GfxPresentParams& params) override;
  void ReleaseDevice() override;
  bool ResetDevice(const GfxPresentParams& params) override;
  CooperativeLevel TestCooperativeLevel() override;
  bool Clear(uint32_t argb, bool depth) override;
  bool BeginScene() override;
  void EndScene() override;
  PresentResult Present() override;
  TextureHandle CreateTexture(int width, int height) override;
  bool UploadTexture(TextureHandle texture, const uint32_t* pixels, int pitchPixels) override;
  void ReleaseTexture(TextureHandle texture) override;
  bool CreateBuffers(int capacity) override;
  void ReleaseBuffers() override;
  void SetDrawState(const GfxDrawState& state) override;
  void BindTexture(TextureHandle texture) override;
  bool DrawIndexed(PrimitiveKind kind, const GfxVertex* vertices, int vertexCount,
                   const uint16_t* indices, int indexCount, int primitiveCount) override;
  bool ReadBackBuffer(std::vector<uint32_t>& pixels, int& width, int& height) override;

 private:
  bool CreateFramebuffer(int width, int height);
  void ReleaseFramebuffer();
  bool CreateProgram();

  SDL_Window* window_;
  bool headless_;
  PresentOptions present_;
  SDL_GLContext context_ = nullptr;
  GfxPresentParams params_;
  GLuint fbo_ = 0, colorTexture_ = 0;
  GLuint program_ = 0, vao_ = 0, vbo_ = 0, ebo_ = 0, sampler_ = 0;
  GLint uViewport_ = -1, uUseTexture_ = -1, uModulate_ = -1, uAlphaTest_ = -1;
  int capacity_ = 0;
  // What is uploaded: lines turned into thin quads, and 32-bit indices.
  std::vector<GfxVertex> lineVertices_;
  std::vector<uint32_t> indices32_;
  TextureHandle bound_ = 0;
  GfxDrawState state_;
};

}  // namespace qx
