#include "game.h"

#include "el/elDraw.h"
#include "el/elSound.h"
#include "el/elSystem.h"

namespace {
constexpr int32_t kVkLeft = 0x25, kVkRight = 0x27;
int32_t ping = -1;
float squareX;
uint32_t keyLeft, keyRight;
}  // namespace

bool GameSetup(const char* pingFile) {
  squareX = 0;
  ping = elSound::LoadObject(pingFile, 1);
  return ping >= 0;
}

void GameFrame() {
  elSystem::GetKey(kVkLeft, &keyLeft);
  elSystem::GetKey(kVkRight, &keyRight);
  squareX += static_cast<float>((keyRight & 1) - (keyLeft & 1)) * kSquareSpeed * FrameSeconds;
  if (squareX < 0) squareX = 0;
  if (squareX > 640 - kSquareSize) {
    squareX = 0;
    elSound::Play(ping, -1);
  }
  elDraw::ClearScreen();
  const int32_t x = static_cast<int32_t>(squareX);
  elDraw::FillColor(x, kSquareY, x + kSquareSize, kSquareY + kSquareSize, kSquarePixel);
  elDraw::Present();
}
