#include "platform/gl/GlGfx.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "base/Log.h"
#include "render/Letterbox.h"

namespace qx {
namespace {

// Positions arrive in back-buffer pixels with pixel centres on whole numbers and y down
// (the convention the canvas is written for); GL puts centres on halves, hence the +0.5.
// The back buffer is drawn with its first row at GL's y = 0, so that edges falling exactly
// on pixel centres are filled by the same top-left rule the canvas expects; presenting and
// reading back turn it the right way up.
const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec4 aPosition;
layout(location = 1) in vec4 aColor;
layout(location = 2) in vec2 aTexCoord;
uniform vec2 uViewport;
out vec4 vColor;
out vec2 vTexCoord;
void main() {
  vec2 p = aPosition.xy + vec2(0.5);
  gl_Position = vec4(p.x / uViewport.x * 2.0 - 1.0, p.y / uViewport.y * 2.0 - 1.0, 0.0, 1.0);
  vColor = aColor;
  vTexCoord = aTexCoord;
}
)";

// Stage 0: texture (white when none is bound), times the vertex colour when modulating;
// alpha test at reference 1 of 255, greater-or-equal passes.
const char* kFragmentShader = R"(#version 330 core
in vec4 vColor;
in vec2 vTexCoord;
uniform sampler2D uTexture;
uniform bool uUseTexture;
uniform bool uModulate;
uniform bool uAlphaTest;
out vec4 fragColor;
void main() {
  vec4 c = uUseTexture ? texture(uTexture, vTexCoord) : vec4(1.0);
  if (uModulate) c *= vColor;
  if (uAlphaTest && c.a < 0.5 / 255.0) discard;
  fragColor = c;
}
)";

GLenum Factor(BlendFactor f) {
  switch (f) {
    case BlendFactor::Zero: return GL_ZERO;
    case BlendFactor::One: return GL_ONE;
    case BlendFactor::SrcColor: return GL_SRC_COLOR;
    case BlendFactor::InvSrcColor: return GL_ONE_MINUS_SRC_COLOR;
    case BlendFactor::SrcAlpha: return GL_SRC_ALPHA;
    case BlendFactor::InvSrcAlpha: return GL_ONE_MINUS_SRC_ALPHA;
    case BlendFactor::DestAlpha: return GL_DST_ALPHA;
    case BlendFactor::InvDestAlpha: return GL_ONE_MINUS_DST_ALPHA;
    case BlendFactor::DestColor: return GL_DST_COLOR;
    case BlendFactor::InvDestColor: return GL_ONE_MINUS_DST_COLOR;
    case BlendFactor::SrcAlphaSat: return GL_SRC_ALPHA_SATURATE;
  }
  return GL_ONE;
}

GLenum Equation(BlendOp op) {
  switch (op) {
    case BlendOp::Add: return GL_FUNC_ADD;
    case BlendOp::RevSubtract: return GL_FUNC_REVERSE_SUBTRACT;
    case BlendOp::Subtract: return GL_FUNC_SUBTRACT;
    case BlendOp::Min: return GL_MIN;
    case BlendOp::Max: return GL_MAX;
  }
  return GL_FUNC_ADD;
}

GLuint Compile(GLenum type, const char* source) {
  GLuint s = glCreateShader(type);
  glShaderSource(s, 1, &source, nullptr);
  glCompileShader(s);
  GLint ok = 0;
  glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[1024];
    glGetShaderInfoLog(s, sizeof log, nullptr, log);
    LogError("gl", std::string("shader: ") + log);
    glDeleteShader(s);
    return 0;
  }
  return s;
}

}  // namespace

GlGfx::GlGfx(SDL_Window* window, bool headless, PresentOptions present)
    : window_(window), headless_(headless), present_(present) {}

GlGfx::~GlGfx() { ReleaseDevice(); }

bool GlGfx::CreateDevice(const GfxPresentParams& params) {
  if (context_) return false;
  context_ = SDL_GL_CreateContext(window_);
  if (!context_) {
    LogError("gl", std::string("cannot create an OpenGL 3.3 core context: ") + SDL_GetError());
    return false;
  }
  SDL_GL_MakeCurrent(window_, context_);
  if (epoxy_gl_version() < 33) {
    LogError("gl", "OpenGL 3.3 is needed, the driver offers " + std::to_string(epoxy_gl_version()));
    ReleaseDevice();
    return false;
  }
  LogDetail("gl", std::string("renderer: ") + reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
  params_ = params;
  SDL_GL_SetSwapInterval(params.vsync ? 1 : 0);
  if (!CreateProgram() || !CreateFramebuffer(params.width, params.height)) {
    ReleaseDevice();
    return false;
  }
  glGenVertexArrays(1, &vao_);
  glGenSamplers(1, &sampler_);
  glBindSampler(0, sampler_);
  glSamplerParameteri(sampler_, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glSamplerParameteri(sampler_, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  SetDrawState(GfxDrawState{});
  if (!headless_) SDL_ShowWindow(window_);
  return true;
}

bool GlGfx::CreateProgram() {
  GLuint vs = Compile(GL_VERTEX_SHADER, kVertexShader);
  GLuint fs = Compile(GL_FRAGMENT_SHADER, kFragmentShader);
  if (!vs || !fs) return false;
  program_ = glCreateProgram();
  glAttachShader(program_, vs);
  glAttachShader(program_, fs);
  glLinkProgram(program_);
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint ok = 0;
  glGetProgramiv(program_, GL_LINK_STATUS, &ok);
  if (!ok) {
    LogError("gl", "cannot link the shader program");
    return false;
  }
  glUseProgram(program_);
  uViewport_ = glGetUniformLocation(program_, "uViewport");
  uUseTexture_ = glGetUniformLocation(program_, "uUseTexture");
  uModulate_ = glGetUniformLocation(program_, "uModulate");
  uAlphaTest_ = glGetUniformLocation(program_, "uAlphaTest");
  glUniform1i(glGetUniformLocation(program_, "uTexture"), 0);
  glUniform1i(uUseTexture_, 0);
  return true;
}

bool GlGfx::CreateFramebuffer(int width, int height) {
  glGenTextures(1, &colorTexture_);
  glBindTexture(GL_TEXTURE_2D, colorTexture_);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glGenFramebuffers(1, &fbo_);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colorTexture_, 0);
  const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  glBindTexture(GL_TEXTURE_2D, bound_);
  if (!complete) {
    LogError("gl", "the off-screen back buffer is incomplete");
    return false;
  }
  glViewport(0, 0, width, height);
  if (uViewport_ >= 0) glUniform2f(uViewport_, static_cast<float>(width), static_cast<float>(height));
  return true;
}

void GlGfx::ReleaseFramebuffer() {
  if (fbo_) glDeleteFramebuffers(1, &fbo_);
  if (colorTexture_) glDeleteTextures(1, &colorTexture_);
  fbo_ = colorTexture_ = 0;
}

void GlGfx::ReleaseDevice() {
  if (!context_) return;
  SDL_GL_MakeCurrent(window_, context_);
  ReleaseBuffers();
  ReleaseFramebuffer();
  if (sampler_) glDeleteSamplers(1, &sampler_);
  if (vao_) glDeleteVertexArrays(1, &vao_);
  if (program_) glDeleteProgram(program_);
  sampler_ = vao_ = program_ = 0;
  SDL_GL_DeleteContext(context_);
  context_ = nullptr;
}

bool GlGfx::ResetDevice(const GfxPresentParams& params) {
  if (!context_) return false;
  // A GL context survives a change of window mode; only the back buffer size and the
  // swap interval need to follow the new parameters.
  SDL_GL_SetSwapInterval(params.vsync ? 1 : 0);
  if (params.width != params_.width || params.height != params_.height) {
    ReleaseFramebuffer();
    if (!CreateFramebuffer(params.width, params.height)) return false;
  }
  params_ = params;
  return true;
}

CooperativeLevel GlGfx::TestCooperativeLevel() { return CooperativeLevel::Ok; }

bool GlGfx::Clear(uint32_t argb, bool depth) {
  if (!context_) return false;
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  glViewport(0, 0, params_.width, params_.height);
  glClearColor(((argb >> 16) & 0xFF) / 255.0f, ((argb >> 8) & 0xFF) / 255.0f, (argb & 0xFF) / 255.0f,
               (argb >> 24) / 255.0f);
  glClear(GL_COLOR_BUFFER_BIT | (depth ? GL_DEPTH_BUFFER_BIT : 0));
  return true;
}

bool GlGfx::BeginScene() {
  if (!context_) return false;
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  glViewport(0, 0, params_.width, params_.height);
  return true;
}

void GlGfx::EndScene() {}

PresentResult GlGfx::Present() {
  if (!context_) return PresentResult::DriverError;
  int w = 0, h = 0;
  SDL_GL_GetDrawableSize(window_, &w, &h);
  // The drawable, not the window: on a HiDPI display it has more pixels than the window points.
  const LetterboxRect box = ComputePresentRect(w, h, params_.width, params_.height, present_.scale);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
  glViewport(0, 0, w, h);
  glDisable(GL_BLEND);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  const bool exact = box.width % params_.width == 0 && box.height % params_.height == 0;
  const bool nearest = exact || present_.filter == PresentFilter::Nearest;
  // The back buffer's first row is its top: the blit turns it over.
  glBlitFramebuffer(0, 0, params_.width, params_.height, box.x, h - box.y, box.x + box.width,
                    h - box.y - box.height, GL_COLOR_BUFFER_BIT, nearest ? GL_NEAREST : GL_LINEAR);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  if (state_.blending) glEnable(GL_BLEND);
  SDL_GL_SwapWindow(window_);
  return glGetError() == GL_OUT_OF_MEMORY ? PresentResult::DriverError : PresentResult::Ok;
}

TextureHandle GlGfx::CreateTexture(int width, int height) {
  if (!context_ || width <= 0 || height <= 0) return 0;
  GLuint t = 0;
  glGenTextures(1, &t);
  glBindTexture(GL_TEXTURE_2D, t);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
               nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glBindTexture(GL_TEXTURE_2D, bound_);
  if (glGetError() != GL_NO_ERROR) {
    glDeleteTextures(1, &t);
    return 0;
  }
  return t;
}

bool GlGfx::UploadTexture(TextureHandle texture, const uint32_t* pixels, int pitchPixels) {
  if (!context_ || texture == 0) return false;
  glBindTexture(GL_TEXTURE_2D, texture);
  GLint w = 0, h = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, pitchPixels);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glBindTexture(GL_TEXTURE_2D, bound_);
  return glGetError() == GL_NO_ERROR;
}

void GlGfx::ReleaseTexture(TextureHandle texture) {
  if (!context_ || texture == 0) return;
  if (bound_ == texture) BindTexture(0);
  GLuint t = texture;
  glDeleteTextures(1, &t);
}

bool GlGfx::CreateBuffers(int capacity) {
  if (!context_ || capacity <= 0) return false;
  ReleaseBuffers();
  capacity_ = capacity;
  // Room for lines drawn as quads: two vertices become four, two indices six.
  const GLsizeiptr vertexBytes = static_cast<GLsizeiptr>(capacity) * 2 * sizeof(GfxVertex);
  const GLsizeiptr indexBytes = static_cast<GLsizeiptr>(capacity) * 3 * sizeof(uint32_t);
  lineVertices_.reserve(static_cast<size_t>(capacity) * 2);
  indices32_.reserve(static_cast<size_t>(capacity) * 3);
  glBindVertexArray(vao_);
  glGenBuffers(1, &vbo_);
  glGenBuffers(1, &ebo_);
  glBindBuffer(GL_ARRAY_BUFFER, vbo_);
  glBufferData(GL_ARRAY_BUFFER, vertexBytes, nullptr, GL_STREAM_DRAW);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ebo_);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, indexBytes, nullptr, GL_STREAM_DRAW);
  const GLsizei stride = sizeof(GfxVertex);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offsetof(GfxVertex, x)));
  glEnableVertexAttribArray(1);
  // The colour word is 0xAARRGGBB: in memory B, G, R, A, which GL_BGRA reads as RGBA.
  glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                        reinterpret_cast<void*>(offsetof(GfxVertex, color)));
  glEnableVertexAttribArray(2);
  glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offsetof(GfxVertex, u)));
  return glGetError() == GL_NO_ERROR;
}

void GlGfx::ReleaseBuffers() {
  if (!context_) return;
  if (vbo_) glDeleteBuffers(1, &vbo_);
  if (ebo_) glDeleteBuffers(1, &ebo_);
  vbo_ = ebo_ = 0;
  capacity_ = 0;
}

void GlGfx::SetDrawState(const GfxDrawState& s) {
  state_ = s;
  if (!context_) return;
  if (s.blending) {
    glEnable(GL_BLEND);
    glBlendFunc(Factor(s.src), Factor(s.dst));
    glBlendEquation(Equation(s.op));
  } else {
    glDisable(GL_BLEND);
  }
  if (s.dithering) glEnable(GL_DITHER);
  else glDisable(GL_DITHER);
  glUniform1i(uModulate_, s.modulate ? 1 : 0);
  glUniform1i(uAlphaTest_, s.alphaTest ? 1 : 0);
  const GLint filter = s.linearFilter ? GL_LINEAR : GL_NEAREST;
  glSamplerParameteri(sampler_, GL_TEXTURE_MIN_FILTER, filter);
  glSamplerParameteri(sampler_, GL_TEXTURE_MAG_FILTER, filter);
}

void GlGfx::BindTexture(TextureHandle texture) {
  bound_ = texture;
  if (!context_) return;
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture);
  glUniform1i(uUseTexture_, texture != 0 ? 1 : 0);
}

namespace {

// A line as the canvas means it: one pixel per step along its longer axis, from its first
// pixel up to but not including its last. GL leaves which end of a line it lights to the
// driver, so lines are drawn as one-pixel-wide parallelograms that cover exactly those
// pixels (their edges fall between pixel centres, never on them).
void LineQuad(const GfxVertex& a, const GfxVertex& b, GfxVertex out[4]) {
  const float dx = b.x - a.x, dy = b.y - a.y;
  out[0] = a;
  out[1] = b;
  out[2] = b;
  out[3] = a;
  if (std::fabs(dx) >= std::fabs(dy)) {
    const float s = dx >= 0 ? 1.0f : -1.0f;
    const float m = dx != 0 ? dy / dx : 0.0f;
    const float x0 = a.x - 0.5f * s, x1 = b.x - 0.5f * s;
    const float y0 = a.y - 0.5f * s * m, y1 = b.y - 0.5f * s * m;
    out[0].x = x0, out[0].y = y0 - 0.5f;
    out[1].x = x1, out[1].y = y1 - 0.5f;
    out[2].x = x1, out[2].y = y1 + 0.5f;
    out[3].x = x0, out[3].y = y0 + 0.5f;
  } else {
    const float s = dy >= 0 ? 1.0f : -1.0f;
    const float m = dx / dy;
    const float y0 = a.y - 0.5f * s, y1 = b.y - 0.5f * s;
    const float x0 = a.x - 0.5f * s * m, x1 = b.x - 0.5f * s * m;
    out[0].x = x0 - 0.5f, out[0].y = y0;
    out[1].x = x1 - 0.5f, out[1].y = y1;
    out[2].x = x1 + 0.5f, out[2].y = y1;
    out[3].x = x0 + 0.5f, out[3].y = y0;
  }
}

}  // namespace

bool GlGfx::DrawIndexed(PrimitiveKind kind, const GfxVertex* vertices, int vertexCount,
                        const uint16_t* indices, int indexCount, int) {
  if (!context_ || !vbo_ || vertexCount > capacity_ || indexCount > capacity_) return false;
  const GfxVertex* upload = vertices;
  int uploadCount = vertexCount;
  indices32_.clear();
  if (kind == PrimitiveKind::Lines) {
    lineVertices_.clear();
    for (int i = 0; i + 1 < indexCount; i += 2) {
      if (indices[i] >= vertexCount || indices[i + 1] >= vertexCount) return false;
      GfxVertex quad[4];
      LineQuad(vertices[indices[i]], vertices[indices[i + 1]], quad);
      const auto base = static_cast<uint32_t>(lineVertices_.size());
      lineVertices_.insert(lineVertices_.end(), quad, quad + 4);
      for (uint32_t k : {0u, 1u, 3u, 1u, 2u, 3u}) indices32_.push_back(base + k);
    }
    upload = lineVertices_.data();
    uploadCount = static_cast<int>(lineVertices_.size());
  } else {
    indices32_.assign(indices, indices + indexCount);
  }
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  glBindVertexArray(vao_);
  glBindBuffer(GL_ARRAY_BUFFER, vbo_);
  glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(uploadCount) * sizeof(GfxVertex), upload);
  glBufferSubData(GL_ELEMENT_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(indices32_.size()) * sizeof(uint32_t),
                  indices32_.data());
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices32_.size()), GL_UNSIGNED_INT, nullptr);
  return true;
}

bool GlGfx::ReadBackBuffer(std::vector<uint32_t>& pixels, int& width, int& height) {
  if (!context_) return false;
  width = params_.width;
  height = params_.height;
  pixels.assign(static_cast<size_t>(width) * height, 0);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  // GL's first row is the back buffer's top row (see the vertex shader).
  glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels.data());
  return glGetError() == GL_NO_ERROR;
}

}  // namespace qx
