// The five best results, kept in "rank.dat" in the working directory.
#pragma once
#include <cstdint>

// Places in the table (and entries in "rank.dat").
constexpr int32_t kRankPlaces = 5;

class RankingTable {
 public:
  // Loads "rank.dat". A missing file gives an empty table and a fresh file; a short or damaged one
  // is copied aside to "rank.dat.bad" and replaced by an empty table. A file that exists but cannot
  // be read is left alone for the whole run: the table starts empty and is never written.
  RankingTable();
  // Writes "rank.dat" if the table changed since it was loaded or last written.
  ~RankingTable();
  RankingTable(const RankingTable&) = delete;
  RankingTable& operator=(const RankingTable&) = delete;

  void Reset();
  int32_t Get(int32_t place) const;
  const char* GetGrade(int32_t bowls) const;
  int32_t Insert(int32_t value);
  uint8_t IsEmpty() const { return empty; }

  // Writes the table to "rank.dat" if it changed since it was loaded or last written; true when the
  // file holds the table afterwards. A failure is told to the player in a box, once until a save
  // succeeds again; the table stays in memory and the next save tries again.
  bool Save();

 private:
  void TellSaveFailed(int err);

  int32_t rice[kRankPlaces];
  uint8_t empty = 0;
  // Changed since loaded or last written. Only a changed table is written, so a copy that changed
  // nothing (a second instance, which ends at once) never overwrites a newer file of another copy.
  bool dirty = false;
  // The file could not be read, or could not be copied aside before a reset: it is never written.
  bool keepFile = false;
  // A failed save has been told; cleared by the next successful one.
  bool saveFailureTold = false;
};

extern RankingTable Ranking;
