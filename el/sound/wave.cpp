// The RIFF WAVE reader and the in-place reading of WAVE resources.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "el/elSound.h"
#include "el/sound/sound_internal.h"
#include "platform/files.h"

namespace elSound::detail {
namespace {

uint32_t U32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

class FileSource : public Source {
 public:
  explicit FileSource(FILE* f) : f_(f) {
    if (std::fseek(f_, 0, SEEK_END) == 0) {
      long n = std::ftell(f_);
      size_ = n > 0 ? static_cast<uint64_t>(n) : 0;
    }
  }
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, void* dst, size_t n) override {
    if (offset >= size_) return 0;
    if (std::fseek(f_, static_cast<long>(offset), SEEK_SET) != 0) return 0;
    return std::fread(dst, 1, n, f_);
  }

 private:
  FILE* f_;
  uint64_t size_ = 0;
};

// Finds the chunk id among the chunks from start up to parentEnd (each padded to an even size);
// returns its header offset and size.
bool FindChunk(Source& src, const char* id, uint64_t start, uint64_t parentEnd, uint64_t* at, uint32_t* size) {
  uint64_t pos = start;
  while (pos + 8 <= parentEnd) {
    uint8_t h[8];
    if (src.ReadAt(pos, h, 8) != 8) return false;
    uint32_t n = U32(h + 4);
    if (std::memcmp(h, id, 4) == 0) {
      *at = pos;
      *size = n;
      return true;
    }
    pos += 8 + static_cast<uint64_t>(n) + (n & 1);
  }
  return false;
}

}  // namespace

size_t MemorySource::ReadAt(uint64_t offset, void* dst, size_t n) {
  if (offset >= n_) return 0;
  size_t k = n_ - static_cast<size_t>(offset) < n ? n_ - static_cast<size_t>(offset) : n;
  std::memcpy(dst, p_ + offset, k);
  return k;
}

bool ParseWave(Source& src, std::vector<uint8_t>* format, std::vector<uint8_t>* data) {
  format->clear();
  data->clear();
  uint8_t h[12];
  if (src.ReadAt(0, h, 12) != 12) return false;
  if (std::memcmp(h, "RIFF", 4) != 0 || std::memcmp(h + 8, "WAVE", 4) != 0) return false;
  const uint64_t riffEnd = 8 + static_cast<uint64_t>(U32(h + 4));
  uint64_t fmtAt = 0, dataAt = 0;
  uint32_t fmtSize = 0, dataSize = 0;
  if (!FindChunk(src, "fmt ", 12, riffEnd, &fmtAt, &fmtSize) || fmtSize < 16) return false;
  uint8_t pcm[16];
  if (src.ReadAt(fmtAt + 8, pcm, 16) != 16) return false;
  uint16_t extra = 0;
  if (U16(pcm) != 1) {
    uint8_t e[2];
    if (src.ReadAt(fmtAt + 8 + 16, e, 2) != 2) return false;
    extra = U16(e);
  }
  format->resize(18 + static_cast<size_t>(extra));
  std::memcpy(format->data(), pcm, 16);
  (*format)[16] = static_cast<uint8_t>(extra & 0xFF);
  (*format)[17] = static_cast<uint8_t>(extra >> 8);
  if (extra && src.ReadAt(fmtAt + 8 + 18, format->data() + 18, extra) != extra) {
    format->clear();
    return false;
  }
  // "data" is searched from the start of the form, so it may stand before or after "fmt ". Samples
  // the file does not hold, or more than the mixer could ever take in one buffer, are refused before
  // anything is allocated for them.
  if (!FindChunk(src, "data", 12, riffEnd, &dataAt, &dataSize) || dataSize > plat::kAudioMaxBufferBytes ||
      dataAt + 8 + static_cast<uint64_t>(dataSize) > src.Size()) {
    format->clear();
    return false;
  }
  data->resize(dataSize);
  if (dataSize && src.ReadAt(dataAt + 8, data->data(), dataSize) != dataSize) {
    format->clear();
    data->clear();
    return false;
  }
  return true;
}

bool ResourceWave(const uint8_t* p, size_t n, WaveView* out, std::vector<uint8_t>* ownedFormat,
                  std::vector<uint8_t>* ownedData) {
  *out = WaveView{};
  if (p == nullptr) return false;
  if (n >= 44 && std::memcmp(p, "RIFF", 4) == 0 && std::memcmp(p + 8, "WAVE", 4) == 0 &&
      std::memcmp(p + 12, "fmt ", 4) == 0 && std::memcmp(p + 36, "data", 4) == 0 && U32(p + 40) <= n - 44) {
    out->format = p + 20;
    out->formatSize = 16;
    out->data = p + 44;
    out->dataSize = U32(p + 40);
    return true;
  }
  // Not the canonical layout: reading it at the fixed offsets would give noise, so parse it.
  MemorySource src(p, n);
  if (!ParseWave(src, ownedFormat, ownedData)) return false;
  out->format = ownedFormat->data();
  out->formatSize = static_cast<uint32_t>(ownedFormat->size());
  out->data = ownedData->data();
  out->dataSize = static_cast<uint32_t>(ownedData->size());
  return true;
}

}  // namespace elSound::detail

namespace elSound {

int ReadWave(const char* path, uint8_t** format, uint32_t* formatSize, uint8_t** data, uint32_t* dataSize) {
  if (format) *format = nullptr;
  if (formatSize) *formatSize = 0;
  if (data) *data = nullptr;
  if (dataSize) *dataSize = 0;
  if (path == nullptr || format == nullptr || formatSize == nullptr || data == nullptr || dataSize == nullptr) {
    return 1;
  }
  FILE* f = plat::OpenRegularFile(path, "rb");
  if (f == nullptr) return 1;
  std::vector<uint8_t> fmt, samples;
  bool ok;
  {
    detail::FileSource src(f);
    ok = detail::ParseWave(src, &fmt, &samples);
  }
  std::fclose(f);
  if (!ok) return 1;
  uint8_t* pf = static_cast<uint8_t*>(std::malloc(fmt.size()));
  uint8_t* pd = static_cast<uint8_t*>(std::malloc(samples.empty() ? 1 : samples.size()));
  if (pf == nullptr || pd == nullptr) {
    std::free(pf);
    std::free(pd);
    return 1;
  }
  std::memcpy(pf, fmt.data(), fmt.size());
  if (!samples.empty()) std::memcpy(pd, samples.data(), samples.size());
  *format = pf;
  *formatSize = static_cast<uint32_t>(fmt.size());
  *data = pd;
  *dataSize = static_cast<uint32_t>(samples.size());
  return 0;
}

}  // namespace elSound
