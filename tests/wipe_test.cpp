// Clip wipes: every pattern, both kinds, step by step against a small model; start, close, refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <random>
#include <set>

#include "el/elDraw.h"
#include "el/elSystem.h"
#include "tests/support/draw_support.h"

namespace {

using Clip = std::array<int32_t, 4>;
Clip Current() { return {ClipLeft, ClipTop, ClipRight, ClipBottom}; }

// The wipe as the rules read, on 64-bit edges: a pair opening outwards snaps to the saved edges
// once either reaches them; a pair closing onto the centre band snaps to it likewise.
struct Model {
  int64_t L, T, R, B, SL, ST, SR, SB, s, colLo, colHi, rowLo, rowHi;
  int kind, dir, state = 0;
  Model(Clip c, int k, int d, int32_t band, int64_t step) : L(c[0]), T(c[1]), R(c[2]), B(c[3]), s(step), kind(k), dir(d) {
    SL = L, ST = T, SR = R, SB = B;
    const int64_t cx = (SR - SL) / 2 + SL, cy = (SB - ST) / 2 + ST, h = band > 0 ? band / 2 : 0;
    colLo = std::max(cx - h, SL), colHi = std::min(cx + h, SR), rowLo = std::max(cy - h, ST), rowHi = std::min(cy + h, SB);
    state = kind ? 2 : 1;
    if (kind) return;
    if (dir == 1) T = SB;
    if (dir == 2) B = ST;
    if (dir == 3) L = SR;
    if (dir == 4) R = SL;
    if (dir == 5 || dir == 7) T = B = cy;
    if (dir == 6 || dir == 7) L = R = cx;
    if (dir == 8) L = colLo, R = colHi, T = B = cy;
    if (dir == 9) T = rowLo, B = rowHi, L = R = cx;
  }
  void Open(int64_t& lo, int64_t& hi, int64_t slo, int64_t shi) {
    lo -= s, hi += s;
    if (lo <= slo || hi >= shi) lo = slo, hi = shi;
  }
  void Step() {
    const int64_t cx = (SR - SL) / 2 + SL, cy = (SB - ST) / 2 + ST;
    if (kind == 0) {
      if (dir == 1 && (T -= s) <= ST) T = ST;
      if (dir == 2 && (B += s) >= SB) B = SB;
      if (dir == 3 && (L -= s) <= SL) L = SL;
      if (dir == 4 && (R += s) >= SR) R = SR;
      if (dir == 5 || dir == 7) Open(T, B, ST, SB);
      if (dir == 6 || dir == 7) Open(L, R, SL, SR);
      if (dir == 8) (T != ST || B != SB) ? Open(T, B, ST, SB) : Open(L, R, SL, SR);
      if (dir == 9) (L != SL || R != SR) ? Open(L, R, SL, SR) : Open(T, B, ST, SB);
      if (L == SL && T == ST && R == SR && B == SB) state = 0;
      return;
    }
    bool done = false;
    if (dir == 1) done = (T += s) >= SB;
    if (dir == 2) done = (B -= s) <= ST;
    if (dir == 3) done = (L += s) >= SR;
    if (dir == 4) done = (R -= s) <= SL;
    if (dir == 5) done = (T += s) >= (B -= s);
    if (dir == 6) done = (L += s) >= (R -= s);
    if (dir == 7) {
      L += s, R -= s, T += s, B -= s;
      if (L >= R) L = R = cx;
      if (T >= B) T = B = cy;
      done = L == R && T == B;
    }
    if (dir == 8 || dir == 9) {  // one pair closes onto the centre band, then the other pair closes
      int64_t &lo = dir == 8 ? L : T, &hi = dir == 8 ? R : B, &lo2 = dir == 8 ? T : L, &hi2 = dir == 8 ? B : R;
      const int64_t bandLo = dir == 8 ? colLo : rowLo, bandHi = dir == 8 ? colHi : rowHi;
      if (lo != bandLo && hi != bandHi) {
        lo += s, hi -= s;
        if (lo >= bandLo || hi <= bandHi) lo = bandLo, hi = bandHi;
      } else {
        lo2 += s, hi2 -= s;
      }
      done = lo2 >= hi2;
    }
    if (done) state = -1;
  }
  Clip Now() const { return {int32_t(L), int32_t(T), int32_t(R), int32_t(B)}; }
};

class WipeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WipeState = 0;
    FrameSeconds = 0.016f;
    elDraw::SetClip(10, 20, 610, 460);
  }
  void TearDown() override {
    WipeState = 0;
    elDraw::SetClip(0, 0, 640, 480);
  }
};

TEST_F(WipeTest, EveryPatternFollowsTheModelStepByStep) {
  std::mt19937 rng(11);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int run = 0; run < 600; ++run) {
    const int kind = run % 2 ? pick(1, 3) : 0, dir = 1 + run / 2 % 9, x = pick(-40, 300), y = pick(-40, 200);
    const Clip clip{x, y, x + pick(0, 660), y + pick(0, 500)};
    const float speed = static_cast<float>(pick(0, 4) ? pick(0, 900) : pick(0, 9));
    const int32_t band = pick(0, 3) ? pick(0, 240) : pick(-20, 900);
    SCOPED_TRACE(testing::Message() << "kind " << kind << " dir " << dir << " clip " << clip[0] << "," << clip[1] << ","
                                    << clip[2] << "," << clip[3] << " speed " << speed << " band " << band);
    WipeState = 0;
    elDraw::SetClip(clip[0], clip[1], clip[2], clip[3]);
    Model m(clip, kind, dir, band, static_cast<int64_t>(double(FrameSeconds) * double(speed)) + 1);
    ASSERT_EQ(elDraw::StartWipe(kind, dir, speed, band), 1);
    for (int n = 0;; ++n) {
      ASSERT_EQ(Current(), m.Now()) << "step " << n;
      ASSERT_EQ(WipeState, m.state) << "step " << n;
      if (m.state <= 0) break;
      ASSERT_EQ(elDraw::StepWipe(), 1);
      m.Step();
    }
    EXPECT_EQ(elDraw::StepWipe(), 0);
    EXPECT_EQ(WipeOpened, kind == 0 ? 1 : 0);
    EXPECT_EQ(WipeClosed, kind == 0 ? 0 : 1);
  }
}

TEST_F(WipeTest, StepsStartsAndRefusals) {
  ASSERT_EQ(elDraw::StartWipe(0, 1, 300.0f, 0), 1);
  elDraw::StepWipe();
  EXPECT_EQ(ClipTop, 455);  // 4.8 truncated, plus 1
  EXPECT_EQ(elDraw::StartWipe(1, 3, 10.0f, 8), 0);  // one runs already: nothing changes
  EXPECT_EQ(ClipTop, 455);
  WipeSpeed = -500.0f;  // still one pixel, so the wipe ends
  elDraw::StepWipe();
  EXPECT_EQ(ClipTop, 454);
  WipeSpeed = 3e38f;  // ends at once, without overflow
  elDraw::StepWipe();
  EXPECT_EQ(Current(), (Clip{10, 20, 610, 460}));
  EXPECT_EQ(WipeState, 0);
  EXPECT_EQ(elDraw::StartWipe(0, 10, 300.0f, 0), 0);
  EXPECT_EQ(elDraw::StartWipe(1, -1, 300.0f, 0), 0);
  EXPECT_EQ(WipeState, 0);
  std::srand(7);
  std::set<int32_t> seen;
  for (int n = 0; n < 300; ++n, WipeState = 0) {
    ASSERT_EQ(elDraw::StartWipe(1, 0, 300.0f, 0), 1);
    seen.insert(WipeDirection);
  }
  EXPECT_EQ(seen, (std::set<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

// Closing never loses the normal rectangle: not when closed twice, nor while a wipe runs.
TEST_F(WipeTest, CloseScreenKeepsTheNormalRectangle) {
  elDraw::CloseScreen();
  elDraw::CloseScreen();
  EXPECT_EQ(Current(), (Clip{10, 20, 10, 20}));
  EXPECT_EQ(elDraw::StepWipe(), 0);
  ASSERT_EQ(elDraw::StartWipe(0, 4, 300.0f, 0), 1);
  EXPECT_EQ(Current(), (Clip{10, 20, 10, 460}));
  for (int kind = 0; kind <= 1; ++kind) {
    elDraw::StepWipe();
    elDraw::CloseScreen();
    EXPECT_EQ(WipeState, -1);
    ASSERT_EQ(elDraw::StartWipe(1 - kind, 7, 300.0f, 0), 1);
    EXPECT_EQ((Clip{SavedClipLeft, SavedClipTop, SavedClipRight, SavedClipBottom}), (Clip{10, 20, 610, 460})) << kind;
  }
}

class WipeDrawTest : public drawtest::DrawTest {};

TEST_F(WipeDrawTest, AClosedScreenDrawsNothingUntilTheNextWipe) {
  WipeState = 0;
  FrameSeconds = 0.016f;
  const int32_t obj = elDraw::CreateObject(32, 32, 2);
  DrawObject[obj].surface->Blt(nullptr, nullptr, nullptr, plat::DDBLT_COLORFILL, 0xFFFF);
  ASSERT_EQ(elDraw::StartWipe(1, 7, 300.0f, 0), 1);
  while (WipeState > 0) elDraw::StepWipe();
  elDraw::Put(300, 220, obj, 0, 0, 32, 32);
  EXPECT_EQ(elDraw::PutBlend(300, 220, 31, obj, 0, 0, 32, 32), 1);
  EXPECT_EQ(elDraw::PutRotate(300, 220, 332, 252, 45, obj, 0, 0, 32, 32), 1);
  for (int32_t i = 0; i < 640 * 480; ++i) ASSERT_EQ(drawtest::PixelAt(BackSurface, i % 640, i / 640), 0u) << i;
  ASSERT_EQ(elDraw::StartWipe(0, 7, 1e6f, 0), 1);
  elDraw::StepWipe();
  elDraw::Put(300, 220, obj, 0, 0, 32, 32);
  EXPECT_EQ(drawtest::PixelAt(BackSurface, 310, 230), 0xFFFFu);
  WipeState = 0;
}

}  // namespace
