// The media stream: the platform's decoding, and elStream on the headless display (draw objects, the
// clipped back screen, stepping, the end state, failures).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "el/draw/draw_state.h"
#include "el/elDraw.h"
#include "el/elSound.h"
#include "el/elStream.h"
#include "el/elSystem.h"
#include "platform/media.h"
#include "platform/midi.h"
#include "tests/support/draw_support.h"
#include "tests/support/music_support.h"

namespace hl = plat::headless;

// While set, blocks of 64 KiB or more cannot be had (the allocation a sound buffer makes).
std::atomic<bool> RefuseLargeBlocks{false};
void* operator new(size_t n, const std::nothrow_t&) noexcept {
  return n >= 65536 && RefuseLargeBlocks ? nullptr : std::malloc(n ? n : 1);
}
void* operator new(size_t n) {
  if (void* p = operator new(n, std::nothrow)) return p;
  throw std::bad_alloc();
}
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"  // this operator new is malloc
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
#pragma GCC diagnostic pop
using namespace plat;
using musictest::DataPath;
using musictest::Peak;

namespace {

// The picture of quadrants.png (32 x 24): red, green / blue, white.
uint32_t Quadrant(int32_t x, int32_t y) { return x < 16 ? (y < 12 ? 0xFF0000 : 0xFF) : (y < 12 ? 0xFF00 : 0xFFFFFF); }
int Loud(uint32_t ms) { return Peak(musictest::Pull(ms, 48000)); }

class Stream : public drawtest::DrawTest {
 protected:
  void Configure() override { MidiTestSetSoundFont(musictest::SmallSoundFont()); }
  void SetUp() override {
    DrawTest::SetUp();
    ASSERT_EQ(screenResult, 1);
    for (const char* f : {"quadrants.png", "tone.mp3", "clip.avi"})
      drawtest::WriteProgramFile(std::string("stream_") + f, musictest::ReadData(f));
    hl::SetReadStepMicros(0);
  }
  void TearDown() override {
    elStream::Release();
    DrawTest::TearDown();
    MidiTestSetSoundFont(nullptr);
  }
};

TEST_F(Stream, PicturesAreDecodedExactlyInEveryScreenFormat) {
  MediaStream* stream = nullptr;
  ASSERT_EQ(MediaOpen(DataPath("quadrants.png").c_str(), true, &stream), MEDIA_OK);
  EXPECT_FALSE(MediaHasAudio(stream));
  const struct {
    MediaPixelFormat f;
    int bytes, pad;
    uint32_t red, green, blue, white;
  } cases[] = {{MediaPixelFormat::RGB565, 2, 0, 0xF800, 0x07E0, 0x001F, 0xFFFF},
               {MediaPixelFormat::XRGB8888, 4, 3, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}};
  for (const auto& c : cases) {
    std::vector<uint8_t> store(size_t(32 * c.bytes + c.pad) * 24 + 1, 0xAB);
    MediaPixels p{store.data(), 32 * c.bytes + c.pad, 32, 24, c.f};
    auto at = [&](int x, int y) {
      uint32_t v = 0;
      for (int i = c.bytes - 1; i >= 0; --i) v = v << 8 | store[size_t(y * p.pitch + x * c.bytes + i)];
      return v & (c.bytes == 4 ? 0xFFFFFFu : 0xFFFFu);
    };
    ASSERT_EQ(MediaSeek(stream, 0), MEDIA_OK);
    for (MediaPixels bad : {MediaPixels{nullptr, p.pitch, 32, 24, c.f}, MediaPixels{p.bits, p.pitch, 31, 24, c.f},
                            MediaPixels{p.bits, p.pitch, 32, 25, c.f}, MediaPixels{p.bits, 32 * c.bytes - 1, 32, 24, c.f}})
      EXPECT_EQ(MediaUpdate(stream, bad), MEDIA_E_INVALIDARG);
    ASSERT_EQ(MediaUpdate(stream, p), MEDIA_OK);
    EXPECT_EQ(std::vector<uint32_t>({at(0, 0), at(15, 11), at(16, 0), at(0, 12), at(31, 23)}),
              std::vector<uint32_t>({c.red, c.red, c.green, c.blue, c.white}));
    EXPECT_TRUE(c.pad == 0 || store[size_t(p.pitch) - 1] == 0xAB) << "padding after a row is left alone";
    EXPECT_EQ(store.back(), 0xAB);
    EXPECT_EQ(MediaUpdate(stream, p), MEDIA_S_ENDOFSTREAM) << "a still has one picture";
  }
  EXPECT_EQ(MediaSetRunning(nullptr, true), MEDIA_E_INVALIDARG);
  MediaClose(stream);
}

TEST_F(Stream, WhatCannotBePlayedIsRefusedAVideosSoundPlays) {
  MediaStream* stream = nullptr;
  EXPECT_EQ(MediaOpen(DataPath("tune.mid").c_str(), true, &stream), MEDIA_E_BADFILE);
  ASSERT_EQ(MediaOpen(DataPath("clip.avi").c_str(), true, &stream), MEDIA_OK);
  ASSERT_EQ(MediaSetRunning(stream, true), MEDIA_OK);
  EXPECT_GT(Loud(300), 1000) << "a video's sound plays along with its pictures";
  // The device closed under the stream and called at while there is none; opened again, but with no
  // memory for the stream's sound buffer at its next call: the buffer is asked for again at the one after.
  AudioReleaseDevice();
  MediaTime(stream);
  ASSERT_EQ(AudioCreateDevice(), kAudioOk);
  RefuseLargeBlocks = true;
  MediaTime(stream);
  RefuseLargeBlocks = false;
  EXPECT_LT(Loud(100), 4);
  MediaTime(stream);
  EXPECT_GT(Loud(300), 1000) << "sound again";
  MediaClose(stream);
  // Eighty pictures stand in the file before the first sound: it still sounds from the start.
  ASSERT_EQ(MediaOpen(DataPath("late_sound.avi").c_str(), true, &stream), MEDIA_OK);
  ASSERT_EQ(MediaSetRunning(stream, true), MEDIA_OK);
  EXPECT_GT(Loud(20), 1000);
  MediaClose(stream);
  int32_t w = 0, h = 0;
  ASSERT_EQ(MediaOpen(DataPath("tall.png").c_str(), false, &stream), MEDIA_OK);  // as tall as a picture may be
  MediaVideoSize(stream, &w, &h);
  EXPECT_EQ(std::to_string(w) + "x" + std::to_string(h), "2x4096");
  MediaClose(stream);
  EXPECT_EQ(MediaOpen(DataPath("too_tall.png").c_str(), false, &stream), MEDIA_E_BADFILE);
}

TEST_F(Stream, APictureIsDrawnIntoADrawObjectUnclippedAndIntoTheBackScreenClipped) {
  EXPECT_EQ(elStream::GetState(), 0);
  ASSERT_EQ(elStream::LoadObject("stream_quadrants.png", 0), 1);
  EXPECT_EQ(elStream::GetState(), 3);
  const int32_t obj = elDraw::CreateObject(40, 30, 0);
  Surface* target = DrawObject[obj].surface;
  elStream::Draw(0, 0, obj);  // not started: nothing drawn
  elStream::Play();
  EXPECT_EQ(elStream::GetState(), 1);
  elStream::Draw(8, 6, obj);
  elStream::Draw(0, 0, obj);
  EXPECT_EQ(elStream::GetState(), 3) << "a still has one picture: the next draw ends the run";
  for (int32_t i = 0; i < 40 * 30; ++i)  // not clipped: the surface refuses only what does not fit
    ASSERT_EQ(drawtest::RgbAt(target, i % 40, i / 40), i % 40 < 8 || i < 240 ? 0u : Quadrant(i % 40 - 8, i / 40 - 6));
  // The back screen: right and bottom measured from the position asked for, then left and top.
  const struct {
    int32_t clip[4], x, y;
  } cases[] = {{{0, 0, 640, 480}, -10, 20}, {{0, 0, 640, 480}, 620, 470}, {{10, 5, 30, 20}, 0, 0},
               {{10, 5, 30, 20}, 5, 2},     {{0, 0, 640, 480}, 700, 10}, {{0, 0, 640, 480}, -40, -30}};
  for (const auto& c : cases) {
    elDraw::SetClip(c.clip[0], c.clip[1], c.clip[2], c.clip[3]);
    elDraw::FillColor(0, 0, 640, 480, 0x1234);
    elStream::Play();
    elStream::Draw(c.x, c.y, -1);
    for (int32_t y = 0; y < 480; ++y)
      for (int32_t x = 0; x < 640; ++x) {
        const bool in = x >= c.x && x < c.x + 32 && y >= c.y && y < c.y + 24 && x >= c.clip[0] && x < c.clip[2] &&
                        y >= c.clip[1] && y < c.clip[3];
        ASSERT_EQ(drawtest::PixelAt(BackSurface, x, y), in ? drawtest::Pixel(Quadrant(x - c.x, y - c.y)) : 0x1234u)
            << "at " << c.x << "," << c.y << ": " << x << "," << y;
      }
  }
  plat::headless::LoseSurfaces();  // the stream's picture comes back with the screen's
  elDraw::Restore();
  elDraw::FillColor(0, 0, 640, 480, 0x1234);
  elStream::Play();
  elStream::Draw(10, 10, -1);
  EXPECT_EQ(drawtest::PixelAt(BackSurface, 12, 12), drawtest::Pixel(Quadrant(2, 2)));
}

// Sound after a seek starts at the place sought: what is left of the tone shrinks by exactly the
// distance moved, also when the place falls inside a coded frame.
TEST_F(Stream, SoundAfterASeekStartsAtThePlaceSought) {
  auto left_ms = [](int64_t at_ms) {
    MediaStream* s = nullptr;
    EXPECT_EQ(MediaOpen(DataPath("tone.mp3").c_str(), true, &s), MEDIA_OK);
    EXPECT_EQ(MediaSeek(s, at_ms * 10000), MEDIA_OK);
    MediaSetRunning(s, true);
    const std::vector<int16_t> v = musictest::Pull(1200, 48000);
    MediaClose(s);
    size_t last = 0;
    for (size_t i = 0; i < v.size(); ++i)
      if (std::abs(v[i]) > 1000) last = i / 2;
    return int64_t(last) * 1000 / 48000;
  };
  const int64_t whole = left_ms(0);
  EXPECT_GT(whole, 900);
  for (int64_t at : {300, 670}) EXPECT_NEAR(whole - left_ms(at), at, 3) << "sought to " << at << " ms";
}

TEST_F(Stream, StepShowsOneFrameThenPausesAndSeeksStepToo) {
  ASSERT_EQ(elStream::LoadObject("stream_clip.avi", 0), 1);
  const int32_t obj = elDraw::CreateObject(64, 48, 0);
  auto drawn = [obj] {
    elDraw::ClearObject(obj);
    elStream::Draw(0, 0, obj);
    return drawtest::PixelAt(DrawObject[obj].surface, 32, 24) != 0;
  };
  elStream::Step();
  EXPECT_EQ(std::vector<bool>({drawn(), drawn()}), std::vector<bool>({true, false})) << "one picture, then paused";
  EXPECT_EQ(elStream::GetState(), 2);
  elStream::Pause();
  EXPECT_TRUE(drawn());
  elStream::Pause();
  elStream::Backward(60000);
  EXPECT_EQ(std::vector<bool>({drawn(), drawn()}), std::vector<bool>({true, false})) << "back to the start";
  EXPECT_EQ(elStream::GetState(), 2);
  elStream::Forward(60000);
  drawn();
  EXPECT_EQ(elStream::GetState(), 4);
  elStream::Rewind();
  elStream::Forward(0);
  EXPECT_TRUE(drawn()) << "a stopped stream steps to show the place";
}

TEST_F(Stream, ASoundFileReachesStateFourAndPlayRestartsItAlsoAcrossASoundRestore) {
  ASSERT_EQ(elStream::LoadObject("stream_tone.mp3", 0), 1);
  elStream::Play();
  EXPECT_LT(Loud(300), 4) << "opened without its sound";
  ASSERT_EQ(elStream::LoadObject("stream_tone.mp3", 1), 1);
  EXPECT_EQ(elStream::GetState(), 3);
  elStream::Play();
  EXPECT_GT(Loud(300), 1000);
  elSound::Restore();  // a new device under the stream: it takes it up at its next call
  EXPECT_EQ(elStream::GetState(), 1);
  EXPECT_GT(Loud(200), 1000);
  Loud(1000);
  EXPECT_EQ(elStream::GetState(), 4) << "the end is reached, so the title tune can start again";
  elStream::Play();
  EXPECT_EQ(elStream::GetState(), 1);
  EXPECT_GT(Loud(200), 1000);
  elStream::Stop();
  EXPECT_EQ(elStream::GetState(), 3);
  elStream::Play();
  ASSERT_EQ(elStream::LoadObject("stream_quadrants.png", 0), 1);
  EXPECT_EQ(elStream::GetState(), 3);
  EXPECT_LT(Loud(100), 4) << "stopped, and another file opened: silence";
}

TEST_F(Stream, AFileThatCannotBeOpenedIsReportedAndTheWorkingDirectoryStays) {
  const std::string before = musictest::Cwd();
  ASSERT_EQ(chdir("/"), 0);  // the name is resolved against the program directory, not here
  ASSERT_EQ(elStream::LoadObject("stream_quadrants.png", 0), 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(elStream::LoadObject("stream_missing.jpg", 0), 0);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(musictest::Cwd(), "/");
  ASSERT_EQ(chdir(before.c_str()), 0);
  EXPECT_NE(said.find(std::string(elSystem::GetProgramDir(0)) + "stream_missing.jpg: missing"), std::string::npos);
  EXPECT_EQ(musictest::BoxTexts(), std::vector<std::string>{"elStream::LoadObject : ストリームを読み込めません"});
  EXPECT_EQ(elStream::GetState(), 0) << "the file open before was closed";
  const std::string fifo = std::string(elSystem::GetProgramDir(0)) + "stream_fifo.mp3";
  unlink(fifo.c_str()), mkfifo(fifo.c_str(), 0600);
  EXPECT_EQ(elStream::LoadObject("stream_fifo.mp3", 0), 0) << "a FIFO is no file, and not waited for";
  unlink(fifo.c_str());
  ASSERT_EQ(elStream::LoadObject("stream_tone.mp3", 0), 1);
  EXPECT_GT(StreamDuration, 0);
  EXPECT_EQ(elStream::Init() * 10 + StreamDuration, 10) << "a new set-up closes the file and forgets its length";
}

}  // namespace
