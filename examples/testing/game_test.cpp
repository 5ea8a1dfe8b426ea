// Testing a game on the headless host: the program runs its real frame loop against a fake clock,
// input is scripted, and what it showed, played and reported is captured for the test to examine.
//
//   LastFrame()        the last presented screen, 0x00RRGGBB pixels
//   PullAudio(n)       the next n frames of the mix, as the audio device would take them
//   Boxes()            every message box shown (the library's error reports among them)
//   KeyPress(scan)...  keyboard, mouse and joystick input by DirectInput scan codes and raw readings
//   TimeMs()           the fake clock: it moves only as the program waits, so runs are repeatable
#include "game.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "el/elDraw.h"
#include "el/elSound.h"
#include "el/elSystem.h"
#include "platform/clock.h"
#include "platform/headless/display_headless.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_audio.h"
#include "platform/headless/headless_input.h"
#include "platform/host.h"

namespace hl = plat::headless;

namespace {

constexpr uint8_t kScanRight = 0xCD;
constexpr uint32_t kRate = 48000;

class GameTest : public testing::Test {
 protected:
  void SetUp() override {
    hl::Reset();  // clock at 0, empty queue, no boxes
    hl::ResetInput();
    hl::ResetDisplay();
    hl::SetAudioDeviceRate(kRate);
    elSystem::ResetState();
    ShutDownDone = 0;  // elSystem::Shutdown runs once a process; each test starts the library afresh
    ASSERT_TRUE(plat::CreateMainWindow("test", elSystem::WindowProc));
    MainWindow = true;
    ASSERT_EQ(elDraw::Screen(640, 480, 1), 1);
    // The clock went back to 0: the frame pacing starts again from now.
    elSystem::SetFrameRate(60);
    elSystem::ResetFrameClock();
  }
  void TearDown() override {
    elSystem::Shutdown();
    for (plat::Msg m; plat::PeekMsg(&m) && m.message != plat::WM_QUIT;) plat::DispatchMsg(m);
  }

  // The program's main loop for n frames; the mix of each frame is kept in `heard`.
  void RunFrames(int n) {
    for (int i = 0; i < n; ++i) {
      for (plat::Msg m; plat::PeekMsg(&m);) plat::DispatchMsg(m);
      elSystem::UpdateFrameClock();
      elSystem::UpdateInput();
      GameFrame();
      elSystem::WaitFrame();
      std::vector<int16_t> mix = hl::PullAudio(kRate / 60);
      heard.insert(heard.end(), mix.begin(), mix.end());
    }
  }

  // Left edge of the red square on the screen, or -1.
  static int SquareLeft() {
    const hl::Frame& f = hl::LastFrame();
    for (int x = 0; x < f.width; ++x)
      if (f.At(x, kSquareY + kSquareSize / 2) == 0xFF0000) return x;  // 5-6-5 red, widened to 8 bits
    return -1;
  }

  static int Peak(const std::vector<int16_t>& s, size_t from, size_t to) {
    int peak = 0;
    for (size_t i = from; i < to && i < s.size(); ++i) peak = std::max(peak, std::abs(static_cast<int>(s[i])));
    return peak;
  }

  std::vector<int16_t> heard;  // interleaved stereo
};

TEST_F(GameTest, HoldingTheRightArrowMovesTheSquareAtItsSpeed) {
  ASSERT_TRUE(GameSetup("ping.wav"));
  RunFrames(1);
  EXPECT_EQ(SquareLeft(), 0);

  const uint32_t start = plat::TimeMs();
  hl::KeyPress(kScanRight);
  RunFrames(30);
  hl::KeyRelease(kScanRight);
  const uint32_t elapsed = plat::TimeMs() - start;
  // Thirty frames at 60 a second on the fake clock, and the square moved as far as its speed says.
  EXPECT_NEAR(elapsed, 500, 25);  // whole milliseconds a frame: 16 or 17
  EXPECT_NEAR(SquareLeft(), kSquareSpeed * static_cast<float>(elapsed) / 1000.0f, 6);

  const int stopped = SquareLeft();
  RunFrames(10);
  EXPECT_EQ(SquareLeft(), stopped);  // released: it stays
}

TEST_F(GameTest, ThePingSoundsWhenTheSquareReachesTheEdge) {
  ASSERT_TRUE(GameSetup("ping.wav"));
  RunFrames(1);
  const uint32_t start = plat::TimeMs();
  hl::KeyPress(kScanRight);
  int frames = 0;
  bool away = false;
  while (!away || SquareLeft() != 0) {  // until it has left and starts again from the left
    RunFrames(1);
    away = away || SquareLeft() > 0;
    ASSERT_LT(++frames, 300);
  }
  const size_t wrap = heard.size() - 2 * kRate / 60;  // where the last frame's mix begins
  EXPECT_LT(Peak(heard, 0, wrap), 16);                // silent on the way across
  EXPECT_GT(Peak(heard, wrap, heard.size()), 4000);   // the ping
  // The way across took as long as the speed says (a frame more at most).
  EXPECT_NEAR(plat::TimeMs() - start, (640 - kSquareSize) / kSquareSpeed * 1000, 20) << frames << " frames";
  EXPECT_TRUE(hl::Boxes().empty());
}

TEST_F(GameTest, AMissingSoundFileShowsTheLibrarysErrorBox) {
  EXPECT_FALSE(GameSetup("missing.wav"));
  ASSERT_EQ(hl::Boxes().size(), 1u);
  EXPECT_EQ(hl::Boxes()[0].caption, "エラー発生");  // both code page 932 (-fexec-charset=CP932)
  EXPECT_EQ(hl::Boxes()[0].text.rfind("elSound::LoadObject : ", 0), 0u) << hl::Boxes()[0].text;
  EXPECT_EQ(ErrorFlag, 1);
}

}  // namespace
