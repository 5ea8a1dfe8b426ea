#include "tests/support/frame_check.h"

#include <cstdio>
#include <cstdlib>

#include "el/elDraw.h"
#include "game/scenes.h"
#include "platform/resources.h"

namespace gametest {

namespace {

uint32_t Le(const unsigned char* p, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

constexpr uint32_t kGreen = 0x00FF00;

uint32_t ColourRefToRgb(uint32_t c) { return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF); }

}  // namespace

Image ResourceBitmap(const char* name) {
  Image img;
  plat::Resource res;
  if (!plat::FindResource("BITMAP", name, &res) || res.size < 54) return img;
  const unsigned char* d = res.data;
  const uint32_t offBits = Le(d + 10, 4);
  const uint32_t headerSize = Le(d + 14, 4);
  const int32_t w = static_cast<int32_t>(Le(d + 18, 4));
  int32_t h = static_cast<int32_t>(Le(d + 22, 4));
  const int bpp = static_cast<int>(Le(d + 28, 2));
  const uint32_t compression = Le(d + 30, 4);
  uint32_t colours = Le(d + 46, 4);
  if (compression != 0 || w <= 0 || h == 0 || w > 4096 || std::abs(h) > 4096) return img;
  const bool bottomUp = h > 0;
  h = std::abs(h);
  if (colours == 0 && bpp <= 8) colours = 1u << bpp;
  const unsigned char* palette = d + 14 + headerSize;
  const size_t stride = ((static_cast<size_t>(w) * bpp + 31) / 32) * 4;
  if (offBits + stride * h > res.size || (bpp <= 8 && 14 + headerSize + colours * 4 > res.size)) return img;
  img.width = w;
  img.height = h;
  img.px.resize(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    const unsigned char* row = d + offBits + stride * (bottomUp ? h - 1 - y : y);
    for (int x = 0; x < w; ++x) {
      uint32_t rgb = 0;
      if (bpp <= 8) {
        uint32_t index;
        if (bpp == 8) index = row[x];
        else if (bpp == 4) index = (x & 1) ? row[x / 2] & 0xF : row[x / 2] >> 4;
        else index = row[x / 8] >> (7 - x % 8) & 1;
        if (index >= colours) index = 0;
        const unsigned char* e = palette + index * 4;
        rgb = static_cast<uint32_t>(e[2]) << 16 | e[1] << 8 | e[0];
      } else {
        const unsigned char* e = row + x * (bpp / 8);
        rgb = static_cast<uint32_t>(e[2]) << 16 | e[1] << 8 | e[0];
      }
      img.px[static_cast<size_t>(y) * w + x] = rgb;
    }
  }
  return img;
}

Image Stretched(const Image& src, int width, int height) {
  Image out;
  out.width = width;
  out.height = height;
  out.px.resize(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      out.px[static_cast<size_t>(y) * width + x] =
          src.At((2 * x + 1) * src.width / (2 * width), (2 * y + 1) * src.height / (2 * height));
  return out;
}

bool SameOnScreen(uint32_t a, uint32_t b) {
  for (int shift : {16, 8, 0}) {
    const int ca = static_cast<int>(a >> shift & 0xFF) >> 3;
    const int cb = static_cast<int>(b >> shift & 0xFF) >> 3;
    if (std::abs(ca - cb) > 1) return false;
  }
  return true;
}

double PictureMatch(const Image& frame, const Image& picture, int x, int y, Rect part) {
  long total = 0, same = 0;
  for (int py = part.top; py < part.bottom && py < picture.height; ++py) {
    for (int pxl = part.left; pxl < part.right && pxl < picture.width; ++pxl) {
      const uint32_t want = picture.At(pxl, py);
      if (want == kGreen) continue;
      const int fx = x + pxl, fy = y + py;
      if (fx < 0 || fy < 0 || fx >= frame.width || fy >= frame.height) continue;
      ++total;
      if (SameOnScreen(frame.At(fx, fy), want)) ++same;
    }
  }
  return total == 0 ? 0.0 : static_cast<double>(same) / total;
}

double PictureMatch(const Image& frame, const Image& picture, int x, int y) {
  return PictureMatch(frame, picture, x, y, {0, 0, picture.width, picture.height});
}

std::vector<std::pair<int, int>> LabelPixels(const char* text, int x, int y, int size, uint32_t colourRef,
                                             bool anyCoverage) {
  const uint32_t rgb = ColourRefToRgb(colourRef);
  const int brightness = static_cast<int>((rgb >> 16 & 0xFF) + (rgb >> 8 & 0xFF) + (rgb & 0xFF));
  // The glyphs on a background far from their colour.
  const bool dark = brightness < 384;
  if (dark) elDraw::FillWhite(0, 0, 640, 480);
  else elDraw::ClearScreen();
  DrawLabel(text, x, y, size, colourRef);
  elDraw::Present();
  const Image drawn = CapturedFrame();
  const uint32_t background = dark ? drawn.At(0, 0) : 0;
  std::vector<std::pair<int, int>> pixels;
  for (int py = 0; py < drawn.height; ++py)
    for (int px = 0; px < drawn.width; ++px) {
      const uint32_t p = drawn.At(px, py);
      if (anyCoverage ? p != background : SameOnScreen(p, rgb)) pixels.emplace_back(px, py);
    }
  return pixels;
}

std::vector<std::pair<int, int>> LabelPixels(const char* text, int x, int y, int size, uint32_t colourRef) {
  return LabelPixels(text, x, y, size, colourRef, false);
}

double LabelMatch(const Image& frame, const char* text, int x, int y, int size, uint32_t colourRef) {
  const std::vector<std::pair<int, int>> pixels = LabelPixels(text, x, y, size, colourRef);
  if (pixels.empty() || frame.px.empty()) return 0.0;
  const uint32_t rgb = ColourRefToRgb(colourRef);
  long same = 0;
  for (auto [px, py] : pixels) same += SameOnScreen(frame.At(px, py), rgb);
  return static_cast<double>(same) / pixels.size();
}

double ShadowMatch(const Image& frame, const char* text, int shadowX, int shadowY, int x, int y, int size,
                   uint32_t colourRef) {
  if (frame.px.empty()) return 0.0;
  std::vector<bool> covered(static_cast<size_t>(frame.width) * frame.height, false);
  for (auto [px, py] : LabelPixels(text, x, y, size, colourRef, true))
    covered[static_cast<size_t>(py) * frame.width + px] = true;
  long total = 0, black = 0;
  for (auto [px, py] : LabelPixels(text, shadowX, shadowY, size, 0x000000)) {
    if (covered[static_cast<size_t>(py) * frame.width + px]) continue;
    ++total;
    black += SameOnScreen(frame.At(px, py), 0);
  }
  return total ? static_cast<double>(black) / total : 0.0;
}

}  // namespace gametest

#include "platform/headless/display_headless.h"

namespace gametest {

Image CapturedFrame() {
  const plat::headless::Frame& f = plat::headless::LastFrame();
  Image img;
  img.width = f.width;
  img.height = f.height;
  img.px = f.pixels;
  return img;
}

void SavePng(const Image& frame, const std::string& path) {
  plat::headless::Frame f;
  f.width = frame.width;
  f.height = frame.height;
  f.pixels = frame.px;
  plat::headless::WritePng(f, path);
}

void KeepShot(const Image& frame, const char* name) {
  const char* dir = std::getenv("OOMORI_SHOTS");
  if (dir && *dir) SavePng(frame, std::string(dir) + "/" + name + ".png");
}

}  // namespace gametest
