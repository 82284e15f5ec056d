// A picture of the media cache made ready in two steps: its files are read on the game
// thread (the game folder and the archive belong to it), then decoded, given alpha from a
// mask and laid out into texture pages anywhere, a worker thread included. Only the upload
// is left for the game thread.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "resources/GameFs.h"

namespace qx {

class TResArchive;

// Every file loading one picture may need, read from where the picture was found.
struct TPictureFiles {
  std::string name;            // as requested (the decoder goes by its extension)
  std::string imageName;       // the image's name in the image list (its diagnostics say it)
  bool read = false;            // false: the picture's own file could not be read
  std::vector<uint8_t> data;
  // An 8-bit BMP mask takes its colours from these JPEGs (the last one decoded wins); a JPEG
  // whose name has a '_' takes its alpha from the one BMP named here.
  std::vector<std::pair<std::string, std::vector<uint8_t>>> companions;
  bool hasLayout = false;
  std::vector<uint8_t> layout;  // the ".an" frame layout
};

// What the game thread needs to finish a picture.
struct TPreparedPicture {
  bool decoded = false;  // false: the picture is failed for good
  // --verbose lines in the order the steps would have printed them, for the game thread.
  std::vector<std::pair<std::string, std::string>> details;
  int frameWidth = 0, frameHeight = 0, frameCount = 0;
  bool laidOut = false;  // false (with `decoded`): the pages could not be made
  std::string layoutError;
  std::vector<std::vector<uint32_t>> pages;
};

// Reads the picture `name` and its companions from `where` (game thread only).
TPictureFiles ReadPictureFiles(TFileSource where, TGameFs& fs, TResArchive* archive, const std::string& name,
                               const std::string& imageName);

// Decodes, masks and lays out (any thread: it touches only its arguments).
TPreparedPicture PreparePicture(const TPictureFiles& files);

}  // namespace qx
