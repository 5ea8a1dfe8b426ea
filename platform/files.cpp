#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {

FILE* OpenRegularFile(const std::string& path, const char* mode) {
  int flags = O_RDONLY, after = 0;
  if (mode[0] == 'w') flags = O_WRONLY | O_CREAT;
  if (mode[0] == 'a') flags = O_WRONLY | O_CREAT | O_APPEND, after = O_APPEND;
  // Opened without blocking (a FIFO with no writer or reader would wait for one), then checked to be
  // a regular file before anything is truncated; the stream itself blocks as usual.
  const int fd = open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  struct stat st;
  FILE* f = nullptr;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && fcntl(fd, F_SETFL, after) == 0 &&
      (mode[0] != 'w' || ftruncate(fd, 0) == 0))
    f = fdopen(fd, mode);
  if (f == nullptr) close(fd);
  return f;
}

}  // namespace plat
