// Temporary stand-in until the media stream module lands: no stream.
#include "el/elStream.h"

namespace elStream {
int Init() { return 0; }
void Release() {}
}  // namespace elStream
