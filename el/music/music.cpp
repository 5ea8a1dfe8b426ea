// elMusic: music objects on channel groups of the synthesizer port, the file piece, the MCI path.
#include "el/elMusic.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "el/elSound.h"
#include "el/elSystem.h"
#include "el/music/workdir.h"
#include "el/sound/sound_state.h"
#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/mci.h"
#include "platform/midi.h"
#include "platform/resources.h"
#include "platform/text.h"

int32_t MusicReady;
int32_t MusicFilePlaying;
int32_t MusicFileLoop;
int32_t MusicFileEnded;

bool DirectMusicObject;
plat::MidiPerformance* MusicPerformance;
plat::MidiPort* MusicPort;
int32_t PortCount = -1;
plat::MidiPortCaps* PortCaps[kMusicPorts];
char PortName[kMusicPorts][32];
int32_t SynthPort = -1;
uint32_t ChannelGroups;
uint32_t MusicSynthBuffer;
int32_t PortSettings[4];
plat::MidiSegment* MusicFileSegment;
uint32_t MusicFileState;
MusicSlot MusicObject[kMusicObjects];

namespace elMusic {

namespace {

constexpr char kSynthName[] = "Microsoft Synthesizer";

// The synthesizer's buffer as this module made it: a second elMusic::Init (a second display set-up)
// must not leave it playing when the sound module has meanwhile forgotten its handle.
plat::AudioBuffer SynthBuffer;
// Its format and size, for making it again on a new device.
plat::AudioFormat SynthFormat;
uint32_t SynthBytes;

bool ValidObject(int32_t object) { return object >= 0 && object < kMusicObjects; }

void ReleaseSlot(MusicSlot& s) {
  if (s.performance) {
    plat::MidiPerformanceStop(s.performance, nullptr);
    plat::MidiReleasePerformance(s.performance);
    s.performance = nullptr;
  }
  if (s.segment) {
    plat::MidiReleaseSegment(s.segment);
    s.segment = nullptr;
  }
}

// The synthesizer's output buffer in sound object 0 goes away with its port.
void DropSynthBuffer() {
  SoundSlot& s = SoundObject[0];
  if (s.buffer[0] != 0) {
    plat::AudioReleaseBuffer(s.buffer[0]);
    s.buffer[0] = 0;
  }
  SynthBuffer = 0;
}

// Releases the buffer this module made, wherever the sound table stands now.
void ForgetSynthBuffer() {
  if (SynthBuffer == 0) return;
  plat::AudioReleaseBuffer(SynthBuffer);
  if (SoundObject[0].buffer[0] == SynthBuffer) SoundObject[0].buffer[0] = 0;
  SynthBuffer = 0;
}

// Makes sound object 0's buffer in SynthFormat: false when the device refuses it.
bool MakeSynthBuffer() {
  SoundSlot& s = SoundObject[0];
  if (plat::AudioCreateBuffer(0xE0, SynthBytes, &SynthFormat, sizeof SynthFormat, &s.buffer[0]) != plat::kAudioOk)
    return false;
  SynthBuffer = s.buffer[0];
  return true;
}

// The sound module's restore (elSound::Restore, PlaySync) opens a new device, and the old device
// took the synthesizer's buffer with it: a new one, at the levels the sound table kept for slot 0,
// fed by the port as before. Nothing to do while the buffer is still there (SelectFormat).
void RemakeSynthBuffer() {
  if (!MusicReady || !MusicSynthBuffer || MusicPort == nullptr) return;
  SoundSlot& s = SoundObject[0];
  uint32_t status = 0;
  if (s.buffer[0] != 0 && plat::AudioGetStatus(s.buffer[0], &status) == plat::kAudioOk) return;
  s.buffer[0] = 0;
  SynthBuffer = 0;
  if (!MakeSynthBuffer()) return;  // no device: the music stays silent, as the effects do
  plat::AudioSetVolume(s.buffer[0], s.volume[0]);
  plat::AudioSetFrequency(s.buffer[0], s.frequency[0]);
  plat::AudioSetPan(s.buffer[0], s.pan[0]);
  if (plat::MidiPortSetOutput(MusicPort, s.buffer[0]) == plat::MIDI_OK) plat::MidiPortActivate(MusicPort, true);
}

// Attaches a loaded object's performance to MusicPort on the object's channel group.
bool AttachSlot(int32_t slot) {
  plat::MidiPerformance* perf = MusicObject[slot].performance;
  return plat::MidiPerformanceAddPort(perf, MusicPort) == plat::MIDI_OK &&
         plat::MidiPerformanceAssignBlock(perf, 0, MusicPort, static_cast<uint32_t>(slot) + 1) == plat::MIDI_OK;
}

}  // namespace

int Init() {
  // Set up again (the display was set up anew): what the earlier set-up holds goes first.
  if (DirectMusicObject || MusicPerformance || MusicPort) {
    Release();
    ForgetSynthBuffer();
  }
  MusicFilePlaying = 0;
  MusicFileEnded = 0;
  MusicFileLoop = 1;
  DirectMusicObject = false;
  MusicPerformance = nullptr;
  MusicPort = nullptr;
  MusicFileSegment = nullptr;
  MusicFileState = 0;
  PortCount = -1;
  SynthPort = -1;
  for (int i = 0; i < kMusicPorts; ++i) {
    PortCaps[i] = nullptr;
    PortName[i][0] = 0;
  }
  for (MusicSlot& s : MusicObject) s = {nullptr, nullptr};
  MusicSynthBuffer = 0;
  ChannelGroups = 0;
  MusicReady = 0;

  // The MIDI system stands for the object, the shared performance and the loader together; it needs
  // the synthesizer and its General MIDI SoundFont.
  DirectMusicObject = plat::MidiOpen();
  if (!DirectMusicObject || plat::MidiCreatePerformance(&MusicPerformance) != plat::MIDI_OK ||
      plat::MidiPerformanceInit(MusicPerformance) != plat::MIDI_OK)
    return elSystem::ReportError("elMusic::Init", "DirectMusicが使用できません");

  PortCount = 0;
  for (uint32_t index = 0;; ++index) {
    plat::MidiPortCaps* caps = new (std::nothrow) plat::MidiPortCaps();
    if (caps == nullptr) return elSystem::ReportError("elMusic::Init", "MIDI出力ポート検索ができません");
    if (plat::MidiEnumPort(index, caps) != plat::MIDI_OK) {
      delete caps;
      break;
    }
    if (caps->portClass != plat::MIDI_PORT_CLASS_OUTPUT) {
      delete caps;
      continue;
    }
    PortCaps[PortCount] = caps;
    std::string name = plat::Utf8ToCp932(caps->description);
    std::snprintf(PortName[PortCount], sizeof PortName[PortCount], "%s", name.c_str());
    if (std::strcmp(PortName[PortCount], kSynthName) == 0) SynthPort = PortCount;
    if (++PortCount == kMusicPorts) break;
  }

  // Instruments need no download: the SoundFont holds all of them from the start.
  MusicReady = 1;
  SynthBufferRemake = RemakeSynthBuffer;
  Port(-1, 2, 22, 8, 0);
  return 1;
}

int Port(int32_t port, int32_t channels, int32_t rate, int32_t bits, int32_t reverb) {
  if (!MusicReady) return 0;
  if (MusicPort) {
    plat::MidiPerformanceRemovePort(MusicPerformance, MusicPort);
    plat::MidiReleasePort(MusicPort);
    MusicPort = nullptr;
  }
  // Until a port is in use there are no channel groups to load objects on.
  ChannelGroups = 0;
  MusicSynthBuffer = 0;
  if (port == -1) port = SynthPort;
  const uint32_t hz = rate == 8    ? 8000
                      : rate == 11 ? 11025
                      : rate == 22 ? 22050
                      : rate == 44 ? 44100
                                   : static_cast<uint32_t>(rate);
  bool ok = false;
  // Without a synthesizer among the ports (-1 stays -1) there is nothing to create: the port
  // report is made, as for any port that cannot be used. Indexes outside the ports found likewise.
  if (port >= 0 && port < PortCount && PortCaps[port] != nullptr) {
    const plat::MidiPortCaps& caps = *PortCaps[port];
    plat::MidiPortParams params;
    params.channelGroups = caps.maxChannelGroups;
    params.reverb = reverb != 0;
    ok = plat::MidiCreatePort(caps.portId, params, &MusicPort) == plat::MIDI_OK;
    if (ok && port == SynthPort) {
      DropSynthBuffer();
      plat::AudioFormat& format = SynthFormat;
      format = {};
      uint32_t& size = SynthBytes;
      plat::MidiFormat mf;
      if (plat::MidiPortGetFormat(MusicPort, &mf) == plat::MIDI_OK) {
        format.formatTag = 1;
        format.channels = mf.channels;
        format.samplesPerSec = mf.rate;
        format.bitsPerSample = mf.bits;
        format.blockAlign = static_cast<uint16_t>(mf.channels * (mf.bits / 8));
        format.avgBytesPerSec = mf.rate * format.blockAlign;
        size = mf.bufferBytes;
      } else {
        format.formatTag = 1;
        format.channels = static_cast<uint16_t>(channels);
        format.samplesPerSec = hz;
        format.bitsPerSample = static_cast<uint16_t>(bits);
        format.blockAlign = static_cast<uint16_t>(channels * (bits / 8));
        format.avgBytesPerSec = hz * format.blockAlign;
        size = format.avgBytesPerSec;
      }
      SoundSlot& s = SoundObject[0];
      ok = MakeSynthBuffer();
      if (ok) {
        s.used = true;
        s.mixCount = 1;
        s.echo = -1;
        s.cursor = 0;
        uint32_t f = 0;
        plat::AudioGetFrequency(s.buffer[0], &f);
        s.frequency[0] = f;
        s.baseFrequency = f;
        s.volume[0] = 0;
        s.pan[0] = 0;
        std::snprintf(s.name, sizeof s.name, "DirectMusic");
        ok = plat::MidiPortSetOutput(MusicPort, s.buffer[0]) == plat::MIDI_OK;
      }
      if (ok) {
        ChannelGroups = caps.maxChannelGroups;
        MusicSynthBuffer = 1;
      }
    } else if (ok) {
      // A port that renders nothing of its own. Slot 0 stays taken (no effect lands there); a
      // synthesizer buffer left in it from an earlier port would replay its last sound forever, so
      // it goes.
      DropSynthBuffer();
      SoundObject[0].used = true;
      ChannelGroups = 1;
      MusicSynthBuffer = 0;
    }
    if (ok) {
      ok = plat::MidiPortActivate(MusicPort, true) == plat::MIDI_OK &&
           plat::MidiPerformanceAddPort(MusicPerformance, MusicPort) == plat::MIDI_OK &&
           plat::MidiPerformanceAssignBlock(MusicPerformance, 0, MusicPort, 1) == plat::MIDI_OK;
    }
  }
  if (!ok) {
    // A port that could not be set up in full is not kept: no port is in use.
    if (MusicPort) {
      plat::MidiPerformanceRemovePort(MusicPerformance, MusicPort);
      plat::MidiReleasePort(MusicPort);
      MusicPort = nullptr;
    }
    DropSynthBuffer();
    ChannelGroups = 0;
    MusicSynthBuffer = 0;
    return elSystem::ReportError("elMusic::Port", "MIDIポートが使えません");
  }
  PortSettings[0] = port;
  PortSettings[1] = channels;
  PortSettings[2] = static_cast<int32_t>(hz);
  PortSettings[3] = bits;
  // Objects loaded before a port change move to the new port on their own channel groups, so the
  // music keeps sounding after elMusic::SetReverb. An object whose group the new port does not have
  // stays silent until it is released.
  for (int32_t i = 0; i < kMusicObjects; ++i)
    if (MusicObject[i].performance) AttachSlot(i);
  return 1;
}

void SetReverb(int32_t reverb) { Port(PortSettings[0], PortSettings[1], PortSettings[2], PortSettings[3], reverb); }

// Failures answer -1, never a number an object could have (0 is the first one), like the sound
// loaders; every operation on an object leaves -1 alone.
int LoadObject(const char* name) {
  const char* op = "elMusic::LoadObject";
  if (!MusicReady) {
    elSystem::ReportError(op, "DirectMusicが無効になっています");
    return -1;
  }
  // No port in use: elMusic::Port has already reported why (no audio device, no synthesizer). Each
  // load reporting it again, under another cause, would tell nothing new: the game goes on silent.
  if (MusicPort == nullptr) return -1;
  int32_t slot = -1;
  for (int32_t i = 0; i < kMusicObjects; ++i) {
    if (MusicObject[i].segment == nullptr) {
      slot = i;
      break;
    }
  }
  if (slot < 0) {
    elSystem::ReportError(op, "オブジェクト数が多過ぎます", kMusicObjects);
    return -1;
  }
  if (static_cast<uint32_t>(slot) >= ChannelGroups) {
    elSystem::ReportError(op, "チャンネルグループ数を超えています", static_cast<long>(ChannelGroups));
    return -1;
  }

  MusicSlot& s = MusicObject[slot];
  plat::MidiResult r;
  {
    WorkDirSwitch inProgramDir(elSystem::GetProgramDir(0));
    plat::Resource res;
    // A missing resource gives the loader no data, which it refuses like a malformed one.
    if (!plat::FindResource("midi", name, &res)) res = {};
    r = plat::MidiLoadSegment(res.data, res.size, &s.segment);
  }
  const char* failure = nullptr;
  if (r != plat::MIDI_OK || s.segment == nullptr) {
    s.segment = nullptr;
    failure = "MIDIファイルを読み込みできません";
  } else if ((r = plat::MidiCreatePerformance(&s.performance)) != plat::MIDI_OK || s.performance == nullptr) {
    failure = "Performanceが無効です";
  } else if ((r = plat::MidiPerformanceInit(s.performance)) != plat::MIDI_OK) {
    failure = "Performanceを初期化できません";
  } else if ((r = plat::MidiPerformanceAddPort(s.performance, MusicPort)) != plat::MIDI_OK) {
    failure = "ポートを割り当てできません";
  } else if ((r = plat::MidiPerformanceAssignBlock(s.performance, 0, MusicPort, static_cast<uint32_t>(slot) + 1)) !=
             plat::MIDI_OK) {
    failure = "チャンネルを割り当てできません";
  }
  if (failure != nullptr) {
    elSystem::ReportError(op, failure, r);
    return -1;
  }
  return slot;
}

void Play(int32_t object, int32_t repeat) {
  if (!MusicReady || !ValidObject(object)) return;
  MusicSlot& s = MusicObject[object];
  if (s.performance == nullptr || s.segment == nullptr) return;
  plat::MidiPerformanceStop(s.performance, s.segment);
  plat::MidiSegmentSetRepeats(s.segment, repeat ? plat::MIDI_REPEAT_INFINITE : 0);
  plat::MidiPerformancePlay(s.performance, s.segment, nullptr);
}

void Stop(int32_t object) {
  if (!MusicReady || !ValidObject(object)) return;
  MusicSlot& s = MusicObject[object];
  if (s.performance) plat::MidiPerformanceStop(s.performance, s.segment);
}

void StopAll() {
  if (MusicFilePlaying) {
    if (!MusicReady) {
      plat::MciSendString("stop midi", nullptr, 0);
      plat::MciSendString("close midi", nullptr, 0);
    } else {
      plat::MidiPerformanceStop(MusicPerformance, nullptr);
      plat::MidiReleaseSegment(MusicFileSegment);
      MusicFileSegment = nullptr;
    }
    MusicFilePlaying = 0;
  }
  if (MusicReady) {
    for (MusicSlot& s : MusicObject)
      if (s.performance) plat::MidiPerformanceStop(s.performance, s.segment);
  }
}

void ReleaseObject(int32_t object) {
  if (object == -1) {
    for (MusicSlot& s : MusicObject)
      if (s.performance) ReleaseSlot(s);
    return;
  }
  if (ValidObject(object)) ReleaseSlot(MusicObject[object]);
}

void PlayFile(const char* name, int32_t repeat) {
  if (name == nullptr) return;
  const char* dir = elSystem::GetProgramDir(0);
  if (!MusicReady) {
    char command[600];
    std::snprintf(command, sizeof command, "open \"%s%s\" type sequencer alias midi", dir, name);
    if (MusicFilePlaying) StopAll();
    plat::MciSendString(command, nullptr, 0);
    plat::MciSendString("seek midi to start", nullptr, 0);
    plat::MciSendString("play midi notify", nullptr, 0);
  } else {
    plat::MidiPerformanceStop(MusicPerformance, nullptr);
    plat::MidiReleaseSegment(MusicFileSegment);
    MusicFileSegment = nullptr;
    {
      WorkDirSwitch inProgramDir(dir);
      // The name is taken as it stands (at most 255 characters), relative to the program directory.
      char file[256];
      std::snprintf(file, sizeof file, "%s", name);
      plat::MidiLoadSegmentFile(file, &MusicFileSegment);
    }
    if (MusicFileSegment) {
      plat::MidiSegmentSetRepeats(MusicFileSegment, repeat ? plat::MIDI_REPEAT_INFINITE : 0);
      plat::MidiPerformancePlay(MusicPerformance, MusicFileSegment, &MusicFileState);
      MusicCheckTime = plat::TimeMs() + 3000;
    }
  }
  MusicFilePlaying = 1;
  MusicFileEnded = 0;
  MusicFileLoop = repeat;
}

void Notify() {
  if (MusicReady) return;
  if (MusicFileLoop == 0) {
    StopAll();
    return;
  }
  plat::MciSendString("seek midi to start", nullptr, 0);
  plat::MciSendString("play midi notify", nullptr, 0);
}

void Release() {
  SynthBufferRemake = nullptr;
  if (!MusicReady) {
    plat::MciSendString("stop midi", nullptr, 0);
    plat::MciSendString("close midi", nullptr, 0);
  }
  for (plat::MidiPortCaps*& caps : PortCaps) {
    delete caps;
    caps = nullptr;
  }
  if (MusicFileSegment) {
    plat::MidiPerformanceStop(MusicPerformance, MusicFileSegment);
    plat::MidiReleaseSegment(MusicFileSegment);
    MusicFileSegment = nullptr;
  }
  // Slots whose performance could not be made still hold their segment.
  for (MusicSlot& s : MusicObject) ReleaseSlot(s);
  if (MusicPerformance) {
    plat::MidiPerformanceStop(MusicPerformance, nullptr);
    plat::MidiReleasePerformance(MusicPerformance);
    MusicPerformance = nullptr;
  }
  if (MusicPort) {
    plat::MidiReleasePort(MusicPort);
    MusicPort = nullptr;
  }
  if (DirectMusicObject) {
    plat::MidiClose();
    DirectMusicObject = false;
  }
}

bool IsFileSegmentPlaying() {
  if (MusicPerformance == nullptr || MusicFileSegment == nullptr) return false;
  return plat::MidiPerformanceIsPlaying(MusicPerformance, MusicFileSegment, MusicFileState) == plat::MIDI_OK;
}

int SendCommand(const char* command, char* reply, uint32_t replySize) {
  return static_cast<int>(plat::MciSendString(command, reply, replySize));
}

void ShiftFrequency(int32_t steps) {
  if (MusicSynthBuffer) elSound::ShiftFrequency(0, steps, 0);
}
void ResetFrequency() {
  if (MusicSynthBuffer) elSound::ResetFrequency(0, 0);
}
void SetFrequency(int32_t steps) {
  if (MusicSynthBuffer) elSound::SetFrequency(0, steps, 0);
}
void ShiftPan(int32_t db) {
  if (MusicSynthBuffer) elSound::ShiftPan(0, db, 0);
}
void ResetPan() {
  if (MusicSynthBuffer) elSound::ResetPan(0, 0);
}
void SetPan(int32_t db) {
  if (MusicSynthBuffer) elSound::SetPan(0, db, 0);
}
void PanLeft() {
  if (MusicSynthBuffer) elSound::PanLeft(0, 0);
}
void PanRight() {
  if (MusicSynthBuffer) elSound::PanRight(0, 0);
}
void ShiftVolume(int32_t db) {
  if (MusicSynthBuffer) elSound::ShiftVolume(0, db, 0);
}
void ResetVolume() {
  if (MusicSynthBuffer) elSound::ResetVolume(0, 0);
}
void SetVolume(int32_t db) {
  if (MusicSynthBuffer) elSound::SetVolume(0, db, 0);
}

}  // namespace elMusic
