// Checks of captured frames against what the scenes put on screen: pictures (the game's own bitmap
// resources) at their positions and lines of text.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace gametest {

// A 640 x 480 frame (or any picture) as 0x00RRGGBB pixels.
struct Image {
  int width = 0, height = 0;
  std::vector<uint32_t> px;
  uint32_t At(int x, int y) const { return px[static_cast<size_t>(y) * width + x]; }
};

struct Rect {
  int left, top, right, bottom;
};

// Decodes a BITMAP resource of the program (uncompressed 4-, 8-, 24- or 32-bit BMP).
Image ResourceBitmap(const char* name);
// The picture stretched to width x height, each pixel taking the source pixel under its centre.
Image Stretched(const Image& src, int width, int height);

// Two colours are the same on the 16-bit screen: each channel within one step of 5 bits.
bool SameOnScreen(uint32_t a, uint32_t b);

// Share (0..1) of the picture's pixels inside `part` (picture coordinates) that the frame shows at
// (x, y) + their position; pure green pixels (transparent) and pixels outside the frame are skipped.
double PictureMatch(const Image& frame, const Image& picture, int x, int y, Rect part);
double PictureMatch(const Image& frame, const Image& picture, int x, int y);

// The last frame the program presented.
Image CapturedFrame();

// Pixels of a line of text drawn by DrawLabel on a cleared screen: its exact colour marks the full
// glyph pixels. Draws into the back screen and presents, so call it between frames only (the next
// frame paints the whole screen again).
std::vector<std::pair<int, int>> LabelPixels(const char* text, int x, int y, int size, uint32_t colourRef);
// With anyCoverage, every pixel the text touches at all (its smoothed edges too).
std::vector<std::pair<int, int>> LabelPixels(const char* text, int x, int y, int size, uint32_t colourRef,
                                             bool anyCoverage);
// Share of those pixels that the frame shows in the label's colour.
double LabelMatch(const Image& frame, const char* text, int x, int y, int size, uint32_t colourRef);
// A black shadow at (shadowX, shadowY) under the same text drawn at (x, y) in its colour: share of the
// shadow's glyph pixels outside the text's own that the frame shows black.
double ShadowMatch(const Image& frame, const char* text, int shadowX, int shadowY, int x, int y, int size,
                   uint32_t colourRef);

// Saves a frame as a PNG file (for looking at a failure).
void SavePng(const Image& frame, const std::string& path);
// Saves the frame as <name>.png in the directory named by OOMORI_SHOTS, when that is set.
void KeepShot(const Image& frame, const char* name);

}  // namespace gametest
