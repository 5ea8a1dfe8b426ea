// The audio device and its mixer: stands in for the sound device with a primary format and secondary
// buffers (static or circular) that the mixer plays at their own rates, volumes and pans.
// Called by elSound (sound objects, packs, streams), elMusic (the synthesizer renders into sound
// object 0's buffer through a filler) and elStream (the media stream's audio).
// Every call is safe from the program's thread while the host's audio thread pulls the mix.
// Results are 0 (kAudioOk) or one of the error codes below; an invalid buffer, offset, size or value is
// answered with an error and touches nothing.
#pragma once
#include <cstdint>

namespace plat {

// Result codes, with the values of the sound platform the library was written for.
constexpr int32_t kAudioOk = 0;
constexpr int32_t kAudioErrInvalidParam = static_cast<int32_t>(0x80070057);
constexpr int32_t kAudioErrOutOfMemory = static_cast<int32_t>(0x8007000E);
constexpr int32_t kAudioErrBadFormat = static_cast<int32_t>(0x88780064);
constexpr int32_t kAudioErrInvalidCall = static_cast<int32_t>(0x88780032);
constexpr int32_t kAudioErrControlUnavailable = static_cast<int32_t>(0x8878001E);
constexpr int32_t kAudioErrNoDriver = static_cast<int32_t>(0x88780078);

// Buffer creation flags.
constexpr uint32_t kAudioStatic = 0x2;          // the whole sample, written once
constexpr uint32_t kAudioCtrlFrequency = 0x20;  // SetFrequency allowed
constexpr uint32_t kAudioCtrlPan = 0x40;        // SetPan allowed
constexpr uint32_t kAudioCtrlVolume = 0x80;     // SetVolume allowed
constexpr uint32_t kAudioGlobalFocus = 0x8000;  // accepted; the mixer plays every buffer regardless of focus
constexpr uint32_t kAudioAccuratePos = 0x10000; // accepted; play cursors are always exact

// Play flags, status bits, lock flags.
constexpr uint32_t kAudioPlayLooping = 0x1;
constexpr uint32_t kAudioStatusPlaying = 0x1;
constexpr uint32_t kAudioStatusLooping = 0x4;
constexpr uint32_t kAudioLockEntireBuffer = 0x2;

// Limits.
constexpr uint32_t kAudioMinFrequency = 100;
constexpr uint32_t kAudioMaxFrequency = 100000;
constexpr int32_t kAudioVolumeMin = -10000;  // hundredths of a decibel; -10000 is silence
constexpr int32_t kAudioVolumeMax = 0;
constexpr int32_t kAudioPanLeft = -10000;
constexpr int32_t kAudioPanRight = 10000;
constexpr uint32_t kAudioMinBufferBytes = 4;
constexpr uint32_t kAudioMaxBufferBytes = 0x0FFFFFFF;

// The wave format record (little-endian layout of the file format's "fmt " chunk). Only PCM
// (tag 1), 1 or 2 channels, 8-bit unsigned or 16-bit signed samples are playable.
#pragma pack(push, 1)
struct AudioFormat {
  uint16_t formatTag;
  uint16_t channels;
  uint32_t samplesPerSec;
  uint32_t avgBytesPerSec;
  uint16_t blockAlign;
  uint16_t bitsPerSample;
  uint16_t extraSize;
};
#pragma pack(pop)
static_assert(sizeof(AudioFormat) == 18);

// A secondary buffer; 0 is no buffer. Released handles are never reused within a run.
using AudioBuffer = uint32_t;

// Opens the host's audio device (kAudioErrNoDriver when there is none). Opening an open device is kAudioOk.
int32_t AudioCreateDevice();
// Releases every buffer and closes the device.
void AudioReleaseDevice();
bool AudioDeviceReady();

// The primary format: what the program asked the output to be. The mix itself always runs in 16-bit
// stereo at the device's rate (the host converts), so the primary format is validated and kept
// but does not lower the output quality.
int32_t AudioSetPrimaryFormat(const AudioFormat* format);
int32_t AudioGetPrimaryFormat(AudioFormat* out);

// Creates a secondary buffer of bytes bytes (kAudioMinBufferBytes..kAudioMaxBufferBytes) playing
// samples of the given format record (formatSize bytes at format; 16 bytes suffice for PCM; the
// average byte rate must equal rate x block alignment). The buffer starts silent, stopped at 0, at
// full volume, centred, at the format's rate.
int32_t AudioCreateBuffer(uint32_t flags, uint32_t bytes, const void* format, uint32_t formatSize,
                          AudioBuffer* out);
int32_t AudioReleaseBuffer(AudioBuffer buffer);
int32_t AudioGetFormat(AudioBuffer buffer, AudioFormat* out);
int32_t AudioGetSize(AudioBuffer buffer, uint32_t* bytes);

// Lock gives one or two writable regions starting at offset (the second, when the span wraps past the
// end, starts at 0); kAudioLockEntireBuffer locks the whole buffer from 0. offset must be inside the
// buffer and bytes 1..size. One lock at a time per buffer. The regions hold the buffer's current bytes;
// what is written there reaches the buffer at Unlock, which takes the pointers Lock gave.
int32_t AudioLock(AudioBuffer buffer, uint32_t offset, uint32_t bytes, void** region1, uint32_t* bytes1,
                  void** region2, uint32_t* bytes2, uint32_t flags);
int32_t AudioUnlock(AudioBuffer buffer, void* region1, uint32_t bytes1, void* region2, uint32_t bytes2);

// Play from the current position, once (flags 0: stops at the end and goes back to 0) or looping.
int32_t AudioPlay(AudioBuffer buffer, uint32_t flags);
int32_t AudioStop(AudioBuffer buffer);
// Position in bytes (rounded down to whole sample frames); must be inside the buffer.
int32_t AudioSetPosition(AudioBuffer buffer, uint32_t position);
// The play cursor, and the write cursor: where the mixer has not read yet (one mix period ahead).
int32_t AudioGetPosition(AudioBuffer buffer, uint32_t* play, uint32_t* write);
int32_t AudioGetStatus(AudioBuffer buffer, uint32_t* status);

// Playback frequency in Hz (kAudioMinFrequency..kAudioMaxFrequency; 0 = the format's own rate).
int32_t AudioSetFrequency(AudioBuffer buffer, uint32_t hz);
int32_t AudioGetFrequency(AudioBuffer buffer, uint32_t* hz);
// Volume: hundredths of a decibel, -10000 (silent) .. 0 (as recorded).
int32_t AudioSetVolume(AudioBuffer buffer, int32_t volume);
int32_t AudioGetVolume(AudioBuffer buffer, int32_t* volume);
// Pan: hundredths of a decibel by which the other side is attenuated; negative attenuates the right
// channel (the sound moves left), positive the left; -10000 and 10000 silence the other side.
int32_t AudioSetPan(AudioBuffer buffer, int32_t pan);
int32_t AudioGetPan(AudioBuffer buffer, int32_t* pan);

// A filler renders a circular buffer's contents just in time: while the buffer plays looping, the
// mixer calls fill(user, dst, bytes) on the mixing thread for each region it is about to read, before
// reading it (one or two calls per mix pass, whole sample frames, never more than the buffer ahead of
// the play cursor). Volume, pan, frequency and Stop act as for any buffer. fill = null removes it.
// When AudioSetFiller or AudioReleaseBuffer returns, the old filler is not running and is not called
// again. The filler must not call these functions, nor wait for a lock that is held by code calling
// AudioSetFiller or AudioReleaseBuffer.
void AudioSetFiller(AudioBuffer buffer, void (*fill)(void* user, void* dst, uint32_t bytes), void* user);

// Backend side (platform/sdl/audio_sdl.cpp, platform/headless/audio_headless.cpp).
namespace audio::backend {
// Opens the device and starts pulling AudioMix; reports the device rate (Hz) and the frames pulled per
// period. Returns false when there is no device.
bool Open(uint32_t* rate, uint32_t* periodFrames);
void Close();
}  // namespace audio::backend

// Mixes frames frames of every playing buffer into out (interleaved 16-bit stereo at the device rate)
// and moves their play cursors on. Called by the backend's audio thread (or a test).
void AudioMix(int16_t* out, uint32_t frames);

}  // namespace plat
