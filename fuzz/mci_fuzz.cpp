// Arbitrary bytes as the MIDI file that the sequencer opens by its MCI command: the open must
// succeed exactly when the file passes the MIDI checks, and an opened piece must take the commands
// the music module sends (seek, play with notify, status, stop, close) while the mixer renders it.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/audio.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_audio.h"
#include "platform/host.h"
#include "platform/mci.h"
#include "platform/midi.h"

namespace {

// The file lives on a memory file system under a name with a space and Japanese text, as a program
// directory may have: on disk in UTF-8, in the command in CP932 as the music module builds it.
const char kOnDisk[] = "/\xe6\x9b\xb2 piece.mid";    // UTF-8
const char kInCommand[] = "/\x8b\xc8 piece.mid";      // CP932
std::string dirPath;

const std::string& DirPath() {
  if (!dirPath.empty()) return dirPath;
  char dir[] = "/dev/shm/oomori-mcifuzz-XXXXXX";
  if (!mkdtemp(dir)) std::abort();
  dirPath = dir;
  std::atexit([] {
    std::remove((dirPath + kOnDisk).c_str());
    rmdir(dirPath.c_str());
  });
  return dirPath;
}

void SetUpOnce() {
  static bool done = false;
  if (done) return;
  done = true;
  plat::headless::Reset();
  plat::headless::SetAudioDeviceAvailable(true);
  plat::headless::SetAudioDeviceRate(22050);
  plat::MidiTestSetSoundFont("/usr/share/sounds/sf2/TimGM6mb.sf2");
  if (plat::AudioCreateDevice() != plat::kAudioOk) std::abort();
}

long Send(const char* command, char* reply = nullptr, uint32_t size = 0) {
  return plat::MciSendString(command, reply, size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SetUpOnce();
  FILE* f = std::fopen((DirPath() + kOnDisk).c_str(), "wb");
  if (!f) std::abort();
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);

  std::string open = "open \"" + DirPath() + kInCommand + "\" type sequencer alias midi";
  bool good = plat::MidiCheckFile(data, size, nullptr);
  long r = Send(open.c_str());
  if (!good) {
    if (r != plat::MCIERR_INVALID_FILE) std::abort();
    if (Send("status midi mode") != plat::MCIERR_INVALID_DEVICE_NAME) std::abort();
    return 0;
  }
  if (r != 0) std::abort();
  char mode[16];
  if (Send("seek midi to start") != 0 || Send("play midi notify") != 0) std::abort();
  plat::headless::PullAudio(441);
  plat::headless::PullAudio(441);
  if (Send("status midi mode", mode, sizeof mode) != 0) std::abort();
  if (std::strcmp(mode, "playing") != 0 && std::strcmp(mode, "stopped") != 0) std::abort();
  if (Send("stop midi") != 0 || Send("status midi mode", mode, sizeof mode) != 0) std::abort();
  if (std::strcmp(mode, "stopped") != 0) std::abort();
  if (Send("close midi") != 0) std::abort();
  // Exactly one notification came for the one play notify: its end or its abort by the stop.
  int notes = 0;
  plat::Msg m;
  while (plat::PeekMsg(&m))
    if (m.message == plat::MM_MCINOTIFY) ++notes;
  if (notes != 1) std::abort();
  return 0;
}
