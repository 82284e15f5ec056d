#include "platform/null/NullGfx.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>

namespace qx {
namespace {
std::string Hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08x", v);
  return buf;
}
}  // namespace

bool NullGfx::CreateDevice(const GfxPresentParams& p) {
  calls.push_back("CreateDevice " + std::to_string(p.width) + "x" + std::to_string(p.height) +
                  (p.windowed ? " windowed" : " fullscreen"));
  if (failCreate_) return false;
  params = p;
  deviceExists = true;
  backBuffer.assign(static_cast<size_t>(p.width) * p.height, 0);
  return true;
}

void NullGfx::ReleaseDevice() {
  calls.push_back("ReleaseDevice");
  deviceExists = false;
}

bool NullGfx::ResetDevice(const GfxPresentParams& p) {
  calls.push_back(std::string("ResetDevice") + (p.windowed ? " windowed" : " fullscreen"));
  if (lost_ && lostPresents_ > 0) return false;
  params = p;
  lost_ = false;
  if (loseTextures_) {
    textures.clear();
    loseTextures_ = false;
  }
  backBuffer.assign(static_cast<size_t>(p.width) * p.height, 0);
  return true;
}

CooperativeLevel NullGfx::TestCooperativeLevel() {
  if (!lost_) return CooperativeLevel::Ok;
  return lostPresents_ > 0 ? CooperativeLevel::Lost : CooperativeLevel::NotReset;
}

bool NullGfx::Clear(uint32_t argb, bool) {
  calls.push_back("Clear " + Hex(argb));
  std::fill(backBuffer.begin(), backBuffer.end(), argb);
  return true;
}

bool NullGfx::BeginScene() {
  calls.push_back("BeginScene");
  return deviceExists;
}

void NullGfx::EndScene() { calls.push_back("EndScene"); }

PresentResult NullGfx::Present() {
  calls.push_back("Present");
  ++presents;
  if (lossPending_) {
    lossPending_ = false;
    lost_ = true;
    return PresentResult::DeviceLost;
  }
  if (lost_) {
    if (lostPresents_ > 0) --lostPresents_;
    return PresentResult::DeviceLost;
  }
  return PresentResult::Ok;
}

TextureHandle NullGfx::CreateTexture(int width, int height) {
  if (width <= 0 || height <= 0) return 0;
  const TextureHandle h = nextTexture_++;
  Texture& t = textures[h];
  t.width = width;
  t.height = height;
  return h;  // its pixels come with the first upload, as a device's memory would
}

bool NullGfx::UploadTexture(TextureHandle texture, const uint32_t* pixels, int pitchPixels) {
  auto it = textures.find(texture);
  if (it == textures.end()) return false;
  Texture& t = it->second;
  // Appended row by row into kept storage: one copy, no clearing pass first.
  t.pixels.clear();
  t.pixels.reserve(static_cast<size_t>(t.width) * static_cast<size_t>(t.height));
  for (int y = 0; y < t.height; ++y) {
    const uint32_t* row = pixels + static_cast<size_t>(y) * static_cast<size_t>(pitchPixels);
    t.pixels.insert(t.pixels.end(), row, row + t.width);
  }
  return true;
}

void NullGfx::ReleaseTexture(TextureHandle texture) { textures.erase(texture); }

bool NullGfx::CreateBuffers(int capacity) {
  calls.push_back("CreateBuffers " + std::to_string(capacity));
  if (failBuffers_) return false;
  bufferCapacity = capacity;
  return true;
}

void NullGfx::ReleaseBuffers() {
  calls.push_back("ReleaseBuffers");
  bufferCapacity = 0;
}

void NullGfx::SetDrawState(const GfxDrawState& s) { state = s; }

void NullGfx::BindTexture(TextureHandle texture) { boundTexture = texture; }

bool NullGfx::DrawIndexed(PrimitiveKind kind, const GfxVertex* vertices, int vertexCount,
                          const uint16_t* indices, int indexCount, int primitiveCount) {
  calls.push_back("DrawIndexed " + std::to_string(vertexCount) + " " + std::to_string(indexCount));
  Draw d;
  d.kind = kind;
  d.vertices.assign(vertices, vertices + vertexCount);
  d.indices.assign(indices, indices + indexCount);
  d.primitives = primitiveCount;
  d.state = state;
  d.texture = boundTexture;
  draws.push_back(std::move(d));
  return true;
}

bool NullGfx::ReadBackBuffer(std::vector<uint32_t>& pixels, int& width, int& height) {
  if (!deviceExists) return false;
  pixels = backBuffer;
  width = params.width;
  height = params.height;
  return true;
}

void NullGfx::SimulateLoss(int lostPresents) {
  lossPending_ = true;
  lostPresents_ = lostPresents;
}

}  // namespace qx
