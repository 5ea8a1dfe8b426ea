// Clip wipes: screen transitions made by animating the clip rectangle.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "el/draw/draw_state.h"
#include "el/elSystem.h"

int32_t WipeKind;
int32_t WipeDirection;
float WipeSpeed;
int32_t WipeBand;
int32_t WipeOpened;
int32_t WipeClosed;

namespace {

// Edges move in 64 bits and are kept inside the 32-bit range: speeds, frame times and the clip
// rectangle come from callers unchecked.
void Move(int32_t& edge, int64_t delta) {
  int64_t v = static_cast<int64_t>(edge) + delta;
  v = std::min<int64_t>(v, INT32_MAX);
  v = std::max<int64_t>(v, INT32_MIN);
  edge = static_cast<int32_t>(v);
}

void SaveClip() {
  SavedClipLeft = ClipLeft;
  SavedClipTop = ClipTop;
  SavedClipRight = ClipRight;
  SavedClipBottom = ClipBottom;
}

void PutSavedClipBack() {
  ClipLeft = SavedClipLeft;
  ClipTop = SavedClipTop;
  ClipRight = SavedClipRight;
  ClipBottom = SavedClipBottom;
}

int32_t CentreX() { return (SavedClipRight - SavedClipLeft) / 2 + SavedClipLeft; }
int32_t CentreY() { return (SavedClipBottom - SavedClipTop) / 2 + SavedClipTop; }

// The centre band of patterns 8 and 9 (centre - h .. centre + h), kept inside the saved rectangle:
// a band wider than the clip must not widen the clip beyond it (the screen's edge, where a put
// would then be refused as a whole). A negative band is no band.
struct Band {
  int32_t lo, hi;
};
Band CentreBand(int32_t centre, int32_t savedLo, int32_t savedHi) {
  const int64_t h = WipeBand > 0 ? WipeBand / 2 : 0;
  int64_t lo = centre - h, hi = centre + h;
  lo = std::max<int64_t>(lo, savedLo);
  hi = std::min<int64_t>(hi, savedHi);
  hi = std::max(hi, lo);  // an upside-down saved rectangle
  return {static_cast<int32_t>(lo), static_cast<int32_t>(hi)};
}

// This frame's step in pixels: at least one, so every wipe ends. A negative speed would never
// end a wipe, and a huge one must not overflow: the product is limited before truncation.
int64_t Step() {
  double d = static_cast<double>(FrameSeconds) * static_cast<double>(WipeSpeed);
  if (!(d > 0)) d = 0;  // negative, zero or not a number
  d = std::min(d, 1e9);
  return static_cast<int64_t>(d) + 1;
}

// Opening: one edge pair moves outwards; when either edge reaches the saved copy both snap to it.
void OpenPair(int32_t& lo, int32_t& hi, int32_t savedLo, int32_t savedHi, int64_t s) {
  Move(lo, -s);
  Move(hi, s);
  if (lo <= savedLo || hi >= savedHi) lo = savedLo, hi = savedHi;
}

void Finished(bool opening) {
  if (opening) {
    WipeState = 0;
    WipeOpened = 1;
  } else {
    WipeState = -1;
    WipeClosed = 1;
  }
}

void StepOpening(int64_t s) {
  const int32_t SL = SavedClipLeft, ST = SavedClipTop, SR = SavedClipRight, SB = SavedClipBottom;
  auto all = [&] { return ClipLeft == SL && ClipTop == ST && ClipRight == SR && ClipBottom == SB; };
  switch (WipeDirection) {
    case 1:
      Move(ClipTop, -s);
      if (ClipTop <= ST) ClipTop = ST, Finished(true);
      break;
    case 2:
      Move(ClipBottom, s);
      if (ClipBottom >= SB) ClipBottom = SB, Finished(true);
      break;
    case 3:
      Move(ClipLeft, -s);
      if (ClipLeft <= SL) ClipLeft = SL, Finished(true);
      break;
    case 4:
      Move(ClipRight, s);
      if (ClipRight >= SR) ClipRight = SR, Finished(true);
      break;
    case 5:
      OpenPair(ClipTop, ClipBottom, ST, SB, s);
      if (ClipTop == ST && ClipBottom == SB) Finished(true);
      break;
    case 6:
      OpenPair(ClipLeft, ClipRight, SL, SR, s);
      if (ClipLeft == SL && ClipRight == SR) Finished(true);
      break;
    case 7:
      if (ClipLeft != SL || ClipRight != SR) OpenPair(ClipLeft, ClipRight, SL, SR, s);
      if (ClipTop != ST || ClipBottom != SB) OpenPair(ClipTop, ClipBottom, ST, SB, s);
      if (all()) Finished(true);
      break;
    case 8:  // the centre column grows to the full height first, then widens
      if (ClipTop != ST || ClipBottom != SB)
        OpenPair(ClipTop, ClipBottom, ST, SB, s);
      else
        OpenPair(ClipLeft, ClipRight, SL, SR, s);
      if (all()) Finished(true);
      break;
    case 9:  // the centre row grows to the full width first, then heightens
      if (ClipLeft != SL || ClipRight != SR)
        OpenPair(ClipLeft, ClipRight, SL, SR, s);
      else
        OpenPair(ClipTop, ClipBottom, ST, SB, s);
      if (all()) Finished(true);
      break;
    default:
      break;
  }
}

// Closing towards a band lo..hi: both edges move inwards and snap to the band once one reaches it.
// Returns true when the pair stands on the band.
bool CloseToBand(int32_t& lo, int32_t& hi, int32_t bandLo, int32_t bandHi, int64_t s) {
  if (lo == bandLo || hi == bandHi) {
    // Already there (the snap sets both together); a pair that started on one edge of the band snaps too.
    lo = bandLo, hi = bandHi;
    return true;
  }
  Move(lo, s);
  Move(hi, -s);
  if (lo >= bandLo || hi <= bandHi) lo = bandLo, hi = bandHi;
  return false;
}

void StepClosing(int64_t s) {
  const int32_t SL = SavedClipLeft, ST = SavedClipTop, SR = SavedClipRight, SB = SavedClipBottom;
  const int32_t cx = CentreX(), cy = CentreY();
  switch (WipeDirection) {
    case 1:
      Move(ClipTop, s);
      if (ClipTop >= SB) Finished(false);
      break;
    case 2:
      Move(ClipBottom, -s);
      if (ClipBottom <= ST) Finished(false);
      break;
    case 3:
      Move(ClipLeft, s);
      if (ClipLeft >= SR) Finished(false);
      break;
    case 4:
      Move(ClipRight, -s);
      if (ClipRight <= SL) Finished(false);
      break;
    case 5:
      Move(ClipTop, s);
      Move(ClipBottom, -s);
      if (ClipTop >= ClipBottom) Finished(false);
      break;
    case 6:
      Move(ClipLeft, s);
      Move(ClipRight, -s);
      if (ClipLeft >= ClipRight) Finished(false);
      break;
    case 7:
      Move(ClipLeft, s);
      Move(ClipRight, -s);
      Move(ClipTop, s);
      Move(ClipBottom, -s);
      if (ClipLeft >= ClipRight) ClipLeft = ClipRight = cx;
      if (ClipTop >= ClipBottom) ClipTop = ClipBottom = cy;
      if (ClipLeft == ClipRight && ClipTop == ClipBottom) Finished(false);
      break;
    case 8: {  // the sides close to the centre column, then the column closes from top and bottom
      const Band b = CentreBand(cx, SL, SR);
      if (CloseToBand(ClipLeft, ClipRight, b.lo, b.hi, s)) {
        Move(ClipTop, s);
        Move(ClipBottom, -s);
      }
      if (ClipTop >= ClipBottom) Finished(false);
      break;
    }
    case 9: {  // top and bottom close to the centre row, then the row closes from the sides
      const Band b = CentreBand(cy, ST, SB);
      if (CloseToBand(ClipTop, ClipBottom, b.lo, b.hi, s)) {
        Move(ClipLeft, s);
        Move(ClipRight, -s);
      }
      if (ClipLeft >= ClipRight) Finished(false);
      break;
    }
    default:
      break;
  }
}

}  // namespace

namespace elDraw {

int32_t StartWipe(int32_t kind, int32_t direction, float speed, int32_t band) {
  if (WipeState > 0) return 0;
  // Patterns are 1 to 9 (0 picks one). Any other value would start a wipe that no step can end
  // and that would refuse every later wipe, so it is refused here and nothing changes.
  if (direction < 0 || direction > 9) return 0;
  if (WipeState == -1) PutSavedClipBack();
  SaveClip();
  if (direction == 0) direction = std::rand() % 9 + 1;
  WipeOpened = WipeClosed = 0;
  WipeKind = kind;
  WipeDirection = direction;
  WipeSpeed = speed;
  WipeBand = band;
  if (kind != 0) {
    WipeState = 2;
    return 1;
  }
  WipeState = 1;
  const int32_t cx = CentreX(), cy = CentreY();
  const Band col = CentreBand(cx, SavedClipLeft, SavedClipRight), row = CentreBand(cy, SavedClipTop, SavedClipBottom);
  switch (direction) {
    case 1: ClipTop = SavedClipBottom; break;
    case 2: ClipBottom = SavedClipTop; break;
    case 3: ClipLeft = SavedClipRight; break;
    case 4: ClipRight = SavedClipLeft; break;
    case 5: ClipTop = ClipBottom = cy; break;
    case 6: ClipLeft = ClipRight = cx; break;
    case 7: ClipLeft = ClipRight = cx, ClipTop = ClipBottom = cy; break;
    case 8: ClipLeft = col.lo, ClipRight = col.hi, ClipTop = ClipBottom = cy; break;
    case 9: ClipTop = row.lo, ClipBottom = row.hi, ClipLeft = ClipRight = cx; break;
    default: break;
  }
  return 1;
}

int32_t StepWipe() {
  if (WipeState <= 0) return 0;
  const int64_t s = Step();
  if (WipeKind == 0)
    StepOpening(s);
  else
    StepClosing(s);
  return 1;
}

void CloseScreen() {
  // Only an idle clip rectangle is the normal one. When closed, or while a wipe runs, the saved copy
  // already holds it; saving the empty or half-open rectangle over it would lose it for good.
  if (WipeState == 0) SaveClip();
  ClipRight = ClipLeft;
  ClipBottom = ClipTop;
  WipeState = -1;
}

}  // namespace elDraw
