// Standalone driver for the fuzz targets: runs every file of the corpus directories given on the
// command line, then a bounded number of seeded mutations of them (bit flips, byte changes,
// truncations, insertions, splices). Deterministic, so a failure reproduces; OOMORI_FUZZ_RUNS sets
// the number of mutations (default 2000).
#include <dirent.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <algorithm>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<std::vector<uint8_t>> LoadCorpus(const char* dir) {
  std::vector<std::vector<uint8_t>> out;
  DIR* d = opendir(dir);
  if (!d) return out;
  std::vector<std::string> names;
  while (dirent* e = readdir(d)) {
    if (e->d_name[0] != '.') names.push_back(e->d_name);
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  for (const std::string& n : names) {
    std::ifstream f(std::string(dir) + "/" + n, std::ios::binary);
    out.emplace_back(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  }
  return out;
}

void Mutate(std::vector<uint8_t>& v, const std::vector<std::vector<uint8_t>>& corpus, std::mt19937& rng) {
  int edits = 1 + static_cast<int>(rng() % 4);
  for (int k = 0; k < edits; ++k) {
    switch (rng() % 6) {
      case 0:
        if (!v.empty()) v[rng() % v.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
        break;
      case 1:
        if (!v.empty()) v[rng() % v.size()] = static_cast<uint8_t>(rng());
        break;
      case 2:
        if (!v.empty()) v.resize(rng() % v.size());
        break;
      case 3: {
        size_t at = v.empty() ? 0 : rng() % (v.size() + 1);
        size_t n = 1 + rng() % 16;
        std::vector<uint8_t> ins(n);
        for (uint8_t& b : ins) b = static_cast<uint8_t>(rng());
        v.insert(v.begin() + static_cast<long>(at), ins.begin(), ins.end());
        break;
      }
      case 4: {
        // Extreme values where lengths and counts usually sit.
        static const uint32_t kMagic[] = {0, 1, 0x7F, 0x80, 0xFF, 0xFFFF, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
        if (v.size() >= 4) {
          size_t at = rng() % (v.size() - 3);
          uint32_t m = kMagic[rng() % (sizeof kMagic / sizeof kMagic[0])];
          for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(m >> (8 * i));
        }
        break;
      }
      default:
        if (!corpus.empty()) {
          const std::vector<uint8_t>& o = corpus[rng() % corpus.size()];
          if (!o.empty() && !v.empty()) {
            size_t from = rng() % o.size();
            size_t at = rng() % v.size();
            size_t n = std::min(o.size() - from, v.size() - at);
            std::copy(o.begin() + static_cast<long>(from), o.begin() + static_cast<long>(from + n),
                      v.begin() + static_cast<long>(at));
          }
        }
        break;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::vector<uint8_t>> corpus;
  for (int i = 1; i < argc; ++i) {
    auto part = LoadCorpus(argv[i]);
    corpus.insert(corpus.end(), part.begin(), part.end());
  }
  for (const auto& c : corpus) LLVMFuzzerTestOneInput(c.data(), c.size());
  LLVMFuzzerTestOneInput(nullptr, 0);
  const char* env = std::getenv("OOMORI_FUZZ_RUNS");
  long runs = env ? std::strtol(env, nullptr, 10) : 2000;
  std::mt19937 rng(12345);
  for (long r = 0; r < runs; ++r) {
    std::vector<uint8_t> v = corpus.empty() ? std::vector<uint8_t>() : corpus[rng() % corpus.size()];
    Mutate(v, corpus, rng);
    LLVMFuzzerTestOneInput(v.data(), v.size());
  }
  std::printf("%zu corpus inputs and %ld mutations ran\n", corpus.size(), runs);
  return 0;
}
