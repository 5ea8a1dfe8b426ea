// Test control of the headless audio device: whether there is one, its rate, and pulling its mix.
#pragma once
#include <cstdint>
#include <vector>

namespace plat::headless {

// Whether opening the audio device succeeds (default true), and the rate it runs at (default 48000 Hz).
// Both take effect at the next open.
void SetAudioDeviceAvailable(bool available);
void SetAudioDeviceRate(uint32_t hz);
// Frames per period, which sets how far the write cursors run ahead of the play cursors (default 0).
void SetAudioPeriodFrames(uint32_t frames);
bool AudioDeviceIsOpen();
uint32_t AudioOpenCount();  // successful opens since the start

// Mixes and returns frames frames of interleaved 16-bit stereo, moving every play cursor on exactly
// as the device would. Returns silence (and moves nothing) while the device is closed.
std::vector<int16_t> PullAudio(uint32_t frames);

}  // namespace plat::headless
