/// @file
/// elMusic: MIDI music objects and the MIDI file piece.
/// Music objects 0..127 play standard MIDI files from resources of type "MIDI", each on its own channel
/// group of the synthesizer port (object k on group k + 1); the file piece plays a MIDI file of the
/// program directory through the shared performance, or through the MCI sequencer when the MIDI system
/// could not be started.
///
/// Because every object has its own performance and its own sixteen channels, several pieces (a
/// tune and a jingle, say) can sound at once without stealing each other's instruments. The
/// synthesizer renders into sound object 0 of elSound, so the music as a whole can be panned,
/// detuned and faded with the level operations here.
///
/// Failures are reported through elSystem::ReportError with the operation's name
/// ("elMusic::LoadObject", ...); elMusic::LoadObject then answers -1 (0 is a valid object number),
/// elMusic::Init and elMusic::Port 0.
#pragma once
#include <cstdint>

namespace plat {
struct MidiPerformance;
struct MidiPort;
struct MidiPortCaps;
struct MidiSegment;
}  // namespace plat

/// Number of music objects (0..127).
constexpr int32_t kMusicObjects = 128;
/// Most MIDI output ports listed.
constexpr int32_t kMusicPorts = 16;

extern int32_t MusicReady;        ///< 1 = the MIDI system is set up; 0 = file piece through MCI only
extern int32_t MusicFilePlaying;  ///< 1 from elMusic::PlayFile until elMusic::StopAll
extern int32_t MusicFileLoop;     ///< repeat flag of the file piece
extern int32_t MusicFileEnded;    ///< the main loop found a non-repeating file piece finished

extern bool DirectMusicObject;                  ///< the MIDI system is started
extern plat::MidiPerformance* MusicPerformance;  ///< shared performance: owns the port, plays the file piece
/// The output port in use (elMusic::Port).
extern plat::MidiPort* MusicPort;
extern int32_t PortCount;                       ///< output ports found, -1 before enumeration
/// Capabilities of the output ports found (PortCount of them).
extern plat::MidiPortCaps* PortCaps[kMusicPorts];
extern char PortName[kMusicPorts][32];          ///< CP932
extern int32_t SynthPort;                       ///< index of "Microsoft Synthesizer" in PortCaps, or -1
/// Channel groups of the port in use: music objects 0..ChannelGroups - 1 can be loaded.
extern uint32_t ChannelGroups;
extern uint32_t MusicSynthBuffer;               ///< 1 = the synthesizer renders into sound object 0
extern int32_t PortSettings[4];                 ///< port, channels, rate (Hz), bits of the last good Port
/// The file piece loaded by elMusic::PlayFile, or none.
extern plat::MidiSegment* MusicFileSegment;
/// The performance's handle on the playing file piece.
extern uint32_t MusicFileState;

/// One music object: its own performance (on its channel group of the port) and its piece.
struct MusicSlot {
  /// The object's performance, or none.
  plat::MidiPerformance* performance;
  plat::MidiSegment* segment;  ///< none: the slot is free
};
/// The music object table.
extern MusicSlot MusicObject[kMusicObjects];

/// MIDI music objects, the MIDI file piece and the levels of the music as a whole.
/// The model (object numbers, tables, selectors, failure answers) is described in elMusic.h.
namespace elMusic {

/// Starts the MIDI system (the synthesizer with its General MIDI SoundFont), lists the output ports
/// and opens the synthesizer port (elMusic::Port(-1, 2, 22, 8, 0)). Called by elDraw::Screen.
/// @return 1; on failure 0 after reporting "DirectMusicが使用できません" or
/// "MIDI出力ポート検索ができません"; the file piece then plays through the MCI sequencer. A synthesizer
/// port that cannot be opened is reported by elMusic::Port, and Init still answers 1.
int Init();
/// Opens output port port for the music and moves the loaded objects onto it.
/// @param port index of the ports found (0..PortCount - 1); -1 the synthesizer.
/// @param channels, rate, bits format of the synthesizer's output when the port does not give one
/// (rate 8, 11, 22, 44 stand for 8000, 11025, 22050, 44100 Hz).
/// @param reverb non-zero turns the port's reverb on.
/// @return 1; 0 when the MIDI system is not started; on failure 0 after reporting "MIDIポートが使えません".
int Port(int32_t port, int32_t channels, int32_t rate, int32_t bits, int32_t reverb);
/// Reopens the port with the last good settings and reverb on (non-zero) or off.
void SetReverb(int32_t reverb);
/// Loads the standard MIDI file resource name (type "MIDI") into the first free music object,
/// which plays on its own channel group.
/// @return the object number 0..127; on failure -1 after reporting "DirectMusicが無効になっています",
/// "オブジェクト数が多過ぎます", "チャンネルグループ数を超えています", "MIDIファイルを読み込みできません",
/// "Performanceが無効です", "Performanceを初期化できません", "ポートを割り当てできません" or
/// "チャンネルを割り当てできません"; -1 without a report when no port is in use (elMusic::Port has
/// reported that already). elMusic::Play and elMusic::Stop leave -1 alone.
int LoadObject(const char* name);
/// Plays music object object from the start.
/// @param repeat non-zero repeats it endlessly, 0 plays it once.
void Play(int32_t object, int32_t repeat);
/// Stops music object object.
void Stop(int32_t object);
/// Stops the file piece (and closes it) and every music object.
void StopAll();
/// Stops and frees music object object; -1 frees every object, so check a load's answer before
/// handing it here.
void ReleaseObject(int32_t object);
/// Plays the MIDI file name of the program directory as the file piece, replacing the one playing
/// (through the MCI sequencer when the MIDI system is not started). A file that cannot be read plays
/// nothing; nothing is reported.
/// @param repeat non-zero repeats it endlessly.
void PlayFile(const char* name, int32_t repeat);
/// The MCI sequencer's end-of-piece notice: plays the file piece again when it repeats, else stops it.
void Notify();
/// Stops and frees every music object, the file piece, the port and the MIDI system.
void Release();

/// The performance's answer for the file piece's segment: true while it is still playing.
bool IsFileSegmentPlaying();
/// Sends an MCI-style command string to the file piece's sequencer; the reply (if any) is
/// written to reply (replySize bytes, terminated). Returns 0 on success, an error code otherwise
/// (nothing is reported).
int SendCommand(const char* command, char* reply, uint32_t replySize);

// Levels of the music as a whole (sound object 0; only while the synthesizer renders into it).
/// As elSound::ShiftFrequency on the music (steps of 100 Hz). Only while the synthesizer renders into sound
/// object 0 (MusicSynthBuffer); otherwise nothing happens.
void ShiftFrequency(int32_t steps);
/// Returns the music to its own frequency. Only while the synthesizer renders into sound object 0
/// (MusicSynthBuffer); otherwise nothing happens.
void ResetFrequency();
/// As elSound::SetFrequency on the music. Only while the synthesizer renders into sound object 0
/// (MusicSynthBuffer); otherwise nothing happens.
void SetFrequency(int32_t steps);
/// As elSound::ShiftPan on the music (decibels). Only while the synthesizer renders into sound object 0
/// (MusicSynthBuffer); otherwise nothing happens.
void ShiftPan(int32_t db);
/// Centres the music. Only while the synthesizer renders into sound object 0 (MusicSynthBuffer); otherwise
/// nothing happens.
void ResetPan();
/// As elSound::SetPan on the music (decibels, -100..100). Only while the synthesizer renders into sound object
/// 0 (MusicSynthBuffer); otherwise nothing happens.
void SetPan(int32_t db);
/// Pans the music fully left. Only while the synthesizer renders into sound object 0 (MusicSynthBuffer);
/// otherwise nothing happens.
void PanLeft();
/// Pans the music fully right. Only while the synthesizer renders into sound object 0 (MusicSynthBuffer);
/// otherwise nothing happens.
void PanRight();
/// As elSound::ShiftVolume on the music (decibels). Only while the synthesizer renders into sound object 0
/// (MusicSynthBuffer); otherwise nothing happens.
void ShiftVolume(int32_t db);
/// Returns the music to full volume. Only while the synthesizer renders into sound object 0 (MusicSynthBuffer);
/// otherwise nothing happens.
void ResetVolume();
/// As elSound::SetVolume on the music (decibels, -100..0). Only while the synthesizer renders into sound object
/// 0 (MusicSynthBuffer); otherwise nothing happens.
void SetVolume(int32_t db);

}  // namespace elMusic
