// elDraw: display set-up, draw objects, blits, presentation, text, effects, primitives, wipes.
#pragma once
#include <cstdint>

// Clip rectangle of the back screen (right and bottom exclusive).
extern int32_t ClipLeft, ClipTop, ClipRight, ClipBottom;
// Size of the game screen set by elDraw::Screen.
extern int32_t ScreenWidth, ScreenHeight;
// Bits per pixel asked for in full screen (16 until changed); in windowed mode the desktop's.
extern int32_t ColorDepth;
// Presentation overlays.
extern int32_t FadeDirection;
extern int32_t PauseShown;
// Clip wipes.
extern int32_t WipeState;
extern int32_t SavedClipLeft, SavedClipTop, SavedClipRight, SavedClipBottom;

namespace elDraw {

// Screen and surfaces.
int Screen(int32_t width, int32_t height, int32_t placement);
int32_t SetColorDepth(int32_t depth, int32_t alt1, int32_t alt2);
uint32_t CheckWindowColor(const char* settingFile);
void SetClip(int32_t left, int32_t top, int32_t right, int32_t bottom);
void GetDC();
void ReleaseDC();
void Restore();
int EnumDevice(void* guid, char* description, char* name, void* context);
void Release();

// Draw objects.
int32_t LoadObject(const char* name, int32_t placement);
int32_t CreateObject(int32_t width, int32_t height, int32_t placement);
uint32_t SwapObject(const char* name, int32_t object, int32_t placement);
void ReleaseObject(int32_t object);
void SetColorKey(uint32_t colour);
void SetColorKeyTopLeft();
void SetObjectColorKey(int32_t object, uint32_t colour);
void SetObjectColorKeyTopLeft(int32_t object);
void CopyColorKey(int32_t to, int32_t from);

// Image packs.
int32_t SwapPack(const char* name, int32_t object, int32_t placement);

// Fills.
void ClearScreen();
void ClearObject(int32_t object);
void FillBlack(int32_t left, int32_t top, int32_t right, int32_t bottom);
void FrameBlack(int32_t left, int32_t top, int32_t right, int32_t bottom);
void ClearScreenWhite();
void FillWhite(int32_t left, int32_t top, int32_t right, int32_t bottom);
void FillColor(int32_t left, int32_t top, int32_t right, int32_t bottom, uint16_t pixel);
int FillHalf(int32_t left, int32_t top, int32_t right, int32_t bottom, uint16_t pixel);

// Copies of object rectangles.
void Put(int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom);
void PutOpaque(int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom);
void PutToObject(int32_t target, int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right,
                 int32_t bottom);
void PutOpaqueToObject(int32_t target, int32_t x, int32_t y, int32_t object, int32_t left, int32_t top,
                       int32_t right, int32_t bottom);
void PutTiled(float speedX, float speedY, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom);
// Clipped like Put: the visible part shows what the whole stretch would show there.
void PutStretch(int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom,
                int32_t width, int32_t height);
void PutWave(int32_t x, int32_t y, int32_t amplitude, int32_t divisor, float speed, int32_t object, int32_t left,
             int32_t top, int32_t right, int32_t bottom, int32_t alternate);
void PutWaveScroll(int32_t x, int32_t y, int32_t amplitude, int32_t divisor, float speed, float scroll,
                   int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom);
void PutWaveBand(int32_t y0, int32_t y1, int32_t amplitude, int32_t divisor, float speed, float scroll,
                 int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom);
void PutRows(int32_t x, int32_t y, int32_t step, int32_t object, int32_t left, int32_t top, int32_t right,
             int32_t bottom);

// Presentation.
void Present();
void SetVSync(uint32_t on);
void GrabScreen(int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom);
int32_t LoadFadeTiles(const char* name);
void FadeOut();
void FadeIn();
int32_t SetPause(const char* picture, const char* tile, int32_t height);
void TogglePause();
void ShowFps();

// Text and fonts (strings are code page 932).
void EnumFonts();
void FreeFonts();
void SetFont(int32_t face, int32_t height, int32_t angle, int32_t weight, uint8_t italic, uint8_t underline);
void SetFontName(const char* name, int32_t height, int32_t angle, int32_t weight, uint8_t italic, uint8_t underline);
void EndFont();
void SetTextColor(uint32_t text, uint32_t background, uint32_t transparent);
void Text(int32_t x, int32_t y, const char* text);
void DrawTextBox(int32_t left, int32_t top, int32_t right, int32_t bottom, const char* text, int32_t align);
int32_t MeasureTextBox(int32_t left, int32_t top, int32_t right, int32_t bottom, const char* text);
void TextBox(int32_t left, int32_t top, int32_t right, int32_t bottom, const char* text, uint32_t flags);
void TextBoxNoPut(int32_t left, int32_t top, int32_t right, int32_t bottom, const char* text, uint32_t flags);
void SetFontSmooth(int32_t face, int32_t size);
void SetFontSmoothName(const char* name, int32_t size);
void EndFontSmooth();
void SmoothTextBox(int32_t left, int32_t top, int32_t right, int32_t bottom, const char* text, uint32_t flags);
void SmoothTextBoxNoPut(int32_t left, int32_t top, int32_t right, int32_t bottom, const char* text, uint32_t flags);
int32_t TypeText(float interval);
void DebugText(int32_t x, int32_t y, const char* text);
void DebugPrintf(int32_t x, int32_t y, const char* format, ...) __attribute__((format(printf, 3, 4)));

}  // namespace elDraw

// ---------------------------------------------------------------------------------------------
// Image packs, software effects, GDI primitives, screen filters and clip wipes.

// Clip wipes (WipeState and the saved clip rectangle are declared above).
extern int32_t WipeKind, WipeDirection, WipeBand, WipeOpened, WipeClosed;
extern float WipeSpeed;
// Phase of elDraw::PutSineRows, in rows.
extern float SineRowPhase;
// Positions in NoiseTable of the noise filter and of the smoke filters.
extern int32_t NoisePos, SmokePos;

namespace elDraw {

// Clip wipes.
int32_t StartWipe(int32_t kind, int32_t direction, float speed, int32_t band);
int32_t StepWipe();
// Empties the clip rectangle; the normal one is kept for the next wipe (a second close or a close
// during a wipe does not overwrite it).
void CloseScreen();

// Software effect blitters (16-bit screens): each puts the object's rectangle at (x, y) of the back
// screen, clipped; black source pixels are left out. 1 when done (also when nothing was visible),
// 0 when the screen is not 16-bit, the object has no surface, a surface could not be locked, or the
// rectangle lies outside the object. Rotations sample each destination pixel at its centre.
int PutBlend(int32_t x, int32_t y, int32_t alpha, int32_t object, int32_t left, int32_t top, int32_t right,
             int32_t bottom);
int PutBlendRGB(int32_t x, int32_t y, int32_t alphaRed, int32_t alphaGreen, int32_t alphaBlue, int32_t object,
                int32_t left, int32_t top, int32_t right, int32_t bottom);
int PutHalf(int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom);
int PutAlpha(int32_t x, int32_t y, float alpha, int32_t object, int32_t left, int32_t top, int32_t right,
             int32_t bottom);
int PutAlphaRGB(int32_t x, int32_t y, float alphaRed, float alphaGreen, float alphaBlue, int32_t object,
                int32_t left, int32_t top, int32_t right, int32_t bottom);
int PutAlphaGradient(int32_t x, int32_t y, uint32_t direction, uint16_t start, int32_t step, float alphaRed,
                     float alphaGreen, float alphaBlue, int32_t object, int32_t left, int32_t top, int32_t right,
                     int32_t bottom);
int PutBlendGradient(int32_t x, int32_t y, int32_t alphaRed, int32_t alphaGreen, int32_t alphaBlue,
                     uint32_t direction, uint16_t start, int32_t step, int32_t object, int32_t left, int32_t top,
                     int32_t right, int32_t bottom);
int PutAdd(int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom);
int PutAddFade(int32_t x, int32_t y, float amount, int32_t object, int32_t left, int32_t top, int32_t right,
               int32_t bottom);
int PutShadow(int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom);
int PutDark(int32_t x, int32_t y, int32_t level, int32_t object, int32_t left, int32_t top, int32_t right,
            int32_t bottom);
int PutDarkRGB(int32_t x, int32_t y, int32_t levelRed, int32_t levelGreen, int32_t levelBlue, int32_t object,
               int32_t left, int32_t top, int32_t right, int32_t bottom);
int PutSmoothEdge(int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom);
int PutChannels(int32_t x, int32_t y, uint32_t keepRed, uint32_t keepGreen, uint32_t keepBlue, int32_t object,
                int32_t left, int32_t top, int32_t right, int32_t bottom);
int PutScale(int32_t x, int32_t y, float factor, int32_t object, int32_t left, int32_t top, int32_t right,
             int32_t bottom);
int PutScaleRGB(int32_t x, int32_t y, float factorRed, float factorGreen, float factorBlue, int32_t object,
                int32_t left, int32_t top, int32_t right, int32_t bottom);
int PutBlurred(int32_t x, int32_t y, int32_t k, int32_t object, int32_t left, int32_t top, int32_t right,
               int32_t bottom);
int PutGrey(int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom);
int PutMirror(int32_t x, int32_t y, int32_t mode, int32_t object, int32_t left, int32_t top, int32_t right,
              int32_t bottom);
// Each channel shifted right by shift, plus a NoiseTable value (0..2), at most 31.
int PutNoise(int32_t x, int32_t y, int32_t shift, int32_t object, int32_t left, int32_t top, int32_t right,
             int32_t bottom);
// Nearest-sample enlargement or reduction by zoom about (x, y), colour-keyed.
int PutZoom(int32_t x, int32_t y, float zoom, int32_t object, int32_t left, int32_t top, int32_t right,
            int32_t bottom);
// Radial distortions about the rectangle's centre: a swirl turning each ring by strength degrees at
// the centre (fading to 0 at the radius), and a lens (strength > 0 magnifies the middle, < 0 shrinks it).
int PutSwirl(int32_t x, int32_t y, float strength, int32_t object, int32_t left, int32_t top, int32_t right,
             int32_t bottom);
int PutLens(int32_t x, int32_t y, float strength, int32_t object, int32_t left, int32_t top, int32_t right,
            int32_t bottom);

// Built on the plain puts (any depth).
int PutRowsStep(int32_t x, int32_t y, int32_t step, int32_t object, int32_t left, int32_t top, int32_t right,
                int32_t bottom);
int PutSineRows(int32_t x, int32_t y, uint32_t direction, float speed, int32_t object, int32_t left, int32_t top,
                int32_t right, int32_t bottom);
int PutJitter(int32_t x, int32_t y, int32_t amplitude, int32_t object, int32_t left, int32_t top, int32_t right,
              int32_t bottom);

// Rotations (angle in degrees) of the source rectangle about the centre of the destination rectangle.
int PutRotate(int32_t dl, int32_t dt, int32_t dr, int32_t db, int32_t angle, int32_t object, int32_t sl, int32_t st,
              int32_t sr, int32_t sb);
int PutRotateTiled(int32_t dl, int32_t dt, int32_t dr, int32_t db, int32_t angle, int32_t object, int32_t sl,
                   int32_t st, int32_t sr, int32_t sb);
int PutRotateZoom(int32_t dl, int32_t dt, int32_t dr, int32_t db, int32_t angle, float zoom, int32_t object,
                  int32_t sl, int32_t st, int32_t sr, int32_t sb);
int PutRotateZoomTiled(int32_t dl, int32_t dt, int32_t dr, int32_t db, int32_t angle, float zoom, int32_t object,
                       int32_t sl, int32_t st, int32_t sr, int32_t sb);
// Rotation whose pixels are blended over the screen as elDraw::PutBlend does (alpha 0..31).
int PutRotateBlend(int32_t dl, int32_t dt, int32_t dr, int32_t db, int32_t angle, int32_t alpha, int32_t object,
                   int32_t sl, int32_t st, int32_t sr, int32_t sb);

}  // namespace elDraw

namespace elDraw {

// GDI primitives on the back screen. Colours are COLORREF (0x00BBGGRR).
struct Point {
  int32_t x, y;
};
void GetPixel(int32_t x, int32_t y, uint32_t* red, uint32_t* green, uint32_t* blue);
void SetPixel(int32_t x, int32_t y, uint32_t colour);
void Line(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t colour, int32_t width);
void Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t fill, uint32_t outline,
               int32_t width);
// mode 0 hollow; otherwise hatched (diagonal cross) in colour, the gaps in background (mode 2: left alone).
void Polygon(const Point* points, int32_t count, uint32_t colour, uint32_t background, int32_t width, int32_t mode);
// count = 1 + 3n points.
void Bezier(const Point* points, int32_t count, uint32_t colour, int32_t width);
void InvertRect(int32_t left, int32_t top, int32_t right, int32_t bottom);

// Screen capture and filters over a rectangle of the back screen (16-bit screens; SaveScreen also 32-bit).
// Each returns 1, or 0 when the back screen cannot be locked or the rectangle leaves the screen.
int SaveScreen(const char* name, int32_t width, int32_t height);
int Blur(int32_t x, int32_t y, int32_t width, int32_t height);
int Smoke(int32_t x, int32_t y, int32_t width, int32_t height);
int SmokeFade(uint32_t fadeRed, uint32_t fadeGreen, uint32_t fadeBlue, int32_t x, int32_t y, int32_t width,
              int32_t height);
int Noise(int32_t shift, int32_t x, int32_t y, int32_t width, int32_t height);
// Noise only on the flagged channels.
int NoiseRGB(uint32_t red, uint32_t green, uint32_t blue, int32_t shift, int32_t x, int32_t y, int32_t width,
             int32_t height);
// Darkens the rectangle outside a circle by distance: a pixel d pixels beyond the radius loses
// d / falloff of its 31 levels per channel (falloff below 1 counts as 1).
int Spotlight(int32_t cx, int32_t cy, int32_t radius, int32_t falloff, int32_t x, int32_t y, int32_t width,
              int32_t height);
int Zoom2(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t grid);
int Zoom4(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t grid);

}  // namespace elDraw

// Image packs (elDraw::SwapPack is declared above).
extern char ImagePackPath[256];
namespace elDraw {
void SetPackFile(const char* name);
int32_t LoadPack(const char* name, int32_t placement);
uint32_t Convert(const char* packName, const char* directory, int32_t restart);
void AddToPack(const char* packName, const char* bmpName);
}  // namespace elDraw
