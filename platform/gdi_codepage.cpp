// Code page 932 text for the device contexts: conversions for face names and paths, and the
// splitting of text into characters.
#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gdi_detail.h"

namespace plat {
namespace gdi_detail {

namespace {

iconv_t Converter(const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  return cd;
}

std::string Convert(iconv_t cd, const char* s, size_t len) {
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(s, len);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::string out(len * 4 + 8, '\0');
  char* in = const_cast<char*>(s);
  size_t inLeft = len;
  char* o = out.data();
  size_t oLeft = out.size();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &o, &oLeft) == static_cast<size_t>(-1)) {
      if (errno == E2BIG) break;
      // Skip the byte that cannot be converted.
      ++in;
      --inLeft;
    }
  }
  out.resize(out.size() - oLeft);
  return out;
}



// The Unicode code point of a two-byte CP932 character (lead << 8 | trail); U+FFFD when unmapped.
uint32_t DoubleByteCodePoint(uint16_t code) {
  static std::vector<uint32_t> table;  // 0 = not looked up yet
  static iconv_t cd = Converter("UTF-32LE", "CP932");
  if (table.empty()) table.assign(65536, 0);
  uint32_t& e = table[code];
  if (e == 0) {
    e = 0xFFFD;
    if (cd != reinterpret_cast<iconv_t>(-1)) {
      char in[] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
      unsigned char out[8];
      char* ip = in;
      char* op = reinterpret_cast<char*>(out);
      size_t il = 2, ol = sizeof out;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1) && ol == 4)
        e = uint32_t(out[0]) | uint32_t(out[1]) << 8 | uint32_t(out[2]) << 16 | uint32_t(out[3]) << 24;
    }
  }
  return e;
}

}  // namespace

std::string Utf8FromCp932(const char* s, size_t len) {
  static iconv_t cd = Converter("UTF-8", "CP932");
  return Convert(cd, s, len);
}

std::string Cp932FromUtf8(const std::string& s) {
  static iconv_t cd = Converter("CP932", "UTF-8");
  return Convert(cd, s.data(), s.size());
}
// Splits CP932 text into characters; a lead byte at the very end stands alone.
std::vector<Char> Decode(const char* s, int32_t len) {
  std::vector<Char> out;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(s);
  for (int32_t i = 0; i < len;) {
    uint8_t c = p[i];
    if (IsDBCSLeadByte(c) && i + 1 < len) {
      out.push_back({DoubleByteCodePoint(static_cast<uint16_t>(c << 8 | p[i + 1])), 2});
      i += 2;
      continue;
    }
    uint32_t cp = c < 0x80 ? c : (c >= 0xA1 && c <= 0xDF) ? 0xFF61 + (c - 0xA1) : 0xFFFD;
    out.push_back({cp, 1});
    ++i;
  }
  return out;
}

int32_t Length(const char* s, int32_t len) {
  if (!s) return 0;
  return len < 0 ? static_cast<int32_t>(std::strlen(s)) : len;
}
}  // namespace gdi_detail
}  // namespace plat
