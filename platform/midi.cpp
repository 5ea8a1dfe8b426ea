#include "platform/midi.h"

#include <fluidsynth.h>
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio.h"
#include "platform/midi_synth.h"
#include "platform/text.h"

namespace plat {

// ---------------------------------------------------------------------------------------------
// Standard MIDI file checks.

namespace {

struct ByteReader {
  const uint8_t* p;
  size_t end;
  size_t pos;
  bool Has(size_t n) const { return pos <= end && end - pos >= n; }
  bool U8(uint32_t* v) {
    if (!Has(1)) return false;
    *v = p[pos++];
    return true;
  }
  // Variable-length quantity: at most four bytes, the last with its top bit clear.
  bool VarLen(uint32_t* v) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      uint32_t b;
      if (!U8(&b)) return false;
      value = (value << 7) | (b & 0x7F);
      if ((b & 0x80) == 0) {
        *v = value;
        return true;
      }
    }
    return false;
  }
  bool Skip(size_t n) {
    if (!Has(n)) return false;
    pos += n;
    return true;
  }
};

uint32_t Be32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

struct TempoChange {
  uint64_t tick;
  uint32_t usPerQuarter;
};

// The synthesizer's player keeps ticks in an int: pieces longer than that are refused.
constexpr uint64_t kMaxTicks = 0x7FFFFFFF;
constexpr uint32_t kMaxTracks = 128;

bool CheckTrack(const uint8_t* data, size_t begin, size_t length, std::vector<TempoChange>* tempos,
                uint64_t* endTick) {
  ByteReader r{data, begin + length, begin};
  uint64_t tick = 0;
  uint32_t running = 0;
  for (;;) {
    uint32_t delta;
    if (!r.VarLen(&delta)) return false;  // also: the chunk ended without an end-of-track event
    tick += delta;
    if (tick > kMaxTicks) return false;
    uint32_t status;
    if (!r.U8(&status)) return false;
    if (status < 0x80) {
      if (running == 0) return false;
      status = running;
      --r.pos;  // the byte read is the first data byte
    }
    if (status < 0xF0) {
      running = status;
      int dataBytes = ((status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0) ? 1 : 2;
      for (int i = 0; i < dataBytes; ++i) {
        uint32_t d;
        if (!r.U8(&d) || d >= 0x80) return false;
      }
    } else if (status == 0xF0) {
      // (The F7 escape form is not taken: the player refuses it.)
      running = 0;
      uint32_t len;
      // An empty message has not even its end byte; the player would look before its data.
      if (!r.VarLen(&len) || len == 0 || !r.Skip(len)) return false;
    } else if (status == 0xFF) {
      running = 0;
      uint32_t type, len;
      if (!r.U8(&type) || type >= 0x80 || !r.VarLen(&len) || !r.Has(len)) return false;
      const uint8_t* m = data + r.pos;
      switch (type) {
        case 0x2F:  // end of track
          if (len != 0) return false;
          *endTick = tick;
          return true;
        case 0x51: {  // tempo: microseconds per quarter note, never 0
          if (len != 3) return false;
          uint32_t us = (uint32_t(m[0]) << 16) | (uint32_t(m[1]) << 8) | m[2];
          if (us == 0) return false;
          tempos->push_back({tick, us});
          break;
        }
        case 0x54:
          if (len != 5) return false;
          break;
        case 0x58:
          if (len != 4) return false;
          break;
        case 0x59:
          if (len != 2) return false;
          break;
        default:
          break;
      }
      r.pos += len;
    } else {
      return false;  // system common and real-time messages do not belong in a file
    }
  }
}

}  // namespace

namespace {
bool CheckFile(const void* data, size_t size, uint32_t* lengthMs, uint64_t* lengthTicks);
}

bool MidiCheckFile(const void* data, size_t size, uint32_t* lengthMs) {
  return CheckFile(data, size, lengthMs, nullptr);
}

namespace {

bool CheckFile(const void* data, size_t size, uint32_t* lengthMs, uint64_t* lengthTicks) {
  if (data == nullptr || size < 14) return false;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  if (std::memcmp(p, "MThd", 4) != 0) return false;
  // The player reads a header of exactly six bytes.
  uint32_t headerLen = Be32(p + 4);
  if (headerLen != 6) return false;
  uint16_t format = Be16(p + 8);
  uint16_t tracks = Be16(p + 10);
  uint16_t division = Be16(p + 12);
  if (format > 1 || tracks == 0 || tracks > kMaxTracks || (format == 0 && tracks != 1)) return false;
  if (division == 0 || (division & 0x8000) != 0) return false;  // time code division is not played

  std::vector<TempoChange> tempos;
  uint64_t endTick = 0;
  size_t pos = 8 + size_t(headerLen);
  uint32_t found = 0;
  while (found < tracks) {
    if (size - pos < 8) return false;
    uint32_t len = Be32(p + pos + 4);
    if (len > size - pos - 8) return false;
    // The tracks follow one another: the player mistakes any other chunk among them for the end.
    if (std::memcmp(p + pos, "MTrk", 4) != 0) return false;
    uint64_t trackEnd = 0;
    if (!CheckTrack(p, pos + 8, len, &tempos, &trackEnd)) return false;
    endTick = std::max(endTick, trackEnd);
    ++found;
    pos += 8 + size_t(len);
  }

  if (lengthMs) {
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
    double us = 0;
    uint64_t lastTick = 0;
    uint32_t usPerQuarter = 500000;
    for (const TempoChange& t : tempos) {
      if (t.tick >= endTick) break;
      us += double(t.tick - lastTick) * usPerQuarter / division;
      lastTick = t.tick;
      usPerQuarter = t.usPerQuarter;
    }
    us += double(endTick - lastTick) * usPerQuarter / division;
    double ms = us / 1000.0;
    *lengthMs = ms >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(ms + 0.5);
  }
  if (lengthTicks) *lengthTicks = endTick;
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The MIDI system.

constexpr uint32_t kSynthPortId = 1;
constexpr uint32_t kExternalPortId = 2;

struct MidiPort {
  uint32_t id = 0;
  bool synth = false;
  uint32_t groups = 1;
  bool reverb = false;
  bool active = false;
  bool released = false;
  AudioBuffer output = 0;
  MidiFormat outFormat;
};

struct MidiSegment {
  std::vector<uint8_t> data;
  uint32_t lengthMs = 0;
  uint64_t lengthTicks = 0;
  uint32_t repeats = 0;
  uint64_t id = 0;
};

struct MidiPerformance {
  bool inited = false;
  std::vector<MidiPort*> ports;
  MidiPort* blockPort = nullptr;  // channel block 0's port and group
  uint32_t blockGroup = 0;
  fluid_player_t* player = nullptr;
  uint64_t segmentId = 0;         // what the player plays
  uint32_t playId = 0;
  uint64_t endFrame = 0;          // rendered frame at which the play is over (UINT64_MAX: never)
  bool loopPending = false;       // endless: the player repeats once it has read the file
  int channelBase = -1;           // first synthesizer channel of the block, -1 = events dropped
};

namespace {

// Everything below is guarded by gLock; the filler takes it while the synthesizer renders, so
// playback changes from the program's thread never meet a render half-way.
std::mutex gLock;
SynthEngine gEngine;
bool gOpen = false;
bool gListSynth = true;
bool gListExternal = false;
MidiPort* gSynthPort = nullptr;
std::vector<MidiPort*> gPorts;
std::vector<MidiPerformance*> gPerformances;
uint64_t gNextSegmentId = 1;
// Frames the synthesizer has rendered: the performances' clock.
uint64_t gRendered = 0;
uint32_t gNextPlayId = 1;

constexpr uint32_t kSynthRate = 22050;

// The SoundFont loads on a thread of its own (it takes a good part of the program's start): until it
// is in, the synthesizer renders silence, and plays wait for it so that they start from the top.
std::condition_variable gLoaded;  // notified when gLoading falls
bool gLoading = false;
bool gLoadCancelled = false;
struct LoaderThread {
  std::thread thread;
  // A program that ends without closing the MIDI system still lets the load finish first.
  ~LoaderThread() {
    if (thread.joinable()) thread.join();
  }
} gLoader;

void LoadSynth(std::vector<std::string> candidates) {
  SynthEngine loaded;
  CreateWithGmSoundFont(loaded, MIDI_SYNTH_GROUPS * 16, kSynthRate, "MIDI music", candidates);
  {
    std::lock_guard<std::mutex> lock(gLock);
    if (!gLoadCancelled) {
      gEngine.Swap(loaded);
      if (gSynthPort != nullptr) gEngine.SetReverb(gSynthPort->reverb);
    }
    gLoading = false;
  }
  gLoaded.notify_all();
  // loaded now holds nothing, or the synthesizer of a system closed meanwhile: it goes here, unlocked.
}

// Waits (lock held on gLock) until no load is under way.
void WaitLoaded(std::unique_lock<std::mutex>& lock) {
  gLoaded.wait(lock, [] { return !gLoading; });
}

std::vector<MidiPortCaps> PortList() {
  std::vector<MidiPortCaps> list;
  if (gListSynth) {
    MidiPortCaps c;
    c.portId = kSynthPortId;
    c.portClass = MIDI_PORT_CLASS_OUTPUT;
    c.maxChannelGroups = MIDI_SYNTH_GROUPS;
    c.software = true;
    std::snprintf(c.description, sizeof c.description, "Microsoft Synthesizer");
    list.push_back(c);
  }
  if (gListExternal) {
    MidiPortCaps c;
    c.portId = kExternalPortId;
    c.portClass = MIDI_PORT_CLASS_OUTPUT;
    c.maxChannelGroups = 1;
    std::snprintf(c.description, sizeof c.description, "External MIDI Port");
    list.push_back(c);
  }
  return list;
}

void UpdateChannelBase(MidiPerformance* perf) {
  MidiPort* port = perf->blockPort;
  bool attached = port && !port->released &&
                  std::find(perf->ports.begin(), perf->ports.end(), port) != perf->ports.end();
  if (attached && port->synth && perf->blockGroup >= 1 && perf->blockGroup <= port->groups)
    perf->channelBase = int(perf->blockGroup - 1) * 16;
  else
    perf->channelBase = -1;
}

// The performance's own channels fall silent (also used before its channel base changes).
void SilenceChannels(MidiPerformance* perf) {
  if (perf->channelBase >= 0) gEngine.ResetGroup(perf->channelBase, false);
}

// Endless plays start as single plays: a file the player refuses to read, repeated without end,
// would have it try again and again inside one render. Once the player is seen playing (it has read
// the file, in the first few milliseconds rendered) it is told to repeat without end.
bool ArmLoops() {
  bool pending = false;
  for (MidiPerformance* perf : gPerformances) {
    if (!perf->loopPending || perf->player == nullptr) continue;
    int status = fluid_player_get_status(perf->player);
    if (status == FLUID_PLAYER_PLAYING && fluid_player_get_total_ticks(perf->player) > 0) {
      fluid_player_set_loop(perf->player, -1);
      perf->loopPending = false;
    } else if (status == FLUID_PLAYER_DONE) {
      perf->loopPending = false;  // not read: it stays silent
      perf->endFrame = 0;
    } else {
      pending = true;
    }
  }
  return pending;
}

void StopPlayer(MidiPerformance* perf) {
  perf->loopPending = false;
  if (perf->player) {
    delete_fluid_player(perf->player);
    perf->player = nullptr;
  }
  SilenceChannels(perf);
  perf->segmentId = 0;
}

// Player events, on the mixer's thread inside the render (gLock held): channel messages move to
// the performance's channel group. System exclusive messages are not passed on: a GM or GS reset in
// one piece would reset every group of the shared synthesizer; each play resets its own group instead.
int PlayerEvent(void* data, fluid_midi_event_t* ev) {
  MidiPerformance* perf = static_cast<MidiPerformance*>(data);
  if (perf->channelBase < 0) return FLUID_OK;
  int type = fluid_midi_event_get_type(ev);
  if (type < 0x80 || type >= 0xF0) return FLUID_OK;
  int ch = fluid_midi_event_get_channel(ev);
  if (ch < 0 || ch > 15) return FLUID_OK;
  fluid_midi_event_set_channel(ev, perf->channelBase + ch);
  gEngine.HandleEvent(ev);
  fluid_midi_event_set_channel(ev, ch);  // the player keeps its events for the next repeat
  return FLUID_OK;
}

std::string FsPath(const char* pathCp932) {
  std::string s = Cp932ToUtf8(pathCp932);
  std::replace(s.begin(), s.end(), '\\', '/');
  return s;
}

void ConvertFrames(const int16_t* src, uint32_t frames, const MidiFormat& f, uint8_t* dst) {
  for (uint32_t i = 0; i < frames; ++i) {
    int l = src[2 * i], r = src[2 * i + 1];
    if (f.channels == 1) {
      int m = (l + r) / 2;
      if (f.bits == 8) {
        *dst++ = static_cast<uint8_t>((m >> 8) + 128);
      } else {
        int16_t v = static_cast<int16_t>(m);
        std::memcpy(dst, &v, 2);
        dst += 2;
      }
    } else if (f.bits == 8) {
      *dst++ = static_cast<uint8_t>((l >> 8) + 128);
      *dst++ = static_cast<uint8_t>((r >> 8) + 128);
    } else {
      std::memcpy(dst, &src[2 * i], 4);
      dst += 4;
    }
  }
}

bool FormatAccepted(const MidiFormat& f) {
  return f.rate == kSynthRate && (f.channels == 1 || f.channels == 2) && (f.bits == 8 || f.bits == 16);
}

void SilenceBytes(const MidiFormat& f, uint8_t* dst, uint32_t bytes) {
  std::memset(dst, f.bits == 8 ? 0x80 : 0, bytes);
}

// Renders into dst (gLock held).
void RenderLocked(MidiPort* port, uint8_t* dst, uint32_t bytes) {
  const MidiFormat& f = port->outFormat;
  uint32_t align = uint32_t(f.channels) * (f.bits / 8);
  if (!FormatAccepted(f) || align == 0) return;
  if (port->released || !port->active || !gEngine.Ready()) {
    SilenceBytes(f, dst, bytes);
    return;
  }
  int16_t block[2 * 512];
  uint32_t frames = bytes / align;
  bool pending = ArmLoops();
  while (frames > 0) {
    // While an endless play waits to be armed, short steps: its first round is not over before.
    uint32_t n = std::min<uint32_t>(frames, pending ? 64 : 512);
    gEngine.Render(block, n);
    gRendered += n;
    if (pending) pending = ArmLoops();
    ConvertFrames(block, n, f, dst);
    dst += n * align;
    frames -= n;
  }
  SilenceBytes(f, dst, bytes % align);
}

}  // namespace

bool MidiOpen() {
  std::unique_lock<std::mutex> lock(gLock);
  if (gOpen) return true;
  std::vector<std::string> candidates = GmSoundFontCandidates();
  // With no file to try, the failure (and what was looked for) is told at once. A file that is there
  // but does not load is told on stderr by the loader, and the music stays silent.
  if (!AnyReadable(candidates)) {
    CreateWithGmSoundFont(gEngine, MIDI_SYNTH_GROUPS * 16, kSynthRate, "MIDI music", candidates);
    return false;
  }
  if (gLoader.thread.joinable()) {
    lock.unlock();
    gLoader.thread.join();  // a load left over from a system closed meanwhile
    lock.lock();
    if (gOpen) return true;
  }
  gLoading = true;
  gLoadCancelled = false;
  gLoader.thread = std::thread(LoadSynth, std::move(candidates));
  gOpen = true;
  return true;
}

void MidiClose() {
  std::thread loader;
  {
    std::lock_guard<std::mutex> lock(gLock);
    for (MidiPerformance* perf : gPerformances) StopPlayer(perf);
    gEngine.Destroy();
    gOpen = false;
    gLoadCancelled = true;
    loader = std::move(gLoader.thread);
  }
  if (loader.joinable()) loader.join();
}

bool MidiIsOpen() {
  std::lock_guard<std::mutex> lock(gLock);
  return gOpen;
}

MidiResult MidiEnumPort(uint32_t index, MidiPortCaps* caps) {
  std::lock_guard<std::mutex> lock(gLock);
  if (caps == nullptr) return MIDI_E_INVALIDARG;
  if (!gOpen) return MIDI_E_NOTOPEN;
  std::vector<MidiPortCaps> list = PortList();
  if (index >= list.size()) return MIDI_S_FALSE;
  *caps = list[index];
  return MIDI_OK;
}

MidiResult MidiCreatePort(uint32_t portId, const MidiPortParams& params, MidiPort** out) {
  std::lock_guard<std::mutex> lock(gLock);
  if (out == nullptr) return MIDI_E_INVALIDARG;
  *out = nullptr;
  if (!gOpen) return MIDI_E_NOTOPEN;
  const MidiPortCaps* caps = nullptr;
  std::vector<MidiPortCaps> list = PortList();
  for (const MidiPortCaps& c : list)
    if (c.portId == portId) caps = &c;
  if (caps == nullptr) return MIDI_E_NOPORT;
  if (params.channelGroups == 0 || params.channelGroups > caps->maxChannelGroups) return MIDI_E_INVALIDARG;
  if (caps->software && gSynthPort != nullptr) return MIDI_E_INUSE;
  MidiPort* port = new MidiPort;
  port->id = portId;
  port->synth = caps->software;
  port->groups = params.channelGroups;
  port->reverb = params.reverb;
  if (port->synth) {
    gEngine.SetReverb(params.reverb);
    port->outFormat = {2, kSynthRate, 16, kSynthRate * 4};
    gSynthPort = port;
  }
  gPorts.push_back(port);
  *out = port;
  return MIDI_OK;
}

void MidiReleasePort(MidiPort* port) {
  if (port == nullptr) return;
  AudioBuffer output = 0;
  {
    std::lock_guard<std::mutex> lock(gLock);
    auto it = std::find(gPorts.begin(), gPorts.end(), port);
    if (it == gPorts.end()) return;
    gPorts.erase(it);
    for (MidiPerformance* perf : gPerformances) {
      bool uses = perf->blockPort == port;
      if (uses) SilenceChannels(perf);
      perf->ports.erase(std::remove(perf->ports.begin(), perf->ports.end(), port), perf->ports.end());
      if (uses) perf->blockPort = nullptr;
      UpdateChannelBase(perf);
    }
    if (gSynthPort == port) gSynthPort = nullptr;
    port->released = true;
    output = port->output;
    port->output = 0;
  }
  // The buffer belongs to its creator; the port only stops feeding it.
  if (output) AudioSetFiller(output, nullptr, nullptr);
  delete port;
}

uint32_t MidiPortChannelGroups(const MidiPort* port) { return port ? port->groups : 0; }

MidiResult MidiPortGetFormat(const MidiPort* port, MidiFormat* format) {
  std::lock_guard<std::mutex> lock(gLock);
  if (port == nullptr || format == nullptr) return MIDI_E_INVALIDARG;
  if (!port->synth) return MIDI_E_FAIL;
  *format = {2, kSynthRate, 16, kSynthRate * 4};
  return MIDI_OK;
}

MidiResult MidiPortSetOutput(MidiPort* port, AudioBuffer buffer) {
  if (port == nullptr || buffer == 0) return MIDI_E_INVALIDARG;
  AudioFormat af;
  if (AudioGetFormat(buffer, &af) != kAudioOk || af.formatTag != 1) return MIDI_E_BADFORMAT;
  MidiFormat f{af.channels, af.samplesPerSec, af.bitsPerSample, 0};
  {
    std::lock_guard<std::mutex> lock(gLock);
    if (!port->synth) return MIDI_E_FAIL;
    if (!FormatAccepted(f)) return MIDI_E_BADFORMAT;
    port->outFormat = f;
    port->output = buffer;
  }
  AudioSetFiller(buffer, MidiPortFill, port);
  return MIDI_OK;
}

MidiResult MidiPortActivate(MidiPort* port, bool active) {
  if (port == nullptr) return MIDI_E_INVALIDARG;
  AudioBuffer output;
  {
    std::lock_guard<std::mutex> lock(gLock);
    port->active = active;
    output = port->output;
  }
  if (output) {
    if (active)
      AudioPlay(output, kAudioPlayLooping);
    else
      AudioStop(output);
  }
  return MIDI_OK;
}

void MidiPortFill(void* user, void* dst, uint32_t bytes) {
  std::lock_guard<std::mutex> lock(gLock);
  RenderLocked(static_cast<MidiPort*>(user), static_cast<uint8_t*>(dst), bytes);
}

MidiResult MidiPortRender(MidiPort* port, void* dst, uint32_t bytes) {
  std::lock_guard<std::mutex> lock(gLock);
  if (port == nullptr || dst == nullptr) return MIDI_E_INVALIDARG;
  if (!port->synth) return MIDI_E_FAIL;
  RenderLocked(port, static_cast<uint8_t*>(dst), bytes);
  return MIDI_OK;
}

MidiResult MidiCreatePerformance(MidiPerformance** out) {
  if (out == nullptr) return MIDI_E_INVALIDARG;
  std::lock_guard<std::mutex> lock(gLock);
  *out = new MidiPerformance;
  gPerformances.push_back(*out);
  return MIDI_OK;
}

MidiResult MidiPerformanceInit(MidiPerformance* perf) {
  std::lock_guard<std::mutex> lock(gLock);
  if (perf == nullptr) return MIDI_E_INVALIDARG;
  if (!gOpen) return MIDI_E_NOTOPEN;
  perf->inited = true;
  return MIDI_OK;
}

void MidiReleasePerformance(MidiPerformance* perf) {
  if (perf == nullptr) return;
  std::lock_guard<std::mutex> lock(gLock);
  auto it = std::find(gPerformances.begin(), gPerformances.end(), perf);
  if (it == gPerformances.end()) return;
  StopPlayer(perf);
  gPerformances.erase(it);
  delete perf;
}

MidiResult MidiPerformanceAddPort(MidiPerformance* perf, MidiPort* port) {
  std::lock_guard<std::mutex> lock(gLock);
  if (perf == nullptr || port == nullptr) return MIDI_E_INVALIDARG;
  if (!perf->inited) return MIDI_E_NOTOPEN;
  if (std::find(gPorts.begin(), gPorts.end(), port) == gPorts.end()) return MIDI_E_NOPORT;
  if (std::find(perf->ports.begin(), perf->ports.end(), port) == perf->ports.end()) perf->ports.push_back(port);
  UpdateChannelBase(perf);
  return MIDI_OK;
}

MidiResult MidiPerformanceRemovePort(MidiPerformance* perf, MidiPort* port) {
  std::lock_guard<std::mutex> lock(gLock);
  if (perf == nullptr || port == nullptr) return MIDI_E_INVALIDARG;
  auto it = std::find(perf->ports.begin(), perf->ports.end(), port);
  if (it == perf->ports.end()) return MIDI_E_NOPORT;
  if (perf->blockPort == port) SilenceChannels(perf);
  perf->ports.erase(it);
  UpdateChannelBase(perf);
  return MIDI_OK;
}

MidiResult MidiPerformanceAssignBlock(MidiPerformance* perf, uint32_t block, MidiPort* port, uint32_t group) {
  std::lock_guard<std::mutex> lock(gLock);
  if (perf == nullptr || port == nullptr || block != 0) return MIDI_E_INVALIDARG;
  if (std::find(perf->ports.begin(), perf->ports.end(), port) == perf->ports.end()) return MIDI_E_NOPORT;
  if (group == 0 || group > port->groups) return MIDI_E_INVALIDARG;
  SilenceChannels(perf);
  perf->blockPort = port;
  perf->blockGroup = group;
  UpdateChannelBase(perf);
  return MIDI_OK;
}

MidiResult MidiLoadSegment(const void* data, size_t size, MidiSegment** out) {
  if (out == nullptr) return MIDI_E_INVALIDARG;
  *out = nullptr;
  uint32_t lengthMs = 0;
  uint64_t lengthTicks = 0;
  if (!CheckFile(data, size, &lengthMs, &lengthTicks)) return MIDI_E_BADFILE;
  MidiSegment* seg = new MidiSegment;
  seg->lengthMs = lengthMs;
  seg->lengthTicks = lengthTicks;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  seg->data.assign(p, p + size);
  std::lock_guard<std::mutex> lock(gLock);
  seg->id = gNextSegmentId++;
  *out = seg;
  return MIDI_OK;
}

MidiResult MidiLoadSegmentFile(const char* pathCp932, MidiSegment** out) {
  if (out == nullptr || pathCp932 == nullptr) return MIDI_E_INVALIDARG;
  *out = nullptr;
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(FsPath(pathCp932), 64u << 20, &bytes)) return MIDI_E_BADFILE;
  return MidiLoadSegment(bytes.data(), bytes.size(), out);
}

void MidiSegmentSetRepeats(MidiSegment* seg, uint32_t repeats) {
  if (seg) seg->repeats = repeats;
}

void MidiReleaseSegment(MidiSegment* seg) { delete seg; }

MidiResult MidiPerformancePlay(MidiPerformance* perf, MidiSegment* seg, uint32_t* state) {
  std::unique_lock<std::mutex> lock(gLock);
  if (perf == nullptr || seg == nullptr) return MIDI_E_INVALIDARG;
  WaitLoaded(lock);
  if (!perf->inited || !gEngine.Ready()) return MIDI_E_NOTOPEN;
  StopPlayer(perf);
  if (perf->channelBase >= 0) gEngine.ResetGroup(perf->channelBase, true);
  fluid_player_t* player = gEngine.NewPlayer(PlayerEvent, perf);
  if (player == nullptr) return MIDI_E_OUTOFMEMORY;
  // Loops of the player count the plays: 1 plays once, -1 without end.
  int loops = seg->repeats == MIDI_REPEAT_INFINITE ? -1
              : seg->repeats >= 0x7FFFFFFF   ? -1
                                             : int(seg->repeats) + 1;
  // A piece that ends where it starts would have the player start it over and over within one
  // render, for ever: it plays once.
  if (seg->lengthTicks == 0) loops = 1;
  if (fluid_player_add_mem(player, seg->data.data(), seg->data.size()) != FLUID_OK ||
      fluid_player_set_loop(player, loops < 0 ? 1 : loops) != FLUID_OK || fluid_player_play(player) != FLUID_OK) {
    delete_fluid_player(player);
    return MIDI_E_FAIL;
  }
  perf->player = player;
  perf->loopPending = loops < 0;
  perf->segmentId = seg->id;
  // The player itself reports its end only seconds after the last event (it waits for the notes to
  // die away); a play is over when the piece's length has been rendered, as many times as it repeats.
  if (loops < 0)
    perf->endFrame = UINT64_MAX;
  else
    perf->endFrame = gRendered + uint64_t(seg->lengthMs) * uint64_t(loops) * kSynthRate / 1000;
  perf->playId = gNextPlayId++;
  if (perf->playId == 0) perf->playId = gNextPlayId++;
  if (state) *state = perf->playId;
  return MIDI_OK;
}

MidiResult MidiPerformanceStop(MidiPerformance* perf, MidiSegment* seg) {
  std::lock_guard<std::mutex> lock(gLock);
  if (perf == nullptr) return MIDI_E_INVALIDARG;
  if (seg == nullptr || seg->id == perf->segmentId) StopPlayer(perf);
  return MIDI_OK;
}

MidiResult MidiPerformanceIsPlaying(MidiPerformance* perf, MidiSegment* seg, uint32_t state) {
  std::lock_guard<std::mutex> lock(gLock);
  if (perf == nullptr || seg == nullptr) return MIDI_E_INVALIDARG;
  if (perf->player == nullptr || perf->segmentId != seg->id) return MIDI_S_FALSE;
  if (state != 0 && state != perf->playId) return MIDI_S_FALSE;
  return gRendered < perf->endFrame ? MIDI_OK : MIDI_S_FALSE;
}

void MidiTestSetSoundFont(const char* path) { SetGmSoundFont(path); }

int MidiTestVoices(int channel) {
  std::unique_lock<std::mutex> lock(gLock);
  WaitLoaded(lock);
  return gEngine.VoicesOn(channel);
}

void MidiTestSetPorts(bool synthesizer, bool externalPort) {
  std::lock_guard<std::mutex> lock(gLock);
  gListSynth = synthesizer;
  gListExternal = externalPort;
}

}  // namespace plat
