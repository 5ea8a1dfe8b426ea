// Program directory, data root, number files, command line, dates, disk, memory, version, delay.
#include <sys/statvfs.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "el/elDraw.h"
#include "el/elSystem.h"
#include "el/system/sysinfo.h"
#include "platform/clock.h"
#include "platform/files.h"

char ProgramDir[256];
char ProgramFolder[256];
char DataRoot[256];
uint32_t DelayEnd;

namespace elSystem {

namespace {

const char* const kWeekdays[] = {"日", "月", "火", "水", "木", "金", "土"};

// Where the executable is; tests may put another path in its place.
std::string exePathOverride;
bool haveExeOverride = false;

std::string ExePath() {
  if (haveExeOverride) return exePathOverride;
  // Read in full, whatever its length: a cut path would name some other directory.
  std::string buf(4096, '\0');
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) < buf.size()) {
      buf.resize(static_cast<size_t>(n));
      return buf;
    }
    buf.resize(buf.size() * 2);
  }
}

// Settings files are named relative to their directory and must stay inside it: no absolute name,
// no ".." component (either separator counts, as names may come in the backslash form), no empty name.
bool InsideName(const char* name) {
  if (name == nullptr || name[0] == 0 || name[0] == '/' || name[0] == '\\') return false;
  const char* part = name;
  for (const char* p = name;; ++p) {
    if (*p == 0 || *p == '/' || *p == '\\') {
      if (p - part == 2 && part[0] == '.' && part[1] == '.') return false;
      if (*p == 0) return true;
      part = p + 1;
    }
  }
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
  // Only the directory has to fit the buffer. One that does not is refused (empty result) rather
  // than cut, which would name its parent or some other directory: the settings files are then
  // refused too, and loaders look in the working directory.
  std::string exe = ExePath();
  size_t dirLen = exe.rfind('/') + 1;  // 0 without a slash: npos + 1 wraps to 0
  if (dirLen >= sizeof ProgramDir) {
    static bool told = false;
    if (!told) std::fprintf(stderr, "oomori: program directory longer than %zu bytes; not used\n", sizeof ProgramDir - 1);
    told = true;
    dirLen = 0;
  }
  std::memcpy(ProgramDir, exe.data(), dirLen);
  ProgramDir[dirLen] = 0;
  if (useDataRoot == 0 || DataRoot[0] == 0 || dirLen == 0) return ProgramDir;

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
  DataRoot[0] = 0;
  if (!InsideName(name)) return;
  std::string path = SettingsDir();
  if (path != "/") path += "/";
  path += name;
  FILE* f = plat::OpenRegularFile(path, "r");
  if (!f) return;
  char line[256];
  if (std::fgets(line, sizeof line, f)) {
    size_t len = std::strlen(line);
    // The line end may be CR LF (a file written on another system): both go.
    if (len > 0 && line[len - 1] == '\n') line[--len] = 0;
    if (len > 0 && line[len - 1] == '\r') line[--len] = 0;
    if (len > 0 && line[len - 1] == '/') line[--len] = 0;
    std::memcpy(DataRoot, line, len + 1);
  }
  std::fclose(f);
}

// 1 once the number is in the file, 0 when it is not (a refused name, no file, a failed write), so
// success and failure answer differently.
int WriteNumber(const char* name, int32_t value) {
  const char* dir = GetProgramDir(1);
  if (!InsideName(name) || dir[0] == 0) return 0;
  std::string path = std::string(dir) + name;
  FILE* f = plat::OpenRegularFile(path, "w");
  if (!f) return 0;
  bool written = std::fprintf(f, "%d", value) > 0;
  return std::fclose(f) == 0 && written ? 1 : 0;
}

int32_t ReadNumber(const char* name) {
  // A refused name, a missing file, or one that holds no number, reads as 0.
  const char* dir = GetProgramDir(1);
  if (!InsideName(name) || dir[0] == 0) return 0;
  std::string path = std::string(dir) + name;
  FILE* f = plat::OpenRegularFile(path, "r");
  if (!f) return 0;
  // Read as "%d" would (white space, a sign, digits), but by hand: a number too large for 32 bits
  // reads as 0 rather than as whatever a scan's overflow leaves.
  int c;
  do c = std::fgetc(f); while (c != EOF && std::isspace(c));
  bool negative = c == '-';
  if (c == '-' || c == '+') c = std::fgetc(f);
  int64_t value = 0;
  bool digits = false;
  for (; c != EOF && c >= '0' && c <= '9'; c = std::fgetc(f)) {
    digits = true;
    value = value * 10 + (c - '0');
    if (value > int64_t(INT32_MAX) + 1) break;
  }
  std::fclose(f);
  if (negative) value = -value;
  if (!digits || value < INT32_MIN || value > INT32_MAX) return 0;
  return static_cast<int32_t>(value);
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
