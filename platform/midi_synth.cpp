#include "platform/midi_synth.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>

#include "platform/files.h"

namespace plat {

namespace {

void QuietLogs() {
  static bool done = false;
  if (done) return;
  done = true;
  // The library reports its failures through results; its own console messages are not wanted.
  fluid_set_log_function(FLUID_ERR, nullptr, nullptr);
  fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
  fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
  fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
}

}  // namespace

namespace {
// Creations one at a time: the library's first set-up and the log settings are process-wide.
std::mutex gCreateLock;
}  // namespace

bool SynthEngine::Create(const std::string& soundFont, int channels, uint32_t rate) {
  Destroy();
  std::lock_guard<std::mutex> lock(gCreateLock);
  QuietLogs();
  if (channels < 16 || channels % 16 != 0) return false;
  struct stat st;
  if (stat(soundFont.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  settings_ = new_fluid_settings();
  if (settings_ == nullptr) return false;
  fluid_settings_setnum(settings_, "synth.sample-rate", rate);
  fluid_settings_setint(settings_, "synth.midi-channels", channels);
  fluid_settings_setint(settings_, "synth.audio-channels", 1);
  fluid_settings_setint(settings_, "synth.reverb.active", 1);
  fluid_settings_setint(settings_, "synth.lock-memory", 0);
  // The synthesizer's default gain (0.2) leaves the music about 15 dB under the sound effects and
  // the streamed title tune; 0.4 brings it level with them and still peaks below full scale.
  fluid_settings_setnum(settings_, "synth.gain", 0.4);
  // Players advance with the samples rendered, and never reset the whole synthesizer: other
  // pieces play on the other channel groups.
  fluid_settings_setstr(settings_, "player.timing-source", "sample");
  fluid_settings_setint(settings_, "player.reset-synth", 0);
  synth_ = new_fluid_synth(settings_);
  if (synth_ == nullptr || fluid_synth_sfload(synth_, soundFont.c_str(), 1) == FLUID_FAILED ||
      fluid_synth_count_midi_channels(synth_) != channels) {
    Destroy();
    return false;
  }
  channels_ = channels;
  for (int base = 0; base < channels; base += 16) {
    fluid_synth_set_channel_type(synth_, base + 9, CHANNEL_TYPE_DRUM);
    ResetGroup(base, true);
  }
  return true;
}

void SynthEngine::Destroy() {
  if (synth_) delete_fluid_synth(synth_);
  if (settings_) delete_fluid_settings(settings_);
  synth_ = nullptr;
  settings_ = nullptr;
  channels_ = 0;
}

void SynthEngine::Swap(SynthEngine& other) {
  std::swap(settings_, other.settings_);
  std::swap(synth_, other.synth_);
  std::swap(channels_, other.channels_);
}

void SynthEngine::SetReverb(bool on) {
  if (synth_) fluid_synth_reverb_on(synth_, -1, on ? 1 : 0);
}

void SynthEngine::Render(int16_t* dst, uint32_t frames) {
  if (synth_ == nullptr) {
    for (uint32_t i = 0; i < 2 * frames; ++i) dst[i] = 0;
    return;
  }
  fluid_synth_write_s16(synth_, static_cast<int>(frames), dst, 0, 2, dst, 1, 2);
}

// The synthesizer's controller handling reads a field it never set when the channel is the 256th:
// controllers for that one channel are not passed on (it keeps its start values).
bool SynthEngine::CcUsable(int channel) const { return channels_ < 256 || channel != 255; }

void SynthEngine::HandleEvent(fluid_midi_event_t* ev) {
  if (synth_ == nullptr) return;
  if (fluid_midi_event_get_type(ev) == 0xB0 && !CcUsable(fluid_midi_event_get_channel(ev))) return;
  fluid_synth_handle_midi_event(synth_, ev);
}

void SynthEngine::ResetGroup(int base, bool full) {
  if (synth_ == nullptr || base < 0 || base + 16 > channels_) return;
  for (int ch = base; ch < base + 16; ++ch) {
    fluid_synth_all_sounds_off(synth_, ch);
    if (!full) continue;
    if (CcUsable(ch)) {
      fluid_synth_cc(synth_, ch, 121, 0);  // reset all controllers
      fluid_synth_cc(synth_, ch, 7, 100);
      fluid_synth_cc(synth_, ch, 10, 64);
      fluid_synth_cc(synth_, ch, 11, 127);
      fluid_synth_cc(synth_, ch, 91, 40);
      fluid_synth_cc(synth_, ch, 93, 0);
    }
    fluid_synth_bank_select(synth_, ch, 0);
    fluid_synth_program_change(synth_, ch, 0);
  }
}

fluid_player_t* SynthEngine::NewPlayer(handle_midi_event_func_t handler, void* data) {
  if (synth_ == nullptr) return nullptr;
  fluid_player_t* player = new_fluid_player(synth_);
  if (player == nullptr) return nullptr;
  fluid_player_set_playback_callback(player, handler, data);
  return player;
}

int SynthEngine::VoicesOn(int channel) {
  if (synth_ == nullptr) return 0;
  fluid_voice_t* voices[512];
  fluid_synth_get_voicelist(synth_, voices, 512, -1);
  int n = 0;
  for (int i = 0; i < 512 && voices[i] != nullptr; ++i)
    if (fluid_voice_get_channel(voices[i]) == channel && fluid_voice_is_playing(voices[i])) ++n;
  return n;
}

namespace {
std::mutex gSoundFontLock;
bool gSoundFontSet = false;
std::string gSoundFont;
}  // namespace

void SetGmSoundFont(const char* path) {
  std::lock_guard<std::mutex> lock(gSoundFontLock);
  gSoundFontSet = path != nullptr;
  gSoundFont = path ? path : "";
}

std::vector<std::string> GmSoundFontCandidates() {
  std::vector<std::string> list;
  const char* named = std::getenv("OOMORI_SOUNDFONT");
  if (named != nullptr && named[0] != 0) list.push_back(named);
  {
    std::lock_guard<std::mutex> lock(gSoundFontLock);
    if (gSoundFontSet) {
      list.push_back(gSoundFont);
      return list;
    }
  }
  // default-GM.sf2 and .sf3 are the distribution's choice among the General MIDI SoundFonts that are
  // installed (FluidR3_GM, TimGM6mb, MuseScore_General); the files themselves follow, the smaller
  // ones first, in case the links are missing; the last is where other systems keep theirs.
  static const char* const kInstalled[] = {
      "/usr/share/sounds/sf2/default-GM.sf2",          "/usr/share/sounds/sf3/default-GM.sf3",
      "/usr/share/sounds/sf2/TimGM6mb.sf2",            "/usr/share/sounds/sf2/FluidR3_GM.sf2",
      "/usr/share/sounds/sf3/MuseScore_General.sf3",   "/usr/share/sounds/sf3/MuseScore_General_Full.sf3",
      "/usr/share/sounds/sf2/MuseScore_General.sf2",   "/usr/share/soundfonts/default.sf2"};
  for (const char* path : kInstalled) list.push_back(path);
  return list;
}

bool AnyReadable(const std::vector<std::string>& candidates) {
  for (const std::string& path : candidates)
    if (access(path.c_str(), R_OK) == 0) return true;
  return false;
}

bool CreateWithGmSoundFont(SynthEngine& engine, int channels, uint32_t rate, const char* who) {
  return CreateWithGmSoundFont(engine, channels, rate, who, GmSoundFontCandidates());
}

bool CreateWithGmSoundFont(SynthEngine& engine, int channels, uint32_t rate, const char* who,
                           const std::vector<std::string>& tried) {
  std::string why;
  for (const std::string& path : tried) {
    if (access(path.c_str(), R_OK) != 0) {
      why += "  " + path + " (missing or unreadable)\n";
      continue;
    }
    if (engine.Create(path, channels, rate)) return true;
    why += "  " + path + " (not a SoundFont that loads)\n";
  }
  std::fprintf(stderr,
               "oomori: %s is off: no General MIDI SoundFont could be loaded. Looked for:\n%s"
               "Install one (for example the package timgm6mb-soundfont) or name one in OOMORI_SOUNDFONT.\n",
               who, why.c_str());
  return false;
}

bool ReadWholeFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>* out) {
  out->clear();
  FILE* f = OpenRegularFile(path, "rb");
  if (f == nullptr) return false;
  struct stat st;
  if (fstat(fileno(f), &st) != 0 || st.st_size < 0 ||  // a regular file: its size is its length
      static_cast<uint64_t>(st.st_size) > maxBytes) {
    std::fclose(f);
    return false;
  }
  out->resize(static_cast<size_t>(st.st_size));
  size_t got = out->empty() ? 0 : std::fread(out->data(), 1, out->size(), f);
  std::fclose(f);
  if (got != out->size()) {
    out->clear();
    return false;
  }
  return true;
}

}  // namespace plat
