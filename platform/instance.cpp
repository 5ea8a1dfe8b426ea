#include "platform/instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace plat {

namespace {

int lockFd = -1;
int listenFd = -1;
std::string socketPath;
std::string dirPath;

const char kRaise[] = "raise\n";

// dir as a private directory of this user: created 0700 if missing, and refused if it is a link,
// not a directory, someone else's, or open to others, so no other user can take the lock or speak
// on the socket.
bool UsableDir(const std::string& dir) {
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st;
  return lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() && (st.st_mode & 077) == 0;
}

// The first private directory to be had. Every copy walks the same list, so they meet in the same
// place. The user's own directories come before the shared temporary one: another local user can
// create /tmp/oomori-<uid> first, and could then, by removing it again, send two copies to two
// different places if it came first.
bool PrivateDir(std::string* out) {
  std::vector<std::string> tried;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0] == '/') tried.push_back(std::string(runtime) + "/oomori");
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') {
    std::string cache = std::string(home) + "/.cache";
    mkdir(cache.c_str(), 0700);
    tried.push_back(cache + "/oomori");
  }
  const char* tmp = std::getenv("TMPDIR");
  tried.push_back(std::string(tmp && tmp[0] == '/' ? tmp : "/tmp") + "/oomori-" + std::to_string(getuid()));
  for (const std::string& dir : tried) {
    if (UsableDir(dir)) {
      *out = dir;
      return true;
    }
  }
  std::string list;
  for (const std::string& dir : tried) list += " " + dir;
  std::fprintf(stderr, "oomori: no private directory for the single-instance lock (tried%s); "
               "another copy may be running\n", list.c_str());
  return false;
}

// File names from a hash of the (CP932) name keep paths short and free of separators.
std::string Stem(const char* name) {
  uint64_t h = 1469598103934665603ull;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
    h ^= *p;
    h *= 1099511628211ull;
  }
  char buf[24];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
  return buf;
}

bool FillAddress(const std::string& path, sockaddr_un* addr) {
  std::memset(addr, 0, sizeof *addr);
  addr->sun_family = AF_UNIX;
  if (path.size() >= sizeof addr->sun_path) return false;
  std::memcpy(addr->sun_path, path.c_str(), path.size() + 1);
  return true;
}

void AskToRaise(const std::string& path) {
  sockaddr_un addr;
  if (!FillAddress(path, &addr)) return;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
    ssize_t n = write(fd, kRaise, sizeof kRaise - 1);
    (void)n;
  }
  close(fd);
}

}  // namespace

InstanceCheck AcquireInstance(const char* nameCp932) {
  if (lockFd >= 0) return InstanceCheck::kOnly;
  std::string dir;
  if (!PrivateDir(&dir)) return InstanceCheck::kNoSafePlace;
  std::string stem = Stem(nameCp932 ? nameCp932 : "");
  std::string lockPath = dir + "/" + stem + ".lock";
  std::string sockPath = dir + "/" + stem + ".sock";
  int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    std::fprintf(stderr, "oomori: cannot open the single-instance lock %s: %s\n", lockPath.c_str(), std::strerror(errno));
    return InstanceCheck::kNoSafePlace;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    close(fd);
    if (err != EWOULDBLOCK) {
      std::fprintf(stderr, "oomori: cannot take the single-instance lock %s: %s\n", lockPath.c_str(), std::strerror(err));
      return InstanceCheck::kNoSafePlace;
    }
    AskToRaise(sockPath);
    return InstanceCheck::kAnother;
  }
  lockFd = fd;
  dirPath = dir;
  socketPath = sockPath;
  sockaddr_un addr;
  if (FillAddress(sockPath, &addr)) {
    unlink(sockPath.c_str());  // left by a copy that was killed; we hold the lock, so it is stale
    int s = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (s >= 0 && bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && listen(s, 4) == 0) {
      listenFd = s;
    } else if (s >= 0) {
      close(s);
    }
  }
  return InstanceCheck::kOnly;
}

void ReleaseInstance() {
  if (listenFd >= 0) {
    close(listenFd);
    listenFd = -1;
    unlink(socketPath.c_str());
  }
  if (lockFd >= 0) {
    close(lockFd);  // drops the flock
    lockFd = -1;
  }
  dirPath.clear();
}

bool PollInstanceRequests() {
  if (listenFd < 0) return false;
  bool raised = false;
  for (;;) {
    int c = accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (c == -1) break;
    // The writer sends its few bytes before closing; give it a moment, never block for long.
    char buf[16];
    ssize_t n = read(c, buf, sizeof buf);
    for (int tries = 1; n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && tries < 20; ++tries) {
      usleep(1000);
      n = read(c, buf, sizeof buf);
    }
    if (n >= static_cast<ssize_t>(sizeof kRaise - 1) && std::memcmp(buf, kRaise, sizeof kRaise - 1) == 0)
      raised = true;
    close(c);
  }
  return raised;
}

const char* InstanceDir() {
  static std::string dir;
  if (!dirPath.empty()) return dirPath.c_str();
  if (!PrivateDir(&dir)) return "";
  return dir.c_str();
}

}  // namespace plat
