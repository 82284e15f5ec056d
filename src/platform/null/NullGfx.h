// A graphics back end without hardware: records every call as a line of text, keeps
// textures in memory and clears a back buffer. Device loss can be simulated.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "render/GfxPlatform.h"

namespace qx {

class NullGfx : public GfxPlatform {
 public:
  struct Texture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // empty until the first upload
  };
  struct Draw {
    PrimitiveKind kind = PrimitiveKind::None;
    std::vector<GfxVertex> vertices;
    std::vector<uint16_t> indices;
    int primitives = 0;
    GfxDrawState state;
    TextureHandle texture = 0;
  };

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

  // Simulation: the next Present reports a lost device; TestCooperativeLevel then answers
  // Lost for `lostPresents` more presents before the device can be reset.
  void SimulateLoss(int lostPresents = 0);
  // Simulation of a mode switch that takes the context with it: the next ResetDevice drops
  // every texture, so their handles name nothing any more.
  void LoseTexturesAtNextReset() { loseTextures_ = true; }
  void FailCreate(bool fail) { failCreate_ = fail; }
  void FailBuffers(bool fail) { failBuffers_ = fail; }

  // What happened, one line per call ("Clear ff000000", "Present", ...).
  std::vector<std::string> calls;
  std::vector<Draw> draws;
  std::map<TextureHandle, Texture> textures;
  GfxPresentParams params;
  GfxDrawState state;
  TextureHandle boundTexture = 0;
  bool deviceExists = false;
  int bufferCapacity = 0;
  int presents = 0;
  std::vector<uint32_t> backBuffer;

 private:
  bool lost_ = false;
  int lostPresents_ = 0;
  bool lossPending_ = false;
  bool loseTextures_ = false;
  bool failCreate_ = false;
  bool failBuffers_ = false;
  TextureHandle nextTexture_ = 1;
};

}  // namespace qx
