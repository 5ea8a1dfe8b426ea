// Clip wipes: every pattern, both kinds, step by step against a small model; start, close, refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>

#include "el/elDraw.h"
#include "el/elSystem.h"
#include "tests/support/draw_support.h"

namespace {

using Clip = std::array<int32_t, 4>;
Clip Current() { return {ClipLeft, ClipTop, ClipRight, ClipBottom}; }

// The wipe as the rules read, on 64-bit edges E = {left, top, right, bottom}; pair 0 is left and
// right, pair 1 top and bottom. A pair opening outwards snaps to the saved edges once either
// reaches them; a pair closing onto the centre band snaps to it likewise.
struct Model {
  int64_t E[4], S[4], band[2][2], s;
  int kind, dir, state;
  Model(Clip c, int k, int d, int32_t width, int64_t step) : s(step), kind(k), dir(d), state(k ? 2 : 1) {
    for (int i = 0; i < 4; ++i) E[i] = S[i] = c[static_cast<size_t>(i)];
    const int64_t h = width > 0 ? width / 2 : 0;
    for (int p = 0; p < 2; ++p) band[p][0] = std::max(Mid(p) - h, S[p]), band[p][1] = std::min(Mid(p) + h, S[p + 2]);
    if (kind) return;
    if (dir <= 4) E[Edge()] = S[Edge() ^ 2];
    for (int p = 0; p < 2; ++p) {
      if (dir == 7 || dir == 6 - p || dir == 9 - p) E[p] = E[p + 2] = Mid(p);
      if (dir == 8 + p) E[p] = band[p][0], E[p + 2] = band[p][1];
    }
  }
  int64_t Mid(int p) const { return (S[p + 2] - S[p]) / 2 + S[p]; }
  int Edge() const { return std::array<int, 4>{1, 3, 0, 2}[static_cast<size_t>(dir - 1)]; }  // the edge of a sweep
  bool Full(int p) const { return E[p] == S[p] && E[p + 2] == S[p + 2]; }
  void Open(int p) {
    E[p] -= s, E[p + 2] += s;
    if (E[p] <= S[p] || E[p + 2] >= S[p + 2]) E[p] = S[p], E[p + 2] = S[p + 2];
  }
  void Step() {
    const int e = dir <= 4 ? Edge() : 0;
    const int64_t out = e < 2 ? -1 : 1;  // the way a sweeping edge moves while opening
    if (kind == 0) {
      if (dir <= 4 && out * (E[e] += out * s) >= out * S[e]) E[e] = S[e];
      if (dir == 5 || dir == 7) Open(1);
      if (dir == 6 || dir == 7) Open(0);
      if (dir == 8) Full(1) ? Open(0) : Open(1);
      if (dir == 9) Full(0) ? Open(1) : Open(0);
      if (Full(0) && Full(1)) state = 0;
      return;
    }
    bool done = false;
    if (dir <= 4) done = out * (E[e] -= out * s) <= out * S[e ^ 2];
    if (dir == 5 || dir == 6) done = (E[6 - dir] += s) >= (E[8 - dir] -= s);
    if (dir == 7) {
      for (int p = 0; p < 2; ++p)
        if ((E[p] += s) >= (E[p + 2] -= s)) E[p] = E[p + 2] = Mid(p);
      done = E[0] == E[2] && E[1] == E[3];
    }
    if (dir >= 8) {  // one pair closes onto the centre band, then the other pair closes
      const int p = dir - 8, q = 1 - p;
      if (E[p] != band[p][0] && E[p + 2] != band[p][1]) {
        E[p] += s, E[p + 2] -= s;
        if (E[p] >= band[p][0] || E[p + 2] <= band[p][1]) E[p] = band[p][0], E[p + 2] = band[p][1];
      } else {
        E[q] += s, E[q + 2] -= s;
      }
      done = E[q] >= E[q + 2];
    }
    if (done) state = -1;
  }
  Clip Now() const { return {int32_t(E[0]), int32_t(E[1]), int32_t(E[2]), int32_t(E[3])}; }
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
  EXPECT_EQ(elDraw::StartWipe(1, 0, 300.0f, 0), 1);  // 0 picks a pattern
  EXPECT_NE(WipeState, 0);
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
