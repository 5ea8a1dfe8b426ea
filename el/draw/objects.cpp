// The draw object table: loading pictures, creating and releasing objects, colour keys.
#include <cstdio>
#include <cstring>
#include <string>

#include "el/draw/draw_state.h"
#include "el/elSystem.h"
#include "platform/display.h"

DrawObjectRecord DrawObject[kDrawObjects];
uint32_t ColorKey;
int32_t ColorKeyTopLeft;

namespace {

const char kTooLong[] = "ファイル名またはリソース名が長すぎます";
const char kTooMany[] = "オブジェクト数が多過ぎます";
const char kNoBmp[] = "BMPファイルを読み込めません";
constexpr size_t kMaxName = 30;

// Gives a new surface the key of the current setting and records it.
void ApplyColorKey(DrawObjectRecord& o) {
  uint32_t key = ColorKeyTopLeft ? 0xFFFFFFFFu : ColorKey;
  SetSurfaceColorKey(o.surface, key);
  o.colorKey = key;
}

void Claim(DrawObjectRecord& o, const char* name) {
  std::snprintf(o.name, sizeof o.name, "%s", name);
  o.sourceKind = 0;
  o.placement = 2;
}

// Steps shared by LoadObject and SwapObject once the slot is claimed: the file in the program's
// directory, else the program's bitmap resource of the plain name. 0 = loaded, else the failing step
// (4: no resource; 5: the surface or the copy failed; 6: only the copy failed).
int LoadInto(int32_t n, const char* name) {
  DrawObjectRecord& o = DrawObject[n];
  std::string path = std::string(elSystem::GetProgramDir(0)) + name;
  o.surface = LoadBitmapSurface(path.c_str(), &o.width, &o.height, 2);
  if (!o.surface) {
    std::unique_ptr<plat::Surface> bitmap = plat::LoadBitmapResource(name);
    if (!bitmap) return 4;
    o.width = static_cast<uint16_t>(bitmap->Width());
    o.height = static_cast<uint16_t>(bitmap->Height());
    o.surface = elDraw::detail::NewSurface(bitmap->Width(), bitmap->Height());
    if (!o.surface) return 5;
    if (CopyBitmapToSurface(o.surface, bitmap.get(), 0, 0, 0, 0) != plat::DD_OK) return 6;
  }
  ApplyColorKey(o);
  return 0;
}

}  // namespace

namespace elDraw::detail {

plat::Surface* ObjectSurface(int32_t n) {
  if (n < 0 || n >= kDrawObjects) return nullptr;
  return DrawObject[n].surface;
}

void ResetObject(int32_t n) {
  DrawObjectRecord& o = DrawObject[n];
  DeleteSurface(o.surface);
  o.surface = nullptr;
  std::memset(o.name, 0, sizeof o.name);
  o.sourceKind = 0;
  o.placement = 2;
  o.colorKey = 0;
  o.width = o.height = 0;
}

void DeleteSurface(plat::Surface* s) {
  if (!s) return;
  if (s->CurrentDc() && s->CurrentDc() == TextDC) EndTextSpan();
  if (plat::Dc* dc = s->CurrentDc()) {
    if (dc == BackDC) BackDC = nullptr;
    plat::ReleaseSurfaceDc(s, dc);
  }
  delete s;
}

plat::Surface* NewSurface(int32_t width, int32_t height) {
  plat::PixelFormat f;
  if (BackSurface)
    f = BackSurface->Format();
  else if (!plat::DisplayFormat(&f))
    return nullptr;
  return plat::Surface::Create(width, height, f).release();
}

int32_t FreeSlot() {
  for (int32_t n = kInternalObjects; n < kDrawObjects; ++n)
    if (DrawObject[n].name[0] == 0) return n;
  return -1;
}

}  // namespace elDraw::detail

uint32_t MatchColor(plat::Surface* surface, uint32_t colour) {
  if (!surface) return 0xFFFFFFFFu;
  plat::ColorRef kept = plat::CLR_INVALID;
  plat::Dc* dc = nullptr;
  if (colour != plat::CLR_INVALID && plat::GetSurfaceDc(surface, &dc) == plat::DD_OK) {
    kept = dc->GetPixel(0, 0);
    dc->SetPixel(0, 0, colour);
    plat::ReleaseSurfaceDc(surface, dc);
  }
  uint32_t value = 0xFFFFFFFFu;
  plat::LockedRect lr;
  plat::HResult hr;
  while ((hr = surface->Lock(nullptr, &lr, 0)) == plat::DDERR_WASSTILLDRAWING) {
  }
  if (hr == plat::DD_OK) {
    // Rows are at least 16 bytes long, so a 32-bit read at the start stays inside.
    std::memcpy(&value, lr.bits, 4);
    uint32_t bits = plat::Describe(surface->Format()).bitCount;
    if (bits < 32) value &= (1u << bits) - 1;
    surface->Unlock();
  }
  if (colour != plat::CLR_INVALID && kept != plat::CLR_INVALID && plat::GetSurfaceDc(surface, &dc) == plat::DD_OK) {
    dc->SetPixel(0, 0, kept);
    plat::ReleaseSurfaceDc(surface, dc);
  }
  return value;
}

void SetSurfaceColorKey(plat::Surface* surface, uint32_t colour) {
  if (!surface) return;
  uint32_t v = MatchColor(surface, colour);
  surface->SetColorKey(v, v);
}

plat::HResult CopyBitmapToSurface(plat::Surface* surface, plat::Surface* bitmap, int32_t x, int32_t y, int32_t width,
                                  int32_t height) {
  if (!surface || !bitmap) return plat::E_FAIL;
  surface->Restore();
  if (width == 0) width = bitmap->Width();
  if (height == 0) height = bitmap->Height();
  plat::Dc* bdc = nullptr;
  if (plat::GetSurfaceDc(bitmap, &bdc) != plat::DD_OK) return plat::E_FAIL;
  plat::Dc* sdc = nullptr;
  plat::HResult hr = plat::GetSurfaceDc(surface, &sdc);
  if (hr == plat::DD_OK) {
    plat::StretchBlt(sdc, 0, 0, surface->Width(), surface->Height(), bdc, x, y, width, height, plat::SRCCOPY);
    plat::ReleaseSurfaceDc(surface, sdc);
  }
  plat::ReleaseSurfaceDc(bitmap, bdc);
  return hr;
}

plat::Surface* LoadBitmapSurface(const char* path, uint16_t* width, uint16_t* height, int32_t /*placement*/) {
  std::unique_ptr<plat::Surface> bitmap = plat::LoadBitmapResource(path);
  if (!bitmap) bitmap = plat::LoadBitmapFile(path);
  if (!bitmap) return nullptr;
  if (width) *width = static_cast<uint16_t>(bitmap->Width());
  if (height) *height = static_cast<uint16_t>(bitmap->Height());
  plat::Surface* s = elDraw::detail::NewSurface(bitmap->Width(), bitmap->Height());
  if (!s) return nullptr;
  CopyBitmapToSurface(s, bitmap.get(), 0, 0, 0, 0);
  return s;
}

namespace elDraw {

int32_t LoadObject(const char* name, int32_t /*placement*/) {
  const char kOp[] = "elDraw::LoadObject";
  if (!name) name = "";
  if (std::strlen(name) > kMaxName) return elSystem::ReportError(kOp, kTooLong);
  int32_t n = elDraw::detail::FreeSlot();
  if (n < 0) return elSystem::ReportError(kOp, kTooMany);
  Claim(DrawObject[n], name);
  if (LoadInto(n, name) != 0) return elSystem::ReportError(kOp, kNoBmp);
  return n;
}

int32_t CreateObject(int32_t width, int32_t height, int32_t /*placement*/) {
  const char kOp[] = "elDraw::CreateObject";
  int32_t n = elDraw::detail::FreeSlot();
  if (n < 0) return elSystem::ReportError(kOp, kTooMany);
  DrawObjectRecord& o = DrawObject[n];
  Claim(o, "*");
  o.width = static_cast<uint16_t>(width);
  o.height = static_cast<uint16_t>(height);
  // The record keeps 16-bit sizes: larger objects are refused rather than recorded wrongly.
  if (width > 65535 || height > 65535 || !(o.surface = elDraw::detail::NewSurface(width, height)))
    return elSystem::ReportError(kOp, "スプライトを作成できません");
  ApplyColorKey(o);
  return n;
}

uint32_t SwapObject(const char* name, int32_t object, int32_t /*placement*/) {
  const char kOp[] = "elDraw::SwapObject";
  if (!name) name = "";
  if (std::strlen(name) > kMaxName) return static_cast<uint32_t>(elSystem::ReportError(kOp, kTooLong));
  if (object < 0 || object >= kDrawObjects) return 0;
  DrawObjectRecord& o = DrawObject[object];
  elDraw::detail::DeleteSurface(o.surface);
  o.surface = nullptr;
  Claim(o, name);
  int step = LoadInto(object, name);
  if (step == 6) return 1;  // a failed copy is not reported here; the object keeps its surface
  if (step != 0) return static_cast<uint32_t>(elSystem::ReportError(kOp, kNoBmp));
  return 1;
}

void ReleaseObject(int32_t object) {
  if (object < 0 || object >= kDrawObjects || !DrawObject[object].surface) return;
  DrawObjectRecord& o = DrawObject[object];
  elDraw::detail::DeleteSurface(o.surface);
  o.surface = nullptr;
  std::memset(o.name, 0, sizeof o.name);
  o.colorKey = 0;
  o.width = o.height = 0;
}

void SetColorKey(uint32_t colour) {
  ColorKey = colour;
  ColorKeyTopLeft = 0;
}

void SetColorKeyTopLeft() { ColorKeyTopLeft = 1; }

void SetObjectColorKey(int32_t object, uint32_t colour) {
  plat::Surface* s = elDraw::detail::ObjectSurface(object);
  if (!s) return;
  DrawObject[object].colorKey = colour;
  SetSurfaceColorKey(s, colour);
}

void SetObjectColorKeyTopLeft(int32_t object) { SetObjectColorKey(object, 0xFFFFFFFFu); }

void CopyColorKey(int32_t to, int32_t from) {
  plat::Surface* t = elDraw::detail::ObjectSurface(to);
  plat::Surface* f = elDraw::detail::ObjectSurface(from);
  uint32_t lo, hi;
  if (t && f && f->GetColorKey(&lo, &hi) == plat::DD_OK) t->SetColorKey(lo, hi);
}

}  // namespace elDraw
