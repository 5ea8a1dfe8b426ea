// Temporary stand-ins until the sound module lands: no sound.
#include "el/elSound.h"

namespace elSound {
int Init() { return 0; }
void Release() {}
}  // namespace elSound
