// Temporary stand-ins until the music and media modules land: no music, no stream.
#include "el/elMusic.h"
#include "el/elStream.h"

int32_t MusicReady;
int32_t MusicFilePlaying;
int32_t MusicFileLoop;
int32_t MusicFileEnded;

namespace elMusic {
int Init() { return 0; }
void Release() {}
void StopAll() {}
void Notify() {}
bool IsFileSegmentPlaying() { return false; }
int SendCommand(const char*, char* reply, uint32_t replySize) {
  if (reply && replySize) reply[0] = 0;
  return 1;
}
}  // namespace elMusic

namespace elStream {
int Init() { return 0; }
void Release() {}
}  // namespace elStream
