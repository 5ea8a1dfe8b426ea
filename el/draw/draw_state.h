// Module state of elDraw shared by its sources: the display and its surfaces, the pixel format of the
// back screen, the lookup tables of the 16-bit software paths, the draw object table, the text state.
// Everything here is main-thread only.
//
// Fast pixel access for software effects: lock the surface (Surface::Lock gives the first byte and the
// pitch in bytes) and unlock it again; BackSurface and every DrawObject[n].surface share the display's
// pixel format (16-bit 5-6-5 or 5-5-5 in the game, 32-bit on a true-colour desktop).
#pragma once
#include <cstddef>
#include <cstdint>

#include "el/elDraw.h"
#include "platform/gdi.h"
#include "platform/surface.h"

// Display and surfaces.
extern bool DDraw;                        // the display device is open
extern plat::Surface* PrimarySurface;     // shown by elDraw::Present
extern plat::Surface* BackSurface;        // the back screen every drawing operation writes into
extern bool Clipper;                      // windowed: the primary carries a window clipper
extern int32_t ColorDepthAlt1, ColorDepthAlt2;
extern int32_t Hardware3D;
extern int32_t CanStretch;
extern plat::Dc* BackDC;                  // between elDraw::GetDC and elDraw::ReleaseDC
// The media stream's surface while a stream exists (set by elStream); restored with the others.
extern plat::Surface* StreamSurface;

// Pixel format of the back screen.
extern uint32_t RMask, GMask, BMask;
extern uint16_t RShift, GShift, BShift;
extern uint32_t RMax, GMax, BMax;
extern uint16_t RShift5, GShift5, BShift5;
extern uint32_t HalfMask, HalfMask2;
extern uint32_t WhitePixel;

// Lookup tables of the 16-bit software paths (built by elDraw::Screen on 16-bit displays).
extern int32_t SinTable[450];
extern uint8_t PixelRGB[65536][3];
extern uint16_t CrossFadeTable[3][32][32][32];
extern uint16_t AddFadeTable[3][32][32][32];
extern uint16_t SubTable[3][32][32];
extern uint16_t GreyTable[94];
extern uint8_t NoiseTable[10000];

// Draw objects.
constexpr int32_t kDrawObjects = 1024;
constexpr int32_t kInternalObjects = 4;
constexpr int32_t kObjBuffer = 0, kObjScreen = 1, kObjFont = 2, kObjFontBuffer = 3;
// The longest name an object records: image pack entry names run to 127 characters (names given
// to LoadObject are held to 30 before they get here). A record must hold the whole name, since
// Restore loads the object again by it.
constexpr size_t kObjectNameMax = 127;
struct DrawObjectRecord {
  plat::Surface* surface;
  char name[kObjectNameMax + 1];
  uint32_t sourceKind;  // 0 BMP, 1 image pack entry
  uint32_t placement;
  uint32_t colorKey;    // COLORREF, or 0xFFFFFFFF = the top-left pixel
  uint16_t width;
  uint16_t height;
};
extern DrawObjectRecord DrawObject[kDrawObjects];
extern uint32_t ColorKey;
extern int32_t ColorKeyTopLeft;

// Presentation.
extern plat::Rect PresentSrcRect, PresentDstRect;
extern int32_t PausePicture, PauseTile;

// Scroll state of the blits.
extern float TileOffsetX, TileOffsetY;
extern const double TwoPi;

// Text state.
extern plat::LogFontA* FontDesc;
extern plat::Font* TextFont;
extern plat::Font* TextOldFont;
extern plat::Dc* TextDC;
extern int32_t FontHeight;
extern uint32_t TextColor, TextBackColor;
struct FontListEntry {
  char name[32] = {};
  int32_t kind = -1;  // 1 Japanese, 2 other, 3 symbol, -1 empty
  uint8_t charSet = 0;
};
extern FontListEntry FontList[200];
extern int32_t FontCount;
extern uint32_t TextAutoPut;
extern plat::Rect GlyphRect[3200];
extern int32_t GlyphCount;
extern int32_t TypeRevealed;
extern float TypeTimer;

// Presentation state.
extern int32_t WaitVSync;
extern int32_t FadeStep;
extern int32_t FadeTiles;
extern int32_t PausePictureHeight;
extern float PauseScroll;
extern float PauseTileX, PauseTileY;
extern int32_t FpsFrames;
extern float Fps, FpsMax, FpsMin;
extern uint32_t FpsNextTime;

namespace elDraw::detail {

// The object's surface when n names a slot that holds one, else null.
plat::Surface* ObjectSurface(int32_t n);
// Empties a record (no surface, empty name, source kind 0, placement 2, colour key 0, size 0 x 0);
// deletes its surface.
void ResetObject(int32_t n);
// A new surface of the display's pixel format; null when it cannot be made.
plat::Surface* NewSurface(int32_t width, int32_t height);
// Deletes a surface; a text span or device context still open on it is ended first.
void DeleteSurface(plat::Surface* s);
// Ends the open text span (text.cpp).
void EndTextSpan();
// Claims the lowest free slot from 4 upward; -1 when none is free.
int32_t FreeSlot();

}  // namespace elDraw::detail

// Routines of the draw objects used by the screen set-up and the image packs.
uint32_t MatchColor(plat::Surface* surface, uint32_t colour);
void SetSurfaceColorKey(plat::Surface* surface, uint32_t colour);
plat::HResult CopyBitmapToSurface(plat::Surface* surface, plat::Surface* bitmap, int32_t x, int32_t y, int32_t width,
                                  int32_t height);
plat::Surface* LoadBitmapSurface(const char* path, uint16_t* width, uint16_t* height, int32_t placement);
