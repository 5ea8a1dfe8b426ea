// The glyph cache: FreeType outlines rendered to coverage maps per face, size, angle and style.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_GLYPH_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "platform/gdi_detail.h"

namespace plat {
namespace gdi_detail {

namespace {

struct GlyphKey {
  FT_Face face;
  int32_t ppem;
  int32_t escapement;
  uint32_t cp;
  bool bold, italic;
  bool operator==(const GlyphKey& o) const {
    return face == o.face && ppem == o.ppem && escapement == o.escapement && cp == o.cp && bold == o.bold &&
           italic == o.italic;
  }
};
struct GlyphKeyHash {
  size_t operator()(const GlyphKey& k) const {
    size_t h = std::hash<const void*>()(k.face);
    h = h * 31 + static_cast<size_t>(k.ppem);
    h = h * 31 + static_cast<size_t>(k.escapement);
    h = h * 31 + k.cp;
    return h * 4 + (k.bold ? 2 : 0) + (k.italic ? 1 : 0);
  }
};

}  // namespace

const Glyph& GetGlyph(const Font& f, uint32_t cp, int32_t escapement) {
  static std::unordered_map<GlyphKey, Glyph, GlyphKeyHash> cache;
  static Glyph empty;
  if (!f.face) return empty;
  GlyphKey key{f.face->face, f.ppem, escapement, cp, f.bold, f.italic};
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  if (cache.size() > 20000) cache.clear();
  Glyph g;
  FT_Face face = f.face->face;
  if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(f.ppem)) == 0) {
    FT_Matrix m{0x10000, 0, 0, 0x10000};
    if (f.italic) m.xy = 0x3800;  // about 12 degrees of slant
    if (escapement != 0) {
      double a = escapement * 3.14159265358979323846 / 1800.0;
      FT_Fixed c = static_cast<FT_Fixed>(std::lround(std::cos(a) * 65536)),
               s = static_cast<FT_Fixed>(std::lround(std::sin(a) * 65536));
      FT_Matrix r{c, -s, s, c};
      FT_Matrix_Multiply(&r, &m);  // m = r * m
    }
    bool transformed = f.italic || escapement != 0;
    FT_Set_Transform(face, transformed ? &m : nullptr, nullptr);
    FT_UInt index = FT_Get_Char_Index(face, cp);
    if (FT_Load_Glyph(face, index, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT) == 0) {
      FT_GlyphSlot slot = face->glyph;
      FT_Pos advX = slot->advance.x, advY = slot->advance.y;
      if (f.bold && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        FT_Pos strength = std::max<FT_Pos>(64, FT_MulFix(face->units_per_EM, face->size->metrics.y_scale) / 24);
        FT_Outline_EmboldenXY(&slot->outline, strength, strength);
        // The advance grows by the added stroke, along the baseline.
        double a = escapement * 3.14159265358979323846 / 1800.0;
        advX += static_cast<FT_Pos>(std::lround(strength * std::cos(a)));
        advY += static_cast<FT_Pos>(std::lround(strength * std::sin(a)));
      }
      if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) == 0) {
        const FT_Bitmap& bm = slot->bitmap;
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.width = static_cast<int32_t>(bm.width);
        g.rows = static_cast<int32_t>(bm.rows);
        g.coverage.resize(static_cast<size_t>(g.width) * g.rows);
        for (int32_t y = 0; y < g.rows; ++y)
          std::memcpy(&g.coverage[static_cast<size_t>(y) * g.width], bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch,
                      static_cast<size_t>(g.width));
      }
      if (!transformed) advX = (advX + 32) & ~63;  // whole pixels on a level baseline
      g.advX = static_cast<int32_t>(advX);
      g.advY = static_cast<int32_t>(-advY);
    }
    FT_Set_Transform(face, nullptr, nullptr);
  }
  return cache.emplace(key, std::move(g)).first->second;
}

}  // namespace gdi_detail
}  // namespace plat
