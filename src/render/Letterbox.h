// Where the 1024 x 768 back buffer lands in a window of another size (aspect kept, black
// bars around, or a whole factor), the way back from a window point to a back-buffer pixel,
// and the size of a window that must fit the desktop.
#pragma once

namespace qx {

struct LetterboxRect {
  int x = 0, y = 0, width = 0, height = 0;
};

LetterboxRect ComputeLetterbox(int windowWidth, int windowHeight, int bufferWidth, int bufferHeight);

// How the back buffer is presented (qxrun --scale, --filter).
enum class PresentScale { Fit, Integer };
enum class PresentFilter { Linear, Nearest };
struct PresentOptions {
  PresentScale scale = PresentScale::Fit;
  PresentFilter filter = PresentFilter::Linear;
};

// Where the back buffer lands in a drawable: Fit is the letterbox; Integer the largest whole
// factor of at least 1 that fits, centred, else Fit (a drawable smaller than the buffer).
LetterboxRect ComputePresentRect(int drawableWidth, int drawableHeight, int bufferWidth, int bufferHeight,
                                 PresentScale scale);

// The window size for a buffer on a desktop of `availableWidth` x `availableHeight` (its
// usable area less the window's decorations): the buffer's own size when it fits, else the
// largest size of the buffer's aspect that does.
void FitWindowSize(int bufferWidth, int bufferHeight, int availableWidth, int availableHeight, int& width,
                   int& height);

// Maps a window point into back-buffer pixels, clamped to the buffer.
void WindowToBackBuffer(const LetterboxRect& box, double wx, double wy, int bufferWidth,
                        int bufferHeight, int& bx, int& by);

}  // namespace qx
