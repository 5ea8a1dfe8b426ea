// Device contexts on surfaces: fonts, text, pixels and stretched copies (the drawing library's GDI).
// Called by el/draw: draw objects (bitmap loading, colour matching), the stretched put's software
// path, text and fonts, and the drawing primitives. Text comes in as code page 932 bytes.
// Fonts: FreeType glyphs, faces found by fontconfig; the two standard Japanese face names map to the
// installed Japanese gothic and mincho faces.
#pragma once
#include <cstdint>
#include <memory>

#include "platform/surface.h"

namespace plat {

using ColorRef = uint32_t;  // 0x00BBGGRR
constexpr ColorRef CLR_INVALID = 0xFFFFFFFFu;
inline ColorRef Rgb(uint8_t r, uint8_t g, uint8_t b) { return r | (uint32_t(g) << 8) | (uint32_t(b) << 16); }

// Font description: the same 60-byte layout the library keeps in its FontDesc.
struct LogFontA {
  int32_t lfHeight;       // > 0: cell height, < 0: character (em) height, 0: default
  int32_t lfWidth;
  int32_t lfEscapement;   // tenths of a degree, counter-clockwise
  int32_t lfOrientation;
  int32_t lfWeight;       // 0 default, 400 normal, 700 bold
  uint8_t lfItalic;
  uint8_t lfUnderline;
  uint8_t lfStrikeOut;
  uint8_t lfCharSet;      // 128 Japanese (code page 932), 2 symbol
  uint8_t lfOutPrecision;
  uint8_t lfClipPrecision;
  uint8_t lfQuality;
  uint8_t lfPitchAndFamily;
  char lfFaceName[32];    // code page 932
};
static_assert(sizeof(LogFontA) == 60, "LOGFONTA layout");

constexpr uint8_t SHIFTJIS_CHARSET = 128;
constexpr uint8_t SYMBOL_CHARSET = 2;
constexpr uint8_t ANSI_CHARSET = 0;

class Font;
// A font object; null when no face can be found at all. Fonts are shared data: DeleteFont any time.
Font* CreateFontIndirect(const LogFontA& lf);
void DeleteFont(Font* f);

// Installed font families (stand-in for enumerating a DC's fonts): name as code page 932 and the
// character set (128 for faces that cover Japanese, 2 for symbol faces, 0 for the rest).
struct FontFamily {
  char faceName[32];
  uint8_t charSet;
};
// Calls fn for each family until it returns false.
void EnumFontFamilies(bool (*fn)(const FontFamily& f, void* ctx), void* ctx);

struct Size {
  int32_t cx, cy;
};

constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// DrawText formats.
constexpr uint32_t DT_LEFT = 0x0;
constexpr uint32_t DT_CENTER = 0x1;
constexpr uint32_t DT_RIGHT = 0x2;
constexpr uint32_t DT_WORDBREAK = 0x10;
constexpr uint32_t DT_CALCRECT = 0x400;
constexpr uint32_t DT_NOPREFIX = 0x800;

constexpr uint32_t SRCCOPY = 0x00CC0020;

// A device context on one surface. While it is out the surface cannot be locked or blitted.
// A fresh DC draws black text on an opaque white background with the default font.
class Dc {
 public:
  explicit Dc(Surface* target);
  ~Dc();
  Surface* Target() const { return target_; }

  Font* SelectFont(Font* f);  // returns the previous one (null = the default font)
  ColorRef SetTextColor(ColorRef c);
  ColorRef SetBkColor(ColorRef c);
  int SetBkMode(int mode);

  // Text (code page 932 bytes, len bytes; len < 0 = up to the terminating zero).
  bool TextOut(int32_t x, int32_t y, const char* s, int32_t len);
  bool GetTextExtentPoint32(const char* s, int32_t len, Size* out);
  // Lays the text out in rect: line feeds, word breaks (DT_WORDBREAK), alignment; DT_CALCRECT only
  // measures (rect->bottom becomes top + height). Returns the height of the text.
  int32_t DrawText(const char* s, int32_t len, Rect* rect, uint32_t format);

  ColorRef GetPixel(int32_t x, int32_t y);
  ColorRef SetPixel(int32_t x, int32_t y, ColorRef c);

  // Raw access for StretchBlt.
  uint32_t PixelAt(int32_t x, int32_t y) const;

 private:
  struct Impl;
  Surface* target_;
  Font* font_ = nullptr;
  ColorRef text_ = 0, bk_ = 0xFFFFFF;
  int bkMode_ = OPAQUE;
};

// Takes / gives back the DC of a surface (fails when it is lost, locked or already has one out).
HResult GetSurfaceDc(Surface* s, Dc** out);
HResult ReleaseSurfaceDc(Surface* s, Dc* dc);

// Copies src's (sx, sy, sw, sh) onto dst's (x, y, w, h), nearest sample, cut to both surfaces;
// only SRCCOPY. Negative sizes (mirroring) are refused.
bool StretchBlt(Dc* dst, int32_t x, int32_t y, int32_t w, int32_t h, Dc* src, int32_t sx, int32_t sy, int32_t sw,
                int32_t sh, uint32_t rop);

// Lead byte of a two-byte character of code page 932.
inline bool IsDBCSLeadByte(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Bitmaps (device-independent, 32 bits per pixel, never lost): a BMP file at a path (code page
// 932, backslashes taken as directory separators), or the program's BITMAP resource of that name.
std::unique_ptr<Surface> LoadBitmapFile(const char* path);
std::unique_ptr<Surface> LoadBitmapResource(const char* name);

}  // namespace plat
