// Sound packs, streamed sound objects, echo effects and the play-cursor query.
#include <dirent.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "el/elSound.h"
#include "el/elSystem.h"
#include "el/sound/sound_internal.h"
#include "el/system/state.h"
#include "platform/files.h"

namespace elSound {
using namespace detail;

namespace {

const char* const kNoPack = "パックファイル名が指定されていません";
const char* const kNoEntry = "WAVEファイルを読み込めません";
const char* const kNoStream = "ストリーミング再生できません";

bool LeadByte(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// The platform's ANSI upper-casing for code page 932: ASCII letters, never the second byte of a
// double-byte character.
std::string UpperCp932(const std::string& s) {
  std::string r = s;
  for (size_t i = 0; i < r.size(); ++i) {
    uint8_t c = static_cast<uint8_t>(r[i]);
    if (LeadByte(c)) {
      ++i;
    } else if (c >= 'a' && c <= 'z') {
      r[i] = static_cast<char>(c - 'a' + 'A');
    }
  }
  return r;
}

// The part of a path after its last separator ('\' or '/', not a double-byte character's second byte).
std::string BaseName(const std::string& s) {
  size_t start = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    uint8_t c = static_cast<uint8_t>(s[i]);
    if (LeadByte(c)) {
      ++i;
    } else if (c == '\\' || c == '/') {
      start = i + 1;
    }
  }
  return s.substr(start);
}

bool ReadU32(FILE* f, uint32_t* v) {
  uint8_t b[4];
  if (std::fread(b, 1, 4, f) != 4) return false;
  *v = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
  return true;
}

void WriteU32(FILE* f, uint32_t v) {
  uint8_t b[] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                 static_cast<uint8_t>(v >> 24)};
  std::fwrite(b, 1, 4, f);
}

uint64_t FileSize(FILE* f) {
  long here = std::ftell(f);
  std::fseek(f, 0, SEEK_END);
  long end = std::ftell(f);
  std::fseek(f, here, SEEK_SET);
  return end > 0 ? static_cast<uint64_t>(end) : 0;
}

struct Entry {
  FILE* file = nullptr;
  uint32_t dataLength = 0;
  uint32_t formatLength = 0;
};

// Finds the entry called name in the pack at path. Both names are compared upper-cased: entries that
// an earlier version wrote in lower case are found too. On success the file stands
// at the entry's format field, and the format and data it announces lie inside the file. Otherwise
// reports under op and closes the file.
bool FindEntry(const char* op, const char* path, const char* name, Entry* e) {
  FILE* f = path[0] ? plat::OpenRegularFile(path, "rb") : nullptr;
  if (f == nullptr) {
    elSystem::ReportError(op, kNoPack);
    return false;
  }
  const uint64_t size = FileSize(f);
  const std::string want = UpperCp932(name);
  std::string entryName;
  uint32_t dataLength = 0, formatLength = 0;
  while (ReadU32(f, &dataLength)) {
    entryName.clear();
    int c;
    while ((c = std::fgetc(f)) != EOF && c != 0) entryName.push_back(static_cast<char>(c));
    if (c == EOF || !ReadU32(f, &formatLength)) break;
    const long here = std::ftell(f);
    const uint64_t rest = here >= 0 && static_cast<uint64_t>(here) <= size ? size - static_cast<uint64_t>(here) : 0;
    const uint64_t need = static_cast<uint64_t>(formatLength) + dataLength;
    if (UpperCp932(entryName) == want) {
      // An entry cut short is as good as none, and so is a format longer than any format record.
      if (need > rest || formatLength > kWaveFormatMaxBytes) break;
      e->file = f;
      e->dataLength = dataLength;
      e->formatLength = formatLength;
      return true;
    }
    if (need > rest || std::fseek(f, static_cast<long>(need), SEEK_CUR) != 0) break;
  }
  std::fclose(f);
  elSystem::ReportError(op, kNoEntry);
  return false;
}

// Reads n bytes; what the file does not hold any more (it changed since the entry was found)
// becomes silence rather than stale memory.
void ReadChunk(FILE* f, uint8_t* dst, uint32_t n, uint8_t silence) {
  size_t got = std::fread(dst, 1, n, f);
  if (got < n) std::memset(dst + got, silence, n - got);
}

uint8_t SilenceOf(plat::AudioBuffer buffer) {
  plat::AudioFormat f{};
  plat::AudioGetFormat(buffer, &f);
  // Zero bytes are the centre only of 16-bit samples; 8-bit samples are unsigned around 0x80.
  return f.bitsPerSample == 8 ? 0x80 : 0x00;
}

uint32_t FormatU32(const std::vector<uint8_t>& format, size_t at) {
  if (format.size() < at + 4) return 0;
  return format[at] | (format[at + 1] << 8) | (format[at + 2] << 16) | (static_cast<uint32_t>(format[at + 3]) << 24);
}

void AddEntry(const std::string& pack, const std::string& file, const std::string& entryName) {
  const std::string dir = ProgramDir();
  uint8_t* format = nullptr;
  uint8_t* data = nullptr;
  uint32_t formatSize = 0, dataSize = 0;
  ReadWave((dir + file).c_str(), &format, &formatSize, &data, &dataSize);
  FILE* f = plat::OpenRegularFile(dir + pack, "ab");  // made when it is not there yet
  if (f != nullptr) {
    WriteU32(f, dataSize);
    std::fwrite(entryName.c_str(), 1, entryName.size() + 1, f);
    WriteU32(f, formatSize);
    if (formatSize) std::fwrite(format, 1, formatSize, f);
    if (dataSize) std::fwrite(data, 1, dataSize, f);
    std::fclose(f);
  }
  std::free(format);
  std::free(data);
}

bool EndsWithWav(const std::string& name) {
  if (name.size() < 5) return false;
  std::string ext = UpperCp932(name.substr(name.size() - 4));
  return ext == ".WAV";
}

// Puts a streamed object back at its start: the first half of its buffer filled from f (positioned at
// the data start), the refill due as soon as the cursor moves.
void Rewind(SoundSlot& s, FILE* f) {
  StreamState& st = s.stream;
  st.trigger = 0;
  st.writePos = st.halfSize;
  std::vector<uint8_t> chunk(st.halfSize);
  ReadChunk(f, chunk.data(), st.halfSize, SilenceOf(s.buffer[0]));
  st.filePos = st.dataStart + st.halfSize;
  st.dataRead = st.halfSize;
  st.wrapCursor = -1;
  st.lastCursor = 0;
  st.endCountdown = 0;
  WriteBuffer(s.buffer[0], 0, chunk.data(), st.halfSize);
}

}  // namespace

void SetPackFile(const char* pack) {
  std::string path = ProgramDir() + (pack ? pack : "");
  // A path that does not fit is not kept in part: the pack then counts as not set.
  if (pack == nullptr || path.size() >= sizeof PackPath) {
    PackPath[0] = 0;
    return;
  }
  std::memcpy(PackPath, path.c_str(), path.size() + 1);
}

void AddToPack(const char* pack, const char* file) {
  if (pack == nullptr || file == nullptr) return;
  // Entry names are upper case, as the entry search compares them: a name kept as given could
  // never be found again.
  AddEntry(pack, file, UpperCp932(BaseName(file)));
}

int MakePack(const char* pack, const char* dir, uint32_t fresh) {
  if (pack == nullptr) return 1;
  const std::string subdir = dir ? dir : "";
  const std::string base = ProgramDir();
  if (fresh) std::remove((base + pack).c_str());
  std::string searchDir = subdir.empty() ? base : base + subdir + "/";
  if (searchDir.empty()) searchDir = "./";
  std::vector<std::string> names;
  if (DIR* d = opendir(searchDir.c_str())) {
    while (dirent* ent = readdir(d)) {
      std::string name = ent->d_name;
      if (!EndsWithWav(name)) continue;
      if (ent->d_type != DT_REG && ent->d_type != DT_UNKNOWN && ent->d_type != DT_LNK) continue;
      names.push_back(name);
    }
    closedir(d);
  }
  // The directory's own order is arbitrary here; by name, the same directory always makes the same pack.
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    const std::string rel = subdir.empty() ? name : subdir + "/" + name;
    AddEntry(pack, rel, UpperCp932(name));
  }
  return 1;
}

int LoadPack(const char* name, int32_t mix) {
  static const char* const kOp = "elSound::LoadPack";
  if (!SoundReady) return -1;
  if (name == nullptr) name = "";
  if (mix > kSoundBuffers || mix < -kSoundBuffers) {
    elSystem::ReportError(kOp, "ミックス数が多過ぎます");
    return -1;
  }
  if (!ClaimSlot(kOp)) return -1;
  Entry e;
  if (!FindEntry(kOp, PackPath, name, &e)) return -1;
  // No buffer can take more than the mixer's limit: refused before the data is allocated and read.
  if (e.dataLength > plat::kAudioMaxBufferBytes) {
    std::fclose(e.file);
    elSystem::ReportError(kOp, "サウンドバッファが生成できません", plat::kAudioErrInvalidParam);
    return -1;
  }
  std::vector<uint8_t> format(e.formatLength), data(e.dataLength);
  bool ok = std::fread(format.data(), 1, format.size(), e.file) == format.size() &&
            std::fread(data.data(), 1, data.size(), e.file) == data.size();
  std::fclose(e.file);
  if (!ok) {
    elSystem::ReportError(kOp, kNoEntry);
    return -1;
  }
  SoundSlot& s = SoundObject[SoundCurrent];
  const int32_t count = std::max(1, std::abs(mix));  // mix 0 counts as 1, as in LoadObject
  if (!BuildBuffers(kOp, count, 0xE2, format.data(), e.formatLength, data.data(), e.dataLength, e.dataLength)) {
    return -1;
  }
  s.mixCount = count;
  s.echo = mix >= 2 ? 0 : -1;
  if (!SoundRestoring) s.cursor = 0;
  s.used = true;
  s.packed = true;
  std::memset(&s.stream, 0, sizeof s.stream);
  std::memcpy(s.stream.packPath, PackPath, sizeof PackPath);
  if (!SoundRestoring && !StoreName(kOp, "ファイル名が長すぎます", name)) return -1;
  return SoundCurrent;
}

int LoadStream(const char* name, uint32_t loopOffset) {
  static const char* const kOp = "elSound::LoadStream";
  if (!SoundReady) return -1;
  if (name == nullptr) name = "";
  if (!ClaimSlot(kOp)) return -1;
  SoundSlot& s = SoundObject[SoundCurrent];
  StreamState& st = s.stream;
  std::memcpy(st.packPath, PackPath, sizeof PackPath);
  Entry e;
  if (!FindEntry(kOp, st.packPath, name, &e)) return -1;
  std::vector<uint8_t> format(e.formatLength);
  if (std::fread(format.data(), 1, format.size(), e.file) != format.size()) {
    std::fclose(e.file);
    elSystem::ReportError(kOp, kNoEntry);
    return -1;
  }
  const uint32_t bytesPerSec = FormatU32(format, 8);
  const uint32_t blockAlign = format.size() >= 14 ? std::max<uint32_t>(1, format[12] | (format[13] << 8)) : 1;
  const long at = std::ftell(e.file);
  uint32_t dataSize = e.dataLength;
  // No byte rate means no way to time the stream: the short path leaves it to the buffer creation,
  // which refuses such a format.
  if (bytesPerSec == 0 || dataSize / bytesPerSec < 5 || at < 0 ||
      static_cast<uint64_t>(at) + dataSize > 0xFFFFFFFFu) {
    std::fclose(e.file);
    return LoadPack(name, 1);
  }
  // Whole sample frames only, so that the loop jump and the data end never split a frame.
  dataSize -= dataSize % blockAlign;
  loopOffset -= loopOffset % blockAlign;
  // A loop point at or past the end would leave nothing to loop over: loop from the start.
  if (loopOffset >= dataSize) loopOffset = 0;
  // The buffer is made before the first chunk is read, so that a hostile byte rate is refused by the
  // platform before it sizes any allocation.
  if (!BuildBuffers(kOp, 1, 0x180E2, format.data(), e.formatLength, nullptr, 4 * bytesPerSec, 0)) {
    std::fclose(e.file);
    return -1;
  }
  st.bufferSize = 4 * bytesPerSec;
  st.halfSize = 2 * bytesPerSec;
  st.dataStart = static_cast<uint32_t>(at);
  st.loopStart = st.dataStart + loopOffset;
  st.dataSize = dataSize;
  Rewind(s, e.file);
  std::fclose(e.file);
  s.mixCount = 1;
  s.echo = -1;
  if (!SoundRestoring) s.cursor = 0;
  s.used = true;
  s.packed = true;
  if (!SoundRestoring && !StoreName(kOp, "ファイル名が長すぎます", name)) return -1;
  return SoundCurrent;
}

int ResetStream(int32_t object) {
  static const char* const kOp = "elSound::ResetStream";
  if (!SoundReady || !ValidObject(object)) return 0;
  SoundSlot& s = SoundObject[object];
  StreamState& st = s.stream;
  if (st.dataSize == 0) return 0;
  FILE* f = plat::OpenRegularFile(st.packPath, "rb");
  if (f == nullptr) return elSystem::ReportError(kOp, kNoPack);
  if (FileSize(f) < st.dataStart || std::fseek(f, static_cast<long>(st.dataStart), SEEK_SET) != 0) {
    std::fclose(f);
    return elSystem::ReportError(kOp, kNoStream);
  }
  Rewind(s, f);
  std::fclose(f);
  return 1;
}

int Streaming() {
  static const char* const kOp = "elSound::Streaming";
  if (!SoundReady) return 0;
  std::vector<uint8_t> chunk;
  for (int32_t i = 0; i < kSoundObjects; ++i) {
    SoundSlot& s = SoundObject[i];
    StreamState& st = s.stream;
    if (st.dataSize == 0) continue;
    uint32_t status = 0;
    if (plat::AudioGetStatus(s.buffer[0], &status) != plat::kAudioOk || !(status & plat::kAudioStatusPlaying)) {
      continue;
    }
    uint32_t c = 0;
    plat::AudioGetPosition(s.buffer[0], &c, nullptr);
    bool refill;
    if (st.wrapCursor == -1) {
      refill = c >= st.trigger || c < st.lastCursor;
    } else {
      const uint32_t p = static_cast<uint32_t>(st.wrapCursor);
      refill = st.trigger < p ? (st.trigger <= c && c < p) : c >= st.trigger;
    }
    if (!refill) continue;
    st.lastCursor = c;
    if (st.endCountdown != 0) {
      if (--st.endCountdown == 0) {
        Stop(i, -1);
        continue;
      }
    }
    FILE* f = plat::OpenRegularFile(st.packPath, "rb");
    if (f == nullptr) return elSystem::ReportError(kOp, kNoPack);
    if (FileSize(f) < st.filePos || std::fseek(f, static_cast<long>(st.filePos), SEEK_SET) != 0) {
      std::fclose(f);
      return elSystem::ReportError(kOp, kNoStream);
    }
    uint32_t n = st.halfSize;
    if (st.dataRead + n > st.dataSize) {
      n = st.dataSize - st.dataRead;
    } else if (st.dataSize - st.dataRead - n < n) {
      n = (st.dataSize - st.dataRead) / 2;
    }
    const uint8_t silence = SilenceOf(s.buffer[0]);
    chunk.resize(n);
    ReadChunk(f, chunk.data(), n, silence);
    st.filePos += n;
    std::fclose(f);
    st.dataRead += n;
    if (st.dataRead >= st.dataSize) {
      st.filePos = st.loopStart;
      st.dataRead = st.loopStart - st.dataStart;
      if (!s.looping) st.endCountdown = 2;
    }
    if (n != 0) {
      if (st.endCountdown == 1) std::fill(chunk.begin(), chunk.end(), silence);
      WriteBuffer(s.buffer[0], st.writePos, chunk.data(), n);
    }
    st.wrapCursor = st.writePos < st.trigger ? static_cast<int32_t>(c) : -1;
    st.trigger = st.writePos;
    st.writePos += n;
    if (st.writePos >= st.bufferSize) st.writePos -= st.bufferSize;
  }
  return 1;
}

namespace {

void EchoStep(int32_t object, uint32_t interval, int32_t count, int32_t step, bool pan, int32_t speed) {
  if (!SoundReady || !ValidObject(object)) return;
  SoundSlot& s = SoundObject[object];
  if (s.echo < 1 || count < 1) return;
  s.echoTime += FrameSeconds * 1000.0f;
  if (s.echoTime < static_cast<float>(interval)) return;
  s.echoTime = 0;
  if (pan) {
    s.echoPan += static_cast<float>(s.echoPanDir) * FrameSeconds * 100.0f * static_cast<float>(speed);
    if (s.echoPan < -30.0f) {
      s.echoPan = -30.0f;
      s.echoPanDir = -s.echoPanDir;
    } else if (s.echoPan > 30.0f) {
      s.echoPan = 30.0f;
      s.echoPanDir = -s.echoPanDir;
    }
    SetPan(object, static_cast<int32_t>(s.echoPan), -2);
  }
  const int64_t db = std::clamp<int64_t>(-(int64_t{s.echo} * step), INT32_MIN, INT32_MAX);
  SetVolume(object, static_cast<int32_t>(db), -2);
  if (s.echoLoop) {
    PlayLoop(object, -3);
  } else {
    Play(object, -3);
  }
  s.echo += 1;
  if (s.echo > count) s.echo = 0;
}

}  // namespace

void Echo(int32_t object, uint32_t interval, int32_t count, int32_t step) {
  EchoStep(object, interval, count, step, false, 0);
}

void EchoPan(int32_t object, uint32_t interval, int32_t count, int32_t step, int32_t speed) {
  EchoStep(object, interval, count, step, true, speed);
}

uint32_t GetPosition(int32_t object) {
  // Without a buffer (sound off, a free slot) there is no cursor: the answer is 0, the start.
  uint32_t play = 0;
  if (SoundReady && ValidObject(object) && SoundObject[object].buffer[0]) {
    if (plat::AudioGetPosition(SoundObject[object].buffer[0], &play, nullptr) != plat::kAudioOk) play = 0;
  }
  SoundPosition = play;
  return play;
}

}  // namespace elSound
