// Media streams: one media file (pictures and/or sound) opened for playing. Stands in for the
// multimedia stream service that elStream (el/music/stream.cpp) drives on the program's thread:
// pictures are decoded on request (MediaUpdate) into a pixel buffer of the screen's format; the
// sound plays through the mixer (platform/audio.h) from a buffer whose filler decodes it on the
// mixing thread. Built on FFmpeg; only local files of the usual picture, sound and video
// containers are opened.
//
// Times are in 100-nanosecond units, counted from the start of the file.
#pragma once
#include <cstdint>

namespace plat {

using MediaResult = long;
constexpr MediaResult MEDIA_OK = 0;
constexpr MediaResult MEDIA_S_ENDOFSTREAM = 0x00040003;  // no frame: the pictures have all been shown
constexpr MediaResult MEDIA_E_FAIL = static_cast<int32_t>(0x80004005);
constexpr MediaResult MEDIA_E_INVALIDARG = static_cast<int32_t>(0x80070057);
constexpr MediaResult MEDIA_E_NOFILE = static_cast<int32_t>(0x80070002);     // missing or unreadable
constexpr MediaResult MEDIA_E_BADFILE = static_cast<int32_t>(0x80040241);    // not a file we can play

// Pictures larger than this in either direction are refused.
constexpr int32_t MEDIA_MAX_PICTURE = 4096;

enum class MediaPixelFormat : uint8_t { RGB565, RGB555, XRGB8888 };

// Where MediaUpdate writes a picture: width x height pixels, rows pitch bytes apart.
struct MediaPixels {
  uint8_t* bits = nullptr;
  int32_t pitch = 0;
  int32_t width = 0;
  int32_t height = 0;
  MediaPixelFormat format = MediaPixelFormat::RGB565;
};

struct MediaStream;

// Starts loading the decoders on a thread of their own, so that the first MediaOpen finds them
// ready; without it the first MediaOpen loads them. Called by the real host once its window is up.
void MediaPreload();

// Opens the file (path in CP932). Its first picture stream (cover art aside) is the video; with
// withAudio its first sound stream plays through the mixer when the stream runs (when there is no
// audio device the file plays silently). A file with neither is refused with MEDIA_E_BADFILE.
MediaResult MediaOpen(const char* pathCp932, bool withAudio, MediaStream** out);
void MediaClose(MediaStream* stream);

// Picture size; 0 x 0 for a file without pictures.
void MediaVideoSize(const MediaStream* stream, int32_t* width, int32_t* height);
bool MediaHasAudio(const MediaStream* stream);
// Duration of the file. Until the sound of a file whose length the container does not tell has
// played out, a large value.
int64_t MediaDuration(MediaStream* stream);
// The position: how far the sound has played (with sound), otherwise the running time. It reaches
// the duration exactly when the sound has played out, and stays below it until then.
int64_t MediaTime(MediaStream* stream);
// Run (true) or stop (false); stopping keeps the position.
MediaResult MediaSetRunning(MediaStream* stream, bool run);
// Moves to time (clamped to 0..duration); the next picture and sound start there.
MediaResult MediaSeek(MediaStream* stream, int64_t time);
// Decodes the picture due at the current position (pictures that are already late are skipped;
// pictures are never waited for) into dst, which must be the picture's size. MEDIA_OK when a new
// picture is in dst, MEDIA_S_ENDOFSTREAM after the last one (and for files without pictures).
MediaResult MediaUpdate(MediaStream* stream, const MediaPixels& dst);

}  // namespace plat
