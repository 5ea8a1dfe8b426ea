// The game's embedded resources. The whole-game tests load every picture, sound and tune through the
// library as the game does, and compare the pictures on screen with these resources.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/resources.h"
#include "tests/support/asset_formats.h"

namespace {

// Every resource once, found by type and name; sprites keyed green at their top corners; the window
// icon in 32 bits with alpha.
TEST(Assets, EveryResourceIsThereOnceAndReadable) {
  std::set<std::string> want = {"ICON/MAIN", "WAVE/S-READY", "WAVE/S-GO", "WAVE/PAKU", "WAVE/OKAWARI",
                                "MIDI/MUSIC1", "MIDI/MUSIC2", "MIDI/MUSIC3", "MIDI/OWARI"},
                        have;
  plat::Resource res;
  for (const char* name : {"TITLEBACK", "TITLEBACK2", "BACK", "GOHAN1", "GOHAN2", "HITO1", "HITO2", "HITO3", "HITO4",
                           "OWAN", "MISO", "TABLE", "READY", "GO", "SOKO", "TSUBU"}) {
    want.insert(std::string("BITMAP/") + name);
    assetfmt::Bitmap b;
    ASSERT_TRUE(plat::FindResource("BITMAP", name, &res) && assetfmt::ParseBmp(res.data, res.size, &b)) << name;
    const bool keyed = b.palette[b.index[0]] == assetfmt::Rgb{0, 255, 0} &&
                       b.palette[b.index[b.width - 1]] == assetfmt::Rgb{0, 255, 0};
    EXPECT_EQ(keyed, std::string(name).find("BACK") == std::string::npos) << name;
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
