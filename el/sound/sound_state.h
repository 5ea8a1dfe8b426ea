// Module-level state of elSound: the device, the sound object table and the pack path. Owned by
// el/sound/; elMusic writes slot 0 when the synthesizer renders into a sound buffer.
#pragma once
#include <cstdint>

#include "platform/audio.h"

constexpr int32_t kSoundObjects = 70;
constexpr int32_t kSoundBuffers = 10;
constexpr int32_t kSoundNameSize = 31;   // 30 characters and the NUL
constexpr int32_t kSoundPathSize = 259;

// A streamed object's circular buffer and where it reads the pack (dataSize 0: not streamed).
struct StreamState {
  uint32_t dataStart;
  uint32_t loopStart;
  uint32_t filePos;
  uint32_t dataSize;
  uint32_t dataRead;
  uint32_t trigger;
  uint32_t writePos;
  uint32_t halfSize;
  uint32_t bufferSize;
  int32_t wrapCursor;
  uint32_t lastCursor;
  uint8_t endCountdown;
  char packPath[kSoundPathSize];
};

struct SoundSlot {
  bool used;
  int32_t mixCount;
  int32_t echo;           // -1 no echo, 0 idle, 1.. step of a running echo
  int32_t cursor;         // next buffer in turn
  uint32_t baseFrequency;
  bool packed;           // loaded from the pack file
  bool looping;
  char name[kSoundNameSize];
  StreamState stream;
  float echoTime;
  uint32_t echoLoop;
  float echoPan;
  int32_t echoPanDir;
  plat::AudioBuffer buffer[kSoundBuffers];
  uint32_t frequency[kSoundBuffers];
  int32_t volume[kSoundBuffers];
  int32_t pan[kSoundBuffers];
  uint32_t pausePos[kSoundBuffers];
};

extern uint32_t SoundReady;
extern bool SoundRestoring;  // objects are being rebuilt: their names and cursors stay
extern int32_t SoundCurrent;
extern SoundSlot SoundObject[kSoundObjects];
extern char PackPath[kSoundPathSize];
extern uint32_t SoundPosition;  // last answer of elSound::GetPosition

// Set by the module whose output sound object 0 carries (elMusic's synthesizer, which has no WAVE
// to be reloaded by): called when the table is reloaded, it makes that buffer again if the device
// it stood on was closed since.
extern void (*SynthBufferRemake)();
