// Off-screen and primary surfaces in plain memory: the pixel store under every elDraw operation.
// Called by el/draw (screen set-up, draw objects, blits, present, effects), by the GDI stand-in
// (platform/gdi.h) and by the display (platform/display.h), which shows the primary.
//
// Answers follow the display library the drawing code was designed against: 0 for success, and the
// same error numbers (a lost surface, a rectangle outside the surface, a busy surface). Every rectangle
// and position is checked against both surfaces; anything outside is refused with DDERR_INVALIDRECT
// and nothing is touched.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

namespace plat {

class Dc;

using HResult = int32_t;
constexpr HResult DD_OK = 0;
constexpr HResult DDERR_SURFACELOST = static_cast<HResult>(0x887601C2u);
constexpr HResult DDERR_WASSTILLDRAWING = static_cast<HResult>(0x8876021Cu);
constexpr HResult DDERR_INVALIDRECT = static_cast<HResult>(0x88760096u);
constexpr HResult DDERR_INVALIDPARAMS = static_cast<HResult>(0x80070057u);
constexpr HResult DDERR_SURFACEBUSY = static_cast<HResult>(0x887601AEu);
constexpr HResult DDERR_NOTLOCKED = static_cast<HResult>(0x887602B0u);
constexpr HResult DDERR_NOCOLORKEY = static_cast<HResult>(0x887600D7u);
constexpr HResult DDERR_INVALIDPIXELFORMAT = static_cast<HResult>(0x88760091u);
constexpr HResult DDERR_DCALREADYCREATED = static_cast<HResult>(0x8876026Cu);
constexpr HResult DDERR_OUTOFMEMORY = static_cast<HResult>(0x8007000Eu);
constexpr HResult E_FAIL = static_cast<HResult>(0x80004005u);

// BltFast flags.
constexpr uint32_t DDBLTFAST_NOCOLORKEY = 0x0;
constexpr uint32_t DDBLTFAST_SRCCOLORKEY = 0x1;
constexpr uint32_t DDBLTFAST_WAIT = 0x10;
// Blt flags.
constexpr uint32_t DDBLT_COLORFILL = 0x400;
constexpr uint32_t DDBLT_KEYSRC = 0x8000;
constexpr uint32_t DDBLT_WAIT = 0x1000000;
// Lock flags.
constexpr uint32_t DDLOCK_WAIT = 0x1;

enum class PixelFormat : uint8_t { RGB565, RGB555, XRGB8888 };

struct FormatInfo {
  uint32_t bitCount;
  uint32_t rMask, gMask, bMask;
};
FormatInfo Describe(PixelFormat f);
int BytesPerPixel(PixelFormat f);
// 8-bit channels to a pixel value (the low bits of each channel are dropped) and back (the field is
// widened by repeating its top bits, so a full field gives 255).
uint32_t PackRgb(PixelFormat f, uint8_t r, uint8_t g, uint8_t b);
void UnpackRgb(PixelFormat f, uint32_t pixel, uint8_t* r, uint8_t* g, uint8_t* b);

struct Rect {
  int32_t left, top, right, bottom;
};

struct LockedRect {
  uint8_t* bits = nullptr;  // first byte of the locked rectangle
  int32_t pitch = 0;        // bytes from one row to the next
};

class Surface {
 public:
  // A width x height surface; null when the size is not positive, too large, or memory runs out.
  // Loseable surfaces are the display's: LoseAllSurfaces marks them lost. Memory bitmaps are not.
  static std::unique_ptr<Surface> Create(int32_t width, int32_t height, PixelFormat format, bool loseable = true);
  ~Surface();
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t Pitch() const { return pitch_; }
  PixelFormat Format() const { return format_; }

  // Lock: rect null = the whole surface. Fails while lost, while a DC is out or while already locked.
  HResult Lock(const Rect* rect, LockedRect* out, uint32_t flags);
  HResult Unlock();
  bool Locked() const { return locked_; }

  HResult IsLost() const { return lost_ ? DDERR_SURFACELOST : DD_OK; }
  // Gives the surface its memory back; the picture it held is gone (cleared to 0).
  HResult Restore();
  void MarkLost() { lost_ = true; }

  // Source colour key: pixels in [low, high] are left out by keyed blits.
  HResult SetColorKey(uint32_t low, uint32_t high);
  HResult GetColorKey(uint32_t* low, uint32_t* high) const;
  bool HasColorKey() const { return hasKey_; }

  // A window clipper (windowed primary): destination rectangles of Blt are cut to the surface
  // instead of being refused.
  void SetClipper(bool attached) { clipper_ = attached; }
  bool HasClipper() const { return clipper_; }

  // Copies src's srcRect (null = whole source) to (x, y), unscaled; DDBLTFAST_SRCCOLORKEY leaves out
  // src's colour key. Both surfaces must have the same format.
  HResult BltFast(int32_t x, int32_t y, Surface* src, const Rect* srcRect, uint32_t flags);
  // DDBLT_COLORFILL: fills dst (null = whole) with fill. Otherwise copies src's srcRect into dst,
  // stretched (nearest sample) when the sizes differ; DDBLT_KEYSRC leaves out src's colour key.
  HResult Blt(const Rect* dst, Surface* src, const Rect* srcRect, uint32_t flags, uint32_t fill);

  // The device context (platform/gdi.h) while one is out.
  Dc* CurrentDc() const { return dc_; }
  void AttachDc(Dc* dc) {
    dc_ = dc;
    Touch();
  }

  // Direct access for the platform layer itself (display, GDI): no lock bookkeeping. Whoever writes
  // through it outside a lock or a DC calls Touch afterwards.
  uint8_t* Row(int32_t y) { return pixels_ + static_cast<ptrdiff_t>(y) * pitch_; }
  const uint8_t* Row(int32_t y) const { return pixels_ + static_cast<ptrdiff_t>(y) * pitch_; }
  // The picture or its key changed: the runs of keyed pixels kept for fast keyed copies are stale.
  void Touch() {
    ++version_;
    keyedUses_ = 0;
  }

 private:
  Surface() = default;
  HResult Usable() const;
  // Runs of pixels outside the colour key, per row; built once a picture has been copied with its
  // key twice without changing in between (sprites), so that keyed copies become plain row copies.
  bool KeyRunsReady();
  void CopyKeyedRuns(int32_t x, int32_t y, const Rect& s, const Surface* src);
  uint32_t version_ = 0;
  uint32_t runsVersion_ = 0xFFFFFFFFu;
  int keyedUses_ = 0;
  bool runsUsable_ = false;
  std::vector<uint32_t> rowRuns_;  // per row: index of its first run in runs_; one more entry at the end
  std::vector<uint16_t> runs_;     // start and length of each run
  int32_t width_ = 0, height_ = 0, pitch_ = 0;
  PixelFormat format_ = PixelFormat::RGB565;
  uint8_t* pixels_ = nullptr;
  bool loseable_ = true;
  bool lost_ = false;
  bool locked_ = false;
  bool hasKey_ = false;
  bool clipper_ = false;
  uint32_t keyLow_ = 0, keyHigh_ = 0;
  Dc* dc_ = nullptr;
};

// The display was taken away (mode switch, another program in front): every display surface is lost.
void LoseAllSurfaces();

}  // namespace plat
