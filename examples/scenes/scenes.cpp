// Scenes: a still picture decoded through the media stream, a second scene drawn from a bitmap, and
// the transitions between them: a clip wipe closes the picture and another opens the night scene
// (a different pattern each time), and the night scene fades out into the picture fading in.
// Space moves on at once; each scene also moves on by itself after a few seconds. Escape quits.
#include <cmath>

#include "../common/example.h"
#include "el/elDraw.h"
#include "el/elStream.h"
#include "el/elSystem.h"

namespace {

constexpr uint16_t kScanSpace = 0x39;
constexpr int kSceneFrames = 150;     // frames a scene stays by itself
constexpr float kWipeSpeed = 900.0f;  // pixels a second
constexpr int32_t kWipeBand = 40;     // starting band of the cross-shaped patterns 8 and 9

enum Scene { kPicture, kNight };
Scene scene = kPicture;
int sceneFrames;
int32_t wipePattern;     // 1..9, the next one each time
int32_t picture, night;  // full-screen pictures

void Caption(const char* text) {
  elDraw::SetFont(1, 20, 0, 1, 0, 0);
  elDraw::SetTextColor(0xFFFFFF, 0x000000, 1);
  elDraw::TextBox(20, 440, 620, 470, text, 0x100);  // with a shadow
  elDraw::EndFont();
}

void Enter(Scene s) {
  scene = s;
  sceneFrames = 0;
  if (s == kPicture) {
    elDraw::FadeIn();  // the fade tiles withdraw over the next ten presents
  } else {
    wipePattern = wipePattern % 9 + 1;
    elDraw::StartWipe(0, wipePattern, kWipeSpeed, kWipeBand);  // kind 0: opening
  }
}

bool Setup() {
  // Fades put ten 64 x 48 tiles of growing coverage over the screen (black in a tile is left out).
  if (!elDraw::LoadFadeTiles("fade.bmp")) return false;
  const int32_t small = elDraw::LoadObject("night.bmp", 0);
  const int32_t still = elDraw::CreateObject(320, 240, 0);
  // The media stream decodes the JPEG; its first picture is drawn into a draw object.
  if (!small || !still || !elStream::LoadObject("still.jpg", 0)) return false;
  elStream::Play();
  elStream::Draw(0, 0, still);
  elStream::Stop();
  // Both pictures are stretched to the screen once and kept at full size: the stretching blit ignores
  // the clip rectangle, the plain puts that draw them each frame respect it, so the wipes apply.
  picture = elDraw::CreateObject(640, 480, 0);
  night = elDraw::CreateObject(640, 480, 0);
  elDraw::PutStretch(0, 0, still, 0, 0, 320, 240, 640, 480);
  elDraw::GrabScreen(picture, 0, 0, 640, 480);
  elDraw::PutStretch(0, 0, small, 0, 0, 160, 120, 640, 480);
  elDraw::GrabScreen(night, 0, 0, 640, 480);
  Enter(kPicture);
  return true;
}

void Frame() {
  // While a fade-out runs the scene is not drawn: each present lays the next tile over the last picture.
  if (FadeDirection == 1) {
    elDraw::Present();
    if (FadeDirection == 0) Enter(kPicture);
    return;
  }
  bool moveOn = ++sceneFrames == kSceneFrames;
  while (elSystem::GetEvent(0))  // kind 1: keyboard; value 1: pressed
    if (InputEvent.kind == 1 && InputEvent.value == 1 && InputEvent.code == kScanSpace) moveOn = true;

  elDraw::ClearScreen();  // the whole screen: what a wipe has not opened yet stays black
  elDraw::StepWipe();     // moves the clip rectangle that every put below respects
  if (scene == kPicture) {
    elDraw::PutOpaque(0, 0, picture, 0, 0, 640, 480);
    Caption("メディアストリームで読んだ静止画");
    if (moveOn && WipeState <= 0) elDraw::StartWipe(1, wipePattern % 9 + 1, kWipeSpeed, kWipeBand);  // closing
    if (WipeClosed) {
      WipeClosed = 0;
      Enter(kNight);
    }
  } else {
    elDraw::PutOpaque(0, 0, night, 0, 0, 640, 480);
    const float t = static_cast<float>(sceneFrames) / 60.0f;
    elDraw::Spotlight(460, 120, 100 + static_cast<int32_t>(30 * std::sin(t * 2)), 40, 0, 0, 640, 480);
    Caption("クリップワイプで開いた夜の場面");
    if (moveOn) elDraw::FadeOut();
  }
  elDraw::Present();
}

}  // namespace

int main(int argc, char** argv) { return RunExample({"場面転換", Setup, Frame}, argc, argv); }
