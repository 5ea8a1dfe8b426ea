// What the elSound sources share: file access, the WAVE readers and the buffer set-up of a slot.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "el/sound/sound_state.h"

namespace elSound::detail {

// A RIFF WAVE image or file, read at offsets; reads past the end come back short.
class Source {
 public:
  virtual ~Source() = default;
  virtual uint64_t Size() const = 0;
  virtual size_t ReadAt(uint64_t offset, void* dst, size_t n) = 0;
};

class MemorySource : public Source {
 public:
  MemorySource(const uint8_t* p, size_t n) : p_(p), n_(n) {}
  uint64_t Size() const override { return n_; }
  size_t ReadAt(uint64_t offset, void* dst, size_t n) override;

 private:
  const uint8_t* p_;
  size_t n_;
};

// The largest format record: the 16-byte PCM part, the u16 extra size and that many extra bytes.
constexpr uint32_t kWaveFormatMaxBytes = 18 + 0xFFFF;

// The RIFF reader: "RIFF"/"WAVE", a "fmt " chunk of 16 bytes or more and a "data" chunk, in either
// order. format gets the record (the 16-byte PCM part, the u16 extra size, the extra bytes), data
// the samples. False when the image is not such a file, ends before its samples do, or has more
// samples than one mixer buffer holds (plat::kAudioMaxBufferBytes).
bool ParseWave(Source& src, std::vector<uint8_t>* format, std::vector<uint8_t>* data);

// A WAVE resource: a canonical 44-byte header is used in place (format at 20, length at 40, samples
// at 44); any other layout goes through the RIFF reader into owned. False when neither fits.
struct WaveView {
  const uint8_t* format = nullptr;
  uint32_t formatSize = 0;
  const uint8_t* data = nullptr;
  uint32_t dataSize = 0;
};
bool ResourceWave(const uint8_t* p, size_t n, WaveView* out, std::vector<uint8_t>* ownedFormat,
                  std::vector<uint8_t>* ownedData);

// Files: names are CP932, as everywhere in the library, and go to the file system as they are
// (plat::OpenRegularFile), like the program directory they start with.
std::string ProgramDir();

// Lock over [offset, offset + n), copy src in (both regions), unlock.
int32_t WriteBuffer(plat::AudioBuffer buffer, uint32_t offset, const uint8_t* src, uint32_t n);

bool ValidObject(int32_t object);
// The lowest free slot, or -1.
int32_t FreeSlot();
// A loader's start: outside a restore, SoundCurrent becomes the lowest free slot ("too many
// objects" is reported under op when there is none). False when the load must end with -1.
bool ClaimSlot(const char* op);
// Releases every buffer of the slot (stopped first) and clears the handles.
void DropBuffers(SoundSlot& s);
// Creates mixCount buffers for slot SoundCurrent from the sample and sets their levels: read back
// (fresh load) or re-applied from the table (restoring). On failure the buffers made so far are
// released, the report is made under op and false is returned.
bool BuildBuffers(const char* op, int32_t mixCount, uint32_t flags, const uint8_t* format, uint32_t formatSize,
                  const uint8_t* data, uint32_t dataSize, uint32_t writeBytes);
// Stores the name, or reports it too long (message) under op: the object stays loaded, unnamed.
bool StoreName(const char* op, const char* message, const char* name);

// Slot 0 holding the synthesizer's output (elMusic), which is not reloaded by name.
bool SynthesizerSlot(int32_t object);
// Reloads every used slot into itself (Restore, SelectFormat).
void ReloadAll();

}  // namespace elSound::detail
