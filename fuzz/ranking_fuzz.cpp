// Arbitrary bytes as "rank.dat": the load must never read outside its buffer, must end with a table
// of five places either loaded from the whole file or reset with the old bytes kept aside, and must
// leave either the untouched file (nothing changed) or a well-formed one holding the table.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <unistd.h>

#include "game/ranking.h"
#include "platform/headless/headless.h"

namespace {

// The save syncs the file to disk; on a memory file system that costs nothing, so thousands of
// runs stay quick.
void UseMemoryDirectory() {
  static bool done = false;
  if (done) return;
  done = true;
  char dir[] = "/dev/shm/oomori-rankfuzz-XXXXXX";
  if (mkdtemp(dir) && chdir(dir) == 0) std::atexit([] {
    std::remove("rank.dat");
    std::remove("rank.dat.bad");
    char cwd[256];
    if (getcwd(cwd, sizeof cwd) && chdir("/") == 0) rmdir(cwd);
  });
}

std::vector<unsigned char> Read(const char* name) {
  std::vector<unsigned char> bytes;
  FILE* f = std::fopen(name, "rb");
  if (!f) return bytes;
  int c;
  while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<unsigned char>(c));
  std::fclose(f);
  return bytes;
}

int32_t Word(const unsigned char* p) {
  return static_cast<int32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  UseMemoryDirectory();
  std::remove("rank.dat.bad");
  FILE* f = std::fopen("rank.dat", "wb");
  if (!f) return 0;
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  const std::vector<unsigned char> input(data, data + size);
  plat::headless::Boxes().clear();
  bool reset;
  int32_t place;
  int32_t table[5];
  {
    RankingTable t;
    const size_t boxes = plat::headless::Boxes().size();
    if (boxes != 0 && boxes != 2) std::abort();  // loaded, or damaged and reset
    reset = boxes == 2;
    if (reset && Read("rank.dat.bad") != input) std::abort();
    if (!reset && size < 40) std::abort();
    for (int i = 0; i < 5; ++i) {
      if (t.Get(i) != (reset ? -1 : Word(data + 4 * i))) std::abort();
    }
    place = t.Insert(static_cast<int32_t>(size));
    for (int i = 0; i < 5; ++i) table[i] = t.Get(i);
  }
  const std::vector<unsigned char> out = Read("rank.dat");
  if (!reset && place == -1) {
    if (out != input) std::abort();
    return 0;
  }
  if (out.size() != 40) std::abort();
  for (int i = 0; i < 5; ++i) {
    if (Word(&out[4 * i]) != table[i] || Word(&out[20 + 4 * i]) != (table[i] ^ 0x96)) std::abort();
  }
  return 0;
}
