// Declarations the scenes need from modules that have not landed yet; removed as their headers grow.
#pragma once
#include <cstdint>

#include "el/elDraw.h"
#include "el/elMusic.h"
#include "el/elSound.h"
#include "el/elStream.h"
#include "el/elSystem.h"

extern uint16_t RShift5, GShift5, BShift5;
extern uint32_t WhitePixel;

namespace elDraw {
void SetColorKey(uint32_t colour);
int32_t LoadObject(const char* name, int32_t placement);
int32_t CreateObject(int32_t width, int32_t height, int32_t placement);
void ClearObject(int32_t object);
void ClearScreen();
void FillWhite(int32_t left, int32_t top, int32_t right, int32_t bottom);
uint32_t FillHalf(int32_t left, int32_t top, int32_t right, int32_t bottom, uint16_t pixel);
void Put(int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom);
void PutStretch(int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom,
                int32_t width, int32_t height);
void PutTiled(float speedX, float speedY, int32_t object, int32_t left, int32_t top, int32_t right,
              int32_t bottom);
void GrabScreen(int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom);
void SetFont(int32_t face, int32_t height, int32_t angle, int32_t weight, uint8_t italic, uint8_t underline);
void SetTextColor(uint32_t text, uint32_t back, uint32_t transparent);
void Text(int32_t x, int32_t y, const char* text);
void EndFont();
}  // namespace elDraw

namespace elMusic {
int32_t LoadObject(const char* name);
void Play(int32_t object, int32_t repeat);
}  // namespace elMusic

namespace elStream {
int LoadObject(const char* name, int32_t withAudio);
void Play();
void Draw(int32_t x, int32_t y, int32_t target);
void Stop();
int GetState();
}  // namespace elStream
