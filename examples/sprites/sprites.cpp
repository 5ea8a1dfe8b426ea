// Sprites: a creature walks over a stretched landscape, steered with the arrow keys or joystick 0.
// Around it a star turns (rotation), fades in and out (blend) and breathes (zoom); Space or joystick
// button 1 spins the creature itself. Escape quits.
#include <cmath>

#include "../common/example.h"
#include "el/elDraw.h"
#include "el/elSystem.h"

namespace {

// Held keys are polled by virtual-key code (elSystem::GetKey); presses come from the event queue by
// scan code, so that a tap shorter than a frame is not missed.
constexpr int32_t kVkLeft = 0x25, kVkUp = 0x26, kVkRight = 0x27, kVkDown = 0x28;
constexpr uint16_t kScanSpace = 0x39;
constexpr float kSpeed = 240.0f;  // pixels a second
constexpr int32_t kHeroSize = 48, kStarSize = 64;

int32_t sky, hero, heroOnBlack, star;
float heroX = 296, heroY = 330;
float spin;  // degrees the creature still turns
uint32_t keyLeft, keyRight, keyUp, keyDown;

// Down in this frame: GetKey keeps 1 (just pressed) or 3 (held) while the key is down.
bool Down(uint32_t state) { return state & 1; }

void Caption(int32_t x, int32_t y, const char* text) {
  elDraw::SetFont(1, 16, 0, 1, 0, 0);           // gothic face, 16 pixels, bold
  elDraw::SetTextColor(0xFFFFFF, 0x000000, 1);  // white, transparent background
  elDraw::Text(x, y, text);
  elDraw::EndFont();
}

bool Setup() {
  // Pictures come from files beside the program. The colour key set before a load is the object's
  // transparent colour (a COLORREF: magenta here); the effect blitters leave black out instead.
  elDraw::SetColorKey(0xFF00FF);
  hero = elDraw::LoadObject("hero.bmp", 0);
  elDraw::SetColorKey(0x000000);
  sky = elDraw::LoadObject("sky.bmp", 0);
  star = elDraw::LoadObject("star.bmp", 0);
  if (!hero || !sky || !star) return false;  // a failed load has already shown its error box
  // A copy of the creature on black for the rotation: a keyed put onto a cleared object.
  heroOnBlack = elDraw::CreateObject(kHeroSize, kHeroSize, 0);
  elDraw::ClearObject(heroOnBlack);
  elDraw::PutToObject(heroOnBlack, 0, 0, hero, 0, 0, kHeroSize, kHeroSize);
  return heroOnBlack != 0;
}

void Frame() {
  // Keyboard: polled key states. Joystick: -1, 0 or 1 per axis from its calibrated centre.
  elSystem::GetKey(kVkLeft, &keyLeft);
  elSystem::GetKey(kVkRight, &keyRight);
  elSystem::GetKey(kVkUp, &keyUp);
  elSystem::GetKey(kVkDown, &keyDown);
  int32_t jx = 0, jy = 0;
  elSystem::GetJoyDirection(0, &jx, &jy);
  const float dx = static_cast<float>(Down(keyRight) - Down(keyLeft) + jx);
  const float dy = static_cast<float>(Down(keyDown) - Down(keyUp) + jy);
  heroX = std::fmin(std::fmax(heroX + dx * kSpeed * FrameSeconds, 0.0f), 640.0f - kHeroSize);
  heroY = std::fmin(std::fmax(heroY + dy * kSpeed * FrameSeconds, 0.0f), 480.0f - kHeroSize);
  bool spinNow = elSystem::GetJoyButton(0, 1) != 0;
  while (elSystem::GetEvent(0))  // this frame's input events; kind 1 is the keyboard, value 1 a press
    if (InputEvent.kind == 1 && InputEvent.value == 1 && InputEvent.code == kScanSpace) spinNow = true;
  if (spinNow && spin <= 0) spin = 360;

  // The 160 x 120 landscape stretched over the whole screen.
  elDraw::PutStretch(0, 0, sky, 0, 0, 160, 120, 640, 480);

  const float t = static_cast<float>(FrameNumber()) / 60.0f;
  const int32_t angle = static_cast<int32_t>(t * 90) % 360;
  elDraw::PutRotate(60, 60, 60 + kStarSize, 60 + kStarSize, angle, star, 0, 0, kStarSize, kStarSize);
  const int32_t alpha = static_cast<int32_t>(16 + 15 * std::sin(t * 3));  // 0 (clear) .. 31 (solid)
  elDraw::PutBlend(288, 60, alpha, star, 0, 0, kStarSize, kStarSize);
  const float zoom = 1.0f + 0.5f * std::sin(t * 2);
  elDraw::PutZoom(548, 84, zoom, star, 0, 0, kStarSize, kStarSize);  // about (548, 92)
  Caption(52, 150, "回転");
  Caption(284, 150, "半透明");
  Caption(510, 150, "拡大縮小");

  // The creature: a colour-keyed put, or a rotation while it spins (black is left out there).
  const int32_t x = static_cast<int32_t>(heroX), y = static_cast<int32_t>(heroY);
  if (spin > 0) {
    elDraw::PutRotateZoom(x - 8, y - 8, x + kHeroSize + 8, y + kHeroSize + 8, static_cast<int32_t>(spin), 1.2f,
                          heroOnBlack, 0, 0, kHeroSize, kHeroSize);
    spin -= 720 * FrameSeconds;
  } else {
    elDraw::Put(x, y, hero, 0, 0, kHeroSize, kHeroSize);
  }
  Caption(12, 452, "矢印キー / ジョイスティックで移動、スペースで回転、Escで終了");
  elDraw::Present();
}

}  // namespace

int main(int argc, char** argv) { return RunExample({"スプライト", Setup, Frame}, argc, argv); }
