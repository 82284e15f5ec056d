// JPEG pictures through libjpeg-turbo: baseline, progressive, greyscale and CMYK, always opaque.
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <jerror.h>
#include <jpeglib.h>

#include <bit>
#include <csetjmp>
#include <vector>

#include "resources/ImageDecoders.h"

namespace qx {
namespace {

// A progressive file can ask for thousands of scans, each a pass over the whole picture;
// real encoders write a dozen or so.
constexpr int kMaxScans = 500;

struct ErrorManager {
  jpeg_error_mgr base;
  jmp_buf jump;
  std::string* error;
  bool cutShort;
};

void OnErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  char buffer[JMSG_LENGTH_MAX];
  cinfo->err->format_message(cinfo, buffer);
  *err->error = buffer;
  longjmp(err->jump, 1);
}

void OnMessage(j_common_ptr cinfo, int level) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  // A missing end of data means a truncated file: the decoder would pad it with grey.
  if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) err->cutShort = true;
}

void OnProgress(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxScans) {
    cinfo->err->msg_code = JERR_UNKNOWN_MARKER;  // any code: the message is replaced below
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    *err->error = "more than " + std::to_string(kMaxScans) + " scans";
    longjmp(err->jump, 1);
  }
}

struct JpegState {
  jpeg_decompress_struct cinfo{};
  ErrorManager err{};
  jpeg_progress_mgr progress{};
  std::vector<uint8_t> cmykRow;
  bool created = false;
  ~JpegState() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
};

uint32_t CmykToArgb(const uint8_t* p, bool inverted) {
  int c = p[0], m = p[1], y = p[2], k = p[3];
  if (!inverted) {  // plain CMYK: 255 means full ink
    c = 255 - c;
    m = 255 - m;
    y = 255 - y;
    k = 255 - k;
  }
  // Stored (Adobe) values are 255 - ink; colour = (1 - ink) * (1 - black).
  const auto mix = [k](int v) { return static_cast<uint32_t>((v * k + 127) / 255); };
  return 0xFF000000u | mix(c) << 16 | mix(m) << 8 | mix(y);
}

bool Decode(JpegState& s, const uint8_t* data, size_t size, TPixelSink& sink, TBitmap& info, std::string& error) {
  if (setjmp(s.err.jump)) return false;
  jpeg_create_decompress(&s.cinfo);
  s.created = true;
  s.progress.progress_monitor = OnProgress;
  s.cinfo.progress = &s.progress;
  jpeg_mem_src(&s.cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&s.cinfo, TRUE);
  const int64_t width = s.cinfo.image_width, height = s.cinfo.image_height;
  if (!ImageSizeAllowed(width, height)) {
    error = "picture of " + std::to_string(width) + " x " + std::to_string(height) + " exceeds the size limit";
    return false;
  }
  const bool cmyk = s.cinfo.jpeg_color_space == JCS_CMYK || s.cinfo.jpeg_color_space == JCS_YCCK;
  if (cmyk) {
    s.cinfo.out_color_space = JCS_CMYK;
  } else {
    s.cinfo.out_color_space = std::endian::native == std::endian::little ? JCS_EXT_BGRA : JCS_EXT_ARGB;
  }
  jpeg_start_decompress(&s.cinfo);
  if (static_cast<int64_t>(s.cinfo.output_width) != width || static_cast<int64_t>(s.cinfo.output_height) != height ||
      s.cinfo.output_components != 4) {
    error = "unexpected output layout";
    return false;
  }
  size_t pitch = 0;
  uint32_t* const first = sink.Place(static_cast<int>(width), static_cast<int>(height), true, pitch);
  if (!first || (pitch != 0 && pitch < static_cast<size_t>(width))) {
    error = "no room for the pixels";
    return false;
  }
  if (cmyk) s.cmykRow.resize(static_cast<size_t>(width) * 4);
  while (s.cinfo.output_scanline < s.cinfo.output_height) {
    const JDIMENSION y = s.cinfo.output_scanline;
    uint32_t* row = first + static_cast<size_t>(y) * pitch;
    JSAMPROW target = cmyk ? s.cmykRow.data() : reinterpret_cast<JSAMPROW>(row);
    if (jpeg_read_scanlines(&s.cinfo, &target, 1) != 1) {
      error = "file cut short";
      return false;
    }
    if (cmyk) {
      for (int64_t x = 0; x < width; ++x) row[x] = CmykToArgb(&s.cmykRow[static_cast<size_t>(x) * 4], s.cinfo.saw_Adobe_marker);
    }
    if (pitch == 0) sink.RowWritten(static_cast<int>(y));
  }
  jpeg_finish_decompress(&s.cinfo);
  if (s.err.cutShort) {
    error = "file cut short";
    return false;
  }
  info.width = static_cast<int>(width);
  info.height = static_cast<int>(height);
  info.bitsPerPixel = 24;
  info.hasAlpha = false;
  return true;
}

}  // namespace

bool DecodeJpegInto(const uint8_t* data, size_t size, TPixelSink& sink, TBitmap& info, std::string& error) {
  if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8) {
    error = "not a JPEG file";
    return false;
  }
  JpegState s;
  s.cinfo.err = jpeg_std_error(&s.err.base);
  s.err.base.error_exit = OnErrorExit;
  s.err.base.emit_message = OnMessage;
  s.err.error = &error;
  return Decode(s, data, size, sink, info, error);
}

}  // namespace qx
