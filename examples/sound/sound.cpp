// Sound: one sound object with four voices, each with its own frequency, volume and pan; a drone
// streamed from a sound pack and looping; two MIDI pieces playing at once, each on its own channel
// group so that either can stop while the other plays on.
//   Space  the ping on the next voice      1  melody on/off      2  bass on/off      3  drone on/off
//   Escape quits.
#include <string>

#include "../common/example.h"
#include "el/elDraw.h"
#include "el/elMusic.h"
#include "el/elSound.h"
#include "el/elSystem.h"
#include "platform/resources.h"

namespace {

constexpr uint16_t kScanSpace = 0x39, kScan1 = 0x02, kScan2 = 0x03, kScan3 = 0x04;
constexpr int32_t kVoices = 4;
// Per voice: frequency in steps of 100 Hz from the recording's rate (22050 Hz), pan and volume in dB.
struct Voice {
  int32_t steps, panDb, volumeDb;
};
constexpr Voice kVoice[kVoices] = {{0, -100, 0}, {110, 100, 0}, {-55, 0, -6}, {220, 0, -12}};

int32_t ping = -1, drone = -1;
int32_t melody, bass;
bool melodyOn, bassOn, droneOn;
int32_t nextVoice;
int32_t lastVoice = -1;

// Stopping one piece leaves the other playing: each has its own channel group.
void ToggleMusic(int32_t object, bool* on) {
  if (!MusicReady) return;
  *on = !*on;
  *on ? elMusic::Play(object, 1) : elMusic::Stop(object);
}

void Label(int32_t x, int32_t y, const char* text, bool lit) {
  elDraw::SetFont(1, 20, 0, 0, 0, 0);
  elDraw::SetTextColor(lit ? 0x60FFFF : 0x808080, 0, 1);
  elDraw::Text(x, y, text);
  elDraw::EndFont();
}

bool Setup() {
  // Without an audio device sound and music stay off and the example runs mute.
  // A sound object with four voices (buffers), loaded from a WAVE file beside the program.
  ping = elSound::LoadObject("ping.wav", kVoices);
  for (int32_t v = 0; v < kVoices; ++v) {
    elSound::SetFrequency(ping, kVoice[v].steps, v);
    elSound::SetPan(ping, kVoice[v].panDb, v);
    elSound::SetVolume(ping, kVoice[v].volumeDb, v);
  }
  // Streamed sound plays from a sound pack: the WAVE files of stream/ are packed on the spot.
  elSound::MakePack("sound.pak", "stream", 1);
  elSound::SetPackFile("sound.pak");
  drone = elSound::LoadStream("drone.wav", 0);
  if (drone >= 0) elSound::PlayLoop(drone, -1), droneOn = true;

  // MIDI pieces are looked up as resources of type MIDI; a program without embedded resources adds
  // them from files. Each music object plays on its own channel group.
  const std::string dir = elSystem::GetProgramDir(0);
  plat::AddResourceFile("MIDI", "MELODY", (dir + "melody.mid").c_str());
  plat::AddResourceFile("MIDI", "BASS", (dir + "bass.mid").c_str());
  if (MusicReady) {
    melody = elMusic::LoadObject("MELODY");
    bass = elMusic::LoadObject("BASS");
    elMusic::Play(melody, 1);  // 1: repeat
    elMusic::Play(bass, 1);
    melodyOn = bassOn = true;
  }
  return true;
}

void Frame() {
  // Key presses from the event queue (kind 1: keyboard, value 1: pressed).
  while (elSystem::GetEvent(0)) {
    if (InputEvent.kind != 1 || InputEvent.value != 1) continue;
    if (InputEvent.code == kScanSpace && ping >= 0) {
      lastVoice = nextVoice;
      elSound::Play(ping, nextVoice);
      nextVoice = (nextVoice + 1) % kVoices;
    }
    if (InputEvent.code == kScan1) ToggleMusic(melody, &melodyOn);
    if (InputEvent.code == kScan2) ToggleMusic(bass, &bassOn);
    if (InputEvent.code == kScan3 && drone >= 0) {
      droneOn = !droneOn;
      droneOn ? elSound::PlayLoop(drone, -1) : elSound::Stop(drone, -1);
    }
  }
  elSound::Streaming();  // refills the stream's buffer; call it every frame

  elDraw::ClearScreen();
  Label(40, 30, "サウンドの例", true);
  Label(40, 90, "1: メロディー (MIDI)", melodyOn);
  Label(40, 130, "2: ベース (MIDI)", bassOn);
  Label(40, 170, "3: ドローン (ストリーム)", droneOn);
  Label(40, 230, "スペース: ピン (4ボイス)", lastVoice >= 0);
  // One column per voice: its pan as the position, its pitch as the height, the last one played lit.
  for (int32_t v = 0; v < kVoices; ++v) {
    const int32_t x = 320 + kVoice[v].panDb * 2 + (v - 1) * 12;
    const int32_t h = 60 + kVoice[v].steps / 2;
    elDraw::FillColor(x, 420 - h, x + 10, 420, v == lastVoice ? 0xFFE0 : 0x4208);
  }
  elDraw::FillColor(100, 421, 540, 423, 0x8410);
  Label(90, 430, "左", true);
  Label(530, 430, "右", true);
  if (drone >= 0) {
    // The stream's play cursor as a bar.
    const uint32_t pos = elSound::GetPosition(drone);
    elDraw::FillColor(40, 200, 40 + static_cast<int32_t>(pos % 88200 / 147), 204, 0x07E0);
  }
  elDraw::Present();
}

}  // namespace

int main(int argc, char** argv) { return RunExample({"サウンド", Setup, Frame}, argc, argv); }
