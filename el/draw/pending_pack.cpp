// Temporary stand-in until image packs land: no pack entry can be loaded.
#include "el/elDraw.h"

namespace elDraw {
int32_t SwapPack(const char*, int32_t, int32_t) { return 0; }
}  // namespace elDraw
