// Helpers of the effect tests: objects filled pixel by pixel, 5-bit pixels, reading the back screen.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/draw_support.h"
#include "tests/support/files.h"

namespace efftest {

// A 16-bit pixel from 5-bit channels placed with the 5-bit shifts (the effects' own output form).
uint16_t P5(uint32_t r, uint32_t g, uint32_t b);
// The 5-bit channels of a 16-bit pixel.
void Split5(uint32_t p, uint32_t* r, uint32_t* g, uint32_t* b);
// A new object w x h whose pixel (x, y) is pixel(x, y).
int32_t MakeObject(int32_t w, int32_t h, const std::function<uint16_t(int32_t, int32_t)>& pixel);
// Fills the back screen pixel by pixel.
void FillScreen(const std::function<uint16_t(int32_t, int32_t)>& pixel);
uint16_t At(int32_t x, int32_t y);
// A different, never-black 5-bit pixel for every position (used to tell where pixels came from).
uint16_t Coded(int32_t x, int32_t y);

using testfiles::ReadFile;

}  // namespace efftest
