// A very small game, here to be tested (game_test.cpp): a square that the arrow keys move along a
// line; when it reaches the right edge a ping plays and the square starts again from the left.
#pragma once
#include <cstdint>

constexpr int32_t kSquareSize = 32;
constexpr int32_t kSquareY = 224;
constexpr float kSquareSpeed = 240.0f;     // pixels a second
constexpr uint16_t kSquarePixel = 0xF800;  // red on the 16-bit (5-6-5) screen

// Loads the ping from a WAVE file beside the program; false (after the library's error box) when it
// cannot. Call after elDraw::Screen.
bool GameSetup(const char* pingFile);
// One frame: reads the keys, moves the square, draws and presents.
void GameFrame();
