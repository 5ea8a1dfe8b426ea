#include "tests/support/frame_check.h"

#include <cstdlib>
#include <string>

#include "el/elDraw.h"
#include "game/scenes.h"
#include "platform/headless/display_headless.h"
#include "platform/resources.h"
#include "tests/support/asset_formats.h"

namespace gametest {

Image ResourceBitmap(const char* name) {
  Image img;
  plat::Resource res;
  assetfmt::Bitmap bmp;
  if (!plat::FindResource("BITMAP", name, &res) || !assetfmt::ParseBmp(res.data, res.size, &bmp)) return img;
  img.width = bmp.width;
  img.height = bmp.height;
  for (uint8_t i : bmp.index) img.px.push_back(uint32_t{bmp.palette[i].r} << 16 | bmp.palette[i].g << 8 | bmp.palette[i].b);
  for (uint32_t p : bmp.argb) img.px.push_back(p & 0xFFFFFF);
  return img;
}

Image Stretched(const Image& src, int width, int height) {
  Image out{width, height, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      out.px.push_back(src.At((2 * x + 1) * src.width / (2 * width), (2 * y + 1) * src.height / (2 * height)));
  return out;
}

bool SameOnScreen(uint32_t a, uint32_t b) {
  for (int shift : {16, 8, 0})
    if (std::abs(static_cast<int>(a >> shift & 0xFF) / 8 - static_cast<int>(b >> shift & 0xFF) / 8) > 1) return false;
  return true;
}

double PictureMatch(const Image& frame, const Image& picture, int x, int y, Rect part) {
  long total = 0, same = 0;
  for (int py = part.top; py < part.bottom && py < picture.height; ++py)
    for (int px = part.left; px < part.right && px < picture.width; ++px) {
      const uint32_t want = picture.At(px, py);
      const int fx = x + px, fy = y + py;
      if (want == 0x00FF00 || fx < 0 || fy < 0 || fx >= frame.width || fy >= frame.height) continue;
      ++total;
      same += SameOnScreen(frame.At(fx, fy), want);
    }
  return total == 0 ? 0.0 : static_cast<double>(same) / total;
}

double PictureMatch(const Image& frame, const Image& picture, int x, int y) {
  return PictureMatch(frame, picture, x, y, {0, 0, picture.width, picture.height});
}

Image CapturedFrame() {
  const plat::headless::Frame& f = plat::headless::LastFrame();
  return Image{f.width, f.height, f.pixels};
}

double LabelMatch(const Image& frame, const char* text, int x, int y, int size, uint32_t colourRef) {
  const uint32_t rgb = (colourRef & 0xFF) << 16 | (colourRef & 0xFF00) | (colourRef >> 16 & 0xFF);
  // The glyphs alone, on a background far from their colour.
  const bool dark = (rgb >> 16 & 0xFF) + (rgb >> 8 & 0xFF) + (rgb & 0xFF) < 384;
  if (dark) elDraw::FillWhite(0, 0, 640, 480);
  else elDraw::ClearScreen();
  DrawLabel(text, x, y, size, colourRef);
  elDraw::Present();
  const Image drawn = CapturedFrame();
  long glyph = 0, same = 0;
  for (size_t i = 0; i < drawn.px.size() && i < frame.px.size(); ++i)
    if (SameOnScreen(drawn.px[i], rgb)) ++glyph, same += SameOnScreen(frame.px[i], rgb);
  return glyph ? static_cast<double>(same) / glyph : 0.0;
}

void KeepShot(const Image& frame, const char* name) {
  const char* dir = std::getenv("OOMORI_SHOTS");
  if (!dir || !*dir) return;
  plat::headless::Frame f;
  f.width = frame.width;
  f.height = frame.height;
  f.pixels = frame.px;
  plat::headless::WritePng(f, std::string(dir) + "/" + name + ".png");
}

}  // namespace gametest
