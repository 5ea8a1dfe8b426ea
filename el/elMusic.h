// elMusic: MIDI music objects and the MIDI file piece.
#pragma once
#include <cstdint>

extern int32_t MusicReady;
extern int32_t MusicFilePlaying;
extern int32_t MusicFileLoop;
extern int32_t MusicFileEnded;

namespace elMusic {

int Init();
void Release();
void StopAll();
void Notify();
// The performance's answer for the file piece's segment: true while it is still playing.
bool IsFileSegmentPlaying();
// Sends an MCI-style command string to the file piece's sequencer; the reply (if any) is
// written to reply (replySize bytes, terminated). Returns 0 on success.
int SendCommand(const char* command, char* reply, uint32_t replySize);

}  // namespace elMusic
