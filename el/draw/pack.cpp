// Image packs: named 16-bit pictures in one file, built from BMP files and loaded into draw objects.
#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "el/draw/draw_files.h"
#include "el/draw/draw_state.h"
#include "el/elSystem.h"
#include "platform/display.h"

char ImagePackPath[256];

namespace {

const char kNoPack[] = "パックファイル名が指定されていません";
const char kNoBmp[] = "BMPファイルを読み込めません";
const char kNoCopy[] = "サーフェース間で展開できません";

// Upper case as the ANSI code page does it: ASCII letters only, trail bytes of two-byte characters
// left alone.
std::string Upper(const char* s) {
  std::string out(s ? s : "");
  for (size_t i = 0; i < out.size(); ++i) {
    const uint8_t c = static_cast<uint8_t>(out[i]);
    if (plat::IsDBCSLeadByte(c) && i + 1 < out.size())
      ++i;
    else if (c >= 'a' && c <= 'z')
      out[i] = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

// An open pack positioned at the first pixel of the entry found.
struct Found {
  FILE* file = nullptr;
  uint16_t width = 0, height = 0;
  ~Found() {
    if (file) std::fclose(file);
  }
};

// Finds the entry name in the pack: nullptr on success, else the message to report. Entries are read
// in file order and the first of a name wins. A name without its NUL within 128 bytes, or an entry
// whose pixels the file does not hold in full, ends the search (the pack is damaged from there on).
const char* FindEntry(const char* name, Found* out) {
  out->file = elDraw::files::Open(elDraw::files::HostPath(ImagePackPath), "rb");
  if (!out->file) return kNoPack;
  const std::string wanted = Upper(name);
  if (wanted.size() > kObjectNameMax) return kNoBmp;
  FILE* f = out->file;
  if (std::fseek(f, 0, SEEK_END) != 0) return kNoBmp;
  const long size = std::ftell(f);
  if (size < 0 || std::fseek(f, 0, SEEK_SET) != 0) return kNoBmp;
  for (;;) {
    uint8_t head[4];
    if (std::fread(head, 1, 4, f) != 4) return kNoBmp;
    const uint16_t w = static_cast<uint16_t>(head[0] | head[1] << 8);
    const uint16_t h = static_cast<uint16_t>(head[2] | head[3] << 8);
    char entry[kObjectNameMax + 1];
    size_t n = 0;
    int c = 0;
    while (n <= kObjectNameMax && (c = std::fgetc(f)) != EOF && c != 0) entry[n++] = static_cast<char>(c);
    if (c != 0) return kNoBmp;  // end of file inside the name, or a name too long
    const long pixels = static_cast<long>(w) * h * 2;
    const long at = std::ftell(f);
    if (at < 0 || pixels > size - at) return kNoBmp;
    if (n == wanted.size() && std::memcmp(entry, wanted.data(), n) == 0) {
      // An empty picture cannot become a draw object.
      if (w == 0 || h == 0) return kNoBmp;
      out->width = w;
      out->height = h;
      return nullptr;
    }
    if (std::fseek(f, pixels, SEEK_CUR) != 0) return kNoBmp;
  }
}

// Decodes the entry's X1R5G5B5 pixels into the locked scratch surface. On a 32-bit screen the 5-bit
// channels are widened to 8 bits (not defined by the pack format itself; the colours stay right).
bool Decode(const Found& e, plat::Surface* scratch) {
  plat::LockedRect lr;
  if (scratch->Lock(nullptr, &lr, plat::DDLOCK_WAIT) != plat::DD_OK) return false;
  const plat::PixelFormat fmt = scratch->Format();
  const bool two = plat::BytesPerPixel(fmt) == 2;
  std::vector<uint8_t> row(static_cast<size_t>(e.width) * 2);
  bool ok = true;
  for (int32_t y = 0; y < e.height && ok; ++y) {
    if (std::fread(row.data(), 1, row.size(), e.file) != row.size()) {
      ok = false;
      break;
    }
    uint8_t* line = lr.bits + static_cast<ptrdiff_t>(y) * lr.pitch;
    for (int32_t x = 0; x < e.width; ++x) {
      const uint32_t v = row[2 * x] | row[2 * x + 1] << 8;
      const uint32_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
      if (two)
        reinterpret_cast<uint16_t*>(line)[x] = static_cast<uint16_t>((r << RShift5) | (g << GShift5) | (b << BShift5));
      else
        reinterpret_cast<uint32_t*>(line)[x] = plat::PackRgb(fmt, static_cast<uint8_t>(r << 3 | r >> 2),
                                                             static_cast<uint8_t>(g << 3 | g >> 2),
                                                             static_cast<uint8_t>(b << 3 | b >> 2));
    }
  }
  scratch->Unlock();
  return ok;
}

// Steps shared by LoadPack and SwapPack once the target slot holds a surface of the entry's size:
// decode through a scratch object, copy, finish the record. 0 on failure (a failed copy is reported; a failed lock is not).
int32_t Fill(const char* op, const char* name, Found& e, int32_t target) {
  const int32_t scratch = elDraw::CreateObject(e.width, e.height, 2);
  if (scratch == 0) return 0;
  plat::Surface* s = DrawObject[scratch].surface;
  if (!Decode(e, s)) {
    elDraw::ReleaseObject(scratch);
    return 0;
  }
  std::fclose(e.file);
  e.file = nullptr;
  DrawObjectRecord& o = DrawObject[target];
  const plat::Rect dst{0, 0, o.width, o.height}, src{0, 0, e.width, e.height};
  bool copied = false;
  for (int tries = 0; tries < 10 && !copied; ++tries) {
    plat::HResult hr = o.surface->Blt(&dst, s, &src, plat::DDBLT_WAIT, 0);
    copied = hr == plat::DD_OK;
    if (hr == plat::DDERR_SURFACELOST) elDraw::Restore();
  }
  elDraw::ReleaseObject(scratch);
  if (!copied) return elSystem::ReportError(op, kNoCopy);
  const uint32_t key = ColorKeyTopLeft ? 0xFFFFFFFFu : ColorKey;
  SetSurfaceColorKey(o.surface, key);
  o.colorKey = key;
  const std::string upper = Upper(name);
  std::snprintf(o.name, sizeof o.name, "%s", upper.c_str());
  o.sourceKind = 1;
  o.placement = 2;
  o.width = e.width;
  o.height = e.height;
  return target;
}

void Put16(FILE* f, uint16_t v) {
  const uint8_t b[] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
  std::fwrite(b, 1, sizeof b, f);
}

}  // namespace

namespace elDraw {

void SetPackFile(const char* name) {
  std::string path = std::string(elSystem::GetProgramDir(0)) + (name ? name : "");
  std::snprintf(ImagePackPath, sizeof ImagePackPath, "%s", path.c_str());
}

int32_t LoadPack(const char* name, int32_t placement) {
  const char kOp[] = "elDraw::LoadPack";
  Found e;
  if (const char* msg = FindEntry(name, &e)) return elSystem::ReportError(kOp, msg);
  const int32_t target = CreateObject(e.width, e.height, placement);
  if (target == 0) return 0;
  const int32_t n = Fill(kOp, name, e, target);
  // A picture that could not be made frees its slot again instead of leaving a blank object behind.
  if (n == 0) elDraw::detail::ResetObject(target);
  return n;
}

int32_t SwapPack(const char* name, int32_t object, int32_t placement) {
  const char kOp[] = "elDraw::SwapPack";
  (void)placement;  // every surface lives in plain memory here
  if (object < 0 || object >= kDrawObjects) return 0;
  Found e;
  if (const char* msg = FindEntry(name, &e)) return elSystem::ReportError(kOp, msg);
  elDraw::detail::ResetObject(object);
  // The slot is claimed at once, so the scratch object cannot take it.
  DrawObjectRecord& o = DrawObject[object];
  std::strcpy(o.name, "*");
  o.width = e.width;
  o.height = e.height;
  o.surface = elDraw::detail::NewSurface(e.width, e.height);
  if (!o.surface) return elSystem::ReportError(kOp, kNoBmp);
  return Fill(kOp, name, e, object);
}

uint32_t Convert(const char* packName, const char* directory, int32_t restart) {
  if (plat::DisplayBits() <= 16) return static_cast<uint32_t>(elSystem::ReportError("elDraw::Convert", "画面をフルカラーにして下さい"));
  if (restart) std::remove(elDraw::files::ProgramPath(packName).c_str());
  const std::string dir = directory ? directory : "";
  const std::string hostDir = elDraw::files::ProgramPath(dir.c_str());
  std::vector<std::string> names;
  if (DIR* d = opendir(hostDir.empty() ? "." : hostDir.c_str())) {
    while (dirent* ent = readdir(d)) {
      const std::string n = ent->d_name;
      if (n.size() < 4 || n[0] == '.') continue;
      if (Upper(n.substr(n.size() - 4).c_str()) != ".BMP") continue;
      names.push_back(n);
    }
    closedir(d);
  }
  // The directory's own order is arbitrary here; packs are built in name order.
  std::sort(names.begin(), names.end());
  for (const std::string& n : names) {
    // The file is opened by its own name (file names here are case-sensitive); the entry name is
    // upper-cased by AddToPack.
    const std::string cp932 = plat::Utf8ToCp932(n);
    AddToPack(packName, dir.empty() ? cp932.c_str() : (dir + "\\" + cp932).c_str());
  }
  return 1;
}

void AddToPack(const char* packName, const char* bmpName) {
  const int32_t obj = LoadObject(bmpName, 1);
  if (obj == 0) return;
  plat::Surface* s = DrawObject[obj].surface;
  plat::Dc* dc = nullptr;
  if (s && plat::GetSurfaceDc(s, &dc) == plat::DD_OK) {
    if (FILE* f = elDraw::files::Open(elDraw::files::ProgramPath(packName), "ab")) {
      const uint16_t w = DrawObject[obj].width, h = DrawObject[obj].height;
      Put16(f, w);
      Put16(f, h);
      // The entry name is the part after the last separator, upper-cased so that the loaders, which
      // upper-case the name asked for, find it.
      const char* base = bmpName;
      for (const char* p = bmpName; *p; ++p) {
        if (plat::IsDBCSLeadByte(static_cast<uint8_t>(*p)) && p[1]) {
          ++p;
          continue;
        }
        if (*p == '\\' || *p == '/') base = p + 1;
      }
      const std::string entry = Upper(base);
      std::fwrite(entry.c_str(), 1, entry.size() + 1, f);
      std::vector<uint8_t> row(static_cast<size_t>(w) * 2);
      for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
          const uint32_t colour = dc->GetPixel(x, y);
          uint32_t r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
          if (r | g | b) {
            r >>= 3, g >>= 3, b >>= 3;
            if ((r | g | b) == 0) b = 1;  // a dark colour never becomes the black of the key
          }
          const uint32_t v = (r << 10) | (g << 5) | b;
          row[2 * x] = static_cast<uint8_t>(v);
          row[2 * x + 1] = static_cast<uint8_t>(v >> 8);
        }
        std::fwrite(row.data(), 1, row.size(), f);
      }
      std::fclose(f);
    }
    plat::ReleaseSurfaceDc(s, dc);
  }
  ReleaseObject(obj);
}

}  // namespace elDraw
