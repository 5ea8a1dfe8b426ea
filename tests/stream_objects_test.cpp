// elStream on the headless display: pictures drawn into draw objects and the back screen with the
// clipping of the back screen, stepping, the sound file's end state, failures.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "el/draw/draw_state.h"
#include "el/elDraw.h"
#include "el/elSound.h"
#include "el/elStream.h"
#include "el/elSystem.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_audio.h"
#include "platform/midi.h"
#include "tests/support/draw_support.h"
#include "tests/support/music_support.h"

namespace hl = plat::headless;
using drawtest::PixelAt;

namespace {

constexpr uint32_t kMarker = 0x1234;

std::string Cwd() {
  char buf[4096];
  return getcwd(buf, sizeof buf) ? buf : "";
}

class Stream : public drawtest::DrawTest {
 protected:
  void Configure() override { plat::MidiTestSetSoundFont(musictest::SmallSoundFont()); }
  void SetUp() override {
    DrawTest::SetUp();
    ASSERT_EQ(screenResult, 1);
    for (const char* f : {"picture.jpg", "quadrants.png", "tone.mp3", "clip.avi"})
      drawtest::WriteProgramFile(std::string("stream_") + f, musictest::ReadData(f));
    hl::SetReadStepMicros(0);
  }
  void TearDown() override {
    elStream::Release();
    DrawTest::TearDown();
    plat::MidiTestSetSoundFont(nullptr);
  }
  static void FillBack(uint16_t pixel) { elDraw::FillColor(0, 0, 640, 480, pixel); }
  // The sample surface's pixel at (x, y).
  static uint32_t Sample(int32_t x, int32_t y) { return PixelAt(StreamSurface, x, y); }
};

TEST_F(Stream, APictureIsDrawnIntoADrawObject) {
  EXPECT_EQ(elStream::GetState(), 0);
  ASSERT_EQ(elStream::LoadObject("stream_picture.jpg", 0), 1);
  EXPECT_TRUE(hl::Boxes().empty());
  EXPECT_EQ(StreamWidth, 160);
  EXPECT_EQ(StreamHeight, 120);
  EXPECT_EQ(StreamLoaded, 1u);
  EXPECT_EQ(elStream::GetState(), 3);
  int32_t obj = elDraw::CreateObject(640, 480, 0);
  ASSERT_GE(obj, 4);
  plat::Surface* target = DrawObject[obj].surface;
  // Not started: nothing is drawn.
  elStream::Draw(0, 0, obj);
  EXPECT_EQ(PixelAt(target, 80, 60), 0u);
  elStream::Play();
  EXPECT_EQ(elStream::GetState(), 1);
  elStream::Draw(5, 7, obj);
  EXPECT_EQ(StreamRunning, 1u);
  int differ = 0, nonBlack = 0;
  for (int32_t y = 0; y < 120; y += 3)
    for (int32_t x = 0; x < 160; x += 3) {
      differ += PixelAt(target, x + 5, y + 7) != Sample(x, y);
      nonBlack += Sample(x, y) != 0;
    }
  EXPECT_EQ(differ, 0);
  EXPECT_GT(nonBlack, 1000);
  EXPECT_EQ(PixelAt(target, 4, 7), 0u);
  EXPECT_EQ(PixelAt(target, 165, 127), 0u);
  // A still has one picture: the next draw ends the run and draws nothing.
  elStream::Draw(300, 300, obj);
  EXPECT_EQ(StreamRunning, 0u);
  EXPECT_EQ(PixelAt(target, 380, 360), 0u);
  elStream::Stop();
  EXPECT_EQ(StreamLoaded, 1u);
}

TEST_F(Stream, TheBackScreenClipsAtItsClipRectangle) {
  ASSERT_EQ(elStream::LoadObject("stream_picture.jpg", 0), 1);
  // x = -10 on the 640-wide clip: the picture from its 11th column at x = 0.
  FillBack(kMarker);
  elStream::Play();
  elStream::Draw(-10, 20, -1);
  for (int32_t y = 0; y < 120; y += 7) {
    for (int32_t x = 0; x < 150; ++x) ASSERT_EQ(PixelAt(BackSurface, x, y + 20), Sample(x + 10, y)) << x << "," << y;
    EXPECT_EQ(PixelAt(BackSurface, 150, y + 20), kMarker);
  }
  EXPECT_EQ(PixelAt(BackSurface, 0, 19), kMarker);
  EXPECT_EQ(PixelAt(BackSurface, 0, 140), kMarker);

  // Wider than the clip on both sides (and cut at top and bottom): exactly the clip's inside changes.
  FillBack(kMarker);
  elDraw::SetClip(50, 40, 120, 100);
  elStream::Play();
  elStream::Draw(20, 10, -1);
  for (int32_t y = 30; y < 110; ++y)
    for (int32_t x = 40; x < 130; ++x) {
      bool inside = x >= 50 && x < 120 && y >= 40 && y < 100;
      ASSERT_EQ(PixelAt(BackSurface, x, y), inside ? Sample(x - 20, y - 10) : kMarker) << x << "," << y;
    }

  // Right and bottom edges of the full clip; a picture wholly outside draws nothing.
  elDraw::SetClip(0, 0, 640, 480);
  FillBack(kMarker);
  elStream::Play();
  elStream::Draw(600, 400, -1);
  EXPECT_EQ(PixelAt(BackSurface, 639, 479), Sample(39, 79));
  EXPECT_EQ(PixelAt(BackSurface, 599, 400), kMarker);
  FillBack(kMarker);
  elStream::Play();
  elStream::Draw(700, 10, -1);
  elStream::Play();
  elStream::Draw(-200, 10, -1);
  for (int32_t x = 0; x < 640; x += 13) EXPECT_EQ(PixelAt(BackSurface, x, 50), kMarker);
}

TEST_F(Stream, AnObjectTargetIsNotClippedTheSurfaceRefusesWhatDoesNotFit) {
  ASSERT_EQ(elStream::LoadObject("stream_quadrants.png", 0), 1);
  int32_t obj = elDraw::CreateObject(40, 30, 0);
  ASSERT_GE(obj, 4);
  elStream::Play();
  elStream::Draw(20, 20, obj);  // 32 x 24 at (20, 20) does not fit 40 x 30
  EXPECT_EQ(PixelAt(DrawObject[obj].surface, 25, 25), 0u);
  elStream::Play();
  elStream::Draw(8, 6, obj);
  EXPECT_EQ(drawtest::RgbAt(DrawObject[obj].surface, 8, 6), 0xFF0000u);
  EXPECT_EQ(drawtest::RgbAt(DrawObject[obj].surface, 39, 29), 0xFFFFFFu);
  elStream::Play();
  elStream::Draw(0, 0, 9999);  // no such object: nothing happens
  elStream::Play();
  elStream::Draw(0, 0, 900);   // a free slot
}

TEST_F(Stream, StepShowsOneFrameThenPauses) {
  ASSERT_EQ(elStream::LoadObject("stream_clip.avi", 0), 1);
  int32_t obj = elDraw::CreateObject(64, 48, 0);
  elStream::Step();
  EXPECT_EQ(StreamStepping, 1u);
  elStream::Draw(0, 0, obj);
  EXPECT_EQ(StreamStepping, 0u);
  EXPECT_EQ(StreamPaused, 1u);
  EXPECT_EQ(elStream::GetState(), 2);
  uint32_t first = PixelAt(DrawObject[obj].surface, 32, 24);
  elDraw::ClearObject(obj);
  elStream::Draw(0, 0, obj);
  EXPECT_EQ(PixelAt(DrawObject[obj].surface, 32, 24), 0u) << "paused: nothing drawn";
  elStream::Pause();
  EXPECT_EQ(elStream::GetState(), 1);
  elStream::Draw(0, 0, obj);
  EXPECT_NE(PixelAt(DrawObject[obj].surface, 32, 24), 0u);
  EXPECT_NE(first, 0u);
  // Forward and back: a step each, clamped to the file.
  elStream::Pause();
  elStream::Backward(60000);
  EXPECT_EQ(StreamStepping, 1u);
  elStream::Draw(0, 0, obj);
  EXPECT_EQ(elStream::GetState(), 2);
  elStream::Forward(60000);
  elStream::Draw(0, 0, obj);
  EXPECT_EQ(elStream::GetState(), 4);
}

TEST_F(Stream, ASoundFileReachesStateFourAndPlayRestartsIt) {
  ASSERT_EQ(elStream::LoadObject("stream_tone.mp3", 1), 1);
  EXPECT_TRUE(hl::Boxes().empty()) << "a file without pictures opens without a report";
  EXPECT_EQ(StreamWidth, 0);
  EXPECT_EQ(StreamHeight, 0);
  EXPECT_EQ(elStream::GetState(), 3);
  elStream::Play();
  EXPECT_EQ(elStream::GetState(), 1);
  EXPECT_GT(musictest::Peak(musictest::Pull(300, 48000)), 1000);
  EXPECT_EQ(elStream::GetState(), 1);
  musictest::Pull(1000, 48000);
  EXPECT_EQ(elStream::GetState(), 4);
  EXPECT_EQ(StreamRunning, 1u);
  elStream::Play();
  EXPECT_EQ(elStream::GetState(), 1);
  EXPECT_GT(musictest::Peak(musictest::Pull(200, 48000)), 1000);
  // Stopped, it falls silent and reads 3.
  elStream::Stop();
  EXPECT_EQ(elStream::GetState(), 3);
  EXPECT_LT(musictest::Peak(musictest::Pull(100, 48000)), 4);  // the synthesizer's dither
}

TEST_F(Stream, TheSoundGoesOnToItsEndAcrossASoundRestore) {
  ASSERT_EQ(elStream::LoadObject("stream_tone.mp3", 1), 1);
  elStream::Play();
  EXPECT_GT(musictest::Peak(musictest::Pull(300, 48000)), 1000);
  // The sound module's restore closes the device under the stream and opens another; the stream
  // takes it up at its next call, as the scenes ask for its state every frame.
  elSound::Restore();
  EXPECT_EQ(elStream::GetState(), 1);
  EXPECT_GT(musictest::Peak(musictest::Pull(200, 48000)), 1000);
  musictest::Pull(1000, 48000);
  EXPECT_EQ(elStream::GetState(), 4) << "the end is reached, so the title tune can start again";
  elSound::PlaySync("stream_no_such_sound.wav");
  EXPECT_EQ(elStream::GetState(), 4);
  elStream::Play();
  EXPECT_GT(musictest::Peak(musictest::Pull(200, 48000)), 1000);
}

TEST_F(Stream, SeeksAreClampedToTheFile) {
  hl::SetTimeMs(1000);
  ASSERT_EQ(elStream::LoadObject("stream_tone.mp3", 0), 1);
  elStream::Play();
  hl::AdvanceMs(300);
  elStream::Backward(5000);
  EXPECT_EQ(elStream::GetState(), 1);
  elStream::Forward(60000);
  EXPECT_EQ(elStream::GetState(), 4);
  elStream::Rewind();
  EXPECT_EQ(elStream::GetState(), 1);
}

TEST_F(Stream, OpeningAnotherFileClosesTheFirst) {
  ASSERT_EQ(elStream::LoadObject("stream_tone.mp3", 1), 1);
  elStream::Play();
  EXPECT_GT(musictest::Peak(musictest::Pull(100, 48000)), 1000);
  ASSERT_EQ(elStream::LoadObject("stream_quadrants.png", 0), 1);
  EXPECT_EQ(StreamWidth, 32);
  EXPECT_EQ(StreamRunning, 0u);
  EXPECT_EQ(elStream::GetState(), 3);
  EXPECT_LT(musictest::Peak(musictest::Pull(100, 48000)), 4) << "the first file's sound is gone";
}

TEST_F(Stream, AFileThatCannotBeOpenedIsReportedAndTheWorkingDirectoryStays) {
  std::string before = Cwd();
  ASSERT_EQ(chdir("/"), 0);  // the name is resolved against the program directory, not here
  ASSERT_EQ(elStream::LoadObject("stream_quadrants.png", 0), 1);
  EXPECT_EQ(Cwd(), "/");
  testing::internal::CaptureStderr();
  EXPECT_EQ(elStream::LoadObject("stream_missing.jpg", 0), 0);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(Cwd(), "/");
  ASSERT_EQ(chdir(before.c_str()), 0);
  ASSERT_EQ(hl::Boxes().size(), 1u);
  EXPECT_EQ(hl::Boxes()[0].text, "elStream::LoadObject : ストリームを読み込めません");
  // The box names no file: the console does, with its full path.
  EXPECT_NE(said.find(std::string(elSystem::GetProgramDir(0)) + "stream_missing.jpg: missing"), std::string::npos)
      << said;
  hl::Boxes().clear();
  drawtest::WriteProgramFile("stream_garbage.mp3", std::vector<uint8_t>(64, 0x5A));
  testing::internal::CaptureStderr();
  EXPECT_EQ(elStream::LoadObject("stream_garbage.mp3", 1), 0);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("stream_garbage.mp3: not a picture or sound"),
            std::string::npos);
  ASSERT_EQ(hl::Boxes().size(), 1u);
  EXPECT_EQ(StreamLoaded, 0u);
  EXPECT_EQ(elStream::GetState(), 0);
  // Playback operations on nothing do nothing.
  elStream::Play();
  elStream::Draw(0, 0, -1);
  elStream::Step();
  elStream::Forward(10);
  EXPECT_EQ(StreamRunning, 0u);
  EXPECT_EQ(hl::Boxes().size(), 1u);
}

}  // namespace
