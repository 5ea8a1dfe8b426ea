// elSound: sound objects, WAVE loading and playback, sound packs and streamed sound.
#pragma once
#include <cstdint>

namespace elSound {

int Init();
void Release();

}  // namespace elSound
