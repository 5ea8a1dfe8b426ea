// The ranking table and its file "rank.dat": five little-endian 32-bit results, then their five
// check values (result XOR 0x96).
#include "game/ranking.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/host.h"

namespace {

const char kFile[] = "rank.dat";
const char kTempFile[] = "rank.dat.new";

int32_t GetLE(const unsigned char* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

void PutLE(unsigned char* p, int32_t v) {
  uint32_t u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(u >> (8 * i));
}

// Writes the whole table beside the old file and renames it into place, so a crash or power loss
// during the save leaves either the old file or the new one, never a damaged or empty one.
bool WriteFile(const int32_t (&rice)[5]) {
  unsigned char buf[40];
  for (int i = 0; i < 5; ++i) {
    PutLE(buf + 4 * i, rice[i]);
    PutLE(buf + 20 + 4 * i, rice[i] ^ 0x96);
  }
  FILE* f = std::fopen(kTempFile, "wb");
  if (!f) return false;
  bool ok = std::fwrite(buf, 1, sizeof buf, f) == sizeof buf;
  ok = std::fflush(f) == 0 && ok;
  ok = fsync(fileno(f)) == 0 && ok;
  ok = std::fclose(f) == 0 && ok;
  if (ok) ok = std::rename(kTempFile, kFile) == 0;
  if (!ok) std::remove(kTempFile);
  return ok;
}

}  // namespace

RankingTable::RankingTable() {
  for (int32_t& r : rice) r = -1;
  FILE* f = std::fopen(kFile, "rb");
  if (!f) {
    empty = 1;
    Reset();
    return;
  }
  // Fields the file does not supply read as 0; a file shorter than 40 bytes is treated as damaged
  // whatever its check values say, so the table is only ever loaded from complete data.
  unsigned char buf[40] = {};
  size_t got = std::fread(buf, 1, sizeof buf, f);
  std::fclose(f);
  int32_t checkData[5];
  for (int i = 0; i < 5; ++i) {
    rice[i] = GetLE(buf + 4 * i);
    checkData[i] = GetLE(buf + 20 + 4 * i);
  }
  int bad = -1;
  for (int i = 0; i < 5 && bad < 0; ++i)
    if (checkData[i] != (rice[i] ^ 0x96)) bad = i;
  if (bad < 0 && got < sizeof buf) {
    bad = 0;
    while (bad < 4 && static_cast<size_t>(20 + 4 * bad + 4) <= got) ++bad;
  }
  if (bad >= 0) {
    plat::MessageBox("ランキングデータの入ったファイルが壊れている可能性があります。\n新しくランキングデータを作ります。",
                     "エラー - Oomori.exe", plat::MB_ICONEXCLAMATION);
    char text[256];
    std::snprintf(text, sizeof text, "checkData[i] = %d\nrice[i] = %d\nrice[i] ^ 0x96 = %d", checkData[bad], rice[bad],
                  rice[bad] ^ 0x96);
    plat::MessageBox(text, "debug", plat::MB_ICONEXCLAMATION);
    empty = 1;
    Reset();
    return;
  }
  if (rice[0] == -1) empty = 1;
}

RankingTable::~RankingTable() { Save(); }

bool RankingTable::Save() const { return WriteFile(rice); }

void RankingTable::Reset() {
  for (int32_t& r : rice) r = -1;
  Save();
}

int32_t RankingTable::Get(int32_t place) const {
  // Places outside 0..4 read as an empty place rather than outside the table.
  return place >= 0 && place < 5 ? rice[place] : -1;
}

const char* RankingTable::GetGrade(int32_t bowls) const {
  if (bowls >= 121) return "神";
  if (bowls >= 111) return "SS";
  if (bowls >= 101) return "Ｓ";
  if (bowls >= 91) return "Ａ";
  if (bowls >= 81) return "Ｂ";
  if (bowls >= 51) return "Ｃ";
  if (bowls >= 30) return "Ｄ";
  return "Ｅ";
}

int32_t RankingTable::Insert(int32_t value) {
  int p = 0;
  while (p < 5 && !(value > rice[p])) ++p;
  if (p == 5) return -1;
  for (int i = 4; i > p; --i) rice[i] = rice[i - 1];
  rice[p] = value;
  empty = 0;
  return p;
}
