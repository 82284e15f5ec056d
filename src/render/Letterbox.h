// Where the 1024 x 768 back buffer lands in a window of another size (aspect kept, black
// bars around), and the way back from a window point to a back-buffer pixel.
#pragma once

namespace qx {

struct LetterboxRect {
  int x = 0, y = 0, width = 0, height = 0;
};

LetterboxRect ComputeLetterbox(int windowWidth, int windowHeight, int bufferWidth, int bufferHeight);

// Maps a window point into back-buffer pixels, clamped to the buffer.
void WindowToBackBuffer(const LetterboxRect& box, double wx, double wy, int bufferWidth,
                        int bufferHeight, int& bx, int& by);

}  // namespace qx
