#include "render/GfxCanvas.h"

#include <algorithm>
#include <cmath>


namespace qx {
namespace {

constexpr uint16_t kQuadIndices[6] = {0, 1, 3, 1, 2, 3};
constexpr uint16_t kLineIndices[2] = {0, 1};
constexpr uint16_t kTriangleIndices[3] = {0, 1, 2};
constexpr uint32_t kWhite = 0xFFFFFFFFu;

GfxVertex Vertex(double x, double y, uint32_t color, float u = 0, float v = 0) {
  GfxVertex vx;
  vx.x = static_cast<float>(x);
  vx.y = static_cast<float>(y);
  vx.color = ToDeviceColor(color);
  vx.u = u;
  vx.v = v;
  return vx;
}

bool AllWhite(const uint32_t c[4]) { return c[0] == kWhite && c[1] == kWhite && c[2] == kWhite && c[3] == kWhite; }

// Untextured stage 0 gives white; any corner that is not white asks for the vertex colours.
uint32_t Tinted(uint32_t code, bool white) { return white ? code : (code | kFxModulated); }

}  // namespace

TGfxCanvas::TGfxCanvas(GfxPlatform& platform) : platform_(platform) {}

TGfxCanvas::~TGfxCanvas() { Finalize(); }

void TGfxCanvas::SetVertexCache(int v) {
  if (initialized_) return;
  v = (v + 3) / 4 * 4;
  vertexCache_ = std::clamp(v, 512, 65536);
}

void TGfxCanvas::SetAntialias(bool on) {
  if (initialized_) {
    Flush();
    antialias_ = on;
    state_.linearFilter = on;
    PushState();
    return;
  }
  antialias_ = on;
}

void TGfxCanvas::SetDithering(bool on) {
  if (initialized_) {
    Flush();
    dithering_ = on;
    state_.dithering = on;
    PushState();
    return;
  }
  dithering_ = on;
}

void TGfxCanvas::SetAlphaTesting(bool on) {
  if (!initialized_) alphaTesting_ = on;
}

void TGfxCanvas::PushState() { platform_.SetDrawState(state_); }

bool TGfxCanvas::Notify(TGfxPublisher*, int code) {
  switch (code) {
    case kGfxInitialized: Initialize(); break;
    case kGfxFinalizing: Finalize(); break;
    case kGfxLost:
      if (initialized_) platform_.ReleaseBuffers();
      lost_ = true;
      break;
    case kGfxReset:
      if (initialized_ && !platform_.CreateBuffers(vertexCache_)) {
        Finalize();
        break;
      }
      lost_ = false;
      resetPending_ = true;
      break;
    case kGfxEndScene:
      Flush();
      resetPending_ = true;
      break;
    default: break;
  }
  return true;
}

void TGfxCanvas::Initialize() {
  Finalize();
  if (!platform_.CreateBuffers(vertexCache_)) return;  // every draw stays a no-op
  // Allocated once here: no draw allocates.
  vertices_.assign(static_cast<size_t>(vertexCache_), GfxVertex{});
  indices_.assign(static_cast<size_t>(vertexCache_), 0);
  initialized_ = true;
  lost_ = false;
  resetPending_ = true;
}

void TGfxCanvas::Finalize() {
  if (!initialized_) return;
  platform_.ReleaseBuffers();
  vertices_.clear();
  indices_.clear();
  initialized_ = false;
  vertexCount_ = indexCount_ = primitiveCount_ = 0;
  kind_ = PrimitiveKind::None;
}

void TGfxCanvas::ResetStates() {
  vertexCount_ = indexCount_ = primitiveCount_ = 0;
  kind_ = PrimitiveKind::None;
  currentCode_ = -1;
  boundImage_ = nullptr;
  boundTexture_ = -2;
  state_ = GfxDrawState{};
  state_.blending = false;
  state_.alphaTest = false;
  state_.linearFilter = antialias_;
  state_.dithering = dithering_;
  PushState();
  platform_.BindTexture(0);
  batches_ = verticesQueued_ = indicesQueued_ = 0;
  resetPending_ = false;
}

void TGfxCanvas::ApplyCode(uint32_t code) {
  const uint32_t src = code & 0xFF, dst = (code >> 8) & 0xFF, op = (code >> 16) & 0xFF;
  if (src == 1 && dst == 0 && op == 0) {
    state_.blending = false;
    state_.alphaTest = false;
  } else {
    state_.blending = true;
    state_.alphaTest = alphaTesting_;
    // Indices past the tables come from damaged data: they act as "one" and "add".
    state_.src = src <= 10 ? static_cast<BlendFactor>(src) : BlendFactor::One;
    state_.dst = dst <= 10 ? static_cast<BlendFactor>(dst) : BlendFactor::One;
    state_.op = op <= 4 ? static_cast<BlendOp>(op) : BlendOp::Add;
  }
  state_.modulate = (code & kFxModulated) != 0;
  PushState();
}

void TGfxCanvas::Queue(PrimitiveKind kind, const GfxVertex* vertices, int vertexCount, const uint16_t* indices,
                       int indexCount, int primitives, uint32_t code, const TCanvasPicture* image, int texture) {
  if (!initialized_) return;
  if (resetPending_) ResetStates();
  if (vertexCount_ + vertexCount > vertexCache_ || indexCount_ + indexCount > vertexCache_ ||
      (kind_ != PrimitiveKind::None && kind != kind_)) {
    Flush();
  }
  if (currentCode_ != static_cast<int64_t>(code)) {
    Flush();
    ApplyCode(code);
    currentCode_ = code;
  }
  if (boundTexture_ == -2 || image != boundImage_ || texture != boundTexture_) {
    Flush();
    platform_.BindTexture(texture >= 0 && image ? image->Texture(texture) : 0);
    boundImage_ = image;
    boundTexture_ = texture;
  }
  kind_ = kind;
  const auto base = static_cast<uint16_t>(vertexCount_);
  std::copy_n(vertices, vertexCount, vertices_.begin() + vertexCount_);
  for (int i = 0; i < indexCount; ++i) indices_[static_cast<size_t>(indexCount_ + i)] = static_cast<uint16_t>(base + indices[i]);
  vertexCount_ += vertexCount;
  indexCount_ += indexCount;
  primitiveCount_ += primitives;
  verticesQueued_ += vertexCount;
  indicesQueued_ += indexCount;
}

void TGfxCanvas::Flush() {
  if (vertexCount_ > 0 && primitiveCount_ > 0 && !lost_ && initialized_) {
    platform_.DrawIndexed(kind_, vertices_.data(), vertexCount_, indices_.data(), indexCount_, primitiveCount_);
    ++batches_;
  }
  vertexCount_ = indexCount_ = primitiveCount_ = 0;
  kind_ = PrimitiveKind::None;
}

// --- untextured drawing -------------------------------------------------------------------

void TGfxCanvas::FillQuad(const TPoint2 p[4], const uint32_t colors[4], uint32_t code) {
  GfxVertex v[4];
  for (int i = 0; i < 4; ++i) v[i] = Vertex(p[i].x, p[i].y, colors[i]);
  Queue(PrimitiveKind::Triangles, v, 4, kQuadIndices, 6, 2, Tinted(code, AllWhite(colors)), nullptr, -1);
}

void TGfxCanvas::FillRect(int32_t left, int32_t top, int32_t width, int32_t height, uint32_t color, uint32_t code) {
  const double l = left, t = top, r = l + width, b = t + height;
  const TPoint2 p[4] = {{l, t}, {r, t}, {r, b}, {l, b}};
  const uint32_t c[4] = {color, color, color, color};
  FillQuad(p, c, code);
}

void TGfxCanvas::QueueLine(TPoint2 a, TPoint2 b, uint32_t colorA, uint32_t colorB, uint32_t code) {
  const GfxVertex v[2] = {Vertex(a.x, a.y, colorA), Vertex(b.x, b.y, colorB)};
  Queue(PrimitiveKind::Lines, v, 2, kLineIndices, 2, 1, code, nullptr, -1);
}

void TGfxCanvas::DrawLine(TPoint2 a, TPoint2 b, uint32_t colorA, uint32_t colorB, uint32_t code) {
  QueueLine(a, b, colorA, colorB, Tinted(code, colorA == kWhite && colorB == kWhite));
}

void TGfxCanvas::FrameQuad(const TPoint2 in[4], const uint32_t colors[4], uint32_t code) {
  TPoint2 p[4] = {in[0], in[1], in[2], in[3]};
  // An axis-aligned rectangle has its right column and bottom row moved in by one pixel, so
  // a W x H frame covers exactly W x H pixels.
  if (p[0].y == p[1].y && p[2].y == p[3].y && p[0].x == p[3].x && p[1].x == p[2].x) {
    p[1].x -= 1;
    p[2].x -= 1;
    p[2].y -= 1;
    p[3].y -= 1;
  }
  // Decided once for the four lines, so that an outline stays one batch.
  const uint32_t fx = Tinted(code, AllWhite(colors));
  for (int i = 0; i < 4; ++i) QueueLine(p[i], p[(i + 1) % 4], colors[i], colors[(i + 1) % 4], fx);
}

void TGfxCanvas::FrameRect(int32_t left, int32_t top, int32_t width, int32_t height, uint32_t color, uint32_t code) {
  const double l = left, t = top, r = l + width, b = t + height;
  const TPoint2 p[4] = {{l, t}, {r, t}, {r, b}, {l, b}};
  const uint32_t c[4] = {color, color, color, color};
  FrameQuad(p, c, code);
}

void TGfxCanvas::FillFramedRect(int32_t left, int32_t top, int32_t width, int32_t height, uint32_t fill,
                                uint32_t frame, uint32_t code) {
  FillRect(left, top, width, height, fill, code);
  FrameRect(left, top, width, height, frame, code);
}

void TGfxCanvas::FillTriangle(TPoint2 a, TPoint2 b, TPoint2 c, uint32_t color, uint32_t code) {
  const GfxVertex v[3] = {Vertex(a.x, a.y, color), Vertex(b.x, b.y, color), Vertex(c.x, c.y, color)};
  Queue(PrimitiveKind::Triangles, v, 3, kTriangleIndices, 3, 1, Tinted(code, color == kWhite), nullptr, -1);
}

// --- pictures ---------------------------------------------------------------------------------

void TGfxCanvas::RotatedQuad(double x, double y, double w, double h, double px, double py, double scale,
                             double angle, TPoint2 out[4]) {
  const double cs = std::cos(angle), sn = std::sin(angle);
  const double corners[4][2] = {{-px, -py}, {w - px, -py}, {w - px, h - py}, {-px, h - py}};
  for (int i = 0; i < 4; ++i) {
    const double cx = corners[i][0] * scale, cy = corners[i][1] * scale;
    out[i].x = cx * cs - cy * sn + x;
    out[i].y = cy * cs + cx * sn + y;
  }
}

void TGfxCanvas::DrawImage(const TCanvasPicture* image, uint32_t color, uint32_t code, int32_t frame, double x,
                           double y) {
  if (!image) return;
  const double w = image->VisibleWidth(), h = image->VisibleHeight();
  const TPoint2 p[4] = {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}};
  TFrameRegion region;
  region.frame = frame;
  const uint32_t c[4] = {color, color, color, color};
  DrawImageQuad(image, p, code, region, c);
}

void TGfxCanvas::DrawImageRotated(const TCanvasPicture* image, uint32_t color, uint32_t code, int32_t frame, double x,
                                  double y, double scale, double angle) {
  if (!image) return;
  const double w = image->VisibleWidth(), h = image->VisibleHeight();
  TPoint2 p[4];
  RotatedQuad(x, y, w, h, w / 2, h / 2, scale, angle, p);
  TFrameRegion region;
  region.frame = frame;
  const uint32_t c[4] = {color, color, color, color};
  DrawImageQuad(image, p, code, region, c);
}

void TGfxCanvas::DrawImageQuad(const TCanvasPicture* image, const TPoint2 p[4], uint32_t code,
                               const TFrameRegion& region, const uint32_t colors[4]) {
  if (!image || image->TextureCount() == 0 || image->PatternCount() <= 0) return;
  TFramePlace place;
  if (!image->FramePlace(region.frame, place)) return;
  const double tw = image->TextureWidth(), th = image->TextureHeight();
  if (tw <= 0 || th <= 0) return;
  const double left = place.left + region.left;
  const double top = place.top + region.top;
  const double right = left + (region.width > 0 ? region.width : image->VisibleWidth());
  const double bottom = top + (region.height > 0 ? region.height : image->VisibleHeight());
  float u0 = static_cast<float>(left / tw), u1 = static_cast<float>(right / tw);
  float v0 = static_cast<float>(top / th), v1 = static_cast<float>(bottom / th);
  if (region.mirrorHorizontal) std::swap(u0, u1);
  if (region.mirrorVertical) std::swap(v0, v1);
  const float u[4] = {u0, u1, u1, u0};
  const float v[4] = {v0, v0, v1, v1};
  GfxVertex vx[4];
  // Textured quads move half a pixel up and left so texels land on pixels one to one.
  for (int i = 0; i < 4; ++i) vx[i] = Vertex(p[i].x - 0.5, p[i].y - 0.5, colors[i], u[i], v[i]);
  Queue(PrimitiveKind::Triangles, vx, 4, kQuadIndices, 6, 2, Tinted(code, AllWhite(colors)), image, place.texture);
}

}  // namespace qx
