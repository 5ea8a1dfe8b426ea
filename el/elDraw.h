/// @file
/// elDraw: display set-up, draw objects, blits, presentation, text, effects, primitives, wipes.
///
/// Model: one game screen (elDraw::Screen) drawn on a back screen and shown by elDraw::Present.
/// Pictures live in draw objects, numbered 0..1023: 0..3 are internal (Buffer, Screen, Font and
/// Font buffer, each the screen's size), 4..1023 are what elDraw::LoadObject, elDraw::CreateObject
/// and elDraw::LoadPack hand out; 0 is therefore never a loaded object and serves as the failure
/// answer. Each object has a colour key (a COLORREF 0x00BBGGRR, or its top-left pixel), left out by
/// the keyed puts. Source rectangles are (left, top, right, bottom) in the object, right and bottom
/// exclusive; puts to the back screen are cut by its clip rectangle (ClipLeft ... ClipBottom), which
/// the clip wipes animate.
///
/// Failures of the loaders are reported through elSystem::ReportError with the operation's name
/// ("elDraw::LoadObject", ...) and answer 0; drawing operations report nothing and draw nothing when
/// their object or surface is missing. The effect blitters and filters work on 16-bit screens and
/// answer 0 otherwise. Strings are code page 932.
#pragma once
#include <cstdint>

///@{
/// Clip rectangle of the back screen in pixels (right and bottom exclusive); set by elDraw::SetClip
/// and moved by the clip wipes.
extern int32_t ClipLeft, ClipTop, ClipRight, ClipBottom;
///@}
///@{
/// Size of the game screen set by elDraw::Screen, in pixels.
extern int32_t ScreenWidth, ScreenHeight;
///@}
/// Bits per pixel asked for in full screen (16 until changed); in windowed mode the desktop's.
extern int32_t ColorDepth;
// Presentation overlays.
/// Direction of the running fade: 1 fading out, -1 fading in, 0 none.
extern int32_t FadeDirection;
/// 1 while the pause overlay is shown (elDraw::TogglePause).
extern int32_t PauseShown;
// Clip wipes.
/// 0 no wipe running, 1 opening, 2 closing, -1 the screen is closed (a closing wipe ended).
extern int32_t WipeState;
///@{
/// The clip rectangle saved when a wipe starts: where an opening wipe ends.
extern int32_t SavedClipLeft, SavedClipTop, SavedClipRight, SavedClipBottom;
///@}

/// Display, draw objects, blits, presentation, text, effects, primitives, filters and clip wipes.
/// The model (object numbers, tables, selectors, failure answers) is described in elDraw.h.
namespace elDraw {

// Screen and surfaces.
/// Sets up the display: the game screen of width x height (full screen at ColorDepth bits, falling
/// back to the two alternative depths of elDraw::SetColorDepth; or windowed at the desktop's depth),
/// the back screen, the four internal objects (0 to 3) and the pixel tables; then starts sound, music,
/// input, fonts, the media stream and joysticks. Clears the error flag first; clip = the whole screen.
/// @param width, height screen size in pixels; width -1 asks for the default 640 x 480.
/// @param placement surface placement hint; every surface lives in plain memory here.
/// @return 1; on failure 0 after reporting one of "DirectDrawが使用できません",
/// "フルスクリーン化できません", "解像度が変更できません", "表画面が生成できません",
/// "裏画面が生成できません", "クリップにウィンドウハンドルを設定できません",
/// "Bufferスプライトが生成できません", "Screenスプライトが生成できません",
/// "Fontスプライトが生成できません", "Fontバッファスプライトが生成できません".
int Screen(int32_t width, int32_t height, int32_t placement);
/// Chooses the full-screen depth tried first by elDraw::Screen and two alternatives tried in turn
/// when the display refuses it (0: none).
/// @param depth bits per pixel (16 at start); @p alt1, @p alt2 the fallbacks.
/// @return depth.
int32_t SetColorDepth(int32_t depth, int32_t alt1, int32_t alt2);
/// Before a windowed start: when the desktop shows fewer colours than ColorDepth needs, explains it
/// in a message box and asks whether to switch to full screen ("*": for this run only; a file name:
/// also writes 1 into that number file of the program directory; "": no question, just end).
/// @param settingFile number file that keeps the full-screen choice, "*" or "".
/// @return 1 to go on (the desktop is deep enough, already full screen, or the player chose full
/// screen); 0 after shutting down when the player declined. No report.
uint32_t CheckWindowColor(const char* settingFile);
/// Sets the back screen's clip rectangle, which the puts, the effects and elDraw::FillHalf respect
/// (the plain fills do not).
/// @param left, top, right, bottom in screen pixels, right and bottom exclusive.
void SetClip(int32_t left, int32_t top, int32_t right, int32_t bottom);
/// Takes the back screen's device context for GDI text and drawing (BackDC); none if it cannot be had.
void GetDC();
/// Gives the back screen's device context back.
void ReleaseDC();
/// Restores lost surfaces: the screens, the internal objects, and each loaded object (reloaded from
/// its picture file or image pack with its colour key; created objects come back empty).
void Restore();
/// Callback of the display-device enumeration: keeps the first device that draws 3D with textures.
/// @param guid, description, name the device as enumerated (unused).
/// @param context points to a bool set to whether the device was kept.
/// @return 0 to stop the enumeration (device kept), 1 to go on.
int EnumDevice(void* guid, char* description, char* name, void* context);
/// Releases every draw object and the screens, restores the desktop mode after full screen and
/// closes the display. Safe to call twice.
void Release();

// Draw objects.
/// Loads a BMP picture into a new draw object: the file name of the program directory, else the
/// program's bitmap resource of that name. The colour key is the one set by elDraw::SetColorKey or
/// elDraw::SetColorKeyTopLeft.
/// @param name file or resource name, at most 30 bytes.
/// @param placement surface placement hint (ignored here).
/// @return the object number (4..1023); on failure 0 after reporting
/// "ファイル名またはリソース名が長すぎます", "オブジェクト数が多過ぎます" or "BMPファイルを読み込めません".
int32_t LoadObject(const char* name, int32_t placement);
/// Creates an empty (black) draw object of width x height in the screen's pixel format.
/// @param placement surface placement hint (ignored here).
/// @return the object number (4..1023); on failure 0 after reporting "オブジェクト数が多過ぎます" or
/// "スプライトを作成できません" (also for a side over 65535).
int32_t CreateObject(int32_t width, int32_t height, int32_t placement);
/// Replaces the picture of draw object object with the BMP name (loaded as elDraw::LoadObject does),
/// keeping its number.
/// @param name file or resource name, at most 30 bytes; @p object the object number.
/// @return 1; 0 for an object number outside the table (no report); on failure 0 after reporting
/// "ファイル名またはリソース名が長すぎます" or "BMPファイルを読み込めません".
uint32_t SwapObject(const char* name, int32_t object, int32_t placement);
/// Frees draw object object and its slot; an empty or unknown number does nothing.
void ReleaseObject(int32_t object);
/// Sets the colour key given to objects loaded or created from now on.
/// @param colour COLORREF (0x00BBGGRR) of the transparent colour; 0 is black.
void SetColorKey(uint32_t colour);
/// Objects loaded or created from now on take the colour of their top-left pixel as colour key
/// (until the next elDraw::SetColorKey).
void SetColorKeyTopLeft();
/// Sets the colour key of draw object object.
/// @param colour COLORREF (0x00BBGGRR); 0xFFFFFFFF: the object's top-left pixel.
void SetObjectColorKey(int32_t object, uint32_t colour);
/// Makes the top-left pixel's colour the colour key of draw object object.
void SetObjectColorKeyTopLeft(int32_t object);
/// Gives draw object to the colour key of draw object from.
void CopyColorKey(int32_t to, int32_t from);

// Image packs.
/// Replaces the picture of draw object object with the image pack's entry name (from the pack set by
/// elDraw::SetPackFile; names compare without regard to ASCII case), keeping its number.
/// @return the object number; 0 for a number outside the table (no report); on failure 0 after
/// reporting "パックファイル名が指定されていません", "BMPファイルを読み込めません" or
/// "サーフェース間で展開できません".
int32_t SwapPack(const char* name, int32_t object, int32_t placement);

// Fills.
/// Fills the whole back screen with black (not clipped).
void ClearScreen();
/// Fills draw object object with black (its colour key, normally).
void ClearObject(int32_t object);
/// Fills a rectangle of the back screen with black; not clipped: a rectangle that does not lie wholly
/// on the screen draws nothing.
/// @param left, top, right, bottom in screen pixels, right and bottom exclusive.
void FillBlack(int32_t left, int32_t top, int32_t right, int32_t bottom);
/// Draws a one-pixel black frame along the inside of the rectangle (right and bottom exclusive).
void FrameBlack(int32_t left, int32_t top, int32_t right, int32_t bottom);
/// Fills the whole back screen with white.
void ClearScreenWhite();
/// Fills a rectangle of the back screen (right and bottom exclusive) with white; not clipped, as
/// elDraw::FillBlack.
void FillWhite(int32_t left, int32_t top, int32_t right, int32_t bottom);
/// Fills a rectangle of the back screen (right and bottom exclusive) with a pixel value; not clipped,
/// as elDraw::FillBlack.
/// @param pixel a pixel in the screen's own format (16-bit screens: RGB 5-6-5 or 5-5-5 as the display has it).
void FillColor(int32_t left, int32_t top, int32_t right, int32_t bottom, uint16_t pixel);
/// Darkens a rectangle of the back screen to half and adds half of pixel: a translucent fill,
/// clipped (16-bit screens only).
/// @param pixel a 16-bit pixel value in the screen's format.
/// @return 1 (also when nothing is visible); 0 when the screen is not 16-bit or cannot be locked.
int FillHalf(int32_t left, int32_t top, int32_t right, int32_t bottom, uint16_t pixel);

// Copies of object rectangles.
/// Copies the rectangle (left, top, right, bottom) of draw object object to (x, y) of the back
/// screen, clipped, leaving out the object's colour key. Nothing happens for an object without picture.
/// @param x, y destination in screen pixels.
/// @param object draw object number.
/// @param left, top, right, bottom source rectangle in the object, right and bottom exclusive.
void Put(int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom);
/// As elDraw::Put, without the colour key (every pixel copied).
void PutOpaque(int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom);
/// As elDraw::Put, into draw object target instead of the back screen (clipped by the back
/// screen's clip rectangle).
void PutToObject(int32_t target, int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right,
                 int32_t bottom);
/// As elDraw::PutOpaque, into draw object target.
void PutOpaqueToObject(int32_t target, int32_t x, int32_t y, int32_t object, int32_t left, int32_t top,
                       int32_t right, int32_t bottom);
/// Covers the whole screen with the rectangle as a tile, scrolling: the tiles move by speedX and
/// speedY pixels a second (scaled by the frame time). Nothing for an empty rectangle.
/// @param speedX, speedY scroll speed in pixels a second.
void PutTiled(float speedX, float speedY, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom);
/// Puts the rectangle stretched to width x height at (x, y), with the colour key. Clipped like
/// elDraw::Put: the visible part shows what the whole stretch would show there.
/// @param width, height the size on the screen in pixels.
void PutStretch(int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom,
                int32_t width, int32_t height);
/// Puts the rectangle row by row, each row shifted sideways by a cosine wave that runs on with time.
/// @param amplitude largest shift in pixels; @p divisor rows per degree of the wave (0: one);
/// @p speed wave speed in degrees a second; @p alternate non-zero flips the shift on every other row.
void PutWave(int32_t x, int32_t y, int32_t amplitude, int32_t divisor, float speed, int32_t object, int32_t left,
             int32_t top, int32_t right, int32_t bottom, int32_t alternate);
/// As elDraw::PutWave, with the picture also scrolling through the rectangle, wrapping round.
/// @param scroll rows a second; positive scrolls the picture down, negative up.
void PutWaveScroll(int32_t x, int32_t y, int32_t amplitude, int32_t divisor, float speed, float scroll,
                   int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom);
/// Fills the screen band of rows y0 to y1 with the rectangle tiled across, rows waving as in
/// elDraw::PutWave and scrolling as in elDraw::PutWaveScroll.
void PutWaveBand(int32_t y0, int32_t y1, int32_t amplitude, int32_t divisor, float speed, float scroll,
                 int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom);
/// Puts the rectangle with each band of step rows made of copies of the band's first row (a
/// venetian-blind look). Nothing for step <= 0.
void PutRows(int32_t x, int32_t y, int32_t step, int32_t object, int32_t left, int32_t top, int32_t right,
             int32_t bottom);

// Presentation.
/// Shows the frame: draws the fade tiles and the pause overlay when active, then copies the back
/// screen to the window or the full-screen display (after the vertical blank, when that pacing is on).
void Present();
/// Turns waiting for the vertical blank at present on or off.
/// @param on 1: elDraw::Present waits for the vertical blank; 0: it does not (set by
/// elSystem::SetFrameWait, which keeps exactly one of the two pacings on).
void SetVSync(uint32_t on);
/// Copies the back screen's rectangle (left, top, right, bottom) to (0, 0) of draw object object.
void GrabScreen(int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom);
/// Loads the fade tile picture (ten 64 x 48 tiles side by side, black transparent) used by
/// elDraw::FadeOut and elDraw::FadeIn.
/// @param name BMP file or resource name.
/// @return the object number; on failure 0 after the report of elDraw::LoadObject (the fades then
/// run their frames without tiles).
int32_t LoadFadeTiles(const char* name);
/// Starts a fade to black over the next ten presents (the fade tiles cover the screen step by step).
void FadeOut();
/// Starts a fade from black over the next ten presents.
void FadeIn();
/// Loads (or replaces) the pause overlay: a picture scrolled with the arrow keys over a moving
/// background of 64 x 48 tiles, shown by elDraw::TogglePause.
/// @param picture, tile BMP file or resource names; @p height the picture's height in pixels.
/// @return height, also when a picture failed to load (reported by elDraw::LoadObject; the overlay
/// then leaves that picture out).
int32_t SetPause(const char* picture, const char* tile, int32_t height);
/// Shows or hides the pause overlay (shown only once elDraw::SetPause has given it a picture).
void TogglePause();
/// Counts a frame and draws the frame rate (averaged over two seconds, with its highest and lowest)
/// at the top left of the back screen.
void ShowFps();

// Text and fonts (strings are code page 932).
/// Lists the installed font families (at most 200) for elDraw::SetFontName; called by elDraw::Screen.
void EnumFonts();
/// Ends any text span and frees the font state; fonts need elDraw::EnumFonts again.
void FreeFonts();
/// Starts drawing text on the back screen with a standard face.
/// @param face 0 "標準明朝" (mincho), 1 "標準ゴシック" (gothic); any other keeps the current face.
/// @param height character height in pixels; @p angle degrees counter-clockwise;
/// @p weight 0 normal, 1 bold; @p italic, @p underline 1 to turn on.
void SetFont(int32_t face, int32_t height, int32_t angle, int32_t weight, uint8_t italic, uint8_t underline);
/// As elDraw::SetFont with a face by name (CP932), one of those elDraw::EnumFonts found.
void SetFontName(const char* name, int32_t height, int32_t angle, int32_t weight, uint8_t italic, uint8_t underline);
/// Ends the text span opened by elDraw::SetFont or elDraw::SetFontName.
void EndFont();
/// Sets the colours of the text operations.
/// @param text, background COLORREF (0x00BBGGRR) of the text and of its shadow or background.
/// @param transparent 1: the background is left alone; 0: drawn behind direct text.
void SetTextColor(uint32_t text, uint32_t background, uint32_t transparent);
/// Draws text at (x, y) of the back screen in the current font (after elDraw::SetFont); not clipped.
void Text(int32_t x, int32_t y, const char* text);
/// Draws text word-wrapped in the rectangle with the current font.
/// @param align 0 left, 1 centred, 2 right; other values draw nothing.
void DrawTextBox(int32_t left, int32_t top, int32_t right, int32_t bottom, const char* text, int32_t align);
/// Measures word-wrapped text without drawing it.
/// @return the height in pixels that elDraw::DrawTextBox would take for text in the rectangle's
/// width; 0 without a font.
int32_t MeasureTextBox(int32_t left, int32_t top, int32_t right, int32_t bottom, const char* text);
/// The Japanese text box: lays text out in the rectangle glyph by glyph, breaking lines at the right
/// edge and at "\n", letting closing punctuation and spaces ("、", "。", "」", " " ...) hang past the
/// edge instead of starting a line, and stopping at the bottom. Draws into the internal Font object,
/// then puts the result on the back screen; its glyphs can instead be revealed one by one with
/// elDraw::TypeText. Black text is raised to 0x101010 (black is the key).
/// @param left, top, right, bottom the box in screen pixels.
/// @param text CP932 text, at most 3199 glyphs.
/// @param flags low byte: extra line spacing in pixels; 0x100 shadow (background colour, 1 pixel down
/// and right); 0x200 bold across; 0x400 bold down.
void TextBox(int32_t left, int32_t top, int32_t right, int32_t bottom, const char* text, uint32_t flags);
/// As elDraw::TextBox without putting the box on the screen: for a typewriter reveal with
/// elDraw::TypeText.
void TextBoxNoPut(int32_t left, int32_t top, int32_t right, int32_t bottom, const char* text, uint32_t flags);
/// Chooses the face for the smoothed text box (drawn at double size, then reduced with
/// anti-aliasing).
/// @param face 0 mincho, 1 gothic (other values keep the face); @p size character height in pixels.
void SetFontSmooth(int32_t face, int32_t size);
/// As elDraw::SetFontSmooth with a face by name (CP932).
void SetFontSmoothName(const char* name, int32_t size);
/// Ends the smoothed text box's font span.
void EndFontSmooth();
/// The text box of elDraw::TextBox with anti-aliased glyphs blended over the screen beneath them
/// (font from elDraw::SetFontSmooth); same line-breaking rules and flags.
void SmoothTextBox(int32_t left, int32_t top, int32_t right, int32_t bottom, const char* text, uint32_t flags);
/// As elDraw::SmoothTextBox without putting the box on the screen (for elDraw::TypeText).
void SmoothTextBoxNoPut(int32_t left, int32_t top, int32_t right, int32_t bottom, const char* text, uint32_t flags);
/// Typewriter reveal of the last text box: call once per frame; puts the glyphs revealed so far and
/// reveals one more each interval seconds.
/// @param interval seconds per glyph; 0 shows the whole box at once.
/// @return 1 once every glyph is shown, else 0.
int32_t TypeText(float interval);
/// Draws text at (x, y) in 12-pixel gothic, white on dark blue, for debugging.
void DebugText(int32_t x, int32_t y, const char* text);
/// As elDraw::DebugText with a printf-style text (at most 511 bytes).
void DebugPrintf(int32_t x, int32_t y, const char* format, ...) __attribute__((format(printf, 3, 4)));

}  // namespace elDraw

// ---------------------------------------------------------------------------------------------
// Image packs, software effects, GDI primitives, screen filters and clip wipes.

// Clip wipes (WipeState and the saved clip rectangle are declared above).
///@{
/// The last wipe as elDraw::StartWipe took it: WipeKind (0 opening, else closing), WipeDirection
/// (pattern 1..9), WipeBand (band width); WipeOpened and WipeClosed become 1 when it has ended.
extern int32_t WipeKind, WipeDirection, WipeBand, WipeOpened, WipeClosed;
///@}
/// Speed of the running wipe in pixels a second.
extern float WipeSpeed;
/// Phase of elDraw::PutSineRows, in rows.
extern float SineRowPhase;
///@{
/// Positions in the noise table of the noise filter and of the smoke filters.
extern int32_t NoisePos, SmokePos;
///@}

namespace elDraw {

// Clip wipes.
/// Starts a clip wipe: a transition made by animating the back screen's clip rectangle, so
/// whatever the game draws appears (opening) or disappears (closing) through a growing or shrinking
/// window. Step it once a frame with elDraw::StepWipe. The clip at the start is saved and is where an
/// opening wipe ends.
/// @param kind 0 opening (the clip grows from nothing to the saved clip), otherwise closing.
/// @param direction pattern 1..9: 1 from the bottom up, 2 from the top down, 3 from the right,
/// 4 from the left, 5 from the centre row, 6 from the centre column, 7 from the centre point,
/// 8 a centre column band first, 9 a centre row band first; 0 picks one at random.
/// @param speed pixels a second each moving edge travels (at least one pixel a frame).
/// @param band width in pixels of the centre band of patterns 8 and 9.
/// @return 1 when started; 0 while another wipe runs or for a pattern outside 0..9 (nothing changes,
/// no report).
int32_t StartWipe(int32_t kind, int32_t direction, float speed, int32_t band);
/// Advances the running wipe by one frame (FrameSeconds x speed pixels, at least 1). At the end
/// WipeOpened or WipeClosed becomes 1; a closed screen stays closed until the next wipe.
/// @return 1 while a wipe ran this frame, 0 when none is running.
int32_t StepWipe();
/// Closes the screen at once: shrinks the clip to nothing, as a finished closing wipe leaves it (the
/// next elDraw::StartWipe puts the saved clip back first). The normal clip is saved only when no wipe
/// is running and the screen is not already closed, so a second close keeps it.
void CloseScreen();

// Software effect blitters (16-bit screens): each puts the object's rectangle at (x, y) of the back
// screen, clipped; black source pixels are left out. 1 when done (also when nothing was visible),
// 0 when the screen is not 16-bit, the object has no surface, a surface could not be locked, or the
// rectangle lies outside the object. Rotations sample each destination pixel at its centre.
/// Cross-fades the picture over the screen through the 5-bit fade table.
/// @param alpha 0 (screen only) to 31 (picture only).
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutBlend(int32_t x, int32_t y, int32_t alpha, int32_t object, int32_t left, int32_t top, int32_t right,
             int32_t bottom);
/// As elDraw::PutBlend with an alpha (0..31) per channel.
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutBlendRGB(int32_t x, int32_t y, int32_t alphaRed, int32_t alphaGreen, int32_t alphaBlue, int32_t object,
                int32_t left, int32_t top, int32_t right, int32_t bottom);
/// Mixes picture and screen half and half.
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutHalf(int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom);
/// Linear mix picture x alpha + screen x (1 - alpha), per channel at full channel width.
/// @param alpha 0.0 to 1.0.
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutAlpha(int32_t x, int32_t y, float alpha, int32_t object, int32_t left, int32_t top, int32_t right,
             int32_t bottom);
/// As elDraw::PutAlpha with an alpha per channel.
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutAlphaRGB(int32_t x, int32_t y, float alphaRed, float alphaGreen, float alphaBlue, int32_t object,
                int32_t left, int32_t top, int32_t right, int32_t bottom);
/// As elDraw::PutAlphaRGB, with the screen's share falling by 1/32 every step pixels along the
/// direction after the first start pixels (a fade-out edge).
/// @param direction 0 along columns (restarting each row), otherwise along rows.
/// @param start pixels before the gradient begins; @p step pixels per 1/32 (<= 0: no gradient).
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutAlphaGradient(int32_t x, int32_t y, uint32_t direction, uint16_t start, int32_t step, float alphaRed,
                     float alphaGreen, float alphaBlue, int32_t object, int32_t left, int32_t top, int32_t right,
                     int32_t bottom);
/// The 5-bit table version of elDraw::PutAlphaGradient: alpha per channel 0..31, the fade index
/// dropping by one every step pixels after start.
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutBlendGradient(int32_t x, int32_t y, int32_t alphaRed, int32_t alphaGreen, int32_t alphaBlue,
                     uint32_t direction, uint16_t start, int32_t step, int32_t object, int32_t left, int32_t top,
                     int32_t right, int32_t bottom);
/// Additive put: each channel min(picture + screen, 31) (light effects).
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutAdd(int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom);
/// Additive put with the picture first darkened: min(max(picture - amount, 0) + screen, 31).
/// @param amount 0 to 31 (truncated).
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutAddFade(int32_t x, int32_t y, float amount, int32_t object, int32_t left, int32_t top, int32_t right,
               int32_t bottom);
/// Subtracts the picture's red level from every channel of the screen: a shadow shaped and shaded
/// by the picture.
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutShadow(int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom);
/// Puts the picture darkened: each channel max(channel - (31 - level), 0).
/// @param level 31 the picture as it is to 0 black.
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutDark(int32_t x, int32_t y, int32_t level, int32_t object, int32_t left, int32_t top, int32_t right,
            int32_t bottom);
/// As elDraw::PutDark with a level (0..31) per channel.
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutDarkRGB(int32_t x, int32_t y, int32_t levelRed, int32_t levelGreen, int32_t levelBlue, int32_t object,
               int32_t left, int32_t top, int32_t right, int32_t bottom);
/// Colour-keyed put that softens the outline: edge pixels are averaged with the screen under their
/// transparent neighbours.
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutSmoothEdge(int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom);
/// Puts only the channels whose flag is non-zero (the others black).
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutChannels(int32_t x, int32_t y, uint32_t keepRed, uint32_t keepGreen, uint32_t keepBlue, int32_t object,
                int32_t left, int32_t top, int32_t right, int32_t bottom);
/// Puts the picture with each channel multiplied by factor (limited at the channel's maximum).
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutScale(int32_t x, int32_t y, float factor, int32_t object, int32_t left, int32_t top, int32_t right,
             int32_t bottom);
/// As elDraw::PutScale with a factor per channel.
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutScaleRGB(int32_t x, int32_t y, float factorRed, float factorGreen, float factorBlue, int32_t object,
                int32_t left, int32_t top, int32_t right, int32_t bottom);
/// Puts the picture blurred: each pixel the average of the k x k block at it (k below 1 counts as 1).
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutBlurred(int32_t x, int32_t y, int32_t k, int32_t object, int32_t left, int32_t top, int32_t right,
               int32_t bottom);
/// Puts the picture in grey (the average of its channels).
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutGrey(int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom);
/// Puts the picture mirrored.
/// @param mode 0 as it is, 1 left to right, 2 top to bottom, 3 both.
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutMirror(int32_t x, int32_t y, int32_t mode, int32_t object, int32_t left, int32_t top, int32_t right,
              int32_t bottom);
/// Puts the picture with grain: each channel shifted right by shift, plus a NoiseTable value (0..2),
/// at most 31.
/// @param shift 0..5 (clamped).
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutNoise(int32_t x, int32_t y, int32_t shift, int32_t object, int32_t left, int32_t top, int32_t right,
             int32_t bottom);
/// Nearest-sample enlargement or reduction by zoom, the picture's top-left corner at (x, y),
/// colour-keyed.
/// @param zoom factor (> 1 enlarges); 0, negative or infinite draws nothing.
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutZoom(int32_t x, int32_t y, float zoom, int32_t object, int32_t left, int32_t top, int32_t right,
            int32_t bottom);
// Radial distortions about the rectangle's centre: a swirl turning each ring by strength degrees at
// the centre (fading to 0 at the radius), and a lens (strength > 0 magnifies the middle, < 0 shrinks it).
/// Swirl: each ring turned by up to strength degrees at the centre, fading to 0 at the radius.
/// @param strength degrees of turn at the centre.
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutSwirl(int32_t x, int32_t y, float strength, int32_t object, int32_t left, int32_t top, int32_t right,
             int32_t bottom);
/// Lens: a radial distortion inside the circle of the rectangle.
/// @param strength > 0 magnifies the middle, < 0 shrinks it (0: the picture as it is).
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutLens(int32_t x, int32_t y, float strength, int32_t object, int32_t left, int32_t top, int32_t right,
            int32_t bottom);

// Built on the plain puts (any depth).
/// Puts every step-th row of the rectangle (rows top + step, top + 2 step, ...) at its own place;
/// step < 0 leaves random gaps of 1 to -step rows; 0 draws nothing.
/// @return 1; nothing is reported.
int PutRowsStep(int32_t x, int32_t y, int32_t step, int32_t object, int32_t left, int32_t top, int32_t right,
                int32_t bottom);
/// Puts the rectangle with its rows stretched and squeezed by a sine wave that runs on with time.
/// @param direction 0 the wave runs up, otherwise down; @p speed rows a second.
/// @return 1; nothing is reported.
int PutSineRows(int32_t x, int32_t y, uint32_t direction, float speed, int32_t object, int32_t left, int32_t top,
                int32_t right, int32_t bottom);
/// Puts each row shifted sideways by a random amount in -amplitude to amplitude - 1 (amplitude < 1:
/// a plain put).
/// @return 1; nothing is reported.
int PutJitter(int32_t x, int32_t y, int32_t amplitude, int32_t object, int32_t left, int32_t top, int32_t right,
              int32_t bottom);

// Rotations (angle in degrees) of the source rectangle about the centre of the destination rectangle.
/// Rotates the source rectangle by angle about the centre of the destination rectangle,
/// colour-keyed, nearest sample.
/// @param dl, dt, dr, db destination rectangle on the back screen (clipped).
/// @param angle degrees, any value (taken modulo 360).
/// @param sl, st, sr, sb source rectangle in the object.
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutRotate(int32_t dl, int32_t dt, int32_t dr, int32_t db, int32_t angle, int32_t object, int32_t sl, int32_t st,
              int32_t sr, int32_t sb);
/// As elDraw::PutRotate with the picture repeated over the whole destination rectangle.
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutRotateTiled(int32_t dl, int32_t dt, int32_t dr, int32_t db, int32_t angle, int32_t object, int32_t sl,
                   int32_t st, int32_t sr, int32_t sb);
/// As elDraw::PutRotate, the picture scaled by zoom (> 0) about its centre.
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutRotateZoom(int32_t dl, int32_t dt, int32_t dr, int32_t db, int32_t angle, float zoom, int32_t object,
                  int32_t sl, int32_t st, int32_t sr, int32_t sb);
/// As elDraw::PutRotateZoom with the picture repeated over the destination rectangle.
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutRotateZoomTiled(int32_t dl, int32_t dt, int32_t dr, int32_t db, int32_t angle, float zoom, int32_t object,
                       int32_t sl, int32_t st, int32_t sr, int32_t sb);
/// Rotation whose pixels are blended over the screen as elDraw::PutBlend does.
/// @param alpha 0..31 (above 31 counts as 31).
/// @return 1 (also when nothing is visible); 0, with no report, when the screen is not 16-bit, the
/// object has no picture, a surface cannot be locked or the rectangle leaves the object.
int PutRotateBlend(int32_t dl, int32_t dt, int32_t dr, int32_t db, int32_t angle, int32_t alpha, int32_t object,
                   int32_t sl, int32_t st, int32_t sr, int32_t sb);

}  // namespace elDraw

namespace elDraw {

// GDI primitives on the back screen. Colours are COLORREF (0x00BBGGRR).
/// A point in screen pixels for elDraw::Polygon and elDraw::Bezier.
struct Point {
  ///@{
  /// Column and row in pixels.
  int32_t x, y;
  ///@}
};
/// Reads the colour of the back screen's pixel (x, y) as 0..255 per channel; 255, 255, 255 outside the
/// screen. Null pointers are skipped.
void GetPixel(int32_t x, int32_t y, uint32_t* red, uint32_t* green, uint32_t* blue);
/// Sets the back screen's pixel (x, y) to colour (COLORREF 0x00BBGGRR); not clipped.
void SetPixel(int32_t x, int32_t y, uint32_t colour);
/// Draws a line from (x0, y0) to (x1, y1) in colour, width pixels wide.
void Line(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t colour, int32_t width);
/// Draws a rectangle filled with fill and outlined in outline (COLORREF), the outline width pixels wide.
void Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t fill, uint32_t outline,
               int32_t width);
/// Draws the closed polygon through count points (at least 2), outlined in colour, width pixels wide.
/// @param mode 0 hollow; otherwise hatched (diagonal cross) in colour, the gaps in background
///        (mode 2: the gaps left alone).
void Polygon(const Point* points, int32_t count, uint32_t colour, uint32_t background, int32_t width, int32_t mode);
/// Draws a chain of cubic Bezier curves in colour, width pixels wide.
/// @param count 1 + 3n points: a start point, then two control points and an end point per curve.
void Bezier(const Point* points, int32_t count, uint32_t colour, int32_t width);
/// Inverts the colours of a rectangle of the back screen (right and bottom exclusive).
void InvertRect(int32_t left, int32_t top, int32_t right, int32_t bottom);

// Screen capture and filters over a rectangle of the back screen (16-bit screens; SaveScreen also 32-bit).
// The filters cut the rectangle to the screen; each returns 1, or 0 when the screen cannot be locked.
/// Saves the top-left width x height of the back screen as a 24-bit BMP file name in the program
/// directory.
/// @return 1; 0 when the size is empty or larger than the screen or the screen cannot be locked (no
/// report). A file that cannot be written is skipped silently.
int SaveScreen(const char* name, int32_t width, int32_t height);
/// Softens the rectangle: each inner pixel becomes the average of its four neighbours.
/// @return 1 (also when the rectangle is cut to nothing); 0, with no report, when the screen is not
/// 16-bit or cannot be locked.
int Blur(int32_t x, int32_t y, int32_t width, int32_t height);
/// Smoke filter: moves the rectangle's pixels up, averaging them with their neighbours (run once a
/// frame for rising smoke).
/// @return 1 (also when the rectangle is cut to nothing); 0, with no report, when the screen is not
/// 16-bit or cannot be locked.
int Smoke(int32_t x, int32_t y, int32_t width, int32_t height);
/// As elDraw::Smoke, with the flagged channels also losing a level each pass.
/// @return 1 (also when the rectangle is cut to nothing); 0, with no report, when the screen is not
/// 16-bit or cannot be locked.
int SmokeFade(uint32_t fadeRed, uint32_t fadeGreen, uint32_t fadeBlue, int32_t x, int32_t y, int32_t width,
              int32_t height);
/// Grain: each channel shifted right by shift (0..5) plus noise 0..2, at most 31.
/// @return 1 (also when the rectangle is cut to nothing); 0, with no report, when the screen is not
/// 16-bit or cannot be locked.
int Noise(int32_t shift, int32_t x, int32_t y, int32_t width, int32_t height);
/// As elDraw::Noise, only on the channels whose flag is non-zero.
/// @return 1 (also when the rectangle is cut to nothing); 0, with no report, when the screen is not
/// 16-bit or cannot be locked.
int NoiseRGB(uint32_t red, uint32_t green, uint32_t blue, int32_t shift, int32_t x, int32_t y, int32_t width,
             int32_t height);
/// Darkens the rectangle outside the circle (cx, cy, radius) by distance: a pixel d pixels beyond
/// the radius loses d / falloff of its 31 levels per channel (falloff below 1 counts as 1).
/// @return 1 (also when the rectangle is cut to nothing); 0, with no report, when the screen is not
/// 16-bit or cannot be locked.
int Spotlight(int32_t cx, int32_t cy, int32_t radius, int32_t falloff, int32_t x, int32_t y, int32_t width,
              int32_t height);
/// Enlarges the rectangle twice about its top-left corner (through the internal Buffer object).
/// @param grid non-zero draws only the top-left pixel of each 2 x 2 block (a dot-grid look).
/// @return 1; 0 when the rectangle leaves the screen or a surface cannot be locked (no report).
int Zoom2(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t grid);
/// As elDraw::Zoom2, four times; grid keeps the top-left 2 x 2 pixels of each 4 x 4 block.
/// @return as elDraw::Zoom2.
int Zoom4(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t grid);

}  // namespace elDraw

// Image packs (elDraw::SwapPack is declared above).
/// Full path of the image pack file set by elDraw::SetPackFile.
extern char ImagePackPath[256];
namespace elDraw {
/// Sets the image pack file (a name in the program directory) read by elDraw::LoadPack and
/// elDraw::SwapPack.
void SetPackFile(const char* name);
/// Loads the image pack's entry name into a new draw object (names compare without regard to ASCII
/// case), with the current colour key.
/// @param placement surface placement hint (ignored here).
/// @return the object number; on failure 0 after reporting "パックファイル名が指定されていません"
/// (no pack file), "BMPファイルを読み込めません" (no such entry, or a damaged pack),
/// "サーフェース間で展開できません", or the reports of elDraw::CreateObject.
int32_t LoadPack(const char* name, int32_t placement);
/// Appends every BMP file of directory (in name order) to the image pack packName, as
/// elDraw::AddToPack does.
/// @param restart non-zero deletes the pack first.
/// @return 1; on failure 0 after reporting "画面をフルカラーにして下さい" (the screen must be deeper
/// than 16 bits to read the pictures' full colours).
uint32_t Convert(const char* packName, const char* directory, int32_t restart);
/// Appends one BMP (file or resource bmpName, loaded as elDraw::LoadObject does) to the image pack
/// packName as an entry named by its file name upper-cased, in 15-bit colour (dark colours kept off
/// pure black, the key). A picture that cannot be loaded is reported by elDraw::LoadObject and skipped.
void AddToPack(const char* packName, const char* bmpName);
}  // namespace elDraw
