// elMusic: MIDI music objects and the MIDI file piece.
// Music objects 0..127 play standard MIDI files from resources of type "MIDI", each on its own channel
// group of the synthesizer port (object k on group k + 1); the file piece plays a MIDI file of the
// program directory through the shared performance, or through the MCI sequencer when the MIDI system
// could not be started.
#pragma once
#include <cstdint>

namespace plat {
struct MidiPerformance;
struct MidiPort;
struct MidiPortCaps;
struct MidiSegment;
}  // namespace plat

constexpr int32_t kMusicObjects = 128;
constexpr int32_t kMusicPorts = 16;

extern int32_t MusicReady;        // 1 = the MIDI system is set up; 0 = file piece through MCI only
extern int32_t MusicFilePlaying;  // 1 from elMusic::PlayFile until elMusic::StopAll
extern int32_t MusicFileLoop;     // repeat flag of the file piece
extern int32_t MusicFileEnded;    // the main loop found a non-repeating file piece finished

extern bool DirectMusicObject;                  // the MIDI system is started
extern plat::MidiPerformance* MusicPerformance;  // shared performance: owns the port, plays the file piece
extern plat::MidiPort* MusicPort;
extern int32_t PortCount;                       // output ports found, -1 before enumeration
extern plat::MidiPortCaps* PortCaps[kMusicPorts];
extern char PortName[kMusicPorts][32];          // CP932
extern int32_t SynthPort;                       // index of "Microsoft Synthesizer" in PortCaps, or -1
extern uint32_t ChannelGroups;
extern uint32_t MusicSynthBuffer;               // 1 = the synthesizer renders into sound object 0
extern int32_t PortSettings[4];                 // port, channels, rate (Hz), bits of the last good Port
extern plat::MidiSegment* MusicFileSegment;
extern uint32_t MusicFileState;

struct MusicSlot {
  plat::MidiPerformance* performance;
  plat::MidiSegment* segment;  // none: the slot is free
};
extern MusicSlot MusicObject[kMusicObjects];

namespace elMusic {

int Init();
int Port(int32_t port, int32_t channels, int32_t rate, int32_t bits, int32_t reverb);
void SetReverb(int32_t reverb);
// The new object's number, or -1 when the piece could not be loaded (reported, except when no port
// is in use: elMusic::Port has reported that already). Play and Stop leave -1 and any other number
// without an object alone.
int LoadObject(const char* name);
void Play(int32_t object, int32_t repeat);
void Stop(int32_t object);
void StopAll();
// -1 releases every object: check a load's answer before handing it here.
void ReleaseObject(int32_t object);
void PlayFile(const char* name, int32_t repeat);
void Notify();
void Release();

// The performance's answer for the file piece's segment: true while it is still playing.
bool IsFileSegmentPlaying();
// Sends an MCI-style command string to the file piece's sequencer; the reply (if any) is
// written to reply (replySize bytes, terminated). Returns 0 on success.
int SendCommand(const char* command, char* reply, uint32_t replySize);

// Levels of the music as a whole (sound object 0; only while the synthesizer renders into it).
void ShiftFrequency(int32_t steps);
void ResetFrequency();
void SetFrequency(int32_t steps);
void ShiftPan(int32_t db);
void ResetPan();
void SetPan(int32_t db);
void PanLeft();
void PanRight();
void ShiftVolume(int32_t db);
void ResetVolume();
void SetVolume(int32_t db);

}  // namespace elMusic
