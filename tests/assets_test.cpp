// The game's own assets as the game finds them: the embedded resources by type and name, and the
// two media files beside the executable.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "platform/resources.h"
#include "tests/support/asset_formats.h"
#include "tests/support/files.h"

using assetfmt::Rgb;

namespace {

struct PictureInfo {
  const char* name;
  int width, height, bpp;
  bool sprite;  // drawn with the green key (background pictures are fully opaque)
};

const PictureInfo kPictures[] = {
    {"TITLEBACK", 64, 64, 8, false}, {"TITLEBACK2", 64, 64, 8, false}, {"BACK", 400, 300, 8, false},
    {"GOHAN1", 100, 25, 8, true},    {"GOHAN2", 100, 25, 8, true},     {"HITO1", 300, 300, 8, true},
    {"HITO2", 300, 300, 8, true},    {"HITO3", 300, 300, 8, true},     {"HITO4", 300, 300, 8, true},
    {"OWAN", 100, 100, 8, true},     {"MISO", 100, 87, 8, true},       {"TABLE", 400, 150, 8, true},
    {"READY", 200, 40, 8, true},     {"GO", 200, 40, 8, true},         {"SOKO", 200, 40, 8, true},
    {"TSUBU", 8, 8, 4, true},
};

struct SoundSpec {
  const char* name;
  size_t bytes;
};
const SoundSpec kSounds[] = {{"S-READY", 2712}, {"S-GO", 3638}, {"PAKU", 551}, {"OKAWARI", 3439}};

const char* const kMusic[] = {"MUSIC1", "MUSIC2", "MUSIC3", "OWARI"};

const Rgb kKey{0, 255, 0};

// Colours that a 16-bit surface could turn into the key, or that show as a green fringe.
bool NearGreen(const Rgb& c) { return c.r + (255 - c.g) + c.b < 120; }

plat::Resource Find(const char* type, const char* name) {
  plat::Resource r;
  EXPECT_TRUE(plat::FindResource(type, name, &r)) << type << " " << name;
  return r;
}

std::string ExeDir() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string p(buf, static_cast<size_t>(n));
  return p.substr(0, p.rfind('/') + 1);
}

using testfiles::ReadFile;

TEST(AssetsTest, ManifestHoldsEveryResourceOnceAndNothingElse) {
  std::set<std::string> want;
  for (const auto& p : kPictures) want.insert(std::string("BITMAP/") + p.name);
  for (const auto& s : kSounds) want.insert(std::string("WAVE/") + s.name);
  for (const char* m : kMusic) want.insert(std::string("MIDI/") + m);
  want.insert("ICON/MAIN");
  std::set<std::string> have;
  for (unsigned i = 0; i < plat::kResourceCount; ++i) {
    const plat::ResourceEntry& e = plat::kResourceTable[i];
    std::string k = std::string(e.type) + "/" + e.name;
    EXPECT_TRUE(have.insert(k).second) << "listed twice: " << k;
    EXPECT_GT(e.end - e.begin, 0) << k;
  }
  EXPECT_EQ(have, want);
  // Lookups go by type as well as name.
  EXPECT_FALSE(plat::FindResource("WAVE", "BACK", nullptr));
  EXPECT_FALSE(plat::FindResource("BITMAP", "MUSIC2", nullptr));
}

TEST(AssetsTest, PicturesHaveTheirSizeDepthAndAKeyApartFromEveryOtherColour) {
  for (const PictureInfo& pic : kPictures) {
    SCOPED_TRACE(pic.name);
    plat::Resource res = Find("BITMAP", pic.name);
    assetfmt::Bitmap bmp;
    ASSERT_TRUE(assetfmt::ParseBmp(res.data, res.size, &bmp));
    EXPECT_EQ(bmp.width, pic.width);
    EXPECT_EQ(bmp.height, pic.height);
    EXPECT_EQ(bmp.bpp, pic.bpp);
    EXPECT_EQ(bmp.compression, 0u);
    ASSERT_EQ(bmp.index.size(), static_cast<size_t>(pic.width * pic.height));

    // Palette: no entry close to the key except the key itself, which appears at most once.
    int key_entries = 0;
    for (const Rgb& c : bmp.palette) {
      if (c == kKey) {
        ++key_entries;
      } else {
        EXPECT_FALSE(NearGreen(c)) << int(c.r) << "," << int(c.g) << "," << int(c.b);
      }
    }
    EXPECT_LE(key_entries, 1);

    size_t keyed = 0;
    std::set<uint8_t> used;
    for (uint8_t i : bmp.index) {
      used.insert(i);
      if (bmp.palette[i] == kKey) ++keyed;
    }
    if (pic.sprite) {
      // Transparent surroundings: the key is there, and the corners are see-through.
      EXPECT_GT(keyed, 0u);
      EXPECT_LT(keyed, bmp.index.size());
      const size_t w = static_cast<size_t>(pic.width), h = static_cast<size_t>(pic.height);
      EXPECT_EQ(bmp.palette[bmp.index[0]], kKey);
      EXPECT_EQ(bmp.palette[bmp.index[w - 1]], kKey);
      if (std::string(pic.name) != "TABLE" && std::string(pic.name).rfind("GOHAN", 0) != 0 &&
          std::string(pic.name).rfind("HITO", 0) != 0) {
        EXPECT_EQ(bmp.palette[bmp.index[(h - 1) * w]], kKey);
      }
    } else {
      EXPECT_EQ(keyed, 0u) << "background pictures are opaque";
    }
    // A real picture, not a flat fill.
    EXPECT_GE(used.size(), pic.bpp == 4 ? 3u : 16u);
  }
}

TEST(AssetsTest, RiceLayersStackWithoutGaps) {
  // The heap is drawn as GOHAN2 layers 25 pixels apart under a GOHAN1 top: the lower layer must be
  // solid down its middle from top row to bottom row, and the top layer rounded (its top corners clear,
  // its bottom row solid across the middle).
  for (const char* name : {"GOHAN1", "GOHAN2"}) {
    SCOPED_TRACE(name);
    plat::Resource res = Find("BITMAP", name);
    assetfmt::Bitmap bmp;
    ASSERT_TRUE(assetfmt::ParseBmp(res.data, res.size, &bmp));
    ASSERT_EQ(bmp.index.size(), 2500u);
    auto opaque = [&](int x, int y) { return !(bmp.palette[bmp.index[static_cast<size_t>(y * 100 + x)]] == kKey); };
    for (int x = 20; x < 80; ++x) EXPECT_TRUE(opaque(x, 24)) << x;
    if (std::string(name) == "GOHAN2") {
      for (int x = 20; x < 80; ++x) EXPECT_TRUE(opaque(x, 0)) << x;
    } else {
      EXPECT_FALSE(opaque(8, 1));
      EXPECT_FALSE(opaque(91, 1));
      EXPECT_TRUE(opaque(50, 4));
    }
  }
}

TEST(AssetsTest, WindowIconIs32BitWithAlpha) {
  plat::Resource res = Find("ICON", "MAIN");
  assetfmt::Bitmap bmp;
  ASSERT_TRUE(assetfmt::ParseBmp(res.data, res.size, &bmp));
  EXPECT_EQ(bmp.width, 64);
  EXPECT_EQ(bmp.height, 64);
  EXPECT_EQ(bmp.bpp, 32);
  EXPECT_GE(bmp.header_size, 108u);  // V4 or V5 header
  EXPECT_EQ(bmp.compression, 3u);    // BI_BITFIELDS
  EXPECT_EQ(bmp.masks[0], 0x00FF0000u);
  EXPECT_EQ(bmp.masks[1], 0x0000FF00u);
  EXPECT_EQ(bmp.masks[2], 0x000000FFu);
  EXPECT_EQ(bmp.masks[3], 0xFF000000u);
  ASSERT_EQ(bmp.argb.size(), 64u * 64u);
  size_t clear = 0, solid = 0;
  for (uint32_t p : bmp.argb) {
    if ((p >> 24) == 0) ++clear;
    if ((p >> 24) == 255) ++solid;
  }
  EXPECT_GT(clear, 64u) << "the corners show through";
  EXPECT_GT(solid, 64u * 64u / 3) << "the picture itself is solid";
  EXPECT_EQ(bmp.argb[0] >> 24, 0u);
}

TEST(AssetsTest, SoundsAreMono8Bit11025HzOfTheirLengthAndNotClipped) {
  for (const SoundSpec& pic : kSounds) {
    SCOPED_TRACE(pic.name);
    plat::Resource res = Find("WAVE", pic.name);
    assetfmt::Wave wav;
    ASSERT_TRUE(assetfmt::ParseWave(res.data, res.size, &wav));
    EXPECT_EQ(wav.format, 1);
    EXPECT_EQ(wav.channels, 1);
    EXPECT_EQ(wav.rate, 11025u);
    EXPECT_EQ(wav.byte_rate, 11025u);
    EXPECT_EQ(wav.block_align, 1);
    EXPECT_EQ(wav.bits, 8);
    EXPECT_EQ(wav.data_offset, 44u) << "canonical header";
    EXPECT_EQ(wav.samples.size(), pic.bytes);
    ASSERT_FALSE(wav.samples.empty());
    int lo = 255, hi = 0;
    double energy = 0;
    for (uint8_t s : wav.samples) {
      lo = std::min<int>(lo, s);
      hi = std::max<int>(hi, s);
      energy += (s - 128.0) * (s - 128.0);
    }
    EXPECT_GT(lo, 0) << "clipped low";
    EXPECT_LT(hi, 255) << "clipped high";
    EXPECT_GT(std::max(128 - lo, hi - 128), 100) << "normalised near full scale";
    EXPECT_GT(energy / static_cast<double>(wav.samples.size()), 15.0 * 15.0) << "audible, not silence";
    // Starts and ends near the centre line, so playback does not click.
    EXPECT_LE(std::abs(wav.samples.front() - 128), 8);
    EXPECT_LE(std::abs(wav.samples.back() - 128), 8);
  }
}

TEST(AssetsTest, MusicIsFormat1At480TicksAndLoopsCleanly) {
  for (const char* name : kMusic) {
    SCOPED_TRACE(name);
    plat::Resource res = Find("MIDI", name);
    assetfmt::Midi mid;
    ASSERT_TRUE(assetfmt::ParseMidi(res.data, res.size, &mid));
    EXPECT_EQ(mid.format, 1);
    EXPECT_EQ(mid.division, 480);
    ASSERT_GE(mid.track.size(), 3u);
    EXPECT_EQ(mid.track[0].tempo_events, 1u) << "tempo in the first track";
    uint32_t notes = 0, programs = 0;
    uint16_t channels = 0;
    for (const assetfmt::MidiTrack& t : mid.track) {
      notes += t.note_ons;
      programs += t.program_changes;
      channels |= t.channels_used;
      EXPECT_EQ(t.hanging, 0u) << "a note still sounds at the end";
      // Every track ends together, on a bar line of 4/4.
      EXPECT_EQ(t.end_tick, mid.track[0].end_tick);
    }
    EXPECT_GT(notes, 20u);
    EXPECT_GE(programs, 2u);
    EXPECT_TRUE(channels & (1u << 9)) << "drums on channel 10";
    EXPECT_GT(mid.track[0].end_tick, 0u);
    EXPECT_EQ(mid.track[0].end_tick % (4 * 480), 0u);
  }
}

TEST(AssetsTest, TitlePictureAndTuneLieBesideTheProgram) {
  std::vector<uint8_t> jpg = ReadFile(ExeDir() + "oomori.jpg");
  ASSERT_FALSE(jpg.empty()) << "oomori.jpg beside the executable";
  int w = 0, h = 0, comps = 0;
  ASSERT_TRUE(assetfmt::ParseJpegSize(jpg.data(), jpg.size(), &w, &h, &comps));
  EXPECT_EQ(w, 600);
  EXPECT_EQ(h, 480);
  EXPECT_EQ(comps, 3);

  std::vector<uint8_t> mp3 = ReadFile(ExeDir() + "titlebgm.mp3");
  ASSERT_GE(mp3.size(), 4u) << "titlebgm.mp3 beside the executable";
  bool starts = (mp3[0] == 'I' && mp3[1] == 'D' && mp3[2] == '3') || (mp3[0] == 0xFF && (mp3[1] & 0xE0) == 0xE0);
  EXPECT_TRUE(starts);
  assetfmt::Mp3Info info;
  ASSERT_TRUE(assetfmt::ParseMp3(mp3.data(), mp3.size(), &info));
  EXPECT_EQ(info.sample_rate, 44100u);
  EXPECT_GE(info.seconds, 30.0);
  EXPECT_LE(info.seconds, 60.0);
}

// The readers themselves, on hand-made damaged input.
TEST(AssetFormatsTest, ReadersRefuseTruncatedAndInconsistentFiles) {
  plat::Resource res = Find("BITMAP", "TSUBU");
  std::vector<uint8_t> bmp(res.data, res.data + res.size);
  assetfmt::Bitmap b;
  ASSERT_TRUE(assetfmt::ParseBmp(bmp.data(), bmp.size(), &b));
  EXPECT_FALSE(assetfmt::ParseBmp(bmp.data(), bmp.size() - 1, &b)) << "pixel rows cut short";
  std::vector<uint8_t> big = bmp;
  big[18] = 0xFF;  // width 255: rows run past the end
  EXPECT_FALSE(assetfmt::ParseBmp(big.data(), big.size(), &b));

  res = Find("WAVE", "PAKU");
  std::vector<uint8_t> wav(res.data, res.data + res.size);
  assetfmt::Wave w;
  ASSERT_TRUE(assetfmt::ParseWave(wav.data(), wav.size(), &w));
  wav[40] = 0xFF;  // data length beyond the file
  EXPECT_FALSE(assetfmt::ParseWave(wav.data(), wav.size(), &w));

  res = Find("MIDI", "OWARI");
  std::vector<uint8_t> mid(res.data, res.data + res.size);
  assetfmt::Midi m;
  ASSERT_TRUE(assetfmt::ParseMidi(mid.data(), mid.size(), &m));
  EXPECT_FALSE(assetfmt::ParseMidi(mid.data(), mid.size() - 3, &m)) << "last end-of-track missing";
  // A note-on with no note-off is reported as hanging.
  const uint8_t hang[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 1, 1, 0xE0, 'M', 'T', 'r', 'k', 0, 0, 0, 8,
                          0, 0x90, 60, 100, 0, 0xFF, 0x2F, 0};
  ASSERT_TRUE(assetfmt::ParseMidi(hang, sizeof hang, &m));
  EXPECT_EQ(m.track[0].hanging, 1u);
  EXPECT_EQ(m.track[0].note_ons, 1u);

  const uint8_t frame_only[] = {0xFF, 0xD8, 0xFF, 0xC0, 0, 11, 8, 1, 0xE0, 2, 0x58, 3, 1, 2, 3};
  int jw, jh, jc;
  EXPECT_FALSE(assetfmt::ParseJpegSize(frame_only, sizeof frame_only, &jw, &jh, &jc)) << "components cut short";
  const uint8_t sof[] = {0xFF, 0xD8, 0xFF, 0xC0, 0, 17, 8, 1, 0xE0, 2, 0x58, 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1};
  ASSERT_TRUE(assetfmt::ParseJpegSize(sof, sizeof sof, &jw, &jh, &jc));
  EXPECT_EQ(jw, 600);
  EXPECT_EQ(jh, 480);

  const uint8_t not_mp3[] = {'R', 'I', 'F', 'F', 0, 0, 0, 0};
  assetfmt::Mp3Info mi;
  EXPECT_FALSE(assetfmt::ParseMp3(not_mp3, sizeof not_mp3, &mi));
}

}  // namespace
