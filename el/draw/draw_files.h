// Files of the program directory for the drawing library's own writers and readers (screen saves,
// image packs). Names are code page 932 with backslashes as separators, as the library's callers
// write them. Private to el/draw.
#pragma once
#include <cstdio>
#include <string>

#include "el/elSystem.h"
#include "platform/text.h"

namespace elDraw::files {

// A code page 932 path in the host's terms: UTF-8, '/' as the separator.
inline std::string HostPath(const std::string& cp932) {
  std::string p = plat::Cp932ToUtf8(cp932.c_str(), cp932.size());
  for (char& c : p)
    if (c == '\\') c = '/';
  return p;
}

// The program directory followed by name, in the host's terms.
inline std::string ProgramPath(const char* name) {
  return HostPath(std::string(elSystem::GetProgramDir(0)) + (name ? name : ""));
}

inline FILE* Open(const std::string& hostPath, const char* mode) { return std::fopen(hostPath.c_str(), mode); }

}  // namespace elDraw::files
