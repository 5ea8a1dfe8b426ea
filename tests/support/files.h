// Whole files for tests: reading them, and rank.dat as the game writes it.
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

// rank.dat holding these five places: the values, then each XOR 0x96, 32-bit little-endian.
inline std::vector<uint8_t> RankFile(std::vector<int32_t> places) {
  std::vector<uint8_t> b;
  for (int i = 0; i < 5; ++i) places.push_back(places[i] ^ 0x96);
  for (int32_t v : places)
    for (int k = 0; k < 4; ++k) b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * k)));
  return b;
}

}  // namespace testfiles
