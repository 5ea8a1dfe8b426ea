// Declarations the scenes need from modules that have not landed yet; removed as their headers grow.
#pragma once
#include <cstdint>

#include "el/draw/draw_state.h"
#include "el/elDraw.h"
#include "el/elMusic.h"
#include "el/elSound.h"
#include "el/elStream.h"
#include "el/elSystem.h"

namespace elMusic {
int LoadObject(const char* name);
void Play(int32_t object, int32_t repeat);
}  // namespace elMusic

namespace elStream {
int LoadObject(const char* name, int32_t withAudio);
void Play();
void Draw(int32_t x, int32_t y, int32_t target);
void Stop();
int GetState();
}  // namespace elStream
