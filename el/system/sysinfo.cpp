// Program directory, data root, number files, command line, dates, disk, memory, version, delay.
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "el/elDraw.h"
#include "el/elSystem.h"
#include "el/system/sysinfo.h"
#include "platform/clock.h"

char ProgramDir[256];
char ProgramFolder[256];
char DataRoot[256];
uint32_t DelayEnd;

namespace elSystem {

namespace {

const char* const kWeekdays[7] = {"日", "月", "火", "水", "木", "金", "土"};

// Where the executable is; tests may put another path in its place.
std::string exePathOverride;
bool haveExeOverride = false;

std::string ExePath() {
  if (haveExeOverride) return exePathOverride;
  char buf[256];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n < 0) return std::string();
  buf[n] = 0;
  return buf;
}

// The directory that stands in for the system directory of settings files: the user's
// configuration directory ($XDG_CONFIG_HOME, else ~/.config).
std::string SettingsDir() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.config";
}

}  // namespace

void SetExecutablePathForTest(const char* path) {
  haveExeOverride = path != nullptr;
  exePathOverride = path ? path : "";
}

char* GetProgramDir(uint32_t useDataRoot) {
  // At most 255 bytes of the path are kept, as the buffer allows.
  std::string exe = ExePath();
  std::strncpy(ProgramDir, exe.c_str(), sizeof ProgramDir - 1);
  ProgramDir[sizeof ProgramDir - 1] = 0;
  char* slash = std::strrchr(ProgramDir, '/');
  if (slash) slash[1] = 0;
  else ProgramDir[0] = 0;
  if (useDataRoot == 0 || DataRoot[0] == 0) return ProgramDir;

  // The folder is the component before the final separator; the search stops at the buffer start.
  size_t len = std::strlen(ProgramDir);
  if (len >= 2) {
    size_t i = len - 1;  // the final separator
    while (i > 0 && ProgramDir[i - 1] != '/') --i;
    if (i > 0) std::snprintf(ProgramFolder, sizeof ProgramFolder, "%s", ProgramDir + i);
  }
  // A data root plus folder that does not fit the buffer is refused: the executable's own
  // directory is returned instead of a cut, wrong path.
  char joined[256];
  int n = std::snprintf(joined, sizeof joined, "%s/%s", DataRoot, ProgramFolder);
  if (n < 0 || static_cast<size_t>(n) >= sizeof joined) return ProgramDir;
  std::memcpy(ProgramDir, joined, static_cast<size_t>(n) + 1);
  return ProgramDir;
}

void LoadDataRoot(const char* name) {
  std::string path = SettingsDir();
  if (path != "/") path += "/";
  path += name ? name : "";
  DataRoot[0] = 0;
  FILE* f = std::fopen(path.c_str(), "r");
  if (!f) return;
  char line[256];
  if (std::fgets(line, sizeof line, f)) {
    size_t len = std::strlen(line);
    if (len > 0 && line[len - 1] == '\n') line[--len] = 0;
    if (len > 0 && line[len - 1] == '/') line[--len] = 0;
    std::memcpy(DataRoot, line, len + 1);
  }
  std::fclose(f);
}

int WriteNumber(const char* name, int32_t value) {
  std::string path = std::string(GetProgramDir(1)) + (name ? name : "");
  FILE* f = std::fopen(path.c_str(), "w");
  if (!f) return 0;
  std::fprintf(f, "%d", value);
  // The closing's own answer: 0 when the number reached the file, EOF when it did not.
  return std::fclose(f);
}

int32_t ReadNumber(const char* name) {
  std::string path = std::string(GetProgramDir(1)) + (name ? name : "");
  FILE* f = std::fopen(path.c_str(), "r");
  // A missing file, or one that holds no number, reads as 0.
  int32_t value = 0;
  if (!f) return 0;
  if (std::fscanf(f, "%d", &value) != 1) value = 0;
  std::fclose(f);
  return value;
}

int WriteNumber2(const char* name, int32_t value) { return WriteNumber(name, value); }
int32_t ReadNumber2(const char* name) { return ReadNumber(name); }

char* GetCommandLine() { return CommandLine; }

uint32_t GetDiskFree(uint8_t /*drive*/) {
  // There are no drive letters here: the free space of the program directory's file system, in a
  // 32-bit product that wraps at 4 GiB like the one it replaces.
  struct statvfs st;
  if (statvfs(GetProgramDir(0), &st) != 0) return 0;
  return static_cast<uint32_t>(static_cast<uint64_t>(st.f_bavail) * st.f_frsize);
}

uint32_t GetAvailMemory() {
  // MemAvailable from /proc/meminfo, saturated at 4 GiB - 1 as a 32-bit memory status reports it.
  FILE* f = std::fopen("/proc/meminfo", "r");
  if (!f) return 0;
  char line[128];
  unsigned long long kb = 0;
  while (std::fgets(line, sizeof line, f)) {
    if (std::sscanf(line, "MemAvailable: %llu kB", &kb) == 1) break;
  }
  std::fclose(f);
  unsigned long long bytes = kb * 1024ull;
  return bytes > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes);
}

void GetDate(uint32_t* year, uint32_t* month, uint32_t* day, char* weekday) {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  if (year) *year = static_cast<uint32_t>(tm.tm_year + 1900);
  if (month) *month = static_cast<uint32_t>(tm.tm_mon + 1);
  if (day) *day = static_cast<uint32_t>(tm.tm_mday);
  if (weekday) std::memcpy(weekday, kWeekdays[tm.tm_wday % 7], 3);
}

void GetTime(uint32_t* hour, uint32_t* minute, uint32_t* second) {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  if (hour) *hour = static_cast<uint32_t>(tm.tm_hour);
  if (minute) *minute = static_cast<uint32_t>(tm.tm_min);
  if (second) *second = static_cast<uint32_t>(tm.tm_sec);
}

uint32_t VersionCode(uint32_t platformId, uint32_t major, uint32_t minor) {
  switch (platformId) {
    case 0: return 310;
    case 1:
      if (major == 4) return minor == 0 ? 950 : 980;
      return major * 100 + minor;
    case 2:
      if (major == 5) return 2000;
      return major * 1000 + minor * 10;
    default: return 0xFFFFFFFFu;
  }
}

// This system is none of the platforms the version codes name: the "other" row.
uint32_t GetOSVersion() { return VersionCode(3, 0, 0); }

uint32_t GetColorBits() {
  // The game screen's depth once it is set up; before that the desktop's true colour.
  return ColorDepth > 0 ? static_cast<uint32_t>(ColorDepth) : 32u;
}

int IsWindowed() { return FullScreen ? 0 : 1; }

void Delay(uint32_t ms) {
  DelayEnd = plat::TimeMs() + ms;
  // Sleep while more than 2 ms remain, so a long delay does not keep a core busy; spin the rest.
  for (;;) {
    int32_t left = static_cast<int32_t>(DelayEnd - plat::TimeMs());
    if (left < 0) break;
    if (left > 2) plat::SleepMs(1);
  }
  ResetFrameClock();
}

}  // namespace elSystem
