#include "tests/support/draw_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "el/elDraw.h"
#include "el/elSystem.h"
#include "el/system/sysinfo.h"
#include "platform/headless/headless.h"

namespace drawtest {

std::vector<uint8_t> Bmp24(int32_t w, int32_t h, const std::function<uint32_t(int32_t, int32_t)>& colour) {
  const int32_t stride = (w * 3 + 3) & ~3;
  const uint32_t size = 54 + static_cast<uint32_t>(stride * h);
  std::vector<uint8_t> b(size, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  b[0] = 'B', b[1] = 'M';
  put32(2, size);
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(w));
  put32(22, static_cast<uint32_t>(h));
  b[26] = 1;
  b[28] = 24;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      uint32_t c = colour(x, y);
      size_t at = 54 + static_cast<size_t>((h - 1 - y) * stride + 3 * x);
      b[at] = static_cast<uint8_t>(c), b[at + 1] = static_cast<uint8_t>(c >> 8), b[at + 2] = static_cast<uint8_t>(c >> 16);
    }
  return b;
}

std::string ProgramDir() { return elSystem::GetProgramDir(0); }

void WriteProgramFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::string path = ProgramDir() + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

uint32_t PixelAt(plat::Surface* s, int32_t x, int32_t y) {
  const uint8_t* row = s->Row(y);
  return plat::BytesPerPixel(s->Format()) == 2 ? reinterpret_cast<const uint16_t*>(row)[x]
                                               : reinterpret_cast<const uint32_t*>(row)[x];
}

uint32_t RgbAt(plat::Surface* s, int32_t x, int32_t y) {
  uint8_t r, g, b;
  plat::UnpackRgb(s->Format(), PixelAt(s, x, y), &r, &g, &b);
  return uint32_t(r) << 16 | uint32_t(g) << 8 | b;
}

uint32_t Pixel(uint32_t rgb) {
  return plat::PackRgb(BackSurface->Format(), static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                       static_cast<uint8_t>(rgb));
}

void DrawTest::SetUp() {
  plat::headless::Reset();
  plat::headless::ResetDisplay();
  char cwd[512];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  elSystem::SetExecutablePathForTest((std::string(cwd) + "/oomori").c_str());
  MainWindow = true;
  FullScreen = 1;
  ErrorFlag = 0;
  ClientX = ClientY = 0;
  FrameSeconds = 1.0f / 60;
  elDraw::SetColorDepth(16, 0, 0);
  elDraw::SetColorKey(0);
  Configure();
  screenResult = elDraw::Screen(640, 480, 1);
}

void DrawTest::TearDown() {
  elDraw::EndFont();
  elDraw::Release();
  elDraw::FreeFonts();
  elSystem::SetExecutablePathForTest(nullptr);
}

}  // namespace drawtest
