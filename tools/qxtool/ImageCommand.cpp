// qxtool image: how the runtime sees a picture, and its decoded pixels.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Command.h"
#include "base/CodePage.h"
#include "base/SafeFile.h"
#include "resources/FileBytes.h"
#include "resources/FrameLayout.h"
#include "resources/GameFs.h"
#include "resources/ImageDecoders.h"
#include "resources/PngWriter.h"

namespace qxtool {
namespace {

namespace fs = std::filesystem;

struct Options {
  std::string file;
  std::string output;
};

bool Decode(const std::string& path, qx::TBitmap& bitmap) {
  std::string error;
  if (qx::LoadPictureFile(path, bitmap, error)) return true;
  Fail(error);
  return false;
}

// The frame grid from the ".an" file beside the picture (found regardless of letter case).
qx::TFrameGrid FrameGridOf(const std::string& path, int width, int height) {
  const fs::path p(path);
  qx::TFrameGrid grid;
  const std::optional<std::string> name = qx::Utf8ToCp1251(p.filename().string());
  if (name) {
    qx::TGameFs folder(p.has_parent_path() ? p.parent_path().string() : ".");
    if (const std::optional<std::string> an = folder.ResolveFile(qx::FrameLayoutFileName(*name))) {
      std::vector<uint8_t> text;
      std::string error;
      if (qx::ReadFileBytes(*an, text, error, 1 << 16)) {
        grid = qx::ParseFrameLayout(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
      }
    }
  }
  return qx::ClampFrameGrid(grid, width, height);
}

void Info(const Options& o) {
  qx::TBitmap bitmap;
  if (!Decode(o.file, bitmap)) return;
  const qx::TFrameGrid grid = FrameGridOf(o.file, bitmap.width, bitmap.height);
  std::printf("%d %d %d %d %d\n", bitmap.width, bitmap.height, bitmap.hasAlpha ? 1 : 0, grid.columns, grid.rows);
}

bool EndsWith(const std::string& s, const std::string& tail) {
  if (s.size() < tail.size()) return false;
  for (size_t i = 0; i < tail.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(s[s.size() - tail.size() + i])) != tail[i]) return false;
  }
  return true;
}

void DecodeTo(const Options& o) {
  const bool raw = EndsWith(o.output, ".rgba");
  if (!raw && !EndsWith(o.output, ".png")) {
    Fail("OUT must end in .rgba or .png", 2);
    return;
  }
  qx::TBitmap bitmap;
  if (!Decode(o.file, bitmap)) return;
  std::string error;
  if (raw) {
    std::vector<uint8_t> bytes;
    bytes.reserve(bitmap.pixels.size() * 4);
    for (uint32_t p : bitmap.pixels) {
      bytes.push_back(static_cast<uint8_t>(p >> 16));
      bytes.push_back(static_cast<uint8_t>(p >> 8));
      bytes.push_back(static_cast<uint8_t>(p));
      bytes.push_back(static_cast<uint8_t>(p >> 24));
    }
    if (!qx::WriteFileAtomically(o.output, bytes.data(), bytes.size(), error)) Fail(error);
  } else if (!qx::WritePngFile(o.output, bitmap.pixels.data(), bitmap.width, bitmap.height, error)) {
    Fail(error);
  }
}

CommandRegistration reg("image", [](CLI::App& app) {
  auto opts = std::make_shared<Options>();
  CLI::App* cmd = app.add_subcommand("image", "Inspect and decode pictures as the runtime sees them");
  cmd->require_subcommand(1);

  CLI::App* info = cmd->add_subcommand(
      "info", "Print WIDTH HEIGHT ALPHA COLUMNS ROWS (ALPHA 1 when the picture has its own alpha; the frame grid from its .an file)");
  info->add_option("FILE", opts->file, "Picture file (BMP, JPEG, PNG or TGA, chosen by extension)")->required();
  info->callback([opts] { Info(*opts); });

  CLI::App* decode = cmd->add_subcommand("decode", "Write the decoded pixels: raw 8-bit RGBA rows for .rgba, else PNG");
  decode->add_option("FILE", opts->file, "Picture file")->required();
  decode->add_option("OUT", opts->output, "Output file ending in .rgba or .png")->required();
  decode->callback([opts] { DecodeTo(*opts); });
});

}  // namespace
}  // namespace qxtool
