#include "tests/support/asset_formats.h"

#include <cstring>

namespace assetfmt {
namespace {

// A cursor over a byte range; every read checks the remaining length first.
class Reader {
 public:
  Reader(const uint8_t* d, size_t n) : d_(d), n_(n) {}
  size_t pos() const { return p_; }
  size_t left() const { return n_ - p_; }
  bool Seek(size_t p) { return p <= n_ && (p_ = p, true); }
  bool Skip(size_t k) { return k <= left() && (p_ += k, true); }
  bool U8(uint8_t* v) { return Num(v, false); }
  bool Le16(uint16_t* v) { return Num(v, false); }
  bool Le32(uint32_t* v) { return Num(v, false); }
  bool Be16(uint16_t* v) { return Num(v, true); }
  bool Be32(uint32_t* v) { return Num(v, true); }
  bool Tag(const char* t) { return left() >= 4 && std::memcmp(d_ + p_, t, 4) == 0 && (p_ += 4, true); }
  // MIDI variable-length quantity: at most four bytes.
  bool Vlq(uint32_t* v) {
    uint32_t x = 0;
    for (int i = 0; i < 4; ++i) {
      uint8_t b;
      if (!U8(&b)) return false;
      x = (x << 7) | (b & 0x7F);
      if (!(b & 0x80)) return *v = x, true;
    }
    return false;
  }
  const uint8_t* here() const { return d_ + p_; }

 private:
  const uint8_t* d_;
  size_t n_;
  size_t p_ = 0;

  template <typename T>
  bool Num(T* v, bool bigEndian) {
    if (left() < sizeof(T)) return false;
    uint32_t x = 0;
    for (size_t i = 0; i < sizeof(T); ++i) x |= uint32_t{d_[p_ + i]} << (8 * (bigEndian ? sizeof(T) - 1 - i : i));
    p_ += sizeof(T);
    *v = static_cast<T>(x);
    return true;
  }
};

}  // namespace

bool ParseBmp(const uint8_t* data, size_t size, Bitmap* out) {
  Reader r(data, size);
  uint32_t file_size, reserved, offset, hsize, compression, image_size, xppm, yppm, used, important;
  uint16_t planes, bpp;
  int32_t w, h;
  if (size < 2 || data[0] != 'B' || data[1] != 'M') return false;
  r.Seek(2);
  if (!r.Le32(&file_size) || !r.Le32(&reserved) || !r.Le32(&offset) || !r.Le32(&hsize)) return false;
  if (hsize != 40 && hsize != 108 && hsize != 124) return false;
  uint32_t uw, uh;
  if (!r.Le32(&uw) || !r.Le32(&uh) || !r.Le16(&planes) || !r.Le16(&bpp) || !r.Le32(&compression) ||
      !r.Le32(&image_size) || !r.Le32(&xppm) || !r.Le32(&yppm) || !r.Le32(&used) || !r.Le32(&important))
    return false;
  w = static_cast<int32_t>(uw);
  h = static_cast<int32_t>(uh);
  if (planes != 1 || w <= 0 || h == 0 || h == INT32_MIN || w > 16384 || h > 16384 || h < -16384) return false;
  out->width = w;
  out->bottom_up = h > 0;
  out->height = h > 0 ? h : -h;
  out->bpp = bpp;
  out->compression = compression;
  out->header_size = hsize;
  if (hsize >= 108) {
    for (uint32_t& m : out->masks)
      if (!r.Le32(&m)) return false;
  } else if (compression == 3) {
    for (int i = 0; i < 3; ++i)
      if (!r.Le32(&out->masks[i])) return false;
  }
  if (!r.Seek(14 + hsize + (hsize == 40 && compression == 3 ? 12 : 0))) return false;
  const size_t wz = static_cast<size_t>(out->width), hz = static_cast<size_t>(out->height);
  const size_t stride = ((wz * bpp + 31) / 32) * 4;
  out->palette.clear();
  out->index.clear();
  out->argb.clear();
  if (bpp == 1 || bpp == 4 || bpp == 8) {
    if (compression != 0) return false;
    uint32_t n = used ? used : (1u << bpp);
    if (n > (1u << bpp)) return false;
    for (uint32_t i = 0; i < n; ++i) {
      uint8_t b, g, rr, z;
      if (!r.U8(&b) || !r.U8(&g) || !r.U8(&rr) || !r.U8(&z)) return false;
      out->palette.push_back(Rgb{rr, g, b});
    }
  } else if (bpp == 32) {
    if (compression != 0 && compression != 3) return false;
  } else {
    return false;
  }
  if (offset > size || stride * hz > size - offset) return false;
  const uint8_t* px = data + offset;
  for (size_t y = 0; y < hz; ++y) {
    const uint8_t* row = px + stride * (out->bottom_up ? hz - 1 - y : y);
    for (size_t x = 0; x < wz; ++x) {
      if (bpp == 32) {
        uint32_t v = static_cast<uint32_t>(row[4 * x]) | static_cast<uint32_t>(row[4 * x + 1]) << 8 |
                     static_cast<uint32_t>(row[4 * x + 2]) << 16 | static_cast<uint32_t>(row[4 * x + 3]) << 24;
        out->argb.push_back(v);
      } else {
        size_t bit = x * bpp;
        uint8_t byte = row[bit / 8];
        uint8_t v = static_cast<uint8_t>((byte >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1));
        if (v >= out->palette.size()) return false;
        out->index.push_back(v);
      }
    }
  }
  return true;
}

bool ParseWave(const uint8_t* data, size_t size, Wave* out) {
  Reader r(data, size);
  uint32_t riff_size;
  if (!r.Tag("RIFF") || !r.Le32(&riff_size) || !r.Tag("WAVE")) return false;
  if (riff_size > size - 8) return false;
  bool have_fmt = false;
  while (r.left() >= 8) {
    uint32_t len;
    const uint8_t* id = r.here();
    r.Skip(4);
    if (!r.Le32(&len) || len > r.left()) return false;
    size_t body = r.pos();
    if (std::memcmp(id, "fmt ", 4) == 0) {
      if (len < 16 || !r.Le16(&out->format) || !r.Le16(&out->channels) || !r.Le32(&out->rate) ||
          !r.Le32(&out->byte_rate) || !r.Le16(&out->block_align) || !r.Le16(&out->bits))
        return false;
      have_fmt = true;
    } else if (std::memcmp(id, "data", 4) == 0) {
      if (!have_fmt) return false;
      out->data_offset = body;
      out->samples.assign(data + body, data + body + len);
      return true;
    }
    // Chunks are padded to an even length.
    size_t next = body + len + (len & 1);
    if (next > size) return false;
    r.Seek(next);
  }
  return false;
}

bool ParseMidi(const uint8_t* data, size_t size, Midi* out) {
  Reader r(data, size);
  uint32_t hlen;
  if (!r.Tag("MThd") || !r.Be32(&hlen) || hlen < 6 || hlen > r.left()) return false;
  size_t after = r.pos() + hlen;
  if (!r.Be16(&out->format) || !r.Be16(&out->tracks) || !r.Be16(&out->division)) return false;
  r.Seek(after);
  out->track.clear();
  for (uint16_t t = 0; t < out->tracks; ++t) {
    uint32_t len;
    if (!r.Tag("MTrk") || !r.Be32(&len) || len > r.left()) return false;
    Reader tr(r.here(), len);
    r.Skip(len);
    MidiTrack mt;
    uint32_t tick = 0;
    uint8_t status = 0;
    uint16_t held[16][128] = {};
    while (tr.left() > 0 && !mt.has_end) {
      uint32_t delta;
      if (!tr.Vlq(&delta)) return false;
      if (delta > UINT32_MAX - tick) return false;
      tick += delta;
      uint8_t b;
      if (!tr.U8(&b)) return false;
      if (b == 0xFF) {
        uint8_t kind;
        uint32_t n;
        if (!tr.U8(&kind) || !tr.Vlq(&n) || n > tr.left()) return false;
        if (kind == 0x51) ++mt.tempo_events;
        if (kind == 0x2F) {
          mt.has_end = true;
          mt.end_tick = tick;
        }
        tr.Skip(n);
        status = 0;
        continue;
      }
      if (b == 0xF0 || b == 0xF7) {
        uint32_t n;
        if (!tr.Vlq(&n) || !tr.Skip(n)) return false;
        status = 0;
        continue;
      }
      uint8_t d1;
      if (b & 0x80) {
        if (b >= 0xF0) return false;  // system common/real-time messages do not belong in a file
        status = b;
        if (!tr.U8(&d1)) return false;
      } else {
        if (!status) return false;  // running status without a status
        d1 = b;
      }
      uint8_t kind = status & 0xF0, ch = status & 0x0F, d2 = 0;
      if (kind != 0xC0 && kind != 0xD0 && !tr.U8(&d2)) return false;
      if ((d1 | d2) & 0x80) return false;
      if (kind == 0x90 && d2 > 0) {
        ++mt.note_ons;
        mt.channels_used |= static_cast<uint16_t>(1u << ch);
        ++held[ch][d1];
      } else if (kind == 0x80 || (kind == 0x90 && d2 == 0)) {
        if (held[ch][d1]) --held[ch][d1];
      } else if (kind == 0xC0) {
        ++mt.program_changes;
      }
    }
    if (!mt.has_end) return false;
    for (auto& ch : held)
      for (uint16_t n : ch) mt.hanging += n;
    out->track.push_back(mt);
  }
  return true;
}

bool ParseJpegSize(const uint8_t* data, size_t size, int* width, int* height, int* components) {
  Reader r(data, size);
  uint16_t soi;
  if (!r.Be16(&soi) || soi != 0xFFD8) return false;
  for (;;) {
    uint8_t ff, marker;
    if (!r.U8(&ff) || ff != 0xFF) return false;
    do {
      if (!r.U8(&marker)) return false;
    } while (marker == 0xFF);
    if (marker == 0xD9 || marker == 0xDA) return false;  // end or scan before any frame header
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
    uint16_t len;
    if (!r.Be16(&len) || len < 2 || len - 2u > r.left()) return false;
    size_t next = r.pos() + len - 2;
    bool sof = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (sof) {
      uint8_t precision, n;
      uint16_t h, w;
      if (!r.U8(&precision) || !r.Be16(&h) || !r.Be16(&w) || !r.U8(&n)) return false;
      if (next - r.pos() < 3u * n) return false;
      *width = w;
      *height = h;
      *components = n;
      return true;
    }
    r.Seek(next);
  }
}

bool ParseMp3(const uint8_t* data, size_t size, Mp3Info* out) {
  size_t p = 0;
  *out = Mp3Info{};
  if (size >= 10 && std::memcmp(data, "ID3", 3) == 0) {
    // Synch-safe size; the footer flag adds ten more bytes.
    for (int i = 6; i < 10; ++i)
      if (data[i] & 0x80) return false;
    size_t tag = (static_cast<size_t>(data[6]) << 21) | (static_cast<size_t>(data[7]) << 14) |
                 (static_cast<size_t>(data[8]) << 7) | data[9];
    tag += 10 + ((data[5] & 0x10) ? 10 : 0);
    if (tag > size) return false;
    p = tag;
    out->id3 = true;
  }
  static const int kBitrate1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
  static const int kBitrate2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
  static const int kRate[3] = {44100, 48000, 32000};
  double samples = 0;
  while (p < size) {
    if (size - p == 128 && std::memcmp(data + p, "TAG", 3) == 0) break;
    if (size - p < 4) return false;
    const uint8_t* h = data + p;
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return false;
    int version = (h[1] >> 3) & 3;  // 3 = MPEG-1, 2 = MPEG-2, 0 = MPEG-2.5
    int layer = (h[1] >> 1) & 3;    // 1 = layer III
    int br = h[2] >> 4, sr = (h[2] >> 2) & 3, pad = (h[2] >> 1) & 1;
    if (version == 1 || layer != 1 || br == 0 || br == 15 || sr == 3) return false;
    int rate = kRate[sr] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    int kbps = version == 3 ? kBitrate1[br] : kBitrate2[br];
    int per_frame = version == 3 ? 1152 : 576;
    size_t len = static_cast<size_t>(per_frame / 8 * kbps * 1000 / rate + pad);
    if (len < 4 || len > size - p) return false;
    if (out->frames == 0) {
      out->sample_rate = static_cast<uint32_t>(rate);
      out->channels = (h[3] >> 6) == 3 ? 1 : 2;
    } else if (static_cast<uint32_t>(rate) != out->sample_rate) {
      return false;
    }
    ++out->frames;
    samples += per_frame;
    p += len;
  }
  if (out->frames == 0) return false;
  out->seconds = samples / out->sample_rate;
  return true;
}

}  // namespace assetfmt
