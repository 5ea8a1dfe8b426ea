#include "platform/mci.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/audio.h"
#include "platform/host.h"
#include "platform/midi.h"
#include "platform/midi_synth.h"
#include "platform/text.h"

namespace plat {

namespace {

constexpr uint32_t kRate = 22050;
constexpr uint32_t kBufferBytes = kRate * 4;  // a second
constexpr size_t kMaxFileBytes = 16u << 20;

struct Device {
  std::string alias;            // lower case
  std::vector<uint8_t> file;    // the checked MIDI file
  uint32_t lengthMs = 0;
  uint64_t playedFrames = 0;    // frames rendered while playing since the start
  SynthEngine engine;
  fluid_player_t* player = nullptr;  // null: at the start
  bool playing = false;         // mode "playing"
  bool atEnd = false;           // played to its end
  bool notifyPending = false;   // a "play ... notify" waits for its end
  AudioBuffer buffer = 0;
};

// gLock guards the device's player and synthesizer, which the filler uses on the mixing thread.
// Audio calls are never made under it (the mixer may be waiting in the filler for it).
std::mutex gLock;
std::unique_ptr<Device> gDevice;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Splits a command into words; double quotes group a word (the quotes are dropped).
long Tokenize(const char* command, std::vector<std::string>* words) {
  const char* p = command;
  while (*p) {
    while (*p == ' ' || *p == '\t') ++p;
    if (!*p) break;
    std::string w;
    if (*p == '"') {
      const char* end = std::strchr(p + 1, '"');
      if (end == nullptr) return MCIERR_NO_CLOSING_QUOTE;
      w.assign(p + 1, end);
      p = end + 1;
    } else {
      while (*p && *p != ' ' && *p != '\t') w += *p++;
    }
    words->push_back(w);
  }
  return 0;
}

void Reply(char* reply, uint32_t size, const char* text) {
  if (reply == nullptr || size == 0) return;
  std::snprintf(reply, size, "%s", text);
}

// Stops the piece where it is (gLock held); the notes are cut.
void HaltLocked(Device& d) {
  if (d.player) fluid_player_stop(d.player);
  d.playing = false;
  for (int base = 0; base < d.engine.Channels(); base += 16) d.engine.ResetGroup(base, false);
}

void RewindLocked(Device& d) {
  HaltLocked(d);
  if (d.player) {
    delete_fluid_player(d.player);
    d.player = nullptr;
  }
  d.atEnd = false;
  d.playedFrames = 0;
}

int PlayerEvent(void* data, fluid_midi_event_t* ev) {
  static_cast<SynthEngine*>(data)->HandleEvent(ev);
  return FLUID_OK;
}

long Open(const std::vector<std::string>& w) {
  // open <file> type sequencer alias <a>
  if (w.size() != 6 || Lower(w[2]) != "type" || Lower(w[4]) != "alias") return MCIERR_UNRECOGNIZED_KEYWORD;
  if (Lower(w[3]) != "sequencer") return MCIERR_INVALID_DEVICE_NAME;
  if (gDevice) return MCIERR_DUPLICATE_ALIAS;
  auto d = std::make_unique<Device>();
  d->alias = Lower(w[5]);
  std::string path = Cp932ToUtf8(w[1].c_str());
  std::replace(path.begin(), path.end(), '\\', '/');
  if (!ReadWholeFile(path, kMaxFileBytes, &d->file)) return MCIERR_FILE_NOT_FOUND;
  if (!MidiCheckFile(d->file.data(), d->file.size(), &d->lengthMs)) return MCIERR_INVALID_FILE;
  if (!CreateWithGmSoundFont(d->engine, 16, kRate, "the MIDI sequencer")) return MCIERR_HARDWARE;
  // The sequencer is rendered, and so timed, by the mixer: without an audio device it cannot run.
  AudioFormat f{1, 2, kRate, kRate * 4, 4, 16, 0};
  if (AudioCreateBuffer(0, kBufferBytes, &f, sizeof f, &d->buffer) != kAudioOk) return MCIERR_HARDWARE;
  Device* dev = d.get();
  {
    std::lock_guard<std::mutex> lock(gLock);
    gDevice = std::move(d);
  }
  AudioSetFiller(dev->buffer, MciFill, dev);
  AudioPlay(dev->buffer, kAudioPlayLooping);
  return 0;
}

}  // namespace

void MciFill(void* user, void* dst, uint32_t bytes) {
  bool ended = false;
  {
    std::lock_guard<std::mutex> lock(gLock);
    Device* d = static_cast<Device*>(user);
    if (d == nullptr || d != gDevice.get()) {
      std::memset(dst, 0, bytes);
      return;
    }
    d->engine.Render(static_cast<int16_t*>(dst), bytes / 4);
    std::memset(static_cast<uint8_t*>(dst) + (bytes / 4) * 4, 0, bytes % 4);
    if (d->playing) d->playedFrames += bytes / 4;
    // The piece is over when its length has played (the player itself waits for the last notes to
    // die away before it says so).
    if (d->playing && d->playedFrames * 1000 >= uint64_t(d->lengthMs) * kRate) {
      d->playing = false;
      d->atEnd = true;
      ended = d->notifyPending;
      d->notifyPending = false;
    }
  }
  if (ended) PostMsg(MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, 0);
}

long MciSendString(const char* command, char* reply, uint32_t replySize) {
  Reply(reply, replySize, "");
  if (command == nullptr) return MCIERR_UNRECOGNIZED_COMMAND;
  std::vector<std::string> w;
  if (long r = Tokenize(command, &w)) return r;
  if (w.size() < 2) return MCIERR_MISSING_PARAMETER;
  std::string verb = Lower(w[0]);
  if (verb == "open") return Open(w);

  std::vector<uint32_t> posts;  // notifications of plays cut short, posted after the lock
  long result = 0;
  AudioBuffer closing = 0;
  {
    std::lock_guard<std::mutex> lock(gLock);
    Device* d = gDevice.get();
    if (d == nullptr || d->alias != Lower(w[1])) return MCIERR_INVALID_DEVICE_NAME;
    auto abortNotify = [&](uint32_t why) {
      if (d->notifyPending) posts.push_back(why);
      d->notifyPending = false;
    };
    if (verb == "play") {
      bool notify = w.size() == 3 && Lower(w[2]) == "notify";
      if (w.size() > 3 || (w.size() == 3 && !notify)) return MCIERR_UNRECOGNIZED_KEYWORD;
      abortNotify(MCI_NOTIFY_SUPERSEDED);
      if (d->atEnd) {
        // Nothing left to play: the play is over at once.
        if (notify) posts.push_back(MCI_NOTIFY_SUCCESSFUL);
      } else {
        if (d->player == nullptr) {
          for (int base = 0; base < d->engine.Channels(); base += 16) d->engine.ResetGroup(base, true);
          d->player = d->engine.NewPlayer(PlayerEvent, &d->engine);
          if (d->player == nullptr || fluid_player_add_mem(d->player, d->file.data(), d->file.size()) != FLUID_OK) {
            if (d->player) delete_fluid_player(d->player);
            d->player = nullptr;
            return MCIERR_HARDWARE;
          }
        }
        fluid_player_play(d->player);
        d->playing = true;
        d->notifyPending = notify;
      }
    } else if (verb == "seek") {
      if (w.size() != 4 || Lower(w[2]) != "to" || Lower(w[3]) != "start") return MCIERR_UNRECOGNIZED_KEYWORD;
      abortNotify(MCI_NOTIFY_ABORTED);
      RewindLocked(*d);
    } else if (verb == "stop") {
      if (w.size() != 2) return MCIERR_UNRECOGNIZED_KEYWORD;
      abortNotify(MCI_NOTIFY_ABORTED);
      HaltLocked(*d);
    } else if (verb == "close") {
      if (w.size() != 2) return MCIERR_UNRECOGNIZED_KEYWORD;
      abortNotify(MCI_NOTIFY_ABORTED);
      RewindLocked(*d);
      closing = d->buffer;
    } else if (verb == "status") {
      if (w.size() != 3 || Lower(w[2]) != "mode") return MCIERR_UNRECOGNIZED_KEYWORD;
      Reply(reply, replySize, d->playing ? "playing" : "stopped");
    } else {
      result = MCIERR_UNRECOGNIZED_COMMAND;
    }
  }
  if (closing) {
    // The filler is done with the device once the buffer is released; then it can go.
    AudioSetFiller(closing, nullptr, nullptr);
    AudioReleaseBuffer(closing);
    std::lock_guard<std::mutex> lock(gLock);
    gDevice.reset();
  }
  for (uint32_t why : posts) PostMsg(MM_MCINOTIFY, why, 0);
  return result;
}

}  // namespace plat
