// Pieces shared by the files of the device-context service (platform/gdi.h): code page 932
// decoding, faces, the glyph cache and the text painter of a DC. Private to platform/gdi_*.cpp.
#pragma once
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi.h"

namespace plat {
namespace gdi_detail {

// Code page 932 <-> UTF-8 for face names and paths; bytes that cannot be converted are skipped.
std::string Utf8FromCp932(const char* s, size_t len);
std::string Cp932FromUtf8(const std::string& s);

struct Char {
  uint32_t cp;
  int32_t bytes;
};
// Splits CP932 text into characters; a lead byte at the very end stands alone.
std::vector<Char> Decode(const char* s, int32_t len);
// len, or the length up to the terminating zero when len < 0; 0 for no text.
int32_t Length(const char* s, int32_t len);

struct FaceEntry {
  FT_Face face = nullptr;
  int32_t upem = 1, winAscent = 1, winDescent = 0;
  int32_t ulPos = 0, ulThick = 0;
};
// The face for a face name (code page 932) and character set; null when none can be found.
FaceEntry* FaceFor(const char* faceCp932, uint8_t charSet);

constexpr int32_t kDefaultCellHeight = 16;

// Positions this far out cannot reach any surface; leaving them out keeps all glyph arithmetic
// inside 32 bits.
constexpr int32_t kFarAway = 1 << 28;

struct Glyph {
  int32_t left = 0, top = 0, width = 0, rows = 0;  // bitmap placement relative to the pen on the baseline
  std::vector<uint8_t> coverage;
  int32_t advX = 0, advY = 0;  // 26.6, y downwards
};
// The rendered glyph of code point cp, cached; an empty glyph when the font has no face.
const Glyph& GetGlyph(const Font& f, uint32_t cp, int32_t escapement);

// The font of a DC that has none selected.
Font* DefaultFont();

}  // namespace gdi_detail

class Font {
 public:
  gdi_detail::FaceEntry* face = nullptr;
  int32_t ppem = 16;
  int32_t ascent = 14, descent = 2;
  bool bold = false, italic = false, underline = false;
  int32_t escapement = 0;  // tenths of a degree
};

struct Dc::Impl {
  // Draws text with its top-left cell corner at (x, y), cut to clip.
  static void Draw(Dc* dc, int32_t x, int32_t y, const char* s, int32_t len, const Rect& clip);
};

}  // namespace plat
