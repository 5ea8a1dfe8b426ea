// Arbitrary bytes as "rank.dat": the load must never read outside its buffer, must end with a table
// of five places either loaded from the whole file or reset, and must leave a well-formed file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <unistd.h>

#include "game/ranking.h"
#include "platform/headless/headless.h"

// The save syncs the file to disk; on a memory file system that costs nothing, so thousands of
// runs stay quick.
static void UseMemoryDirectory() {
  static bool done = false;
  if (done) return;
  done = true;
  char dir[] = "/dev/shm/oomori-rankfuzz-XXXXXX";
  if (mkdtemp(dir) && chdir(dir) == 0) std::atexit([] {
    std::remove("rank.dat");
    char cwd[256];
    if (getcwd(cwd, sizeof cwd) && chdir("/") == 0) rmdir(cwd);
  });
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  UseMemoryDirectory();
  FILE* f = std::fopen("rank.dat", "wb");
  if (!f) return 0;
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  plat::headless::Boxes().clear();
  {
    RankingTable t;
    bool reset = !plat::headless::Boxes().empty();
    for (int i = 0; i < 5; ++i) {
      if (reset && t.Get(i) != -1) std::abort();
    }
    if (size < 40 && !reset) std::abort();
    t.Insert(static_cast<int32_t>(size));
  }
  f = std::fopen("rank.dat", "rb");
  if (!f) std::abort();
  unsigned char buf[64];
  size_t n = std::fread(buf, 1, sizeof buf, f);
  std::fclose(f);
  if (n != 40) std::abort();
  return 0;
}
