// elSound: sound objects, WAVE loading and playback, sound packs and streamed sound.
#pragma once
#include <cstdint>

namespace elSound {

int Init();
// Empties every sound object slot (elDraw::Screen calls it after Init).
void ClearObjects();
void Release();

}  // namespace elSound
