// elStream: one media stream (a picture, a video, a sound file) drawn into draw objects.
// States of elStream::GetState: 0 no file open, 1 playing, 2 paused, 3 stopped, 4 the position has
// reached the duration.
#pragma once
#include <cstdint>

namespace plat {
struct MediaStream;
}

extern plat::MediaStream* StreamObject;  // the open file, or none
extern int32_t StreamWidth, StreamHeight;  // the picture's size (0 x 0 for sound only)
extern int64_t StreamDuration;             // 100-nanosecond units
extern uint32_t StreamLoaded;
extern uint32_t StreamRunning;
extern uint32_t StreamPaused;
extern uint32_t StreamStepping;

namespace elStream {

int Init();
int LoadObject(const char* file, int32_t withAudio);
void Play();
// Draws the current picture at (x, y) of draw object target (-1: the back screen, clipped).
void Draw(int32_t x, int32_t y, int32_t target);
void Step();
void Pause();
void Stop();
void Forward(uint32_t ms);
void Backward(uint32_t ms);
void Rewind();
int GetState();
void ReleaseObject();
void Release();

}  // namespace elStream
