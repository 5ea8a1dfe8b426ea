// The game's own assets as the game finds them: the embedded resources and the two media files
// beside the executable, read by independent parsers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <string>

#include "platform/resources.h"
#include "tests/support/asset_formats.h"
#include "tests/support/files.h"

namespace {

// Every resource, once: pictures by size (sprites keyed green all round their corners), four sounds
// (mono, 8-bit, 11025 Hz, not clipped), four tunes (format 1 at 480 ticks, tracks ending together on
// a bar line, no note left hanging), the window icon (32 bits with alpha).
TEST(Assets, EveryResourceIsThereOnceAndReadable) {
  struct Pic {
    const char* name;
    int w, h;
    bool sprite;
  };
  const Pic pics[] = {{"TITLEBACK", 64, 64, false}, {"TITLEBACK2", 64, 64, false}, {"BACK", 400, 300, false},
                      {"GOHAN1", 100, 25, true},    {"GOHAN2", 100, 25, true},     {"HITO1", 300, 300, true},
                      {"HITO2", 300, 300, true},    {"HITO3", 300, 300, true},     {"HITO4", 300, 300, true},
                      {"OWAN", 100, 100, true},     {"MISO", 100, 87, true},       {"TABLE", 400, 150, true},
                      {"READY", 200, 40, true},     {"GO", 200, 40, true},         {"SOKO", 200, 40, true},
                      {"TSUBU", 8, 8, true}};
  std::set<std::string> want = {"ICON/MAIN"}, have;
  plat::Resource res;
  for (const Pic& p : pics) {
    want.insert(std::string("BITMAP/") + p.name);
    assetfmt::Bitmap b;
    ASSERT_TRUE(plat::FindResource("BITMAP", p.name, &res) && assetfmt::ParseBmp(res.data, res.size, &b)) << p.name;
    EXPECT_EQ(b.width * 1000 + b.height, p.w * 1000 + p.h) << p.name;
    const assetfmt::Rgb key{0, 255, 0};
    EXPECT_EQ(b.palette[b.index[0]] == key && b.palette[b.index[p.w - 1]] == key, p.sprite) << p.name;
    std::set<uint8_t> used(b.index.begin(), b.index.end());
    EXPECT_GE(used.size(), 3u) << p.name << ": a picture, not a fill";
  }
  for (const char* name : {"S-READY", "S-GO", "PAKU", "OKAWARI"}) {
    want.insert(std::string("WAVE/") + name);
    assetfmt::Wave w;
    ASSERT_TRUE(plat::FindResource("WAVE", name, &res) && assetfmt::ParseWave(res.data, res.size, &w)) << name;
    EXPECT_TRUE(w.format == 1 && w.channels == 1 && w.bits == 8 && w.rate == 11025) << name;
    ASSERT_GT(w.samples.size(), 500u) << name;
    auto [lo, hi] = std::minmax_element(w.samples.begin(), w.samples.end());
    EXPECT_TRUE(*lo > 0 && *hi < 255 && *hi - *lo > 150) << name << ": loud, not clipped";
  }
  for (const char* name : {"MUSIC1", "MUSIC2", "MUSIC3", "OWARI"}) {
    want.insert(std::string("MIDI/") + name);
    assetfmt::Midi m;
    ASSERT_TRUE(plat::FindResource("MIDI", name, &res) && assetfmt::ParseMidi(res.data, res.size, &m)) << name;
    EXPECT_TRUE(m.format == 1 && m.division == 480 && m.track.size() >= 3) << name;
    for (const assetfmt::MidiTrack& t : m.track) EXPECT_TRUE(t.hanging == 0 && t.end_tick == m.track[0].end_tick) << name;
    EXPECT_TRUE(m.track[0].end_tick > 0 && m.track[0].end_tick % 1920 == 0) << name;
  }
  assetfmt::Bitmap icon;
  ASSERT_TRUE(plat::FindResource("ICON", "MAIN", &res) && assetfmt::ParseBmp(res.data, res.size, &icon));
  EXPECT_TRUE(icon.bpp == 32 && icon.masks[3] == 0xFF000000u && icon.argb[0] >> 24 == 0);
  for (unsigned i = 0; i < plat::kResourceCount; ++i)
    EXPECT_TRUE(have.insert(std::string(plat::kResourceTable[i].type) + "/" + plat::kResourceTable[i].name).second);
  EXPECT_EQ(have, want);
  EXPECT_FALSE(plat::FindResource("WAVE", "BACK", nullptr)) << "found by type and name";
}

TEST(Assets, TitlePictureAndTuneLieBesideTheProgram) {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  const std::string exe(buf, n > 0 ? static_cast<size_t>(n) : 0);
  const std::string dir = exe.substr(0, exe.rfind('/') + 1);
  std::vector<uint8_t> jpg = testfiles::ReadFile(dir + "oomori.jpg"), mp3 = testfiles::ReadFile(dir + "titlebgm.mp3");
  int w = 0, h = 0, comps = 0;
  EXPECT_TRUE(assetfmt::ParseJpegSize(jpg.data(), jpg.size(), &w, &h, &comps));
  EXPECT_EQ(w * 1000 + h, 600480);
  assetfmt::Mp3Info info;
  ASSERT_TRUE(assetfmt::ParseMp3(mp3.data(), mp3.size(), &info));
  EXPECT_EQ(info.sample_rate, 44100u);
  EXPECT_TRUE(info.seconds >= 30 && info.seconds <= 60) << info.seconds;
}

}  // namespace
