// Bitmaps: BMP files and the program's BITMAP resources as 32-bit surfaces.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/bmp.h"
#include "platform/files.h"
#include "platform/gdi_detail.h"
#include "platform/resources.h"

namespace plat {

using namespace gdi_detail;

namespace {

std::unique_ptr<Surface> FromImage(const Image& img) {
  auto s = Surface::Create(img.width, img.height, PixelFormat::XRGB8888, false);
  if (!s) return nullptr;
  for (int32_t y = 0; y < img.height; ++y)
    std::memcpy(s->Row(y), &img.pixels[static_cast<size_t>(y) * img.width], static_cast<size_t>(img.width) * 4);
  return s;
}

}  // namespace

std::unique_ptr<Surface> LoadBitmapFile(const char* path) {
  if (!path || !*path) return nullptr;
  std::string p = Utf8FromCp932(path, std::strlen(path));
  std::replace(p.begin(), p.end(), '\\', '/');
  FILE* fp = OpenRegularFile(p, "rb");
  if (!fp) return nullptr;
  std::vector<uint8_t> data;
  uint8_t buf[65536];
  size_t n;
  // Bitmaps beyond 256 MB are not read.
  while ((n = std::fread(buf, 1, sizeof buf, fp)) > 0 && data.size() < (256u << 20)) data.insert(data.end(), buf, buf + n);
  std::fclose(fp);
  Image img;
  if (!DecodeBmp(data.data(), data.size(), &img)) return nullptr;
  return FromImage(img);
}

std::unique_ptr<Surface> LoadBitmapResource(const char* name) {
  Resource r;
  if (!name || !FindResource("BITMAP", name, &r)) return nullptr;
  Image img;
  if (!DecodeBmp(r.data, r.size, &img)) return nullptr;
  return FromImage(img);
}

}  // namespace plat
