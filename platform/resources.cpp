#include "platform/resources.h"

#include <strings.h>

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "platform/files.h"

namespace plat {

namespace {
struct Added {
  std::string type, name;
  const unsigned char* data;
  size_t size;
};
std::vector<Added>& AddedResources() {
  static std::vector<Added> added;
  return added;
}
}  // namespace

void AddResource(const char* type, const char* name, const unsigned char* data, size_t size) {
  if (type == nullptr || name == nullptr || (data == nullptr && size != 0)) return;
  for (Added& a : AddedResources()) {
    if (strcasecmp(a.type.c_str(), type) == 0 && strcasecmp(a.name.c_str(), name) == 0) {
      a.data = data;
      a.size = size;
      return;
    }
  }
  AddedResources().push_back({type, name, data, size});
}

bool AddResourceFile(const char* type, const char* name, const char* path) {
  if (type == nullptr || name == nullptr || path == nullptr) return false;
  FILE* f = OpenRegularFile(path, "rb");
  if (f == nullptr) return false;
  std::vector<unsigned char> bytes;
  unsigned char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) bytes.insert(bytes.end(), buf, buf + n);
  const bool ok = std::ferror(f) == 0;
  std::fclose(f);
  if (!ok) return false;
  // A deque never moves what it holds, so the bytes handed to AddResource stay where they are.
  static std::deque<std::vector<unsigned char>> kept;
  kept.push_back(std::move(bytes));
  AddResource(type, name, kept.back().data(), kept.back().size());
  return true;
}

bool FindResource(const char* type, const char* name, Resource* out) {
  if (type == nullptr || name == nullptr) return false;
  for (unsigned i = 0; i < kResourceCount; ++i) {
    const ResourceEntry& e = kResourceTable[i];
    if (strcasecmp(e.type, type) == 0 && strcasecmp(e.name, name) == 0) {
      if (out) {
        out->data = e.begin;
        out->size = static_cast<size_t>(e.end - e.begin);
      }
      return true;
    }
  }
  for (const Added& a : AddedResources()) {
    if (strcasecmp(a.type.c_str(), type) == 0 && strcasecmp(a.name.c_str(), name) == 0) {
      if (out) {
        out->data = a.data;
        out->size = a.size;
      }
      return true;
    }
  }
  return false;
}

}  // namespace plat
