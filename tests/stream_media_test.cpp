// The media platform layer: pictures decoded into the screen's formats, sound through the mixer,
// position and duration.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/audio.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_audio.h"
#include "platform/media.h"
#include "tests/support/music_support.h"

namespace hl = plat::headless;
using namespace plat;
using musictest::DataPath;

namespace {

constexpr uint32_t kDeviceRate = 44100;

class Media : public ::testing::Test {
 protected:
  void SetUp() override {
    hl::Reset();
    hl::SetAudioDeviceAvailable(true);
    hl::SetAudioDeviceRate(kDeviceRate);
    ASSERT_EQ(AudioCreateDevice(), kAudioOk);
  }
  void TearDown() override {
    MediaClose(stream_);
    AudioReleaseDevice();
  }
  MediaResult Open(const std::string& file, bool audio) {
    MediaClose(stream_);
    stream_ = nullptr;
    return MediaOpen(DataPath(file).c_str(), audio, &stream_);
  }
  // A picture buffer of the stream's size.
  MediaPixels Pixels(std::vector<uint8_t>& store, MediaPixelFormat f) {
    MediaPixels p;
    MediaVideoSize(stream_, &p.width, &p.height);
    p.format = f;
    p.pitch = p.width * (f == MediaPixelFormat::XRGB8888 ? 4 : 2) + 6;  // rows may be padded
    store.assign(size_t(p.pitch) * p.height, 0xAB);
    p.bits = store.data();
    return p;
  }
  MediaStream* stream_ = nullptr;
};

uint32_t At(const MediaPixels& p, int x, int y) {
  const uint8_t* row = p.bits + y * p.pitch;
  if (p.format == MediaPixelFormat::XRGB8888)
    return row[4 * x] | (row[4 * x + 1] << 8) | (row[4 * x + 2] << 16) | (uint32_t(row[4 * x + 3]) << 24);
  return row[2 * x] | (row[2 * x + 1] << 8);
}

TEST_F(Media, PngQuadrantsLandExactlyInEveryScreenFormat) {
  ASSERT_EQ(Open("quadrants.png", true), MEDIA_OK);
  int32_t w, h;
  MediaVideoSize(stream_, &w, &h);
  EXPECT_EQ(w, 32);
  EXPECT_EQ(h, 24);
  EXPECT_FALSE(MediaHasAudio(stream_));
  struct Case {
    MediaPixelFormat f;
    uint32_t red, green, blue, white;
  } cases[] = {{MediaPixelFormat::RGB565, 0xF800, 0x07E0, 0x001F, 0xFFFF},
               {MediaPixelFormat::RGB555, 0x7C00, 0x03E0, 0x001F, 0x7FFF},
               {MediaPixelFormat::XRGB8888, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}};
  for (const Case& c : cases) {
    ASSERT_EQ(MediaSeek(stream_, 0), MEDIA_OK);
    std::vector<uint8_t> store;
    MediaPixels p = Pixels(store, c.f);
    ASSERT_EQ(MediaUpdate(stream_, p), MEDIA_OK);
    uint32_t mask = c.f == MediaPixelFormat::XRGB8888 ? 0xFFFFFF : 0xFFFF;
    EXPECT_EQ(At(p, 0, 0) & mask, c.red);
    EXPECT_EQ(At(p, 15, 11) & mask, c.red);
    EXPECT_EQ(At(p, 16, 0) & mask, c.green);
    EXPECT_EQ(At(p, 0, 12) & mask, c.blue);
    EXPECT_EQ(At(p, 31, 23) & mask, c.white);
    // The padding after each row is left alone.
    EXPECT_EQ(store[size_t(p.pitch) - 1], 0xAB);
    // A still has one picture.
    EXPECT_EQ(MediaUpdate(stream_, p), MEDIA_S_ENDOFSTREAM);
  }
  std::vector<uint8_t> store;
  MediaPixels p = Pixels(store, MediaPixelFormat::RGB565);
  p.width -= 1;
  EXPECT_EQ(MediaUpdate(stream_, p), MEDIA_E_INVALIDARG) << "a buffer of another size";
  p = Pixels(store, MediaPixelFormat::RGB565);
  p.pitch = 10;
  EXPECT_EQ(MediaUpdate(stream_, p), MEDIA_E_INVALIDARG) << "rows shorter than the picture";
}

TEST_F(Media, JpegDecodes) {
  ASSERT_EQ(Open("picture.jpg", false), MEDIA_OK);
  std::vector<uint8_t> store;
  MediaPixels p = Pixels(store, MediaPixelFormat::RGB565);
  EXPECT_EQ(p.width, 160);
  EXPECT_EQ(p.height, 120);
  ASSERT_EQ(MediaSetRunning(stream_, true), MEDIA_OK);
  ASSERT_EQ(MediaUpdate(stream_, p), MEDIA_OK);
  // The test pattern has many colours; the buffer's fill value is gone from the picture.
  int distinct = 0;
  for (int x = 1; x < p.width; ++x) distinct += At(p, x, 60) != At(p, x - 1, 60);
  EXPECT_GT(distinct, 10);
  EXPECT_NE(At(p, 80, 60), 0xABABu);
  EXPECT_EQ(MediaUpdate(stream_, p), MEDIA_S_ENDOFSTREAM);
}

TEST_F(Media, Mp3PlaysThroughTheMixerToItsEnd) {
  ASSERT_EQ(Open("tone.mp3", true), MEDIA_OK);
  EXPECT_TRUE(MediaHasAudio(stream_));
  int32_t w = -1, h = -1;
  MediaVideoSize(stream_, &w, &h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
  std::vector<uint8_t> none(4);
  MediaPixels p;
  p.bits = none.data();
  EXPECT_EQ(MediaUpdate(stream_, p), MEDIA_S_ENDOFSTREAM) << "no pictures";
  int64_t duration = MediaDuration(stream_);
  EXPECT_GT(duration, 9000000);
  EXPECT_LT(duration, 12000000);
  EXPECT_EQ(MediaTime(stream_), 0);
  EXPECT_EQ(musictest::Peak(musictest::Pull(200, kDeviceRate)), 0) << "silent until it runs";
  ASSERT_EQ(MediaSetRunning(stream_, true), MEDIA_OK);
  EXPECT_GT(musictest::Peak(musictest::Pull(500, kDeviceRate)), 2000);
  int64_t t = MediaTime(stream_);
  EXPECT_GT(t, 4000000);
  EXPECT_LT(t, 6000000);
  // Stopped, the position holds.
  ASSERT_EQ(MediaSetRunning(stream_, false), MEDIA_OK);
  musictest::Pull(300, kDeviceRate);
  EXPECT_EQ(MediaTime(stream_), t);
  ASSERT_EQ(MediaSetRunning(stream_, true), MEDIA_OK);
  musictest::Pull(400, kDeviceRate);
  EXPECT_LT(MediaTime(stream_), duration) << "not before the sound has played out";
  musictest::Pull(400, kDeviceRate);
  EXPECT_EQ(MediaTime(stream_), duration);
  EXPECT_LT(musictest::Peak(musictest::Pull(100, kDeviceRate)), 10) << "silence after the end";
  // From the start again.
  ASSERT_EQ(MediaSeek(stream_, 0), MEDIA_OK);
  EXPECT_EQ(MediaTime(stream_), 0);
  EXPECT_GT(musictest::Peak(musictest::Pull(200, kDeviceRate)), 2000);
  // Seeks are clamped to the file.
  ASSERT_EQ(MediaSeek(stream_, -5), MEDIA_OK);
  EXPECT_EQ(MediaTime(stream_), 0);
  ASSERT_EQ(MediaSeek(stream_, duration + 50000000), MEDIA_OK);
  musictest::Pull(100, kDeviceRate);
  EXPECT_EQ(MediaTime(stream_), duration);
}

TEST_F(Media, WithoutSoundTheClockGivesThePosition) {
  hl::SetTimeMs(1000);
  hl::SetReadStepMicros(0);
  ASSERT_EQ(Open("tone.mp3", false), MEDIA_OK);
  EXPECT_FALSE(MediaHasAudio(stream_));
  int64_t duration = MediaDuration(stream_);
  ASSERT_EQ(MediaSetRunning(stream_, true), MEDIA_OK);
  hl::AdvanceMs(250);
  EXPECT_EQ(MediaTime(stream_), 2500000);
  ASSERT_EQ(MediaSetRunning(stream_, false), MEDIA_OK);
  hl::AdvanceMs(5000);
  EXPECT_EQ(MediaTime(stream_), 2500000);
  ASSERT_EQ(MediaSetRunning(stream_, true), MEDIA_OK);
  hl::AdvanceMs(5000);
  EXPECT_EQ(MediaTime(stream_), duration);
  ASSERT_EQ(MediaSeek(stream_, 1000000), MEDIA_OK);
  hl::AdvanceMs(100);
  EXPECT_EQ(MediaTime(stream_), 2000000);
}

TEST_F(Media, VideoFramesComeInTurnAndLateOnesAreSkipped) {
  hl::SetTimeMs(0);
  hl::SetReadStepMicros(0);
  ASSERT_EQ(Open("clip.avi", false), MEDIA_OK);
  std::vector<uint8_t> store;
  MediaPixels p = Pixels(store, MediaPixelFormat::RGB565);
  EXPECT_EQ(p.width, 64);
  EXPECT_EQ(p.height, 48);
  // Stopped at 0: every call gives the next picture (none is late).
  int frames = 0;
  while (MediaUpdate(stream_, p) == MEDIA_OK && frames < 100) ++frames;
  EXPECT_EQ(frames, 20);
  // Running: a picture per call at the clock's position; after a second, half of them are gone.
  ASSERT_EQ(MediaSeek(stream_, 0), MEDIA_OK);
  ASSERT_EQ(MediaSetRunning(stream_, true), MEDIA_OK);
  hl::AdvanceMs(1000);
  frames = 0;
  while (MediaUpdate(stream_, p) == MEDIA_OK && frames < 100) ++frames;
  EXPECT_GE(frames, 9);
  EXPECT_LE(frames, 11);
}

TEST_F(Media, VideoWithSound) {
  ASSERT_EQ(Open("clip.avi", true), MEDIA_OK);
  EXPECT_TRUE(MediaHasAudio(stream_));
  std::vector<uint8_t> store;
  MediaPixels p = Pixels(store, MediaPixelFormat::XRGB8888);
  ASSERT_EQ(MediaSetRunning(stream_, true), MEDIA_OK);
  EXPECT_EQ(MediaUpdate(stream_, p), MEDIA_OK);
  EXPECT_GT(musictest::Peak(musictest::Pull(300, kDeviceRate)), 1000);
  EXPECT_EQ(MediaUpdate(stream_, p), MEDIA_OK);
  musictest::Pull(2000, kDeviceRate);
  EXPECT_EQ(MediaTime(stream_), MediaDuration(stream_));
}

TEST_F(Media, WhatCannotBePlayedIsRefused) {
  EXPECT_EQ(Open("no-such-file.jpg", true), MEDIA_E_NOFILE);
  EXPECT_EQ(stream_, nullptr);
  EXPECT_EQ(Open("tune.mid", true), MEDIA_E_BADFILE);
  EXPECT_EQ(stream_, nullptr);
  // A cut-off picture and plain text.
  std::vector<uint8_t> png = musictest::ReadData("quadrants.png");
  FILE* f = std::fopen("cut.png", "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(png.data(), 1, 40, f);
  std::fclose(f);
  MediaStream* s = nullptr;
  EXPECT_NE(MediaOpen("cut.png", true, &s), MEDIA_OK);
  EXPECT_EQ(s, nullptr);
  f = std::fopen("text.jpg", "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("just some words, not a picture at all\n", f);
  std::fclose(f);
  EXPECT_NE(MediaOpen("text.jpg", true, &s), MEDIA_OK);
  EXPECT_EQ(s, nullptr);
  EXPECT_EQ(MediaOpen(nullptr, true, &s), MEDIA_E_INVALIDARG);
}

TEST_F(Media, WithoutAnAudioDeviceSoundFilesStillRunOnTheClock) {
  AudioReleaseDevice();
  hl::SetAudioDeviceAvailable(false);
  hl::SetTimeMs(0);
  hl::SetReadStepMicros(0);
  ASSERT_EQ(Open("tone.mp3", true), MEDIA_OK);
  ASSERT_EQ(MediaSetRunning(stream_, true), MEDIA_OK);
  hl::AdvanceMs(2000);
  EXPECT_EQ(MediaTime(stream_), MediaDuration(stream_));
}

}  // namespace
