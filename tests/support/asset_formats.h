// Small, bounds-checked readers of the game's asset formats (BMP, WAVE, standard MIDI file, JPEG
// frame header, MP3 frame sequence), used by the asset checks. Every reader takes a byte range and
// answers false for anything it cannot read completely inside that range.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace assetfmt {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

struct Bitmap {
  int32_t width = 0;
  int32_t height = 0;  // positive; bottom_up tells the row order of the file
  bool bottom_up = true;
  uint16_t bpp = 0;
  uint32_t compression = 0;
  uint32_t header_size = 0;
  uint32_t masks[4] = {0, 0, 0, 0};  // R, G, B, A for BI_BITFIELDS
  std::vector<Rgb> palette;           // for 1..8 bpp
  std::vector<uint8_t> index;         // for 1..8 bpp: width*height palette indices, top row first
  std::vector<uint32_t> argb;         // for 32 bpp: width*height 0xAARRGGBB, top row first
};

// Uncompressed BI_RGB 4/8-bit palette pictures and 32-bit BI_RGB/BI_BITFIELDS pictures.
bool ParseBmp(const uint8_t* data, size_t size, Bitmap* out);

struct Wave {
  uint16_t format = 0, channels = 0, bits = 0, block_align = 0;
  uint32_t rate = 0, byte_rate = 0;
  size_t data_offset = 0;  // where the samples start in the file
  std::vector<uint8_t> samples;
};

bool ParseWave(const uint8_t* data, size_t size, Wave* out);

struct MidiTrack {
  uint32_t end_tick = 0;     // tick of the end-of-track event
  uint32_t note_ons = 0;     // note-ons with velocity > 0
  uint32_t hanging = 0;      // notes still held at end-of-track
  uint32_t tempo_events = 0;
  uint32_t program_changes = 0;
  uint16_t channels_used = 0;  // bit per channel with a note-on
  bool has_end = false;
};

struct Midi {
  uint16_t format = 0, tracks = 0, division = 0;
  std::vector<MidiTrack> track;
};

// Reads every event (running status, meta and SysEx lengths as variable-length quantities).
bool ParseMidi(const uint8_t* data, size_t size, Midi* out);

// Width and height from the first SOFn marker of a baseline or progressive JPEG.
bool ParseJpegSize(const uint8_t* data, size_t size, int* width, int* height, int* components);

struct Mp3Info {
  bool id3 = false;
  uint32_t frames = 0;
  uint32_t sample_rate = 0;
  uint32_t channels = 0;
  double seconds = 0.0;
};

// Skips an ID3v2 tag, then walks MPEG-1/2 layer III frames to the end (a trailing ID3v1 tag of
// 128 bytes is allowed). False unless the frames fill the file.
bool ParseMp3(const uint8_t* data, size_t size, Mp3Info* out);

}  // namespace assetfmt
