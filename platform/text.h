// Encoding conversion: the library speaks code page 932; the host shows UTF-8.
#pragma once
#include <string>

namespace plat {

// CP932 bytes to UTF-8. Invalid sequences become U+FFFD; never reads past len.
std::string Cp932ToUtf8(const char* s, size_t len);
std::string Cp932ToUtf8(const char* s);
// UTF-8 to CP932; characters without a CP932 form become '?'.
std::string Utf8ToCp932(const std::string& s);

}  // namespace plat
