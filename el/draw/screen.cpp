// The display, its surfaces, the pixel format and lookup tables, restore and release.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "el/draw/draw_state.h"
#include "el/elMusic.h"
#include "el/elSound.h"
#include "el/elStream.h"
#include "el/elSystem.h"
#include "platform/display.h"
#include "platform/host.h"

int32_t ClipLeft, ClipTop, ClipRight, ClipBottom;
int32_t ScreenWidth, ScreenHeight;
int32_t ColorDepth = 16;
int32_t ColorDepthAlt1, ColorDepthAlt2;
int32_t Hardware3D;
int32_t CanStretch;

bool DDraw;
plat::Surface* PrimarySurface;
plat::Surface* BackSurface;
bool Clipper;
plat::Surface* StreamSurface;
plat::Dc* BackDC;

uint32_t RMask, GMask, BMask;
uint16_t RShift, GShift, BShift;
uint32_t RMax, GMax, BMax;
uint16_t RShift5, GShift5, BShift5;
uint32_t HalfMask, HalfMask2;
uint32_t WhitePixel;

int32_t SinTable[450];
uint8_t PixelRGB[65536][3];
uint16_t CrossFadeTable[3][32][32][32];
uint16_t AddFadeTable[3][32][32][32];
uint16_t SubTable[3][32][32];
uint16_t GreyTable[94];
uint8_t NoiseTable[10000];

namespace {

const char kScreen[] = "elDraw::Screen";

int Fail(const char* message) { return elSystem::ReportError(kScreen, message); }

// Trailing zero bits of a channel mask. A mask of 0 (palette formats have no channel masks) counts
// as shift 0, so the count always ends.
uint16_t Shift(uint32_t mask) {
  if (mask == 0) return 0;
  uint16_t s = 0;
  while (!(mask & 1)) mask >>= 1, ++s;
  return s;
}

void BuildTables16() {
  const uint16_t shift5[] = {RShift5, GShift5, BShift5};
  // PixelRGB: every pixel value that the three fields can form.
  const uint32_t rn = RMax == 63 ? 64 : 32, gn = GMax == 63 ? 64 : 32, bn = BMax == 63 ? 64 : 32;
  for (uint32_t r = 0; r < rn; ++r)
    for (uint32_t g = 0; g < gn; ++g)
      for (uint32_t b = 0; b < bn; ++b) {
        uint32_t p = ((r << RShift) | (g << GShift) | (b << BShift)) & 0xFFFF;
        PixelRGB[p][0] = static_cast<uint8_t>(rn == 64 ? r >> 1 : r);
        PixelRGB[p][1] = static_cast<uint8_t>(gn == 64 ? g >> 1 : g);
        PixelRGB[p][2] = static_cast<uint8_t>(bn == 64 ? b >> 1 : b);
      }
  for (int ch = 0; ch < 3; ++ch) {
    auto place = [&](int v) { return static_cast<uint16_t>(v << shift5[ch]); };
    for (int a = 0; a < 32; ++a)
      for (int x = 0; x < 32; ++x)
        for (int y = 0; y < 32; ++y) {
          int cross = (x - a > 0 ? x - a : 0) + (y - (31 - a) > 0 ? y - (31 - a) : 0);
          CrossFadeTable[ch][a][x][y] = place(cross);
          int add = (x > a ? x - a : 0) + y;
          AddFadeTable[ch][a][x][y] = place(add < 31 ? add : 31);
        }
    for (int x = 0; x < 32; ++x)
      for (int y = 0; y < 32; ++y) SubTable[ch][x][y] = place(x > y ? x - y : 0);
  }
  for (int r = 0; r < 32; ++r)
    for (int g = 0; g < 32; ++g)
      for (int b = 0; b < 32; ++b) GreyTable[r + g + b] = static_cast<uint16_t>((r + g + b) / 3);
  for (int i = 0; i < 10000; ++i) NoiseTable[i] = static_cast<uint8_t>(std::rand() % 3);
}

}  // namespace

namespace elDraw {

int32_t SetColorDepth(int32_t depth, int32_t alt1, int32_t alt2) {
  ColorDepth = depth;
  ColorDepthAlt1 = alt1;
  ColorDepthAlt2 = alt2;
  return depth;
}

void SetClip(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  ClipLeft = left;
  ClipTop = top;
  ClipRight = right;
  ClipBottom = bottom;
}

// The device enumeration's callback: keeps the first device that draws 3D with textures.
int EnumDevice(void* /*guid*/, char* /*description*/, char* /*name*/, void* context) {
  Hardware3D = 0;
  if (!plat::DisplayOpen()) return 1;
  plat::DisplayCaps caps = plat::DisplayGetCaps();
  if (caps.threeD && caps.texture) {
    *static_cast<bool*>(context) = true;
    Hardware3D = 1;
    return 0;
  }
  *static_cast<bool*>(context) = false;
  plat::DisplayClose();
  return 1;
}

int Screen(int32_t width, int32_t height, int32_t placement) {
  (void)placement;  // every surface lives in plain memory here; the placement table has nothing to choose
  // Set up again over a live screen: what this set-up makes anew is given back first. The game's own
  // pictures stay (Release or Restore decides their fate), and so does the window.
  for (int32_t n = 0; n < kInternalObjects; ++n)
    if (DrawObject[n].surface) elDraw::detail::ResetObject(n);
  elDraw::detail::DeleteSurface(PrimarySurface);
  elDraw::detail::DeleteSurface(BackSurface);
  DDraw = false;
  PrimarySurface = nullptr;
  BackSurface = nullptr;
  Clipper = false;
  ErrorFlag = 0;
  // Width -1 asks for the default size. The settings that would give it are never set anywhere, so
  // the default is the size this library's screens are made for: 640 x 480.
  if (width == -1) {
    width = 640;
    height = 480;
  }
  ScreenWidth = width;
  ScreenHeight = height;
  SetClip(0, 0, width, height);

  // One display device: the enumeration sees it once.
  EnumDevice(nullptr, nullptr, nullptr, &DDraw);
  if (!DDraw) {
    if (!plat::DisplayOpen()) return Fail("DirectDrawが使用できません");
    DDraw = true;
  }
  // Exclusive full screen needs the window.
  if (FullScreen && !MainWindow) return Fail("フルスクリーン化できません");

  if (FullScreen) {
    bool ok = plat::DisplaySetMode(width, height, ColorDepth);
    if (!ok && ColorDepthAlt1 != 0) {
      ColorDepth = ColorDepthAlt1;
      ok = plat::DisplaySetMode(width, height, ColorDepth);
      if (!ok && ColorDepthAlt2 != 0) {
        ColorDepth = ColorDepthAlt2;
        ok = plat::DisplaySetMode(width, height, ColorDepth);
      }
    }
    if (!ok) return Fail("解像度が変更できません");
  } else {
    ColorDepth = plat::DisplayBits();
  }

  // Surfaces exist only in the display's RGB formats (16 and 32 bits); on any other display
  // (palette or 24-bit desktops in windowed mode) the primary cannot be made.
  plat::PixelFormat format;
  if (!plat::DisplayFormat(&format) ||
      !(PrimarySurface = plat::Surface::Create(width, height, format).release()))
    return Fail("表画面が生成できません");
  if (!(BackSurface = elDraw::detail::NewSurface(width, height))) return Fail("裏画面が生成できません");
  if (!FullScreen) {
    if (!MainWindow) return Fail("クリップにウィンドウハンドルを設定できません");
    PrimarySurface->SetClipper(true);
    Clipper = true;
  }

  static const char* const kNames[] = {"内部用１", "内部用２", "内部用３", "内部用４"};
  static const char* const kFailures[] = {"Bufferスプライトが生成できません", "Screenスプライトが生成できません",
                                          "Fontスプライトが生成できません", "Fontバッファスプライトが生成できません"};
  static_assert(std::size(kNames) == kInternalObjects && std::size(kFailures) == kInternalObjects);
  for (int32_t n = 0; n < kInternalObjects; ++n) {
    DrawObjectRecord& o = DrawObject[n];
    o.surface = elDraw::detail::NewSurface(width, height);
    if (!o.surface) return Fail(kFailures[n]);
    SetSurfaceColorKey(o.surface, 0);
    std::strcpy(o.name, kNames[n]);
    o.sourceKind = 0;
    o.placement = 2;
    o.colorKey = 0;
    o.width = static_cast<uint16_t>(width);
    o.height = static_cast<uint16_t>(height);
  }

  plat::DisplayCaps caps = plat::DisplayGetCaps();
  CanStretch = ((Hardware3D == 1 && caps.driverStretch) || (Hardware3D == 0 && caps.emulationStretch)) ? 1 : 0;

  plat::FormatInfo fi = plat::Describe(BackSurface->Format());
  RMask = fi.rMask, GMask = fi.gMask, BMask = fi.bMask;
  RShift = Shift(RMask), GShift = Shift(GMask), BShift = Shift(BMask);
  RMax = RMask >> RShift, GMax = GMask >> GShift, BMax = BMask >> BShift;
  RShift5 = static_cast<uint16_t>(RShift + (RMax == 63 ? 1 : 0));
  GShift5 = static_cast<uint16_t>(GShift + (GMax == 63 ? 1 : 0));
  BShift5 = static_cast<uint16_t>(BShift + (BMax == 63 ? 1 : 0));
  HalfMask = ((RMax >> 1) << RShift) | ((GMax >> 1) << GShift) | ((BMax >> 1) << BShift);
  HalfMask2 = (HalfMask << 16) | HalfMask;
  WhitePixel = (RMax << RShift) | (GMax << GShift) | (BMax << BShift);

  for (int i = 0; i < 450; ++i) SinTable[i] = static_cast<int32_t>(std::sin(i * TwoPi / 360.0) * 360.0);
  if (plat::DisplayBits() == 16) BuildTables16();

  for (int32_t n = kInternalObjects; n < kDrawObjects; ++n) elDraw::detail::ResetObject(n);

  PausePicture = PauseTile = 0;
  PresentSrcRect = {0, 0, width, height};
  ClientRect = {ClientX, ClientY, ClientX + width, ClientY + height};

  elSound::Init();
  elSound::ClearObjects();
  elMusic::Init();
  elSystem::Init();
  EnumFonts();
  elStream::Init();
  elSystem::InitJoystick();
  if (CursorClipEnabled) elSystem::ClipCursorToScreen();
  return 1;
}

uint32_t CheckWindowColor(const char* settingFile) {
  int index = 0;
  if (ColorDepth == 8) index = 1;
  else if (ColorDepth == 16) index = 2;
  else if (ColorDepth == 24 || ColorDepth == 32) index = 3;
  if (index == 0 || FullScreen == 1 || plat::DisplayBits() >= ColorDepth) return 1;
  static const char* const kCounts[] = {"16", "256", "65536", "1670万"};
  elSystem::Message(
      "　ウィンドウ状態で実行しようとしていますが、"
      "画面が%s色以下に設定されています。\n"
      "正しく動作させるには、%s色以上に設定するか、"
      "フルスクリーンで実行させて下さい。",
      kCounts[index - 1], kCounts[index]);
  const char* file = settingFile ? settingFile : "";
  bool yes = false;
  if (file[0] != 0) {
    yes = elSystem::Question("%s", std::strcmp(file, "*") == 0 ? "フルスクリーンに切り換えますか？"
                                                                : "フルスクリーンに設定し直しますか？") != 0;
  }
  if (!yes) {
    elSystem::Shutdown();
    return 0;
  }
  if (std::strcmp(file, "*") != 0) elSystem::WriteNumber(file, 1);
  FullScreen = 1;
  return 1;
}

void GetDC() {
  if (BackSurface && plat::GetSurfaceDc(BackSurface, &BackDC) != plat::DD_OK) BackDC = nullptr;
}

void ReleaseDC() {
  if (BackSurface && BackDC) plat::ReleaseSurfaceDc(BackSurface, BackDC);
  BackDC = nullptr;
}

void Restore() {
  if (PrimarySurface) PrimarySurface->Restore();
  if (BackSurface && BackSurface->IsLost() != plat::DD_OK) BackSurface->Restore();
  if (StreamSurface && StreamSurface->IsLost() != plat::DD_OK) StreamSurface->Restore();
  for (int32_t n = 0; n < kInternalObjects; ++n) {
    plat::Surface* s = DrawObject[n].surface;
    if (s && s->IsLost() != plat::DD_OK) s->Restore();
  }
  for (int32_t n = kInternalObjects; n < kDrawObjects; ++n) {
    DrawObjectRecord& o = DrawObject[n];
    if (o.name[0] == 0 || !o.surface || o.surface->IsLost() == plat::DD_OK) continue;
    o.surface->Restore();
    if (o.name[0] == '*') continue;  // created objects: their content is simply gone
    SetColorKey(o.colorKey);
    if (o.colorKey == 0xFFFFFFFFu) SetColorKeyTopLeft();
    char name[sizeof o.name];
    std::memcpy(name, o.name, sizeof name);
    if (o.sourceKind == 0)
      SwapObject(name, n, static_cast<int32_t>(o.placement));
    else
      SwapPack(name, n, static_cast<int32_t>(o.placement));
  }
}

void Release() {
  if (DDraw) {
    for (int32_t n = 0; n < kDrawObjects; ++n)
      if (DrawObject[n].surface) elDraw::detail::ResetObject(n);
    Clipper = false;
    elDraw::detail::DeleteSurface(PrimarySurface);
    PrimarySurface = nullptr;
    elDraw::detail::DeleteSurface(BackSurface);
    BackSurface = nullptr;
    if (FullScreen) plat::DisplayRestoreMode();
    plat::DisplayClose();
    DDraw = false;
  }
  if (FullScreen && MainWindow) plat::MinimizeMainWindow();
}

}  // namespace elDraw
