// The five best results, kept in "rank.dat" in the working directory.
#pragma once
#include <cstdint>

class RankingTable {
 public:
  // Loads "rank.dat"; a missing, short or damaged file gives an empty table and a fresh file.
  RankingTable();
  // Writes "rank.dat".
  ~RankingTable();
  RankingTable(const RankingTable&) = delete;
  RankingTable& operator=(const RankingTable&) = delete;

  void Reset();
  int32_t Get(int32_t place) const;
  const char* GetGrade(int32_t bowls) const;
  int32_t Insert(int32_t value);
  uint8_t IsEmpty() const { return empty; }

 private:
  bool Save() const;

  int32_t rice[5];
  uint8_t empty = 0;
};

extern RankingTable Ranking;
