// Whole-file reading for tests.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace testfiles {

// The whole file, or nothing when it cannot be opened.
inline std::vector<uint8_t> ReadFile(const std::string& path) {
  std::vector<uint8_t> v;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return v;
  int c;
  while ((c = std::fgetc(f)) != EOF) v.push_back(static_cast<uint8_t>(c));
  std::fclose(f);
  return v;
}

}  // namespace testfiles
