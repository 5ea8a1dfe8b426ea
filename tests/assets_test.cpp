// The game's embedded resources, read by an independent BMP reader. The sounds, tunes and the media
// files beside the program are loaded by the whole-game tests through the library, as the game does.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/resources.h"
#include "tests/support/asset_formats.h"

namespace {

// Every resource, once: pictures by size (sprites keyed green at their top corners), four sounds,
// four tunes, the window icon (32 bits with alpha).
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
  std::set<std::string> want = {"ICON/MAIN", "WAVE/S-READY", "WAVE/S-GO", "WAVE/PAKU", "WAVE/OKAWARI",
                                "MIDI/MUSIC1", "MIDI/MUSIC2", "MIDI/MUSIC3", "MIDI/OWARI"},
                        have;
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
  assetfmt::Bitmap icon;
  ASSERT_TRUE(plat::FindResource("ICON", "MAIN", &res) && assetfmt::ParseBmp(res.data, res.size, &icon));
  EXPECT_TRUE(icon.bpp == 32 && icon.masks[3] == 0xFF000000u && icon.argb[0] >> 24 == 0);
  for (unsigned i = 0; i < plat::kResourceCount; ++i)
    EXPECT_TRUE(have.insert(std::string(plat::kResourceTable[i].type) + "/" + plat::kResourceTable[i].name).second);
  EXPECT_EQ(have, want);
  EXPECT_FALSE(plat::FindResource("WAVE", "BACK", nullptr)) << "found by type and name";
}

}  // namespace
