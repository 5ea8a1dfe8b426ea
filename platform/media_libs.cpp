#include "platform/media_libs.h"

#include <dlfcn.h>

#include <mutex>
#include <thread>

namespace plat::media_libs {
namespace {

// The libraries by their run-time names, of the major versions whose headers the code was built
// against: a library of another major version is not the one the structures here describe.
#define OOMORI_SONAME(lib, major) "lib" #lib ".so." AV_STRINGIFY(major)
enum Library { avutil, swresample, swscale, avcodec, avformat, kLibraries };
constexpr const char* kNames[kLibraries] = {
    OOMORI_SONAME(avutil, LIBAVUTIL_VERSION_MAJOR), OOMORI_SONAME(swresample, LIBSWRESAMPLE_VERSION_MAJOR),
    OOMORI_SONAME(swscale, LIBSWSCALE_VERSION_MAJOR), OOMORI_SONAME(avcodec, LIBAVCODEC_VERSION_MAJOR),
    OOMORI_SONAME(avformat, LIBAVFORMAT_VERSION_MAJOR)};
#undef OOMORI_SONAME

Functions functions;
bool loaded = false;
std::once_flag once;

// Kept open for the life of the process: decoding may run on the mixing thread until the end.
void Load() {
  void* handles[kLibraries] = {};
  for (int i = 0; i < kLibraries; ++i)
    if ((handles[i] = dlopen(kNames[i], RTLD_LAZY | RTLD_LOCAL)) == nullptr) return;
  bool all = true;
#define OOMORI_MEDIA_LOOKUP(lib, name)                                                  \
  functions.name = reinterpret_cast<decltype(&::name)>(dlsym(handles[lib], #name));     \
  all = all && functions.name != nullptr;
  OOMORI_MEDIA_FUNCTIONS(OOMORI_MEDIA_LOOKUP)
#undef OOMORI_MEDIA_LOOKUP
  if (!all) return;
  functions.av_log_set_level(AV_LOG_QUIET);
  loaded = true;
}

}  // namespace

const Functions* Get() {
  std::call_once(once, Load);
  return loaded ? &functions : nullptr;
}

void Preload() {
  static std::once_flag started;
  std::call_once(started, [] { std::thread([] { Get(); }).detach(); });
}

}  // namespace plat::media_libs
