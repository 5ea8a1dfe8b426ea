// Checks of captured frames against what the scenes put on screen: the game's pictures at their
// positions and lines of text.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace gametest {

// A frame (or any picture) as 0x00RRGGBB pixels.
struct Image {
  int width = 0, height = 0;
  std::vector<uint32_t> px;
  uint32_t At(int x, int y) const { return px[static_cast<size_t>(y) * width + x]; }
};

struct Rect {
  int left, top, right, bottom;
};

// A BITMAP resource of the program; empty when it cannot be read.
Image ResourceBitmap(const char* name);
// The picture stretched to width x height, each pixel taking the source pixel under its centre.
Image Stretched(const Image& src, int width, int height);
// Two colours are the same on the 16-bit screen: each channel within one step of 5 bits.
bool SameOnScreen(uint32_t a, uint32_t b);
// Share (0..1) of the picture's pixels inside `part` that the frame shows at (x, y) + their position;
// pure green (transparent) pixels and pixels outside the frame are skipped.
double PictureMatch(const Image& frame, const Image& picture, int x, int y, Rect part);
double PictureMatch(const Image& frame, const Image& picture, int x, int y);
// The last frame the program presented.
Image CapturedFrame();
// Share of the full glyph pixels of the line DrawLabel draws that the frame shows in the label's
// colour. Draws the label alone and presents it, so call it between frames only.
double LabelMatch(const Image& frame, const char* text, int x, int y, int size, uint32_t colourRef);
// Saves the frame as <name>.png in the directory named by OOMORI_SHOTS, when that is set.
void KeepShot(const Image& frame, const char* name);

}  // namespace gametest
