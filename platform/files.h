// Files opened by name for the loaders and the settings: regular files only, without waiting.
#pragma once
#include <cstdio>
#include <string>

namespace plat {

// Opens path as std::fopen would with mode "r", "rb", "w", "wb", "a" or "ab" ("w" and "a" make a
// file that is not there), but only when it is a regular file: nullptr for anything else. The open
// never waits, so a FIFO or a device under the name cannot hold the program up.
FILE* OpenRegularFile(const std::string& path, const char* mode);

}  // namespace plat
