#include "platform/headless/display_headless.h"

#include <cstdio>

#include "platform/display.h"

namespace plat::headless {
namespace {

struct State {
  bool refused16 = false, refused32 = false;
  PixelFormat sixteen = PixelFormat::RGB565;
  int32_t desktopBits = 32;
  int32_t modeBits = 0;
  DisplayCaps caps{false, false, false, true};
  bool missing = false;
  bool open = false;
  int failVb = 0;
  int vbWaits = 0;
  int shown = 0;
  // The primary as shown, raw; turned into a Frame only when a test asks.
  std::vector<uint8_t> raw;
  int32_t rawW = 0, rawH = 0, rawPitch = 0;
  PixelFormat rawFormat = PixelFormat::RGB565;
  bool converted = true;
  Frame frame;
};
State& S() {
  static State s;
  return s;
}

uint32_t Crc32(const uint8_t* p, size_t n, uint32_t crc = 0) {
  crc = ~crc;
  for (size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

void Be32(std::vector<uint8_t>& v, uint32_t x) {
  for (int s = 24; s >= 0; s -= 8) v.push_back(static_cast<uint8_t>(x >> s));
}

void Chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  Be32(out, static_cast<uint32_t>(data.size()));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  Be32(out, Crc32(&out[start], out.size() - start));
}

}  // namespace

const Frame& LastFrame() {
  State& st = S();
  if (!st.converted) {
    Frame& f = st.frame;
    f.width = st.rawW;
    f.height = st.rawH;
    f.pixels.resize(static_cast<size_t>(f.width) * f.height);
    const int bpp = BytesPerPixel(st.rawFormat);
    for (int32_t y = 0; y < f.height; ++y) {
      const uint8_t* row = st.raw.data() + static_cast<size_t>(y) * st.rawPitch;
      for (int32_t x = 0; x < f.width; ++x) {
        uint32_t p = bpp == 2 ? reinterpret_cast<const uint16_t*>(row)[x] : reinterpret_cast<const uint32_t*>(row)[x];
        uint8_t r, g, b;
        UnpackRgb(st.rawFormat, p, &r, &g, &b);
        f.pixels[static_cast<size_t>(y) * f.width + x] = (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
      }
    }
    st.converted = true;
  }
  return st.frame;
}
int ShownFrames() { return S().shown; }

bool WritePng(const Frame& f, const std::string& path) {
  if (f.width <= 0 || f.height <= 0) return false;
  // Raw scanlines (filter 0) in stored deflate blocks: no compression library needed.
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<size_t>(f.height) * (1 + 3 * static_cast<size_t>(f.width)));
  for (int32_t y = 0; y < f.height; ++y) {
    raw.push_back(0);
    for (int32_t x = 0; x < f.width; ++x) {
      uint32_t p = f.At(x, y);
      raw.push_back(static_cast<uint8_t>(p >> 16));
      raw.push_back(static_cast<uint8_t>(p >> 8));
      raw.push_back(static_cast<uint8_t>(p));
    }
  }
  std::vector<uint8_t> z{0x78, 0x01};
  size_t pos = 0;
  do {
    size_t n = std::min<size_t>(65535, raw.size() - pos);
    z.push_back(pos + n == raw.size() ? 1 : 0);
    z.push_back(static_cast<uint8_t>(n));
    z.push_back(static_cast<uint8_t>(n >> 8));
    z.push_back(static_cast<uint8_t>(~n));
    z.push_back(static_cast<uint8_t>(~n >> 8));
    z.insert(z.end(), raw.begin() + static_cast<ptrdiff_t>(pos), raw.begin() + static_cast<ptrdiff_t>(pos + n));
    pos += n;
  } while (pos < raw.size());
  uint32_t a = 1, b = 0;
  for (uint8_t c : raw) a = (a + c) % 65521, b = (b + a) % 65521;
  Be32(z, (b << 16) | a);

  std::vector<uint8_t> png{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<uint8_t> ihdr;
  Be32(ihdr, static_cast<uint32_t>(f.width));
  Be32(ihdr, static_cast<uint32_t>(f.height));
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
  Chunk(png, "IHDR", ihdr);
  Chunk(png, "IDAT", z);
  Chunk(png, "IEND", {});
  FILE* fp = std::fopen(path.c_str(), "wb");
  if (!fp) return false;
  bool ok = std::fwrite(png.data(), 1, png.size(), fp) == png.size();
  return std::fclose(fp) == 0 && ok;
}

void SetModeRefused(int32_t bits, bool refused) {
  if (bits == 16) S().refused16 = refused;
  if (bits == 32) S().refused32 = refused;
}
void SetSixteenBitFormat(PixelFormat f) { S().sixteen = f; }
void SetDesktopBits(int32_t bits) { S().desktopBits = bits; }
void SetCaps(bool threeD, bool texture, bool driverStretch, bool emulationStretch) {
  S().caps = {threeD, texture, driverStretch, emulationStretch};
}
void SetDeviceMissing(bool missing) { S().missing = missing; }
void FailVerticalBlanks(int n) { S().failVb = n; }
int VerticalBlankWaits() { return S().vbWaits; }
void LoseSurfaces() { LoseAllSurfaces(); }
void ResetDisplay() { S() = State{}; }

}  // namespace plat::headless

namespace plat {
using headless::S;
using headless::State;

bool DisplayOpen() {
  if (S().missing) return false;
  S().open = true;
  return true;
}
void DisplayClose() { S().open = false; }
DisplayCaps DisplayGetCaps() { return S().caps; }

bool DisplaySetMode(int32_t, int32_t, int32_t bits) {
  if ((bits == 16 && !S().refused16) || (bits == 32 && !S().refused32)) {
    S().modeBits = bits;
    return true;
  }
  return false;
}
void DisplayRestoreMode() { S().modeBits = 0; }
int32_t DisplayBits() { return S().modeBits ? S().modeBits : S().desktopBits; }

bool DisplayFormat(PixelFormat* out) {
  int32_t bits = DisplayBits();
  if (bits == 16) *out = S().sixteen;
  else if (bits == 32) *out = PixelFormat::XRGB8888;
  else return false;
  return true;
}

HResult DisplayWaitVerticalBlank() {
  S().vbWaits++;
  if (S().failVb > 0) {
    S().failVb--;
    return E_FAIL;
  }
  return DD_OK;
}

void DisplayShow(const Surface& primary) {
  State& st = S();
  st.rawW = primary.Width();
  st.rawH = primary.Height();
  st.rawPitch = primary.Pitch();
  st.rawFormat = primary.Format();
  st.raw.assign(primary.Row(0), primary.Row(0) + static_cast<size_t>(st.rawPitch) * st.rawH);
  st.converted = false;
  st.shown++;
}

}  // namespace plat
