// Shared set-up of the drawing tests: a 640 x 480 screen on the headless display, pictures written
// as BMP files into the program directory, and reading back pixels.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "el/draw/draw_state.h"
#include "platform/headless/display_headless.h"

namespace drawtest {

// A BMP file image of w x h, 24 bits, bottom-up; colour(x, y) gives 0x00RRGGBB.
std::vector<uint8_t> Bmp24(int32_t w, int32_t h, const std::function<uint32_t(int32_t, int32_t)>& colour);
// Writes bytes to a file in the program directory (the test's working directory).
void WriteProgramFile(const std::string& name, const std::vector<uint8_t>& bytes);
std::string ProgramDir();

// The pixel value at (x, y) of a surface.
uint32_t PixelAt(plat::Surface* s, int32_t x, int32_t y);
// The 8-bit channels of a surface pixel as 0x00RRGGBB.
uint32_t RgbAt(plat::Surface* s, int32_t x, int32_t y);
// The pixel value of a COLORREF-free 0x00RRGGBB colour in the back screen's format.
uint32_t Pixel(uint32_t rgb);

// Resets the headless host and display, then sets the screen up (640 x 480, full screen, 16 bits).
class DrawTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Called before elDraw::Screen: tests change the display here.
  virtual void Configure() {}
  int screenResult = 0;
};

}  // namespace drawtest
