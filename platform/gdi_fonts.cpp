// Fonts: faces found by fontconfig and opened with FreeType, font objects from a font description,
// and the list of installed families.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/gdi_detail.h"

// Fontconfig keeps a few blocks of its configuration parse unreachable for the life of the process;
// the leak checker of sanitizer builds is told so (the hook is only read by that checker).
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace plat {
namespace gdi_detail {

namespace {

FT_Library Library() {
  static FT_Library lib = [] {
    FT_Library l = nullptr;
    if (FT_Init_FreeType(&l) != 0) l = nullptr;
    return l;
  }();
  return lib;
}

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
    if (FcPatternGetString(m, FC_FILE, 0, &f) == FcResultMatch) file = reinterpret_cast<const char*>(f);
    FcPatternGetInteger(m, FC_INDEX, 0, index);
    FcPatternDestroy(m);
  }
  FcPatternDestroy(pat);
  return file;
}

}  // namespace

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

}  // namespace gdi_detail

using namespace gdi_detail;

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
    f->ppem = static_cast<int32_t>(std::clamp(std::round(h * static_cast<double>(e->upem) / cell), 1.0, double(INT32_MAX)));
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
    if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &fam) != FcResultMatch) continue;
    std::string name = Cp932FromUtf8(reinterpret_cast<const char*>(fam));
    if (name.empty() || name.size() > 31 || std::find(seen.begin(), seen.end(), name) != seen.end()) continue;
    seen.push_back(name);
    FontFamily f{};
    std::memcpy(f.faceName, name.data(), name.size());
    FcLangSet* ls = nullptr;
    bool japanese = FcPatternGetLangSet(set->fonts[i], FC_LANG, 0, &ls) == FcResultMatch &&
                    FcLangSetHasLang(ls, ja) == FcLangEqual;
    f.charSet = japanese ? SHIFTJIS_CHARSET : ANSI_CHARSET;
    if (!fn(f, ctx)) break;
  }
  FcFontSetDestroy(set);
}
}  // namespace plat
