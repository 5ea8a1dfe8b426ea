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

namespace plat {

namespace {

int lockFd = -1;
int listenFd = -1;
std::string socketPath;
std::string dirPath;

const char kRaise[] = "raise\n";

// A private directory for this user: created 0700, and refused if it is a link, someone else's, or
// open to others, so no other user can take the lock or speak on the socket.
bool PrivateDir(std::string* out) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string dir = (runtime && runtime[0] == '/') ? std::string(runtime) + "/oomori"
                                                   : "/tmp/oomori-" + std::to_string(getuid());
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st;
  if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() || (st.st_mode & 077) != 0)
    return false;
  *out = dir;
  return true;
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

bool AcquireInstance(const char* nameCp932) {
  if (lockFd >= 0) return true;
  std::string dir;
  // Without a private directory there is no safe lock; run as the only instance.
  if (!PrivateDir(&dir)) return true;
  std::string stem = Stem(nameCp932 ? nameCp932 : "");
  std::string lockPath = dir + "/" + stem + ".lock";
  std::string sockPath = dir + "/" + stem + ".sock";
  int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return true;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    AskToRaise(sockPath);
    return false;
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
  return true;
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
}

bool PollInstanceRequests() {
  if (listenFd < 0) return false;
  bool raised = false;
  for (;;) {
    int c = accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (c < 0) break;
    // The writer sends its few bytes before closing; give it a moment, never block for long.
    char buf[16];
    ssize_t n = -1;
    for (int tries = 0; tries < 20; ++tries) {
      n = read(c, buf, sizeof buf);
      if (n >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) break;
      usleep(1000);
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
