// elStream: one media file at a time; its pictures are drawn into the back screen or a draw object,
// its sound plays through the mixer.
#include "el/elStream.h"

#include <algorithm>
#include <cstdio>

#include "el/draw/draw_state.h"
#include "el/elDraw.h"
#include "el/elSystem.h"
#include "el/music/workdir.h"
#include "platform/media.h"
#include "platform/surface.h"

plat::MediaStream* StreamObject;
int32_t StreamWidth, StreamHeight;
int64_t StreamDuration;
uint32_t StreamLoaded;
uint32_t StreamRunning;
uint32_t StreamPaused;
uint32_t StreamStepping;

namespace elStream {

namespace {

plat::MediaPixelFormat MediaFormat(plat::PixelFormat f) {
  switch (f) {
    case plat::PixelFormat::RGB565: return plat::MediaPixelFormat::RGB565;
    case plat::PixelFormat::RGB555: return plat::MediaPixelFormat::RGB555;
    case plat::PixelFormat::XRGB8888: return plat::MediaPixelFormat::XRGB8888;
  }
  return plat::MediaPixelFormat::RGB565;
}

// The sample update: the picture due now into StreamSurface. 0 when a new picture is there.
long UpdateSample() {
  if (StreamSurface == nullptr) {
    // A file without pictures has no sample surface: its stream of pictures is over from the start.
    plat::MediaPixels none;
    return plat::MediaUpdate(StreamObject, none);
  }
  plat::LockedRect locked;
  plat::HResult r = StreamSurface->Lock(nullptr, &locked, plat::DDLOCK_WAIT);
  if (r != plat::DD_OK) return r;
  plat::MediaPixels px;
  px.bits = locked.bits;
  px.pitch = locked.pitch;
  px.width = StreamSurface->Width();
  px.height = StreamSurface->Height();
  px.format = MediaFormat(StreamSurface->Format());
  long result = plat::MediaUpdate(StreamObject, px);
  StreamSurface->Unlock();
  return result;
}

// The box names no file; stderr says which one, with its full path, and why.
void TellFile(const char* file, const char* why) {
  const char* dir = elSystem::GetProgramDir(0);
  std::fprintf(stderr, "oomori: %s%s: %s\n", dir ? dir : "", file ? file : "", why);
}

}  // namespace

int Init() {
  // Set up again (the display was set up anew): a file still open from before is closed first.
  if (StreamObject || StreamSurface) ReleaseObject();
  StreamObject = nullptr;
  StreamSurface = nullptr;
  StreamWidth = StreamHeight = 0;
  StreamDuration = 0;
  StreamLoaded = StreamRunning = StreamPaused = StreamStepping = 0;
  return 1;
}

int LoadObject(const char* file, int32_t withAudio) {
  const char* op = "elStream::LoadObject";
  if (StreamRunning) Stop();
  if (StreamLoaded) ReleaseObject();

  plat::MediaStream* stream = nullptr;
  plat::MediaResult r;
  {
    WorkDirSwitch inProgramDir(elSystem::GetProgramDir(0));
    // The name is taken as it stands (at most 259 characters), relative to the program directory.
    char name[260];
    std::snprintf(name, sizeof name, "%s", file ? file : "");
    r = plat::MediaOpen(name, withAudio != 0, &stream);
  }
  if (r != plat::MEDIA_OK || stream == nullptr) {
    TellFile(file, r == plat::MEDIA_E_NOFILE ? "missing or unreadable" : "not a picture or sound that can be played");
    return elSystem::ReportError(op, "ストリームを読み込めません", r);
  }
  StreamObject = stream;

  // The sample surface: the picture's size in the display's format. A file without pictures (a
  // sound file) has none and opens all the same.
  int32_t w = 0, h = 0;
  plat::MediaVideoSize(stream, &w, &h);
  if (w > 0 && h > 0) {
    StreamSurface = elDraw::detail::NewSurface(w, h);
    if (StreamSurface == nullptr) {
      // A stream that cannot be shown is not kept half-open.
      plat::MediaClose(StreamObject);
      StreamObject = nullptr;
      TellFile(file, "no surface for its picture");
      return elSystem::ReportError(op, "DirectShow/ActiveMovieが使えません");
    }
  }
  StreamDuration = plat::MediaDuration(stream);
  StreamWidth = w;
  StreamHeight = h;
  StreamLoaded = 1;
  StreamRunning = 0;
  StreamPaused = 0;
  StreamStepping = 0;
  return 1;
}

void Play() {
  if (!StreamLoaded) return;
  Rewind();
  plat::MediaSetRunning(StreamObject, true);
  StreamRunning = 1;
  StreamPaused = 0;
}

void Draw(int32_t x, int32_t y, int32_t target) {
  if (!StreamRunning || StreamPaused || !StreamLoaded) return;
  if (UpdateSample() != 0) {
    StreamRunning = 0;
    StreamPaused = 0;
    return;
  }
  plat::HResult r = plat::DD_OK;
  if (target == -1) {
    if (BackSurface == nullptr) return;
    // Right and bottom are measured from the position asked for, before left and top move it.
    plat::Rect src{0, 0, StreamWidth, StreamHeight};
    if (x + StreamWidth > ClipRight) src.right = ClipRight - x;
    if (y + StreamHeight > ClipBottom) src.bottom = ClipBottom - y;
    if (x < ClipLeft) {
      src.left = ClipLeft - x;
      x = ClipLeft;
    }
    if (y < ClipTop) {
      src.top = ClipTop - y;
      y = ClipTop;
    }
    if (src.left < src.right && src.top < src.bottom)
      r = BackSurface->BltFast(x, y, StreamSurface, &src, plat::DDBLTFAST_WAIT);
  } else {
    plat::Surface* dst = elDraw::detail::ObjectSurface(target);
    plat::Rect src{0, 0, StreamWidth, StreamHeight};
    if (dst != nullptr && StreamSurface != nullptr) r = dst->BltFast(x, y, StreamSurface, &src, plat::DDBLTFAST_WAIT);
  }
  if (r == plat::DDERR_SURFACELOST) elDraw::Restore();
  if (StreamStepping) {
    StreamStepping = 0;
    StreamPaused = 1;
    plat::MediaSetRunning(StreamObject, false);
  }
}

void Step() {
  if (!StreamLoaded) return;
  if (!StreamRunning || StreamPaused) plat::MediaSetRunning(StreamObject, true);
  StreamStepping = 1;
  StreamRunning = 1;
  StreamPaused = 0;
}

void Pause() {
  if (!StreamRunning) return;
  plat::MediaSetRunning(StreamObject, StreamPaused != 0);
  StreamPaused = StreamPaused ? 0 : 1;
}

void Stop() {
  if (!StreamRunning) return;
  plat::MediaSetRunning(StreamObject, false);
  StreamRunning = 0;
  StreamPaused = 0;
}

void Forward(uint32_t ms) {
  if (!StreamLoaded) return;
  int64_t t = plat::MediaTime(StreamObject) + int64_t(ms) * 10000;
  plat::MediaSeek(StreamObject, std::min(t, StreamDuration));
  if (!StreamRunning || StreamPaused) Step();
}

void Backward(uint32_t ms) {
  if (!StreamLoaded) return;
  int64_t t = plat::MediaTime(StreamObject) - int64_t(ms) * 10000;
  plat::MediaSeek(StreamObject, std::max<int64_t>(t, 0));
  if (!StreamRunning || StreamPaused) Step();
}

void Rewind() {
  if (StreamLoaded) plat::MediaSeek(StreamObject, 0);
}

int GetState() {
  if (!StreamLoaded) return 0;
  // A file whose length the container did not tell learns it when its sound has played out.
  StreamDuration = plat::MediaDuration(StreamObject);
  if (plat::MediaTime(StreamObject) >= StreamDuration) return 4;
  if (StreamPaused) return 2;
  if (!StreamRunning) return 3;
  return 1;
}

void ReleaseObject() {
  if (StreamObject) {
    plat::MediaClose(StreamObject);
    StreamObject = nullptr;
  }
  if (StreamSurface) {
    delete StreamSurface;
    StreamSurface = nullptr;
  }
  StreamLoaded = 0;
}

void Release() { ReleaseObject(); }

}  // namespace elStream
