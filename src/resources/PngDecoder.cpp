// PNG pictures through libpng. Grey-with-alpha and RGBA pictures keep their alpha; every other
// colour type (palettes with a transparency chunk included) is opaque, as the games expect.
#include <png.h>

#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "resources/ImageDecoders.h"

namespace qx {
namespace {

struct Source {
  const uint8_t* data;
  size_t size;
  size_t pos;
};

// Ancillary chunks (text, ICC profiles) larger than this are refused.
constexpr size_t kChunkLimit = size_t{8} << 20;

// libpng only warns when a chunk claims more than the chunk limit, and then allocates the
// claimed length before reading it: a file of a few hundred bytes could ask for 2 GB. No
// allocation of an honest file exceeds its own size or the chunk limit (rows of the widest
// picture allowed are far smaller), with some room for libpng's bookkeeping; larger requests
// fail, which libpng reports as an error or skips the chunk.
size_t PngAllocationLimit(size_t fileSize) { return std::max(fileSize, kChunkLimit) + (size_t{1} << 20); }

png_voidp Allocate(png_structp png, png_alloc_size_t size) {
  const auto* limit = static_cast<const size_t*>(png_get_mem_ptr(png));
  if (limit && size > *limit) return nullptr;
  return std::malloc(size);
}

void Release(png_structp, png_voidp p) { std::free(p); }

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* src = static_cast<Source*>(png_get_io_ptr(png));
  if (length > src->size - src->pos) png_error(png, "file cut short");
  std::memcpy(out, src->data + src->pos, length);
  src->pos += length;
}

void OnError(png_structp png, png_const_charp message) {
  auto* error = static_cast<std::string*>(png_get_error_ptr(png));
  *error = message;
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// Everything touched after setjmp lives here, so a longjmp cannot leave it half-built.
struct PngState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::vector<png_bytep> rows;
  ~PngState() { png_destroy_read_struct(&png, &info, nullptr); }
};

bool Decode(PngState& s, Source& src, TPixelSink& sink, TBitmap& info, std::string& error) {
  if (setjmp(png_jmpbuf(s.png))) return false;
  png_set_read_fn(s.png, &src, ReadFromMemory);
  png_set_user_limits(s.png, kMaxImageSide, kMaxImageSide);
  png_set_chunk_malloc_max(s.png, kChunkLimit);
  png_read_info(s.png, s.info);
  png_uint_32 width = 0, height = 0;
  int depth = 0, colorType = 0, interlace = 0;
  png_get_IHDR(s.png, s.info, &width, &height, &depth, &colorType, &interlace, nullptr, nullptr);
  if (!ImageSizeAllowed(width, height)) {
    error = "picture of " + std::to_string(width) + " x " + std::to_string(height) + " exceeds the size limit";
    return false;
  }
  const bool keepAlpha = colorType == PNG_COLOR_TYPE_GRAY_ALPHA || colorType == PNG_COLOR_TYPE_RGB_ALPHA;
  // Expand everything to 8-bit RGBA laid out as 0xAARRGGBB words in memory.
  png_set_expand(s.png);
  png_set_scale_16(s.png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(s.png);
  if constexpr (std::endian::native == std::endian::little) {
    png_set_bgr(s.png);
    png_set_add_alpha(s.png, 0xFF, PNG_FILLER_AFTER);
  } else {
    png_set_swap_alpha(s.png);
    png_set_add_alpha(s.png, 0xFF, PNG_FILLER_BEFORE);
  }
  const int passes = png_set_interlace_handling(s.png);
  png_read_update_info(s.png, s.info);
  if (png_get_rowbytes(s.png, s.info) != static_cast<size_t>(width) * 4) {
    error = "unexpected row layout";
    return false;
  }
  size_t pitch = 0;
  uint32_t* const first = sink.Place(static_cast<int>(width), static_cast<int>(height), passes == 1, pitch);
  if (!first || (pitch < width && (pitch != 0 || passes != 1))) {
    error = "no room for the pixels";
    return false;
  }
  // A transparency chunk was expanded into alpha; these colour types stay opaque. Without one
  // the filler already made every pixel opaque.
  const bool makeOpaque = !keepAlpha && png_get_valid(s.png, s.info, PNG_INFO_tRNS);
  const auto opaque = [makeOpaque, width](uint32_t* row) {
    if (makeOpaque) {
      for (png_uint_32 x = 0; x < width; ++x) row[x] |= 0xFF000000u;
    }
  };
  if (pitch == 0) {
    for (png_uint_32 y = 0; y < height; ++y) {
      png_read_row(s.png, reinterpret_cast<png_bytep>(first), nullptr);
      opaque(first);
      sink.RowWritten(static_cast<int>(y));
    }
  } else {
    s.rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) s.rows[y] = reinterpret_cast<png_bytep>(first + y * pitch);
    png_read_image(s.png, s.rows.data());
    for (png_uint_32 y = 0; y < height; ++y) opaque(first + y * pitch);
  }
  info.width = static_cast<int>(width);
  info.height = static_cast<int>(height);
  info.hasAlpha = keepAlpha;
  info.bitsPerPixel = keepAlpha ? 32 : 24;
  return true;
}

}  // namespace

bool DecodePngInto(const uint8_t* data, size_t size, TPixelSink& sink, TBitmap& info, std::string& error) {
  if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0) {
    error = "not a PNG file";
    return false;
  }
  size_t limit = PngAllocationLimit(size);  // declared first: it outlives the png struct
  PngState s;
  s.png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &error, OnError, OnWarning, &limit,
                                   Allocate, Release);
  if (!s.png) return false;
  s.info = png_create_info_struct(s.png);
  if (!s.info) return false;
  Source src{data, size, 0};
  return Decode(s, src, sink, info, error);
}

}  // namespace qx
