// The software synthesizer shared by the MIDI port (platform/midi.cpp) and the MCI sequencer
// (platform/mci.cpp): FluidSynth with a General MIDI SoundFont, rendered by hand (no audio driver of
// its own), its players timed by the samples rendered. Not thread-safe: callers hold their own lock
// around every call, rendering included. Create alone may run on any thread, beside other engines.
#pragma once
#include <fluidsynth.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plat {

class SynthEngine {
 public:
  SynthEngine() = default;
  SynthEngine(const SynthEngine&) = delete;
  SynthEngine& operator=(const SynthEngine&) = delete;
  ~SynthEngine() { Destroy(); }

  // channels: MIDI channels (a multiple of 16); channel 9 of every 16 is a drum channel.
  bool Create(const std::string& soundFont, int channels, uint32_t rate);
  void Destroy();
  bool Ready() const { return synth_ != nullptr; }
  // Trades synthesizers with other (one made elsewhere takes this one's place).
  void Swap(SynthEngine& other);
  void SetReverb(bool on);
  // Interleaved stereo 16-bit.
  void Render(int16_t* dst, uint32_t frames);
  void HandleEvent(fluid_midi_event_t* ev);
  // Cuts the sound of channels base..base+15; full also gives them their start controllers and programs.
  void ResetGroup(int base, bool full);
  // A player timed by this synthesizer's rendering whose events go to handler.
  fluid_player_t* NewPlayer(handle_midi_event_func_t handler, void* data);
  int Channels() const { return channels_; }
  // Voices sounding on a channel.
  int VoicesOn(int channel);

 private:
  bool CcUsable(int channel) const;
  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;
  int channels_ = 0;
};

// The General MIDI SoundFonts to try, in order: the file named by the environment variable
// OOMORI_SOUNDFONT, then the places where the distribution's packages put theirs. A path given to
// SetGmSoundFont (tests) stands in for the distribution's places; null puts them back.
std::vector<std::string> GmSoundFontCandidates();
void SetGmSoundFont(const char* path);
// Creates engine with the first candidate that loads. When none does, says on stderr which files
// were looked for (who: what goes without music) and returns false.
bool CreateWithGmSoundFont(SynthEngine& engine, int channels, uint32_t rate, const char* who);
bool CreateWithGmSoundFont(SynthEngine& engine, int channels, uint32_t rate, const char* who,
                           const std::vector<std::string>& candidates);
// Whether any of the candidates is a readable file (a load can be tried at all).
bool AnyReadable(const std::vector<std::string>& candidates);
// Reads a regular file of at most maxBytes.
bool ReadWholeFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>* out);

}  // namespace plat
