// Resources embedded into the executable at build time (tools/embed_resources.cmake), standing in
// for the executable's BITMAP, WAVE, MIDI and ICON resources. Loaders in el/ look them up by type and name.
#pragma once
#include <cstddef>

namespace plat {

struct ResourceEntry {
  const char* type;
  const char* name;
  const unsigned char* begin;
  const unsigned char* end;
};

struct Resource {
  const unsigned char* data = nullptr;
  size_t size = 0;
};

// Finds a resource by type and name; both compare without regard to ASCII case, as the
// resource functions this replaces did. Returns false (and leaves out empty) when there is none.
bool FindResource(const char* type, const char* name, Resource* out);

// Adds a resource after the embedded ones (tests and tools bring their own data this way). The
// bytes are not copied: they must stay valid while the program runs. An embedded resource of the same
// type and name is found first; an added one of the same type and name is replaced.
void AddResource(const char* type, const char* name, const unsigned char* data, size_t size);

// Adds a resource read from a file (a program without embedded resources brings its MIDI pieces this
// way). The bytes are kept for the rest of the program. False when the file cannot be read whole.
bool AddResourceFile(const char* type, const char* name, const char* path);

// The embedded table: the game's generated one, or the empty default of libelresources_none.
extern const ResourceEntry kResourceTable[];
extern const unsigned kResourceCount;

}  // namespace plat
