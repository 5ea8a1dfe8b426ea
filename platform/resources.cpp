#include "platform/resources.h"

#include <strings.h>

namespace plat {

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
  return false;
}

}  // namespace plat
