// The ranking table and its file "rank.dat": five little-endian 32-bit results, then their five
// check values (result XOR 0x96).
#include "game/ranking.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/host.h"
#include "platform/text.h"

namespace {

const char kFile[] = "rank.dat";
const char kTempFile[] = "rank.dat.new";
// Damaged files are kept as "rank.dat.bad", then "rank.dat.bad2" up to this number; an older copy
// is never overwritten.
const char kBackupFile[] = "rank.dat.bad";
constexpr int kMaxBackups = 9;
constexpr size_t kFileSize = 40;
const char kCaption[] = "エラー - Oomori.exe";

int32_t GetLE(const unsigned char* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

void PutLE(unsigned char* p, int32_t v) {
  uint32_t u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(u >> (8 * i));
}

// The file's full name for the player (the working directory is wherever the game was started).
std::string ShownPath() {
  char cwd[PATH_MAX];
  if (!getcwd(cwd, sizeof cwd)) return kFile;
  std::string path = cwd;
  if (path.empty() || path.back() != '/') path += '/';
  return plat::Utf8ToCp932(path + kFile);
}

void Tell(const std::string& text) { plat::MessageBox(text.c_str(), kCaption, plat::MB_ICONEXCLAMATION); }

// The same message for every file that is left as it is: it names the file and the cause.
std::string KeptFileText(const char* what, const std::string& cause) {
  return std::string(what) + "\nファイル：" + ShownPath() + "\n原因：" + cause +
         "\nこのファイルは書き換えずにそのまま残します。\n今回の結果はランキングに入りますが、ファイルには保存されません。";
}

int WriteAllAt(int fd, const unsigned char* p, size_t n, off_t at) {
  while (n > 0) {
    ssize_t w = pwrite(fd, p, n, at);
    if (w < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    p += w;
    n -= static_cast<size_t>(w);
    at += w;
  }
  return 0;
}

int CloseChecked(int fd, int err) {
  if (close(fd) != 0 && err == 0 && errno != EINTR) err = errno;
  return err;
}

enum class Opened { kRead, kMissing, kUnreadable };

// Opens the file and reads its first 40 bytes (fewer when it is shorter). Only a file that does not
// exist is "missing"; anything else that stops the read (no permission, a directory, an I/O error)
// is "unreadable", with its cause, and must not be taken for an empty or a damaged file.
Opened OpenAndRead(int* fd, unsigned char (&buf)[kFileSize], size_t* got, std::string* cause) {
  // Non-blocking, so a pipe of that name cannot hang the start; it is refused below anyway.
  *fd = open(kFile, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (*fd < 0) {
    if (errno == ENOENT) return Opened::kMissing;
    *cause = std::strerror(errno);
    return Opened::kUnreadable;
  }
  struct stat st;
  int err = fstat(*fd, &st) != 0 ? errno : 0;
  if (err == 0 && S_ISDIR(st.st_mode)) err = EISDIR;
  if (err == 0 && !S_ISREG(st.st_mode)) {
    *cause = "通常のファイルではありません";
  } else {
    *got = 0;
    while (err == 0 && *got < kFileSize) {
      ssize_t n = read(*fd, buf + *got, kFileSize - *got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) err = errno;
      if (n <= 0) break;
      *got += static_cast<size_t>(n);
    }
    if (err == 0) return Opened::kRead;
    *cause = std::strerror(err);
  }
  close(*fd);
  *fd = -1;
  return Opened::kUnreadable;
}

// Copies every byte of the open file to the first free backup name, synced. Returns 0 or the errno.
int BackUp(int src, std::string* name) {
  int dst = -1;
  for (int i = 1; i <= kMaxBackups && dst < 0; ++i) {
    *name = i == 1 ? kBackupFile : kBackupFile + std::to_string(i);
    dst = open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
    if (dst < 0 && errno != EEXIST) return errno;
  }
  if (dst < 0) return EEXIST;
  int err = 0;
  unsigned char chunk[16384];
  for (off_t at = 0; err == 0;) {
    ssize_t n = pread(src, chunk, sizeof chunk, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) err = errno;
    if (n <= 0) break;
    err = WriteAllAt(dst, chunk, static_cast<size_t>(n), at);
    at += n;
  }
  if (err == 0 && fsync(dst) != 0) err = errno;
  err = CloseChecked(dst, err);
  if (err != 0) unlink(name->c_str());
  return err;
}

// Writes the whole table beside the old file and renames it into place, so a crash or power loss
// during the save leaves either the old file or the new one, never a damaged or empty one.
int WriteReplacing(const unsigned char (&buf)[kFileSize]) {
  int fd = open(kTempFile, O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  int err = WriteAllAt(fd, buf, sizeof buf, 0);
  if (err == 0 && fsync(fd) != 0) err = errno;
  err = CloseChecked(fd, err);
  if (err == 0 && rename(kTempFile, kFile) != 0) err = errno;
  if (err != 0) {
    unlink(kTempFile);
    return err;
  }
  // The rename itself reaches the disk with the directory; a directory that cannot be synced does
  // not undo the save.
  int dir = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return 0;
}

// Overwrites the existing file where no new file can be made beside it (a directory the player may
// not write, or no room for a second file on a full disk). The 40 bytes go over the old ones at the
// start of the file, then any longer tail is cut and the file synced, so the old contents are never
// truncated away first. Returns 0, or ENOENT when there is no regular file to write into.
int WriteInPlace(const unsigned char (&buf)[kFileSize]) {
  int fd = open(kFile, O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat st;
  int err = fstat(fd, &st) != 0 ? errno : 0;
  if (err == 0 && !S_ISREG(st.st_mode)) err = ENOENT;
  if (err == 0) err = WriteAllAt(fd, buf, sizeof buf, 0);
  if (err == 0 && st.st_size > static_cast<off_t>(kFileSize) && ftruncate(fd, kFileSize) != 0) err = errno;
  if (err == 0 && fsync(fd) != 0) err = errno;
  return CloseChecked(fd, err);
}

}  // namespace

RankingTable::RankingTable() {
  for (int32_t& r : rice) r = -1;
  unsigned char buf[kFileSize] = {};
  size_t got = 0;
  int fd = -1;
  std::string cause;
  switch (OpenAndRead(&fd, buf, &got, &cause)) {
    case Opened::kMissing:
      empty = 1;
      Reset();
      return;
    case Opened::kUnreadable:
      // Nothing of this file is known, so nothing may be written over it: this run keeps its
      // results in memory only, and says so.
      empty = 1;
      keepFile = true;
      Tell(KeptFileText("ランキングデータの入ったファイルを読み込めません。", cause));
      return;
    case Opened::kRead:
      break;
  }
  // Fields the file does not supply read as 0; a file shorter than 40 bytes is treated as damaged
  // whatever its check values say, so the table is only ever loaded from complete data.
  int32_t checkData[kRankPlaces];
  for (int i = 0; i < kRankPlaces; ++i) {
    rice[i] = GetLE(buf + 4 * i);
    checkData[i] = GetLE(buf + 20 + 4 * i);
  }
  int bad = -1;
  for (int i = 0; i < kRankPlaces && bad < 0; ++i)
    if (checkData[i] != (rice[i] ^ 0x96)) bad = i;
  if (bad < 0 && got < sizeof buf) {
    bad = 0;
    while (bad < 4 && static_cast<size_t>(20 + 4 * bad + 4) <= got) ++bad;
  }
  if (bad < 0) {
    close(fd);
    if (rice[0] == -1) empty = 1;
    return;
  }

  // Damaged: its bytes are kept aside before the reset, so results can still be recovered by hand.
  // Where no copy can be made the file stays as it is and is not written this run.
  std::string backup;
  int err = BackUp(fd, &backup);
  close(fd);
  for (int32_t& r : rice) r = -1;
  empty = 1;
  if (err != 0) {
    keepFile = true;
    Tell(KeptFileText(("ランキングデータの入ったファイルが壊れている可能性がありますが、控えのファイル（" + backup +
                       "）を作れません。")
                          .c_str(),
                      std::strerror(err)));
    return;
  }
  plat::MessageBox("ランキングデータの入ったファイルが壊れている可能性があります。\n新しくランキングデータを作ります。",
                   kCaption, plat::MB_ICONEXCLAMATION);
  char text[256];
  std::snprintf(text, sizeof text, "checkData[i] = %d\nrice[i] = %d\nrice[i] ^ 0x96 = %d", checkData[bad],
                GetLE(buf + 4 * bad), GetLE(buf + 4 * bad) ^ 0x96);
  plat::MessageBox(text, "debug", plat::MB_ICONEXCLAMATION);
  Reset();
}

RankingTable::~RankingTable() { Save(); }

bool RankingTable::Save() {
  if (!dirty) return true;
  // Already told at the start that this run's results cannot be saved.
  if (keepFile) return false;
  unsigned char buf[kFileSize];
  for (int i = 0; i < kRankPlaces; ++i) {
    PutLE(buf + 4 * i, rice[i]);
    PutLE(buf + 20 + 4 * i, rice[i] ^ 0x96);
  }
  int err = WriteReplacing(buf);
  if (err != 0) {
    // The cause told is the in-place write's when there was a file to write into, else the
    // replacing write's (no permission for the directory, no room on the disk).
    int inPlace = WriteInPlace(buf);
    if (inPlace != ENOENT) err = inPlace;
  }
  if (err != 0) {
    TellSaveFailed(err);
    return false;
  }
  dirty = false;
  saveFailureTold = false;
  return true;
}

void RankingTable::TellSaveFailed(int err) {
  // Once: a player who has been told is not interrupted after every game; a save that succeeds
  // again re-arms the box for the next failure.
  if (saveFailureTold) return;
  saveFailureTold = true;
  Tell(std::string("ランキングデータをファイルに保存できません。\nファイル：") + ShownPath() + "\n原因：" +
       std::strerror(err) + "\nランキングはこのまま続けて記録し、次の保存のときにもう一度書き込みます。");
}

void RankingTable::Reset() {
  for (int32_t& r : rice) r = -1;
  dirty = true;
  Save();
}

int32_t RankingTable::Get(int32_t place) const {
  // Places outside 0..4 read as an empty place rather than outside the table.
  return place >= 0 && place < kRankPlaces ? rice[place] : -1;
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
  while (p < kRankPlaces && !(value > rice[p])) ++p;
  if (p == kRankPlaces) return -1;
  for (int i = 4; i > p; --i) rice[i] = rice[i - 1];
  rice[p] = value;
  empty = 0;
  dirty = true;
  return p;
}
