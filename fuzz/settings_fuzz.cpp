// Arbitrary bytes as the settings files: the data-root file and the number files, under names taken
// from the input. The data root must be the file's first line (at most 255 bytes, less one line end
// and one separator), the program directory built on it must fit its buffer, numbers must read back
// as written, and no name may reach a file outside its directory.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "el/elSystem.h"
#include "el/system/sysinfo.h"

namespace {

// A sandbox on a memory file system: top/ holds cfg/ (the settings directory), a data-root file
// cfg-outside beside it, and game/prog/ (the program directory). Nothing else may appear there.
std::string top;

void SetUpOnce() {
  if (!top.empty()) return;
  char dir[] = "/dev/shm/oomori-settingsfuzz-XXXXXX";
  if (!mkdtemp(dir)) std::abort();
  top = dir;
  mkdir((top + "/cfg").c_str(), 0700);
  mkdir((top + "/game").c_str(), 0700);
  mkdir((top + "/game/prog").c_str(), 0700);
  FILE* f = std::fopen((top + "/cfg-outside").c_str(), "w");
  if (!f) std::abort();
  std::fputs("/outside\n", f);
  std::fclose(f);
  setenv("XDG_CONFIG_HOME", (top + "/cfg").c_str(), 1);
  elSystem::SetExecutablePathForTest((top + "/game/prog/x.bin").c_str());
  std::atexit([] {
    std::string cmd = "rm -rf '" + top + "'";
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", top.c_str());
  });
}

// Whether dir holds nothing but the entries named.
bool OnlyHolds(const std::string& dir, const char* keep1 = "", const char* keep2 = "", const char* keep3 = "") {
  DIR* d = opendir(dir.c_str());
  if (!d) return false;
  bool ok = true;
  while (dirent* e = readdir(d)) {
    const char* n = e->d_name;
    if (!std::strcmp(n, ".") || !std::strcmp(n, "..") || !std::strcmp(n, keep1) || !std::strcmp(n, keep2) ||
        !std::strcmp(n, keep3))
      continue;
    ok = false;
  }
  closedir(d);
  return ok;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SetUpOnce();
  // The first byte gives the length of a name taken from the bytes after it; the rest is the content.
  size_t nameLen = size ? std::min<size_t>(data[0], size - 1) : 0;
  std::string name(reinterpret_cast<const char*>(data) + (size ? 1 : 0), nameLen);
  const uint8_t* body = data + (size ? 1 + nameLen : 0);
  size_t bodySize = size ? size - 1 - nameLen : 0;

  // The data-root file: the model is the first line, cut at a NUL and at 255 bytes.
  WriteFile(top + "/cfg/root", body, bodySize);
  elSystem::LoadDataRoot("root");
  std::string line(reinterpret_cast<const char*>(body), std::min<size_t>(bodySize, 255));
  line = line.substr(0, line.find('\n') == std::string::npos ? line.size() : line.find('\n') + 1);
  line = line.c_str();
  for (char end : {'\n', '\r', '/'})
    if (!line.empty() && line.back() == end) line.pop_back();
  if (line != DataRoot) std::abort();

  std::string own = top + "/game/prog/";
  if (own.size() >= 256) std::abort();
  std::string dir = elSystem::GetProgramDir(1);
  if (std::strlen(ProgramDir) >= sizeof ProgramDir) std::abort();
  bool joined = DataRoot[0] != 0 && dir == std::string(DataRoot) + "/prog/";
  if (dir != own && !joined) std::abort();
  if (elSystem::GetProgramDir(0) != own) std::abort();
  DataRoot[0] = 0;

  // A number file under the input's name, and the content read as a number, must stay inside.
  int32_t value = 0;
  if (bodySize) std::memcpy(&value, body, std::min<size_t>(bodySize, sizeof value));
  std::string cname = name.c_str();
  int wrote = elSystem::WriteNumber(cname.c_str(), value);
  if (wrote != 0 && wrote != 1) std::abort();
  if (wrote == 1) {
    if (elSystem::ReadNumber(cname.c_str()) != value) std::abort();
    std::remove((own + cname).c_str());
  }
  elSystem::ReadNumber(cname.c_str());
  if (!OnlyHolds(top, "cfg", "game", "cfg-outside") || !OnlyHolds(top + "/game", "prog") ||
      !OnlyHolds(top + "/game/prog"))
    std::abort();
  // The only data-root file within reach is "root"; the one beside the settings directory is not.
  elSystem::LoadDataRoot(cname.c_str());
  if (DataRoot[0] != 0 && line != DataRoot) std::abort();
  DataRoot[0] = 0;
  return 0;
}
