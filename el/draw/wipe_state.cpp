// State of the clip wipes: the main loop puts the saved clip rectangle back when the scene changes.
#include "el/elDraw.h"

int32_t WipeState;
int32_t SavedClipLeft, SavedClipTop, SavedClipRight, SavedClipBottom;
