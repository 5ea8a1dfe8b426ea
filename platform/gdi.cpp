#include "platform/gdi.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_GLYPH_H
#include FT_TRUETYPE_TABLES_H
#include <iconv.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/bmp.h"
#include "platform/resources.h"

// Fontconfig keeps a few blocks of its configuration parse unreachable for the life of the process;
// the leak checker of sanitizer builds is told so (the hook is only read by that checker).
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace plat {

// ---------------------------------------------------------------------------------------------
// Code page 932
namespace {

iconv_t Converter(const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  return cd;
}

std::string Convert(iconv_t cd, const char* s, size_t len) {
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(s, len);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::string out(len * 4 + 8, '\0');
  char* in = const_cast<char*>(s);
  size_t inLeft = len;
  char* o = out.data();
  size_t oLeft = out.size();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &o, &oLeft) == static_cast<size_t>(-1)) {
      if (errno == E2BIG) break;
      // Skip the byte that cannot be converted.
      ++in;
      --inLeft;
    }
  }
  out.resize(out.size() - oLeft);
  return out;
}

std::string Utf8FromCp932(const char* s, size_t len) {
  static iconv_t cd = Converter("UTF-8", "CP932");
  return Convert(cd, s, len);
}

std::string Cp932FromUtf8(const std::string& s) {
  static iconv_t cd = Converter("CP932", "UTF-8");
  return Convert(cd, s.data(), s.size());
}

// The Unicode code point of a two-byte CP932 character (lead << 8 | trail); U+FFFD when unmapped.
uint32_t DoubleByteCodePoint(uint16_t code) {
  static std::vector<uint32_t> table;  // 0 = not looked up yet
  static iconv_t cd = Converter("UTF-32LE", "CP932");
  if (table.empty()) table.assign(65536, 0);
  uint32_t& e = table[code];
  if (e == 0) {
    e = 0xFFFD;
    if (cd != reinterpret_cast<iconv_t>(-1)) {
      char in[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
      unsigned char out[8];
      char* ip = in;
      char* op = reinterpret_cast<char*>(out);
      size_t il = 2, ol = sizeof out;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1) && ol == 4)
        e = uint32_t(out[0]) | uint32_t(out[1]) << 8 | uint32_t(out[2]) << 16 | uint32_t(out[3]) << 24;
    }
  }
  return e;
}

struct Char {
  uint32_t cp;
  int32_t bytes;
};

// Splits CP932 text into characters; a lead byte at the very end stands alone.
std::vector<Char> Decode(const char* s, int32_t len) {
  std::vector<Char> out;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(s);
  for (int32_t i = 0; i < len;) {
    uint8_t c = p[i];
    if (IsDBCSLeadByte(c) && i + 1 < len) {
      out.push_back({DoubleByteCodePoint(static_cast<uint16_t>(c << 8 | p[i + 1])), 2});
      i += 2;
      continue;
    }
    uint32_t cp = c < 0x80 ? c : (c >= 0xA1 && c <= 0xDF) ? 0xFF61 + (c - 0xA1) : 0xFFFD;
    out.push_back({cp, 1});
    ++i;
  }
  return out;
}

int32_t Length(const char* s, int32_t len) {
  if (!s) return 0;
  return len < 0 ? static_cast<int32_t>(std::strlen(s)) : len;
}

// ---------------------------------------------------------------------------------------------
// Faces

FT_Library Library() {
  static FT_Library lib = [] {
    FT_Library l = nullptr;
    if (FT_Init_FreeType(&l) != 0) l = nullptr;
    return l;
  }();
  return lib;
}

struct FaceEntry {
  FT_Face face = nullptr;
  int32_t upem = 1, winAscent = 1, winDescent = 0;
  int32_t ulPos = 0, ulThick = 0;
};

// Resolves a face name (UTF-8) to a font file through fontconfig.
std::string MatchFile(const std::string& family, bool japanese, int* index) {
  *index = 0;
  if (!FcInit()) return {};
  FcPattern* pat = FcPatternCreate();
  if (!family.empty()) FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  if (japanese) FcPatternAddString(pat, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
  FcConfigSubstitute(nullptr, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult res;
  FcPattern* m = FcFontMatch(nullptr, pat, &res);
  std::string file;
  if (m) {
    FcChar8* f = nullptr;
    if (FcPatternGetString(m, FC_FILE, 0, &f) == FcResultMatch && f) file = reinterpret_cast<const char*>(f);
    FcPatternGetInteger(m, FC_INDEX, 0, index);
    FcPatternDestroy(m);
  }
  FcPatternDestroy(pat);
  return file;
}

FaceEntry* FaceFor(const char* faceCp932, uint8_t charSet) {
  // Faces stay open for the life of the process (the tables are never destroyed, so the faces stay
  // reachable to the end).
  static auto& byRequest = *new std::map<std::string, FaceEntry*>;
  static auto& byFile = *new std::map<std::string, FaceEntry*>;
  std::string req(faceCp932, strnlen(faceCp932, 32));
  std::string key = req + '\x01' + std::to_string(charSet);
  auto it = byRequest.find(key);
  if (it != byRequest.end()) return it->second;
  // The two standard Japanese faces map to the installed Japanese gothic and mincho families.
  std::string family;
  if (req == "標準ゴシック")
    family = "IPAGothic";
  else if (req == "標準明朝")
    family = "IPAMincho";
  else
    family = Utf8FromCp932(req.data(), req.size());
  int index = 0;
  std::string file = MatchFile(family, charSet == SHIFTJIS_CHARSET || req == "標準ゴシック" || req == "標準明朝", &index);
  FaceEntry* e = nullptr;
  std::string fileKey = file + '#' + std::to_string(index);
  auto f = byFile.find(fileKey);
  if (f != byFile.end()) {
    e = f->second;
  } else if (!file.empty() && Library()) {
    FT_Face face = nullptr;
    if (FT_New_Face(Library(), file.c_str(), index, &face) == 0) {
      e = new FaceEntry;
      e->face = face;
      e->upem = face->units_per_EM ? face->units_per_EM : 1000;
      // The cell is the typographic ascent plus descent. For the Japanese faces that is exactly the
      // em square, as with the faces the game's labels were laid out for (a 16-pixel cell holds a
      // 16-pixel wide full-width character); their win metrics would make every label a size smaller.
      TT_OS2* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
      if (os2 && os2->sTypoAscender - os2->sTypoDescender > 0) {
        e->winAscent = os2->sTypoAscender;
        e->winDescent = -os2->sTypoDescender;
      } else if (os2 && os2->usWinAscent + os2->usWinDescent > 0) {
        e->winAscent = os2->usWinAscent;
        e->winDescent = os2->usWinDescent;
      } else {
        e->winAscent = face->ascender;
        e->winDescent = -face->descender;
      }
      e->ulPos = face->underline_position;
      e->ulThick = face->underline_thickness;
    }
    byFile[fileKey] = e;
  }
  byRequest[key] = e;
  return e;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Fonts and glyphs

class Font {
 public:
  FaceEntry* face = nullptr;
  int32_t ppem = 16;
  int32_t ascent = 14, descent = 2;
  bool bold = false, italic = false, underline = false;
  int32_t escapement = 0;  // tenths of a degree
};

namespace {

constexpr int32_t kDefaultCellHeight = 16;

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

struct Glyph {
  int32_t left = 0, top = 0, width = 0, rows = 0;  // bitmap placement relative to the pen on the baseline
  std::vector<uint8_t> coverage;
  int32_t advX = 0, advY = 0;  // 26.6, y downwards
};

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

Font* DefaultFont() {
  static Font* f = [] {
    LogFontA lf{};
    lf.lfHeight = kDefaultCellHeight;
    lf.lfWeight = 400;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    std::strcpy(lf.lfFaceName, "標準ゴシック");
    return CreateFontIndirect(lf);
  }();
  return f;
}

}  // namespace

Font* CreateFontIndirect(const LogFontA& lf) {
  char name[33];
  std::memcpy(name, lf.lfFaceName, 32);
  name[32] = 0;
  FaceEntry* e = FaceFor(name, lf.lfCharSet);
  if (!e) return nullptr;
  Font* f = new Font;
  f->face = e;
  const double cell = static_cast<double>(e->winAscent + e->winDescent);
  // Positive heights ask for the cell (ascent + descent), negative ones for the em square.
  int32_t h = lf.lfHeight == 0 ? kDefaultCellHeight : lf.lfHeight;
  if (h > 0)
    f->ppem = std::max(1, static_cast<int32_t>(std::lround(h * e->upem / cell)));
  else
    f->ppem = std::max(1, -std::max(h, -4096));
  f->ppem = std::min(f->ppem, 4096);
  f->ascent = static_cast<int32_t>(std::lround(e->winAscent * static_cast<double>(f->ppem) / e->upem));
  f->descent = static_cast<int32_t>(std::lround(e->winDescent * static_cast<double>(f->ppem) / e->upem));
  if (h > 0) f->descent = std::max(0, std::min(h, 4096) - f->ascent);
  f->bold = lf.lfWeight >= 600;
  f->italic = lf.lfItalic != 0;
  f->underline = lf.lfUnderline != 0;
  f->escapement = lf.lfEscapement % 3600;
  return f;
}

void DeleteFont(Font* f) {
  if (f != DefaultFont()) delete f;
}

void EnumFontFamilies(bool (*fn)(const FontFamily& f, void* ctx), void* ctx) {
  if (!FcInit()) return;
  FcPattern* pat = FcPatternCreate();
  FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, FC_LANG, nullptr);
  FcFontSet* set = FcFontList(nullptr, pat, os);
  FcObjectSetDestroy(os);
  FcPatternDestroy(pat);
  if (!set) return;
  std::vector<std::string> seen;
  const FcChar8* ja = reinterpret_cast<const FcChar8*>("ja");
  for (int i = 0; i < set->nfont; ++i) {
    FcChar8* fam = nullptr;
    if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &fam) != FcResultMatch || !fam) continue;
    std::string name = Cp932FromUtf8(reinterpret_cast<const char*>(fam));
    if (name.empty() || name.size() > 31 || std::find(seen.begin(), seen.end(), name) != seen.end()) continue;
    seen.push_back(name);
    FontFamily f{};
    std::memcpy(f.faceName, name.data(), name.size());
    FcLangSet* ls = nullptr;
    bool japanese = FcPatternGetLangSet(set->fonts[i], FC_LANG, 0, &ls) == FcResultMatch && ls &&
                    FcLangSetHasLang(ls, ja) == FcLangEqual;
    f.charSet = japanese ? SHIFTJIS_CHARSET : ANSI_CHARSET;
    if (!fn(f, ctx)) break;
  }
  FcFontSetDestroy(set);
}

// ---------------------------------------------------------------------------------------------
// Device contexts

namespace {

uint32_t ReadPixel(const Surface* s, int32_t x, int32_t y) {
  const uint8_t* row = s->Row(y);
  return BytesPerPixel(s->Format()) == 2 ? reinterpret_cast<const uint16_t*>(row)[x]
                                         : reinterpret_cast<const uint32_t*>(row)[x];
}

void WritePixel(Surface* s, int32_t x, int32_t y, uint32_t p) {
  uint8_t* row = s->Row(y);
  if (BytesPerPixel(s->Format()) == 2)
    reinterpret_cast<uint16_t*>(row)[x] = static_cast<uint16_t>(p);
  else
    reinterpret_cast<uint32_t*>(row)[x] = p;
}

uint32_t PixelOf(const Surface* s, ColorRef c) {
  return PackRgb(s->Format(), static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c >> 16));
}

ColorRef ColorOf(const Surface* s, uint32_t p) {
  uint8_t r, g, b;
  UnpackRgb(s->Format(), p, &r, &g, &b);
  return Rgb(r, g, b);
}

// Paints coverage-weighted text colour. On a surface with a colour key every pixel must be either
// untouched or a real colour: a pixel mixed with the black key colour would show as a dark fringe
// once the picture is put somewhere else, so there coverage is cut at one half. Elsewhere the glyph
// edge is blended with what is under it.
struct Painter {
  Surface* s;
  Rect clip;
  uint32_t pixel;
  uint8_t r, g, b;
  bool hard;
  void Cover(int32_t x, int32_t y, uint32_t a) {
    if (x < clip.left || y < clip.top || x >= clip.right || y >= clip.bottom || a == 0) return;
    if (hard || a >= 255) {
      if (a >= 128) WritePixel(s, x, y, pixel);
      return;
    }
    uint8_t dr, dg, db;
    UnpackRgb(s->Format(), ReadPixel(s, x, y), &dr, &dg, &db);
    auto mix = [a](uint8_t d, uint8_t c) { return static_cast<uint8_t>((d * (255 - a) + c * a + 127) / 255); };
    WritePixel(s, x, y, PackRgb(s->Format(), mix(dr, r), mix(dg, g), mix(db, b)));
  }
};

}  // namespace

struct Dc::Impl {
  // Draws text with its top-left cell corner at (x, y), cut to clip.
  static void Draw(Dc* dc, int32_t x, int32_t y, const char* s, int32_t len, const Rect& clip) {
    Font* f = dc->font_ ? dc->font_ : DefaultFont();
    if (!f) return;
    std::vector<Char> chars = Decode(s, len);
    const double a = f->escapement * 3.14159265358979323846 / 1800.0;
    const double ca = std::cos(a), sa = std::sin(a);
    // Baseline origin: the cell's top-left corner moved down by the ascent, rotated with the text.
    double ox = x + f->ascent * sa, oy = y + f->ascent * ca;
    // The level extent, for the background and the underline.
    int32_t width = 0;
    for (const Char& c : chars) width += (GetGlyph(*f, c.cp, 0).advX + 32) >> 6;
    const int32_t cellH = f->ascent + f->descent;
    Surface* t = dc->target_;
    if (dc->bkMode_ == OPAQUE && width > 0) {
      uint32_t bk = PixelOf(t, dc->bk_);
      Fill(t, clip, x, y, width, cellH, ca, sa, [&](int32_t px, int32_t py) { WritePixel(t, px, py, bk); });
    }
    Painter p{t, clip, PixelOf(t, dc->text_), static_cast<uint8_t>(dc->text_), static_cast<uint8_t>(dc->text_ >> 8),
              static_cast<uint8_t>(dc->text_ >> 16), t->HasColorKey()};
    double penX = ox * 64, penY = oy * 64;
    for (const Char& c : chars) {
      const Glyph& g = GetGlyph(*f, c.cp, f->escapement);
      int32_t gx = static_cast<int32_t>(std::floor(penX / 64.0 + 0.5)) + g.left;
      int32_t gy = static_cast<int32_t>(std::floor(penY / 64.0 + 0.5)) - g.top;
      for (int32_t row = 0; row < g.rows; ++row)
        for (int32_t col = 0; col < g.width; ++col)
          p.Cover(gx + col, gy + row, g.coverage[static_cast<size_t>(row) * g.width + col]);
      penX += g.advX;
      penY += g.advY;
    }
    if (f->underline && width > 0) {
      const FaceEntry* e = f->face;
      int32_t pos = static_cast<int32_t>(std::lround(-e->ulPos * static_cast<double>(f->ppem) / e->upem));
      int32_t thick = std::max(1, static_cast<int32_t>(std::lround(e->ulThick * static_cast<double>(f->ppem) / e->upem)));
      pos = std::max(1, pos);
      Fill(t, clip, x, y + f->ascent + pos, width, thick, ca, sa, [&](int32_t px, int32_t py) { p.Cover(px, py, 255); },
           x, y);
    }
  }

  // Fills the rectangle (x, y, w, h) rotated by the text angle about (rx, ry) (default: (x, y)).
  template <typename F>
  static void Fill(Surface* t, const Rect& clip, int32_t x, int32_t y, int32_t w, int32_t h, double ca, double sa,
                   F put, int32_t rx = INT32_MIN, int32_t ry = 0) {
    if (rx == INT32_MIN) rx = x, ry = y;
    Rect c{std::max(clip.left, 0), std::max(clip.top, 0), std::min(clip.right, t->Width()),
           std::min(clip.bottom, t->Height())};
    if (sa == 0.0 && ca == 1.0) {
      for (int32_t py = std::max(y, c.top); py < std::min<int64_t>(int64_t(y) + h, c.bottom); ++py)
        for (int32_t px = std::max(x, c.left); px < std::min<int64_t>(int64_t(x) + w, c.right); ++px) put(px, py);
      return;
    }
    // Corners of the rotated rectangle give the box to scan; each pixel centre is turned back.
    double ux = x - rx, uy = y - ry;
    double xs[4], ys[4];
    const double cx[4] = {ux, ux + w, ux, ux + w}, cy[4] = {uy, uy, uy + h, uy + h};
    for (int i = 0; i < 4; ++i) xs[i] = rx + cx[i] * ca + cy[i] * sa, ys[i] = ry - cx[i] * sa + cy[i] * ca;
    int32_t x0 = std::max<int32_t>(c.left, static_cast<int32_t>(std::floor(*std::min_element(xs, xs + 4))));
    int32_t x1 = std::min<int32_t>(c.right, static_cast<int32_t>(std::ceil(*std::max_element(xs, xs + 4))));
    int32_t y0 = std::max<int32_t>(c.top, static_cast<int32_t>(std::floor(*std::min_element(ys, ys + 4))));
    int32_t y1 = std::min<int32_t>(c.bottom, static_cast<int32_t>(std::ceil(*std::max_element(ys, ys + 4))));
    for (int32_t py = y0; py < y1; ++py)
      for (int32_t px = x0; px < x1; ++px) {
        double dx = px + 0.5 - rx, dy = py + 0.5 - ry;
        double lx = dx * ca - dy * sa, ly = dx * sa + dy * ca;
        if (lx >= ux && lx < ux + w && ly >= uy && ly < uy + h) put(px, py);
      }
  }
};

Dc::Dc(Surface* target) : target_(target) {}
Dc::~Dc() = default;

Font* Dc::SelectFont(Font* f) {
  Font* old = font_;
  font_ = f;
  return old;
}
ColorRef Dc::SetTextColor(ColorRef c) {
  ColorRef old = text_;
  text_ = c & 0xFFFFFF;
  return old;
}
ColorRef Dc::SetBkColor(ColorRef c) {
  ColorRef old = bk_;
  bk_ = c & 0xFFFFFF;
  return old;
}
int Dc::SetBkMode(int mode) {
  int old = bkMode_;
  if (mode == TRANSPARENT || mode == OPAQUE) bkMode_ = mode;
  return old;
}

// Positions this far out cannot reach any surface; leaving them out keeps all glyph arithmetic
// inside 32 bits.
constexpr int32_t kFarAway = 1 << 28;

bool Dc::TextOut(int32_t x, int32_t y, const char* s, int32_t len) {
  len = Length(s, len);
  if (len == 0 || x < -kFarAway || x > kFarAway || y < -kFarAway || y > kFarAway) return true;
  Impl::Draw(this, x, y, s, len, Rect{0, 0, target_->Width(), target_->Height()});
  return true;
}

bool Dc::GetTextExtentPoint32(const char* s, int32_t len, Size* out) {
  if (!out) return false;
  len = Length(s, len);
  Font* f = font_ ? font_ : DefaultFont();
  if (!f) return false;
  int32_t w = 0;
  for (const Char& c : Decode(s, len)) w += (GetGlyph(*f, c.cp, 0).advX + 32) >> 6;
  out->cx = w;
  out->cy = f->ascent + f->descent;
  return true;
}

int32_t Dc::DrawText(const char* s, int32_t len, Rect* rect, uint32_t format) {
  if (!rect) return 0;
  len = Length(s, len);
  Font* f = font_ ? font_ : DefaultFont();
  if (!f) return 0;
  const int32_t lineH = f->ascent + f->descent;
  const int32_t maxW = rect->right - rect->left;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(s);
  struct Line {
    int32_t begin, end, width;
  };
  std::vector<Line> lines;
  auto widthOf = [&](int32_t b, int32_t e) {
    Size sz{0, 0};
    GetTextExtentPoint32(s + b, e - b, &sz);
    return sz.cx;
  };
  // Breaking units: a two-byte character, a run of spaces, or a run of other one-byte characters.
  int32_t i = 0, lineBegin = 0, lineEnd = 0, lineW = 0;
  auto endLine = [&](int32_t end, int32_t w) { lines.push_back({lineBegin, end, w}); };
  while (i < len) {
    uint8_t c = p[i];
    if (c == '\n' || c == '\r') {
      endLine(lineEnd, lineW);
      i += (c == '\r' && i + 1 < len && p[i + 1] == '\n') ? 2 : 1;
      lineBegin = lineEnd = i;
      lineW = 0;
      continue;
    }
    int32_t j = i;
    bool space = c == ' ';
    if (IsDBCSLeadByte(c) && i + 1 < len) {
      j = i + 2;
    } else if (space) {
      while (j < len && p[j] == ' ') ++j;
    } else {
      while (j < len && p[j] != ' ' && p[j] != '\n' && p[j] != '\r' && !(IsDBCSLeadByte(p[j]) && j + 1 < len)) ++j;
    }
    int32_t w = widthOf(i, j);
    if ((format & DT_WORDBREAK) && !space && lineEnd > lineBegin && lineW + w > maxW) {
      // Wrap before this unit; the spaces where the line broke are dropped.
      int32_t e = lineEnd;
      while (e > lineBegin && p[e - 1] == ' ') --e;
      endLine(e, widthOf(lineBegin, e));
      lineBegin = lineEnd = i;
      lineW = 0;
    }
    lineW += w;
    i = lineEnd = j;
  }
  if (lineEnd > lineBegin || (lines.empty() && len > 0)) endLine(lineEnd, lineW);
  const int32_t height = static_cast<int32_t>(lines.size()) * lineH;
  if (format & DT_CALCRECT) {
    int32_t widest = 0;
    for (const Line& l : lines) widest = std::max(widest, l.width);
    if (!(format & DT_WORDBREAK) || widest > maxW) rect->right = rect->left + widest;
    rect->bottom = rect->top + height;
    return height;
  }
  if (rect->left < -kFarAway || rect->left > kFarAway || rect->top < -kFarAway || rect->top > kFarAway ||
      rect->right < -kFarAway || rect->right > kFarAway)
    return height;
  Rect clip{std::max(rect->left, 0), std::max(rect->top, 0), std::min(rect->right, target_->Width()),
            std::min(rect->bottom, target_->Height())};
  int32_t y = rect->top;
  for (const Line& l : lines) {
    int32_t x = rect->left;
    if (format & DT_CENTER)
      x = rect->left + (maxW - l.width) / 2;
    else if (format & DT_RIGHT)
      x = rect->right - l.width;
    if (l.end > l.begin) Impl::Draw(this, x, y, s + l.begin, l.end - l.begin, clip);
    y += lineH;
  }
  return height;
}

uint32_t Dc::PixelAt(int32_t x, int32_t y) const { return ReadPixel(target_, x, y); }

ColorRef Dc::GetPixel(int32_t x, int32_t y) {
  if (x < 0 || y < 0 || x >= target_->Width() || y >= target_->Height()) return CLR_INVALID;
  return ColorOf(target_, ReadPixel(target_, x, y));
}

ColorRef Dc::SetPixel(int32_t x, int32_t y, ColorRef c) {
  if (x < 0 || y < 0 || x >= target_->Width() || y >= target_->Height()) return CLR_INVALID;
  uint32_t p = PixelOf(target_, c & 0xFFFFFF);
  WritePixel(target_, x, y, p);
  return ColorOf(target_, p);
}

HResult GetSurfaceDc(Surface* s, Dc** out) {
  if (!s || !out) return DDERR_INVALIDPARAMS;
  if (s->IsLost() != DD_OK) return DDERR_SURFACELOST;
  if (s->CurrentDc()) return DDERR_DCALREADYCREATED;
  if (s->Locked()) return DDERR_SURFACEBUSY;
  Dc* dc = new Dc(s);
  s->AttachDc(dc);
  *out = dc;
  return DD_OK;
}

HResult ReleaseSurfaceDc(Surface* s, Dc* dc) {
  if (!s || !dc || s->CurrentDc() != dc) return DDERR_INVALIDPARAMS;
  s->AttachDc(nullptr);
  delete dc;
  return DD_OK;
}

bool StretchBlt(Dc* dst, int32_t x, int32_t y, int32_t w, int32_t h, Dc* src, int32_t sx, int32_t sy, int32_t sw,
                int32_t sh, uint32_t rop) {
  if (!dst || !src || rop != SRCCOPY || w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return false;
  Surface* d = dst->Target();
  const Surface* s = src->Target();
  const bool same = d->Format() == s->Format();
  int32_t x0 = std::max(0, x), y0 = std::max(0, y);
  int32_t x1 = static_cast<int32_t>(std::min<int64_t>(int64_t(x) + w, d->Width()));
  int32_t y1 = static_cast<int32_t>(std::min<int64_t>(int64_t(y) + h, d->Height()));
  for (int32_t py = y0; py < y1; ++py) {
    int64_t ty = sy + (int64_t(py - y) * sh) / h;
    if (ty < 0 || ty >= s->Height()) continue;
    for (int32_t px = x0; px < x1; ++px) {
      int64_t tx = sx + (int64_t(px - x) * sw) / w;
      if (tx < 0 || tx >= s->Width()) continue;
      uint32_t v = ReadPixel(s, static_cast<int32_t>(tx), static_cast<int32_t>(ty));
      if (!same) {
        uint8_t r, g, b;
        UnpackRgb(s->Format(), v, &r, &g, &b);
        v = PackRgb(d->Format(), r, g, b);
      }
      WritePixel(d, px, py, v);
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Bitmaps

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
  FILE* fp = std::fopen(p.c_str(), "rb");
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
