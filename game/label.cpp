// The scenes' one text routine and their small drawing helpers.
#include "el/elDraw.h"
#include "el/elSound.h"
#include "game/game_state.h"
#include "game/scenes.h"

void DrawLabel(const char* text, int32_t x, int32_t y, int32_t size, uint32_t colour) {
  // Face 1 is the gothic face; weight code 0 is the normal weight (400), no slant, no decoration.
  elDraw::SetFont(1, size, 0, 0, 0, 0);
  elDraw::SetTextColor(colour, colour, 1);
  elDraw::Text(x, y, text);
  elDraw::EndFont();
}

// A failed picture load leaves 0 in its variable, and 0 is the internal stretch scratch object,
// which has a surface: drawing it would show leftovers of the last stretch. Draw nothing instead.
void PutPicture(int32_t object, int32_t x, int32_t y, int32_t width, int32_t height) {
  if (object <= 0) return;
  elDraw::Put(x, y, object, 0, 0, width, height);
}

// A failed sound load leaves -1; play nothing for it.
void PlaySound(int32_t object) {
  if (object < 0) return;
  elSound::Play(object, -1);
}
