// MIDI output: the synthesizer port, performances and segments that elMusic plays its music objects
// and its file piece through. Called by elMusic (el/music/music.cpp) on the program's thread, and by
// the MCI sequencer stand-in (platform/mci.cpp). The synthesizer renders on the mixer's thread
// through the filler that MidiPortSetOutput installs on the port's sound buffer.
//
// The model: one software synthesizer (FluidSynth with the distribution's General MIDI SoundFont)
// is the output port "Microsoft Synthesizer", with 16 channel groups of 16 MIDI channels. A
// performance plays one segment at a time; its channel block 0 is assigned to one channel group of
// a port, so performances on different groups sound together without sharing channels. A segment
// is a checked standard MIDI file (format 0 or 1, ticks per quarter note).
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/audio.h"

namespace plat {

using MidiResult = long;
constexpr MidiResult MIDI_OK = 0;
constexpr MidiResult MIDI_S_FALSE = 1;                                   // "no": not playing, no more ports
constexpr MidiResult MIDI_E_FAIL = static_cast<int32_t>(0x80004005);     // general failure
constexpr MidiResult MIDI_E_INVALIDARG = static_cast<int32_t>(0x80070057);
constexpr MidiResult MIDI_E_OUTOFMEMORY = static_cast<int32_t>(0x8007000E);
constexpr MidiResult MIDI_E_NOTOPEN = static_cast<int32_t>(0x88781101);  // MIDI system not started
constexpr MidiResult MIDI_E_BADFILE = static_cast<int32_t>(0x88781102);  // not a playable MIDI file
constexpr MidiResult MIDI_E_NOPORT = static_cast<int32_t>(0x88781103);   // no such port, or released
constexpr MidiResult MIDI_E_BADFORMAT = static_cast<int32_t>(0x88781104);  // output buffer format refused
constexpr MidiResult MIDI_E_INUSE = static_cast<int32_t>(0x88781105);    // the synthesizer already has a port

constexpr uint32_t MIDI_PORT_CLASS_INPUT = 0;
constexpr uint32_t MIDI_PORT_CLASS_OUTPUT = 1;
// Channel groups of the synthesizer port.
constexpr uint32_t MIDI_SYNTH_GROUPS = 16;
// Repeat count meaning "endless".
constexpr uint32_t MIDI_REPEAT_INFINITE = 0xFFFFFFFFu;

// Starts the MIDI system: loads the first General MIDI SoundFont that loads (the file named by
// OOMORI_SOUNDFONT, then the distribution's; see GmSoundFontCandidates) into the synthesizer, on a
// thread of its own; a play asked for meanwhile waits for it. false, with the files looked for on
// stderr, when none of them is there to read. Idempotent.
bool MidiOpen();
// Stops everything and frees the synthesizer; ports, performances and segments must be released first.
void MidiClose();
bool MidiIsOpen();

struct MidiPortCaps {
  uint32_t portId = 0;
  uint32_t portClass = 0;         // MIDI_PORT_CLASS_*
  uint32_t maxChannelGroups = 0;
  bool software = false;          // renders audio into a sound buffer
  char description[64] = {};      // UTF-8, NUL-terminated
};

// Port enumeration by index from 0: MIDI_OK with *caps filled, MIDI_S_FALSE when there are no more.
MidiResult MidiEnumPort(uint32_t index, MidiPortCaps* caps);

struct MidiPort;
struct MidiPortParams {
  uint32_t channelGroups = 1;  // 1..the port's maximum
  bool reverb = false;
};
// Creates a port by identifier. The synthesizer has one port at a time (MIDI_E_INUSE otherwise).
MidiResult MidiCreatePort(uint32_t portId, const MidiPortParams& params, MidiPort** out);
// Releases the port: performances that use it lose it (their notes stop and later events are dropped).
void MidiReleasePort(MidiPort* port);
uint32_t MidiPortChannelGroups(const MidiPort* port);

struct MidiFormat {
  uint16_t channels = 0;
  uint32_t rate = 0;
  uint16_t bits = 0;
  uint32_t bufferBytes = 0;  // suggested size of the output buffer
};
// The wave format the synthesizer renders in. MIDI_E_FAIL for ports that do not render audio.
MidiResult MidiPortGetFormat(const MidiPort* port, MidiFormat* format);
// Makes the buffer the port's output: the port installs its filler on it. The buffer's rate must be
// the synthesizer's; 8- and 16-bit mono and stereo are accepted.
MidiResult MidiPortSetOutput(MidiPort* port, AudioBuffer buffer);
// Active ports play their output buffer (looping; the filler renders just ahead of the mixer).
MidiResult MidiPortActivate(MidiPort* port, bool active);

// The filler that MidiPortSetOutput installs (user = the port); public for the tests that render by hand.
void MidiPortFill(void* port, void* dst, uint32_t bytes);
// Renders frames of the port's format without an output buffer (tests; MIDI_E_FAIL for other ports).
MidiResult MidiPortRender(MidiPort* port, void* dst, uint32_t bytes);

struct MidiPerformance;
MidiResult MidiCreatePerformance(MidiPerformance** out);
// Ties the performance to the running MIDI system (MIDI_E_NOTOPEN when it is not started).
MidiResult MidiPerformanceInit(MidiPerformance* perf);
// Stops, detaches and frees the performance.
void MidiReleasePerformance(MidiPerformance* perf);
MidiResult MidiPerformanceAddPort(MidiPerformance* perf, MidiPort* port);
MidiResult MidiPerformanceRemovePort(MidiPerformance* perf, MidiPort* port);
// Maps the performance's channel block (0 = channels 0..15) to channel group `group` (1-based) of `port`.
MidiResult MidiPerformanceAssignBlock(MidiPerformance* perf, uint32_t block, MidiPort* port, uint32_t group);

struct MidiSegment;
// A segment from a standard MIDI file in memory (the bytes are copied). MIDI_E_BADFILE when malformed.
MidiResult MidiLoadSegment(const void* data, size_t size, MidiSegment** out);
// A segment from a file (path in CP932). MIDI_E_BADFILE when missing or malformed.
MidiResult MidiLoadSegmentFile(const char* pathCp932, MidiSegment** out);
// Extra plays after the first: 0 plays once, MIDI_REPEAT_INFINITE repeats endlessly.
void MidiSegmentSetRepeats(MidiSegment* seg, uint32_t repeats);
void MidiReleaseSegment(MidiSegment* seg);

// Plays the segment on the performance from its start, replacing whatever the performance played.
// *state (optional) receives an identifier of this play for MidiPerformanceIsPlaying.
MidiResult MidiPerformancePlay(MidiPerformance* perf, MidiSegment* seg, uint32_t* state);
// Stops the segment (null: everything) on the performance; its notes are cut.
MidiResult MidiPerformanceStop(MidiPerformance* perf, MidiSegment* seg);
// MIDI_OK while the segment (and, when state is non-zero, that play of it) is still sounding on the
// performance, MIDI_S_FALSE otherwise.
MidiResult MidiPerformanceIsPlaying(MidiPerformance* perf, MidiSegment* seg, uint32_t state);

// The checks a standard MIDI file passes before it becomes a segment (format 0 or 1, ticks per
// quarter note, 1..128 complete tracks one after the other, every event inside its chunk). Returns the length of the
// piece in milliseconds through lengthMs (optional).
bool MidiCheckFile(const void* data, size_t size, uint32_t* lengthMs);

// Test control: which SoundFont MidiOpen and the MCI sequencer load after the one OOMORI_SOUNDFONT
// names (null: the distribution's),
// and whether the synthesizer port is listed and an extra output port that renders nothing (standing
// in for external MIDI) follows it.
void MidiTestSetSoundFont(const char* path);
void MidiTestSetPorts(bool synthesizer, bool externalPort);
// Voices sounding on a synthesizer channel (group g's channel c is (g - 1) * 16 + c).
int MidiTestVoices(int channel);

}  // namespace plat
