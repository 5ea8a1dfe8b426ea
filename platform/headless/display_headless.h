// Test control of the headless display: the last frame shown, mode refusals, capabilities, lost
// surfaces and vertical-blank failures.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/surface.h"

namespace plat::headless {

// The last frame DisplayShow received, as 0x00RRGGBB pixels (channels widened to 8 bits).
struct Frame {
  int32_t width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
const Frame& LastFrame();
int ShownFrames();
// Writes a frame as a PNG file; false when the file cannot be written.
bool WritePng(const Frame& f, const std::string& path);

// Display configuration (read by the next DisplayOpen / DisplaySetMode; Reset restores the defaults:
// every 16- and 32-bit mode accepted, 16 bits as 5-6-5, a 32-bit desktop, stretching emulated, no 3D).
void SetModeRefused(int32_t bits, bool refused);
void SetSixteenBitFormat(PixelFormat f);
void SetDesktopBits(int32_t bits);
void SetCaps(bool threeD, bool texture, bool driverStretch, bool emulationStretch);
void SetDeviceMissing(bool missing);
// The next n vertical-blank waits fail.
void FailVerticalBlanks(int n);
int VerticalBlankWaits();
// Every display surface becomes lost (as when another program takes the display).
void LoseSurfaces();
void ResetDisplay();

}  // namespace plat::headless
