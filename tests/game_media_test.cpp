// The two media files beside the program: the title picture, its widening, and what the game does
// when the files are missing. Each run gets a program directory of its own.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "el/elDraw.h"
#include "el/elStream.h"
#include "el/elSystem.h"
#include "el/system/sysinfo.h"
#include "game/game_state.h"
#include "platform/headless/display_headless.h"
#include "platform/headless/headless.h"
#include "tests/support/frame_check.h"
#include "tests/support/game_driver.h"
#include "tests/support/game_script.h"

using namespace gametest;
namespace fs = std::filesystem;

namespace {

// A fresh directory standing in for the program's, holding the given files (source, name).
class TempProgramDir {
 public:
  TempProgramDir() {
    char templ[] = "/tmp/oomori-progdir-XXXXXX";
    if (mkdtemp(templ)) dir_ = templ;
  }
  // Copies a file of the source tree into the directory under the given name.
  void Add(const char* from, const char* name) {
    const char* src = std::getenv("OOMORI_SOURCE_DIR");
    fs::copy_file(fs::path(src ? src : ".") / from, dir_ / name);
  }
  ~TempProgramDir() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  // The executable path to give the system information: a program in that directory.
  std::string Exe() const { return (dir_ / "oomori").string(); }

 private:
  fs::path dir_;
};

const char kStreamReport[] = "elStream::LoadObject : ストリームを読み込めません";

}  // namespace

TEST(GameMedia, TitlePictureIsItsLeft600ColumnsWidened) {
  // Red columns 0-299, blue 300-599, green 600-639 (tools/make_game_fixtures.sh); no tune.
  TempProgramDir dir;
  dir.Add("tests/data/title_bands.jpg", "oomori.jpg");
  const std::string exe = dir.Exe();
  RunResult r = RunGame([&exe](Driver& d) {
    elSystem::SetExecutablePathForTest(exe.c_str());
    d.WhenScene(10, [] {
      const Image f = CapturedFrame();
      KeepShot(f, "title_bands");
      ASSERT_EQ(f.width, 640);
      long red = 0, blue = 0, green = 0, total = 0;
      for (int y = 0; y < 440; y += 4) {
        for (int x = 0; x < 640; x += 2) {
          if (x >= 312 && x < 328) continue;  // the seam, softened by the compression
          ++total;
          const uint32_t p = f.At(x, y);
          if (SameOnScreen(p, 0xFF0000)) red += x < 320;
          if (SameOnScreen(p, 0x0000FF)) blue += x >= 320;
          green += SameOnScreen(p, 0x00FF00);
        }
      }
      EXPECT_EQ(red + blue, total) << "red fills the left half of the screen, blue the right half";
      EXPECT_EQ(green, 0) << "the columns beyond 600 are not shown";
      // The missing tune was reported once; the title stays silent.
      const auto& boxes = plat::headless::Boxes();
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].text, kStreamReport);
      EXPECT_EQ(boxes[0].caption, "エラー発生");
      EXPECT_EQ(elStream::GetState(), 0);
    });
    d.Then(PressEscape);
  });
  EXPECT_EQ(r.status, 0);
}

TEST(GameMedia, MissingPictureAndTuneLeaveABlackSilentTitle) {
  TempProgramDir dir;
  const std::string exe = dir.Exe();
  RunResult r = RunGame([&exe](Driver& d) {
    elSystem::SetExecutablePathForTest(exe.c_str());
    d.WhenScene(10, [] {
      const Image f = CapturedFrame();
      long lit = 0;
      for (int y = 0; y < 450; ++y)
        for (int x = 0; x < 640; ++x) lit += f.At(x, y) != 0;
      EXPECT_EQ(lit, 0) << "black title";
      EXPECT_GE(LabelMatch(f, "左クリックで食べて右クリックでおかわり！制限時間は30秒", 82, 460, 18, 0xFFFFFF), 0.95);
      const auto& boxes = plat::headless::Boxes();
      ASSERT_EQ(boxes.size(), 2u) << "one report for each file";
      EXPECT_EQ(boxes[0].text, kStreamReport);
      EXPECT_EQ(boxes[1].text, kStreamReport);
      EXPECT_EQ(elStream::GetState(), 0);
    });
    // The game goes on: the pictures are resources, the game plays.
    StartFromTitle(d);
    EatBowls(d, 1);
    d.Then([] {
      EXPECT_EQ(Bowls, 1);
      EXPECT_EQ(plat::headless::Boxes().size(), 2u) << "nothing else failed";
      PressEscape();
    });
  });
  EXPECT_EQ(r.status, 0);
}

// Pictures that fail to load leave 0 in their variables, the number of the stretch scratch picture:
// the scenes draw nothing for them (and not the scratch picture's leftovers from the title).
TEST(GameMedia, FailedPictureLoadsDrawNothing) {
  RunResult r = RunGame([](Driver& d) {
    // Stretching through the scratch picture, so it holds the widened title picture.
    plat::headless::SetCaps(false, false, false, false);
    d.WhenScene(10, [] {
      // Fill the draw object table, so every load of the game start fails.
      while (elDraw::CreateObject(8, 8, 2) != 0) {
      }
      plat::headless::Boxes().clear();
    });
    StartFromTitle(d);
    d.WhenScene(15, [] {
      EXPECT_EQ(BackPic, 0);
      EXPECT_EQ(Hito1Pic, 0);
      EXPECT_EQ(TsubuPic, 0);
      EXPECT_EQ(plat::headless::Boxes().size(), 14u) << "each of the fourteen pictures reports once";
      EXPECT_GE(ReadySound, 0) << "the sounds still load";
    });
    d.WhenScene(20, [] {
      const Image f = CapturedFrame();
      long lit = 0;
      for (int y = 60; y < 480; ++y)
        for (int x = 0; x < 640; ++x) lit += f.At(x, y) != 0;
      EXPECT_EQ(lit, 0) << "only the countdown is drawn";
      EXPECT_GE(LabelMatch(f, "残り 30秒", 10, 10, 32, 0xFFFFFF), 0.95);
      LeftClick();
    });
    d.AfterFrames(1, [] {
      EXPECT_EQ(Rice, -1) << "the game itself goes on";
      EXPECT_EQ(EatFrames, 3);
    });
    d.Then(PressEscape);
  });
  EXPECT_EQ(r.status, 0);
}
