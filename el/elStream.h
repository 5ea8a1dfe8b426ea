/// @file
/// elStream: one media stream (a picture, a video, a sound file) drawn into draw objects.
/// States of elStream::GetState: 0 no file open, 1 playing, 2 paused, 3 stopped, 4 the position has
/// reached the duration.
///
/// One file is open at a time. Its pictures are decoded into a surface of the picture's size in the
/// screen's format, and elStream::Draw puts the picture due now on the back screen or into a draw
/// object once a frame. A failure to open is reported through elSystem::ReportError as
/// "elStream::LoadObject" and answered with 0.
#pragma once
#include <cstdint>

namespace plat {
struct MediaStream;
}

extern plat::MediaStream* StreamObject;  ///< the open file, or none
///@{
/// The picture's size in pixels (0 x 0 for sound only).
extern int32_t StreamWidth, StreamHeight;  // the picture's size (0 x 0 for sound only)
///@}
extern int64_t StreamDuration;             ///< 100-nanosecond units
extern uint32_t StreamLoaded;            ///< 1 while a file is open
extern uint32_t StreamRunning;           ///< 1 while playing (also while paused)
extern uint32_t StreamPaused;            ///< 1 while paused
extern uint32_t StreamStepping;          ///< 1 until the next elStream::Draw shows one picture and pauses

/// The media stream: open, play, draw, seek and release one file.
/// The model (object numbers, tables, selectors, failure answers) is described in elStream.h.
namespace elStream {

/// Closes any open file and resets the stream state (called by elDraw::Screen).
/// @return 1.
int Init();
/// Opens the media file file (relative to the program directory) as the stream, closing the one
/// open before. Sound-only files open too (no picture).
/// @param withAudio non-zero plays the file's sound as well.
/// @return 1; on failure 0 after reporting "ストリームを読み込めません" (missing or undecodable file)
/// or "DirectShow/ActiveMovieが使えません" (no surface for its pictures).
int LoadObject(const char* file, int32_t withAudio);
/// Plays the open file from the start.
void Play();
/// Draws the current picture at (x, y) of draw object target (-1: the back screen, clipped). Call once
/// a frame while playing; when the pictures have run out the stream counts as stopped.
void Draw(int32_t x, int32_t y, int32_t target);
/// Shows the next picture (at the next elStream::Draw), then pauses.
void Step();
/// Pauses the playing stream, or resumes it when paused.
void Pause();
/// Stops the stream (elStream::Play starts it again from the start).
void Stop();
/// Moves the position ms milliseconds on (at most to the end); a stopped or paused stream shows the
/// picture there.
void Forward(uint32_t ms);
/// Moves the position ms milliseconds back (at least to the start); a stopped or paused stream shows
/// the picture there.
void Backward(uint32_t ms);
/// Moves the position to the start.
void Rewind();
/// The stream's state.
/// @return 0 no file open, 1 playing, 2 paused, 3 stopped, 4 the position has reached the end.
int GetState();
/// Closes the open file.
void ReleaseObject();
/// Closes the open file (at shutdown).
void Release();

}  // namespace elStream
