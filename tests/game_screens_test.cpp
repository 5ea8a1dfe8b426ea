// Captured frames of every scene, compared with what the scenes must put on screen: the game's
// pictures at their places, the texts, the menu panel and the speech box.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>

#include "el/elSystem.h"
#include "game/game_state.h"
#include "game/ranking.h"
#include "game/scenes.h"
#include "tests/support/frame_check.h"
#include "tests/support/game_driver.h"
#include "tests/support/game_script.h"

using namespace gametest;

namespace {

constexpr double kPictureShown = 0.97;  // share of a picture's pixels that must be on screen
constexpr double kTextShown = 0.95;     // share of a label's full glyph pixels
constexpr double kTextAbsent = 0.5;

#define EXPECT_PICTURE(frame, name, x, y, ...)                                                   \
  EXPECT_GE(PictureMatch(frame, ResourceBitmap(name), x, y __VA_OPT__(, ) __VA_ARGS__), kPictureShown) \
      << name << " at (" << x << ", " << y << ")"
#define EXPECT_LABEL(frame, text, x, y, size, colour) \
  EXPECT_GE(LabelMatch(frame, text, x, y, size, colour), kTextShown) << "text at (" << x << ", " << y << ")"
// A black shadow at (sx, sy) under the text at (x, y).
#define EXPECT_SHADOW(frame, text, sx, sy, x, y, size, colour) \
  EXPECT_GE(ShadowMatch(frame, text, sx, sy, x, y, size, colour), kTextShown) << "shadow at (" << sx << ", " << sy << ")"

// The room, table and miso soup that every frame of the game scenes shows.
void ExpectRoom(const Image& f) {
  const Image back = Stretched(ResourceBitmap("BACK"), 640, 480);
  // Left of the bowl stacks and below the countdown, nothing covers the room.
  EXPECT_GE(PictureMatch(f, back, 0, 0, {0, 60, 140, 330}), kPictureShown) << "room";
  EXPECT_GE(PictureMatch(f, back, 0, 0, {480, 0, 640, 330}), kPictureShown) << "room";
  // The table's right part (the bowls, the stacks and the soup lie further left).
  EXPECT_PICTURE(f, "TABLE", 120, 330, Rect{345, 0, 400, 150});
  EXPECT_PICTURE(f, "MISO", 360, 320);
}

// Picture of the eater: the upper parts left and right of the rice heap's column and the grains,
// and left of the bowl he holds up during a refill.
double EaterMatch(const Image& f, const char* name) {
  const Image hito = ResourceBitmap(name);
  return (PictureMatch(f, hito, 170, 30, {0, 0, 100, 170}) + PictureMatch(f, hito, 170, 30, {200, 0, 240, 170})) / 2;
}

// The grains as the scene draws them, one over the other in table order: share of their pixels shown.
double GrainsMatch(const Image& f, const Grain* grains) {
  const Image tsubu = ResourceBitmap("TSUBU");
  std::vector<int64_t> layer(static_cast<size_t>(f.width) * f.height, -1);
  for (int i = 0; i < kGrainCount; ++i) {
    if (!grains[i].active) continue;
    for (int y = 0; y < tsubu.height; ++y)
      for (int x = 0; x < tsubu.width; ++x) {
        const int fx = grains[i].x + x, fy = grains[i].y + y;
        if (tsubu.At(x, y) == 0x00FF00 || fx < 0 || fy < 0 || fx >= f.width || fy >= f.height) continue;
        layer[static_cast<size_t>(fy) * f.width + fx] = tsubu.At(x, y);
      }
  }
  long total = 0, same = 0;
  for (size_t i = 0; i < layer.size(); ++i) {
    if (layer[i] < 0) continue;
    ++total;
    same += SameOnScreen(f.px[i], static_cast<uint32_t>(layer[i]));
  }
  return total ? static_cast<double>(same) / total : 0.0;
}

}  // namespace

TEST(GameScreens, TitleAndMenu) {
  RunResult r = RunGame([](Driver& d) {
    static Image bare;
    d.WhenScene(10, [] {
      bare = CapturedFrame();
      KeepShot(bare, "title");
      ASSERT_EQ(bare.width, 640);
      // The title picture fills the screen (not black), the notice line is at the bottom.
      long lit = 0;
      for (uint32_t p : bare.px) lit += p != 0;
      EXPECT_GT(lit, 640 * 480 * 9 / 10) << "title picture";
      EXPECT_LABEL(bare, "左クリックで食べて右クリックでおかわり！制限時間は30秒", 82, 460, 18, 0xFFFFFF);
      EXPECT_LT(LabelMatch(bare, "左クリックでゲームスタート", 164, 330, 24, 0x212121), kTextAbsent);
      LeftClick();
    });
    // The click is read after the frame was drawn: the menu shows from the frame after it.
    d.AfterFrames(1, [] {
      const Image menu = CapturedFrame();
      KeepShot(menu, "title_menu");
      EXPECT_LABEL(menu, "左クリックでゲームスタート", 164, 330, 24, 0x212121);
      EXPECT_LABEL(menu, "ＥＳＣキーでゲームを終了します", 140, 390, 24, 0x212121);
      // Empty ranking: no ranking line.
      EXPECT_LT(LabelMatch(menu, "右クリックでスコアランキング表示", 128, 360, 24, 0x212121), kTextAbsent);
      // The panel: each pixel halfway between the picture and white; outside it the picture as it was.
      long inside = 0, blended = 0, outside = 0, kept = 0;
      for (int y = 300; y < 440; ++y) {
        for (int x = 90; x < 550; ++x) {
          const uint32_t before = bare.At(x, y), after = menu.At(x, y);
          const bool in = x >= 110 && x < 530 && y >= 325 && y < 420;
          if (in) {
            uint32_t want = 0;
            for (int shift : {16, 8, 0}) want |= ((before >> shift & 0xFF) + 255) / 2 << shift;
            ++inside;
            blended += SameOnScreen(after, want);
          } else if (y < 455) {
            ++outside;
            kept += after == before;
          }
        }
      }
      // Text covers a part of the panel.
      EXPECT_GT(blended, inside * 3 / 4) << "pale panel (110, 325)-(530, 420)";
      EXPECT_EQ(kept, outside) << "outside the panel";
      PressEscape();
    });
  });
  EXPECT_EQ(r.status, 0);
}

TEST(GameScreens, TitleMenuWithRanking) {
  RunResult r = RunGame([](Driver& d) {
    Ranking.Insert(30);
    d.WhenScene(10, LeftClick);
    d.AfterFrames(1, [] {
      EXPECT_LABEL(CapturedFrame(), "右クリックでスコアランキング表示", 128, 360, 24, 0x212121);
      PressEscape();
    });
  });
  EXPECT_EQ(r.status, 0);
}

TEST(GameScreens, ReadyPlayTimeUpAndResult) {
  RunResult r = RunGame([](Driver& d) {
    StartFromTitle(d);
    // Ready: the room only, then READY, then GO stretched.
    d.WhenScene(15, [] {
      const Image f = CapturedFrame();
      ExpectRoom(f);
      EXPECT_GE(EaterMatch(f, "HITO1"), kPictureShown);
    });
    d.When([] { return ReadyFrame == 61; }, [] {
      const Image f = CapturedFrame();
      KeepShot(f, "ready");
      EXPECT_PICTURE(f, "READY", 220, 220);
    });
    d.When([] { return ReadyFrame == 121; }, [] {
      const Image f = CapturedFrame();
      KeepShot(f, "go");
      EXPECT_GE(PictureMatch(f, Stretched(ResourceBitmap("GO"), 400, 80), 120, 200), kPictureShown) << "GO";
      EXPECT_LT(PictureMatch(f, ResourceBitmap("READY"), 220, 220), 0.5) << "READY gone";
    });
    // Play, first frame: full bowl, eater idle, countdown.
    d.WhenScene(20, [] {
      const Image f = CapturedFrame();
      KeepShot(f, "play");
      ExpectRoom(f);
      EXPECT_GE(EaterMatch(f, "HITO1"), kPictureShown);
      EXPECT_PICTURE(f, "OWAN", 270, 320, Rect{0, 0, 90, 100});
      // The heap: nine lower layers and the top one, reaching up to y = 70.
      EXPECT_PICTURE(f, "GOHAN1", 270, 70);
      for (int i = 0; i < 9; ++i) EXPECT_PICTURE(f, "GOHAN2", 270, 295 - 25 * i);
      EXPECT_LABEL(f, "残り 30秒", 10, 10, 32, 0xFFFFFF);
      LeftClick();
    });
    // The play scene draws before it reads the frame's clicks, so each frame shows the state left by
    // the frame before it. The bite's frame still shows the full bowl; the next one the empty bowl,
    // the eater waiting and the grains where that frame found them.
    static Grain flying[kGrainCount];
    d.Then([] { std::copy(std::begin(Grains), std::end(Grains), flying); });
    d.Then([] {
      const Image f = CapturedFrame();
      KeepShot(f, "play_empty_bowl");
      EXPECT_GE(EaterMatch(f, "HITO4"), kPictureShown);
      EXPECT_PICTURE(f, "OWAN", 270, 320, Rect{0, 0, 90, 100});
      EXPECT_LT(PictureMatch(f, ResourceBitmap("GOHAN2"), 270, 295), 0.5) << "no rice left";
      int active = 0;
      for (const Grain& g : flying) active += g.active;
      EXPECT_EQ(active, 5);
      EXPECT_GE(GrainsMatch(f, flying), kPictureShown) << "grains at their places";
      RightClick();
    });
    // Refill: the eater calls, the new bowl comes in his hand, none on the table; the counted
    // bowl stands in the stack.
    d.AfterFrames(1, [] {
      const Image f = CapturedFrame();
      EXPECT_GE(EaterMatch(f, "HITO2"), kPictureShown) << "still eating (5 frames after the bite)";
      EXPECT_PICTURE(f, "OWAN", 150, 418, Rect{0, 0, 100, 62});
    });
    d.AfterFrames(1, [] {
      const Image f = CapturedFrame();
      KeepShot(f, "play_refill");
      EXPECT_GE(EaterMatch(f, "HITO3"), kPictureShown);
      EXPECT_PICTURE(f, "OWAN", 410, 100, Rect{30, 0, 100, 100});
      EXPECT_LT(PictureMatch(f, ResourceBitmap("OWAN"), 270, 320, Rect{0, 0, 90, 100}), 0.5) << "no bowl on the table";
    });
    EatBowls(d, 2);
    FastClock(d);
    d.WhenScene(25, [] {
      const Image f = CapturedFrame();
      ExpectRoom(f);
      EXPECT_GE(EaterMatch(f, "HITO1"), kPictureShown);
      KeepShot(f, "time_up");
      EXPECT_PICTURE(f, "SOKO", 220, 220);
      EXPECT_LABEL(f, "残り  0秒", 10, 10, 32, 0xFFFFFF);
      // Three finished bowls, the lowest number on top.
      EXPECT_PICTURE(f, "OWAN", 150, 394, Rect{0, 0, 100, 12});
      EXPECT_PICTURE(f, "OWAN", 150, 418, Rect{0, 0, 100, 62});
    });
    d.WhenScene(30, [] {
      const Image f = CapturedFrame();
      KeepShot(f, "result");
      EXPECT_EQ(Bowls, 3);
      EXPECT_LABEL(f, "食べたご飯：3杯", 30, 40, 48, 0xC88C50);
      EXPECT_SHADOW(f, "食べたご飯：3杯", 33, 43, 30, 40, 48, 0xC88C50);
      EXPECT_SHADOW(f, "1位にランクインしました", 321, 221, 320, 220, 24, 0x0000FF);
      EXPECT_LABEL(f, "摂取カロリー：7560Kcal", 30, 100, 48, 0xC88C50);
      EXPECT_LABEL(f, "ランク：Ｅ", 30, 160, 48, 0x648CB4);
      EXPECT_LABEL(f, "1位にランクインしました", 320, 220, 24, 0x0000FF);
      EXPECT_LABEL(f, "びみょ～だよぉ", 305, 310, 18, 0x000000);
      EXPECT_LT(LabelMatch(f, "おなかすいたよぉ", 305, 310, 18, 0x000000), kTextAbsent);
      EXPECT_LABEL(f, "左クリックでタイトルに戻るよ", 290, 430, 24, 0x000000);
      // The eater's top 300 x 280 (the speech box and the texts cover his right edge).
      EXPECT_PICTURE(f, "HITO1", 30, 200, Rect{0, 0, 260, 280});
      // The speech box is white around the verdict.
      long white = 0;
      for (int x = 300; x < 580; ++x) white += SameOnScreen(f.At(x, 301), 0xFFFFFF) && SameOnScreen(f.At(x, 338), 0xFFFFFF);
      EXPECT_EQ(white, 280) << "speech box";
      // The tiled background: some offset of the tile matches the top right corner.
      const Image tile = ResourceBitmap("TITLEBACK2");
      double best = 0;
      for (int oy = -63; oy <= 0; ++oy)
        for (int ox = -63; ox <= 0; ++ox) {
          double m = PictureMatch(f, tile, 576 + ox, 0 + oy, {-ox, -oy, 64, 64});
          if (m > best) best = m;
        }
      EXPECT_GE(best, kPictureShown) << "tiled background";
    });
    ReturnAndQuit(d);
  });
  EXPECT_EQ(r.status, 0);
}

// 91 and more bowls: the fourth run lies under the third, so the stack looks as with 90 bowls.
TEST(GameScreens, FourthRunOfTheBowlStack) {
  RunResult r = RunGame([](Driver& d) {
    static Image at95, at90, at31, at30;
    StartFromTitle(d);
    EatBowls(d, 95, /*hurry=*/true);
    FastClock(d);
    d.WhenScene(25, [] { EXPECT_EQ(Bowls, 95); });
    d.Then([] { at95 = CapturedFrame(); Bowls = 90; });
    d.Then([] { at90 = CapturedFrame(); Bowls = 31; });
    d.Then([] { at31 = CapturedFrame(); Bowls = 30; });
    d.Then([] {
      at30 = CapturedFrame();
      KeepShot(at95, "time_up_95_bowls");
      Bowls = 95;
      EXPECT_TRUE(at95.px == at90.px) << "bowls 91 to 95 lie under bowls 61 to 65";
      EXPECT_FALSE(at31.px == at30.px) << "bowl 31 starts the second run";
      EXPECT_PICTURE(at31, "OWAN", 190, 418, Rect{60, 0, 100, 62});
      // Bowl 90 tops the third run; bowl 60 of the second lies over its left part.
      EXPECT_PICTURE(at95, "OWAN", 230, 418 - 12 * 29, Rect{60, 0, 100, 12});
    });
    d.WhenScene(30, [] {
      const Image f = CapturedFrame();
      EXPECT_LABEL(f, "みそしるも飲みたいよぉ", 305, 310, 18, 0x000000);
      EXPECT_LABEL(f, "ランク：Ａ", 30, 160, 48, 0x648CB4);
    });
    ReturnAndQuit(d);
  });
  EXPECT_EQ(r.status, 0);
}

TEST(GameScreens, RankingScreen) {
  RunResult r = RunGame([](Driver& d) {
    // The first is no result a game can give, but one edited into rank.dat: its calories pass
    // 2^31 and must still be shown as they are.
    for (int32_t v : {8521770, 1215, 1150, 30}) Ranking.Insert(v);
    d.WhenScene(10, LeftClick).Then(RightClick);
    d.WhenScene(40, [] {
      const Image f = CapturedFrame();
      KeepShot(f, "ranking");
      EXPECT_LABEL(f, "ランキング", 220, 50, 40, 0x00E6E6);
      EXPECT_LABEL(f, "1位　852177杯　2147486040 Kcal", 30, 130, 32, 0xC88C50);
      EXPECT_LABEL(f, "神", 562, 130, 32, 0x6464FF);
      EXPECT_LABEL(f, "2位　121杯　306180 Kcal", 30, 180, 32, 0xC88C50);
      EXPECT_LABEL(f, "神", 562, 180, 32, 0x6464FF);
      EXPECT_LABEL(f, "3位　115杯　289800 Kcal", 30, 230, 32, 0xC88C50);
      EXPECT_LABEL(f, "SS", 562, 230, 32, 0x00FFFF);
      EXPECT_LABEL(f, "4位　 3杯　7560 Kcal", 30, 280, 32, 0xC88C50);
      EXPECT_LABEL(f, "Ｅ", 562, 280, 32, 0xC8C864);
      EXPECT_LABEL(f, "5位　--杯　-- Kcal", 30, 330, 32, 0xC88C50);
      EXPECT_LABEL(f, "-", 562, 330, 32, 0xC8C864);
      EXPECT_SHADOW(f, "5位　--杯　-- Kcal", 32, 332, 30, 330, 32, 0xC88C50);
      EXPECT_SHADOW(f, "神", 564, 182, 562, 180, 32, 0x6464FF);
      EXPECT_SHADOW(f, "ランキング", 223, 53, 220, 50, 40, 0x00E6E6);
      EXPECT_LABEL(f, "左クリックでタイトル画面に戻ります", 30, 380, 24, 0x000000);
      LeftClick();
    });
    d.WhenScene(10, PressEscape);
  });
  EXPECT_EQ(r.status, 0);
}
