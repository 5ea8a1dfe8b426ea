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
  bool Full() const { return L == SL && T == ST && R == SR && B == SB; }
  void Step() {
    if (kind == 0) {
      if (dir == 1 && (T -= s) <= ST) T = ST;
      if (dir == 2 && (B += s) >= SB) B = SB;
      if (dir == 3 && (L -= s) <= SL) L = SL;
      if (dir == 4 && (R += s) >= SR) R = SR;
      if (dir == 5 || dir == 7) Open(T, B, ST, SB);
      if (dir == 6 || dir == 7) Open(L, R, SL, SR);
      if (dir == 8) (T != ST || B != SB) ? Open(T, B, ST, SB) : Open(L, R, SL, SR);
      if (dir == 9) (L != SL || R != SR) ? Open(L, R, SL, SR) : Open(T, B, ST, SB);
      if (Full()) state = 0;
      return;
    }
    const int64_t cx = (SR - SL) / 2 + SL, cy = (SB - ST) / 2 + ST;
    bool done = false;
    switch (dir) {
      case 1: done = (T += s) >= SB; break;
      case 2: done = (B -= s) <= ST; break;
      case 3: done = (L += s) >= SR; break;
      case 4: done = (R -= s) <= SL; break;
      case 5: done = (T += s) >= (B -= s); break;
      case 6: done = (L += s) >= (R -= s); break;
      case 7:
        L += s, R -= s, T += s, B -= s;
        if (L >= R) L = R = cx;
        if (T >= B) T = B = cy;
        done = L == R && T == B;
        break;
      case 8:
        if (L != colLo && R != colHi) {
          L += s, R -= s;
          if (L >= colLo || R <= colHi) L = colLo, R = colHi;
        } else {
          T += s, B -= s;
        }
        done = T >= B;
        break;
      case 9:
        if (T != rowLo && B != rowHi) {
          T += s, B -= s;
          if (T >= rowLo || B <= rowHi) T = rowLo, B = rowHi;
        } else {
          L += s, R -= s;
        }
        done = L >= R;
        break;
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
  for (int run = 0; run < 1500; ++run) {
    const int kind = run % 2 ? pick(1, 3) : 0, dir = 1 + run / 2 % 9;
    const Clip c{pick(-40, 300), pick(-40, 200), 0, 0};
    const Clip clip{c[0], c[1], c[0] + pick(0, 660), c[1] + pick(0, 500)};
    const float speed = static_cast<float>(pick(0, 4) ? pick(0, 900) : pick(0, 9));
    const int32_t band = pick(0, 3) ? pick(0, 120) * 2 + pick(0, 1) : pick(-20, 900);
    SCOPED_TRACE(testing::Message() << "kind " << kind << " dir " << dir << " clip " << clip[0] << "," << clip[1]
                                    << "," << clip[2] << "," << clip[3] << " speed " << speed << " band " << band);
    WipeState = 0;
    elDraw::SetClip(clip[0], clip[1], clip[2], clip[3]);
    FrameSeconds = 0.016f;
    Model m(clip, kind, dir, band, static_cast<int64_t>(double(FrameSeconds) * double(speed)) + 1);
    ASSERT_EQ(elDraw::StartWipe(kind, dir, speed, band), 1);
    ASSERT_EQ(Current(), m.Now());
    ASSERT_EQ(WipeState, m.state);
    for (int n = 0; m.state > 0; ++n) {
      ASSERT_LT(n, 5000);
      ASSERT_EQ(elDraw::StepWipe(), 1);
      m.Step();
      ASSERT_EQ(Current(), m.Now()) << "step " << n;
      ASSERT_EQ(WipeState, m.state) << "step " << n;
    }
    EXPECT_EQ(elDraw::StepWipe(), 0);
    EXPECT_EQ(WipeOpened, kind == 0 ? 1 : 0);
    EXPECT_EQ(WipeClosed, kind == 0 ? 0 : 1);
  }
}

TEST_F(WipeTest, StepIsAtLeastOnePixelAndNeverOverflows) {
  ASSERT_EQ(elDraw::StartWipe(0, 1, 300.0f, 0), 1);
  elDraw::StepWipe();
  EXPECT_EQ(ClipTop, 455);  // 4.8 truncated, plus 1
  WipeSpeed = -500.0f;      // still one pixel, so the wipe ends
  elDraw::StepWipe();
  EXPECT_EQ(ClipTop, 454);
  WipeSpeed = 3e38f;
  elDraw::StepWipe();
  EXPECT_EQ(Current(), (Clip{10, 20, 610, 460}));
  EXPECT_EQ(WipeState, 0);
}

TEST_F(WipeTest, StartRefusalsAndRandomPattern) {
  ASSERT_EQ(elDraw::StartWipe(0, 5, 300.0f, 0), 1);
  elDraw::StepWipe();
  const Clip now = Current();
  EXPECT_EQ(elDraw::StartWipe(1, 3, 10.0f, 8), 0);  // one runs already
  EXPECT_EQ(Current(), now);
  EXPECT_EQ(WipeDirection, 5);
  WipeState = 0;
  elDraw::SetClip(10, 20, 610, 460);
  EXPECT_EQ(elDraw::StartWipe(0, 10, 300.0f, 0), 0);
  EXPECT_EQ(elDraw::StartWipe(1, -1, 300.0f, 0), 0);
  EXPECT_EQ(WipeState, 0);
  EXPECT_EQ(Current(), (Clip{10, 20, 610, 460}));
  std::srand(7);
  std::set<int32_t> seen;
  for (int n = 0; n < 300; ++n) {
    WipeState = 0;
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
    WipeState = 0;
    elDraw::SetClip(10, 20, 610, 460);
    ASSERT_EQ(elDraw::StartWipe(kind, 7, 300.0f, 0), 1);
    elDraw::StepWipe();
    elDraw::CloseScreen();
    EXPECT_EQ(WipeState, -1);
    ASSERT_EQ(elDraw::StartWipe(1, 1, 300.0f, 0), 1);
    EXPECT_EQ(Current(), (Clip{10, 20, 610, 460})) << kind;
  }
}

class WipeDrawTest : public drawtest::DrawTest {};

TEST_F(WipeDrawTest, AClosedScreenDrawsNothingUntilTheNextWipe) {
  ASSERT_EQ(screenResult, 1);
  WipeState = 0;
  FrameSeconds = 0.016f;
  int32_t obj = elDraw::CreateObject(32, 32, 2);
  DrawObject[obj].surface->Blt(nullptr, nullptr, nullptr, plat::DDBLT_COLORFILL, 0xFFFF);
  ASSERT_EQ(elDraw::StartWipe(1, 7, 300.0f, 0), 1);
  while (WipeState > 0) elDraw::StepWipe();
  elDraw::ClearScreen();
  elDraw::Put(300, 220, obj, 0, 0, 32, 32);
  EXPECT_EQ(elDraw::PutBlend(300, 220, 31, obj, 0, 0, 32, 32), 1);
  EXPECT_EQ(elDraw::PutRotate(300, 220, 332, 252, 45, obj, 0, 0, 32, 32), 1);
  for (int32_t y = 200; y < 280; ++y)
    for (int32_t x = 280; x < 360; ++x) ASSERT_EQ(drawtest::PixelAt(BackSurface, x, y), 0u);
  ASSERT_EQ(elDraw::StartWipe(0, 7, 1e6f, 0), 1);
  elDraw::StepWipe();
  elDraw::Put(300, 220, obj, 0, 0, 32, 32);
  EXPECT_EQ(drawtest::PixelAt(BackSurface, 310, 230), 0xFFFFu);
  WipeState = 0;
}

}  // namespace
