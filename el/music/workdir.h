// Runs a load in the program directory and puts the working directory back afterwards, whatever the
// load's outcome. Used by the elMusic and elStream loaders.
#pragma once
#include <unistd.h>

#include <climits>

class WorkDirSwitch {
 public:
  // The saved directory may be as long as the system allows: a directory that could not be saved
  // could not be restored, so in that case the switch is not made at all.
  explicit WorkDirSwitch(const char* dir) {
    saved_ = getcwd(buf_, sizeof buf_) != nullptr;
    if (saved_ && dir != nullptr && dir[0] != 0) switched_ = chdir(dir) == 0;
  }
  ~WorkDirSwitch() {
    if (switched_ && chdir(buf_) != 0) {
      // The saved directory vanished while the load ran; nothing better can be done.
    }
  }
  WorkDirSwitch(const WorkDirSwitch&) = delete;
  WorkDirSwitch& operator=(const WorkDirSwitch&) = delete;

 private:
  char buf_[PATH_MAX];
  bool saved_ = false;
  bool switched_ = false;
};
