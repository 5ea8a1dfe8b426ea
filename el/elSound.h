// elSound: sound objects, WAVE loading and playback, sound packs and streamed sound.
// Object numbers are 0..69. Buffer selectors: 0..9 one buffer; -1 the next buffer in turn (play) or
// every buffer (the rest); -2 as -1 and starts an echo (play) or only the next buffer in turn (levels).
#pragma once
#include <cstdint>

namespace elSound {

// Device and table.
int Init();
void Release();
// Empties every sound object slot (elDraw::Screen calls it after Init).
void ClearObjects();
int LoadObject(const char* name, int32_t mix);
void ReleaseObject(int32_t object);
void Restore();
int SelectFormat(int32_t channels, int32_t rate, int32_t bits);
void PlaySync(const char* file);

// Reads a RIFF WAVE file. On success returns 0 with the format record (18 + extra bytes) and the
// samples, both allocated with malloc for the caller to free; on failure returns 1, both null, size 0.
int ReadWave(const char* path, uint8_t** format, uint32_t* formatSize, uint8_t** data, uint32_t* dataSize);

// Playback.
void Play(int32_t object, int32_t selector);
void PlayLoop(int32_t object, int32_t selector);
void Stop(int32_t object, int32_t selector);
void Pause(int32_t object, int32_t selector);

// Levels: frequency in steps of 100 Hz, pan and volume in decibels.
void ShiftFrequency(int32_t object, int32_t steps, int32_t selector);
void ResetFrequency(int32_t object, int32_t selector);
void SetFrequency(int32_t object, int32_t steps, int32_t selector);
void ShiftPan(int32_t object, int32_t db, int32_t selector);
void ResetPan(int32_t object, int32_t selector);
void SetPan(int32_t object, int32_t db, int32_t selector);
void PanLeft(int32_t object, int32_t selector);
void PanRight(int32_t object, int32_t selector);
void ShiftVolume(int32_t object, int32_t db, int32_t selector);
void ResetVolume(int32_t object, int32_t selector);
void SetVolume(int32_t object, int32_t db, int32_t selector);

// Sound packs and streaming.
void SetPackFile(const char* pack);
int MakePack(const char* pack, const char* dir, uint32_t fresh);
void AddToPack(const char* pack, const char* file);
int LoadPack(const char* name, int32_t mix);
int LoadStream(const char* name, uint32_t loopOffset);
int Streaming();
int ResetStream(int32_t object);

// Echo effects (call once per frame with the same arguments) and the play cursor.
void Echo(int32_t object, uint32_t interval, int32_t count, int32_t step);
void EchoPan(int32_t object, uint32_t interval, int32_t count, int32_t step, int32_t speed);
uint32_t GetPosition(int32_t object);

}  // namespace elSound
