#include "platform/media_libs.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

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

// Limits on what is read of a library file's headers.
constexpr size_t kMaxHeaders = 64;
constexpr size_t kMaxNames = 1 << 20;

bool ReadAt(int fd, void* to, size_t n, off_t at) { return pread(fd, to, n, at) == static_cast<ssize_t>(n); }

// The names of the libraries that a 64-bit library file needs (its DT_NEEDED entries); empty when
// the file cannot be read as one.
std::vector<std::string> Needed(const std::string& path) {
  std::vector<std::string> names;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return names;
  Elf64_Ehdr eh;
  std::vector<Elf64_Phdr> ph;
  if (ReadAt(fd, &eh, sizeof eh, 0) && std::equal(eh.e_ident, eh.e_ident + SELFMAG, ELFMAG) &&
      eh.e_ident[EI_CLASS] == ELFCLASS64 && eh.e_phentsize == sizeof(Elf64_Phdr) && eh.e_phnum <= kMaxHeaders) {
    ph.resize(eh.e_phnum);
    if (!ReadAt(fd, ph.data(), ph.size() * sizeof(Elf64_Phdr), static_cast<off_t>(eh.e_phoff))) ph.clear();
  }
  // A virtual address of the file's image as an offset in the file.
  auto offsetOf = [&ph](uint64_t addr, uint64_t* off) {
    for (const Elf64_Phdr& p : ph)
      if (p.p_type == PT_LOAD && addr >= p.p_vaddr && addr - p.p_vaddr < p.p_filesz) {
        *off = addr - p.p_vaddr + p.p_offset;
        return true;
      }
    return false;
  };
  for (const Elf64_Phdr& p : ph) {
    if (p.p_type != PT_DYNAMIC || p.p_filesz > kMaxNames) continue;
    std::vector<Elf64_Dyn> dyn(p.p_filesz / sizeof(Elf64_Dyn));
    if (!ReadAt(fd, dyn.data(), dyn.size() * sizeof(Elf64_Dyn), static_cast<off_t>(p.p_offset))) break;
    uint64_t strtab = 0, strsz = 0, off = 0;
    for (const Elf64_Dyn& d : dyn) {
      if (d.d_tag == DT_STRTAB) strtab = d.d_un.d_ptr;
      if (d.d_tag == DT_STRSZ) strsz = d.d_un.d_val;
    }
    std::string table(strsz <= kMaxNames ? strsz : 0, '\0');
    if (table.empty() || !offsetOf(strtab, &off) || !ReadAt(fd, table.data(), table.size(), static_cast<off_t>(off))) break;
    for (const Elf64_Dyn& d : dyn)
      if (d.d_tag == DT_NEEDED && d.d_un.d_val < table.size()) names.emplace_back(table.c_str() + d.d_un.d_val);
    break;
  }
  close(fd);
  return names;
}

// Loads a library after the libraries it needs, each by a load of its own. A load holds the dynamic
// loader's lock, which every other thread's dlopen and dlsym wait for (SDL looks symbols up as it
// starts its threads); a library at a time keeps those waits to one library's load rather than the
// whole tree's. Files are opened by path: a load by name looks through the loader's cache, mapping and
// unmapping it every time, which costs more than the loads themselves here. A library not found in
// dir is left to the loader, which loads it with its user.
void LoadTree(const std::string& name, const std::string& dir, std::set<std::string>* seen) {
  if (!seen->insert(name).second) return;
  const std::string path = dir + "/" + name;
  if (access(path.c_str(), R_OK) != 0) return;
  for (const std::string& dep : Needed(path)) LoadTree(dep, dir, seen);
  dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);  // kept open with the rest
}

// The file names of the libraries loaded so far.
std::set<std::string> LoadedNames() {
  std::set<std::string> names;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        const std::string path = info->dlpi_name ? info->dlpi_name : "";
        static_cast<std::set<std::string>*>(data)->insert(path.substr(path.rfind('/') + 1));
        return 0;
      },
      &names);
  return names;
}

// The directory of the system's libraries: where the C library was loaded from.
std::string LibraryDir() {
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&write), &info) == 0 || info.dli_fname == nullptr) return "/lib";
  const std::string path = info.dli_fname;
  return path.substr(0, path.rfind('/'));
}

Functions functions;
bool loaded = false;
std::once_flag once;

// Kept open for the life of the process: decoding may run on the mixing thread until the end.
void Load() {
  // Where the library path is set, the loader may take libraries from elsewhere: it loads them all.
  if (std::getenv("LD_LIBRARY_PATH") == nullptr) {
    const std::string dir = LibraryDir();
    std::set<std::string> seen = LoadedNames();
    for (const char* name : kNames) LoadTree(name, dir, &seen);
  }
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
