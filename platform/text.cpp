#include "platform/text.h"

#include <algorithm>
#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace plat {

namespace {

// Converts with iconv, replacing what cannot be converted by `bad` and skipping one input byte.
// For UTF-8 input a whole sequence is skipped, so one unconvertible character gives one `bad`.
std::string Convert(const char* to, const char* from, const char* s, size_t len, const char* bad, bool utf8In) {
  std::string out;
  if (s == nullptr || len == 0) return out;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(s, len);
  char buf[256];
  char* in = const_cast<char*>(s);
  size_t inLeft = len;
  while (inLeft > 0) {
    char* o = buf;
    size_t oLeft = sizeof buf;
    size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
    out.append(buf, static_cast<size_t>(o - buf));
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (truncated sequence at the end): replace one byte and go on.
      out.append(bad);
      size_t skip = 1;
      if (utf8In) {
        unsigned char c = static_cast<unsigned char>(*in);
        skip = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        skip = std::min(skip, inLeft);
      }
      in += skip;
      inLeft -= skip;
    }
  }
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  iconv_close(cd);
  return out;
}

}  // namespace

std::string Cp932ToUtf8(const char* s, size_t len) {
  return Convert("UTF-8", "CP932", s, len, "\xEF\xBF\xBD", false);
}

std::string Cp932ToUtf8(const char* s) { return s ? Cp932ToUtf8(s, std::strlen(s)) : std::string(); }

std::string Utf8ToCp932(const std::string& s) { return Convert("CP932", "UTF-8", s.data(), s.size(), "?", true); }

}  // namespace plat
