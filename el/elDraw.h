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
