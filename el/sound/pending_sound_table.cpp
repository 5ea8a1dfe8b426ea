// Temporary stand-in until the sound object table lands: there is no table to clear.
#include "el/elSound.h"

namespace elSound {
void ClearObjects() {}
}  // namespace elSound
