// Laid-out text of a device context: line feeds, word breaks and alignment in a rectangle.
#include <algorithm>
#include <climits>
#include <vector>

#include "platform/gdi_detail.h"

namespace plat {

using namespace gdi_detail;

namespace {

// Sizes and positions are worked out in 64 bits (a box may span the whole coordinate range, a text
// may be very long) and handed back cut to what 32 bits hold.
int32_t Saturate(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

}  // namespace

int32_t Dc::DrawText(const char* s, int32_t len, Rect* rect, uint32_t format) {
  if (!rect) return 0;
  len = Length(s, len);
  Font* f = font_ ? font_ : DefaultFont();
  if (!f) return 0;
  const int32_t lineH = f->ascent + f->descent;
  const int64_t maxW = int64_t(rect->right) - rect->left;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(s);
  struct Line {
    int32_t begin, end;
    int64_t width;
  };
  std::vector<Line> lines;
  auto widthOf = [&](int32_t b, int32_t e) {
    Size sz{0, 0};
    GetTextExtentPoint32(s + b, e - b, &sz);
    return sz.cx;
  };
  // Breaking units: a two-byte character, a run of spaces, or a run of other one-byte characters.
  int32_t i = 0, lineBegin = 0, lineEnd = 0;
  int64_t lineW = 0;
  auto endLine = [&](int32_t end, int64_t w) { lines.push_back({lineBegin, end, w}); };
  while (i < len) {
    uint8_t c = p[i];
    if (c == '\n' || c == '\r') {
      endLine(lineEnd, lineW);
      i += (c == '\r' && i + 1 < len && p[i + 1] == '\n') ? 2 : 1;
      lineBegin = lineEnd = i;
      lineW = 0;
      continue;
    }
    int32_t j = i;
    bool space = c == ' ';
    if (IsDBCSLeadByte(c) && i + 1 < len) {
      j = i + 2;
    } else if (space) {
      while (j < len && p[j] == ' ') ++j;
    } else {
      while (j < len && p[j] != ' ' && p[j] != '\n' && p[j] != '\r' && !(IsDBCSLeadByte(p[j]) && j + 1 < len)) ++j;
    }
    int32_t w = widthOf(i, j);
    if ((format & DT_WORDBREAK) && !space && lineEnd > lineBegin && lineW + w > maxW) {
      // Wrap before this unit; the spaces where the line broke are dropped.
      int32_t e = lineEnd;
      while (e > lineBegin && p[e - 1] == ' ') --e;
      endLine(e, widthOf(lineBegin, e));
      lineBegin = lineEnd = i;
      lineW = 0;
    }
    lineW += w;
    i = lineEnd = j;
  }
  if (lineEnd > lineBegin || (lines.empty() && len > 0)) endLine(lineEnd, lineW);
  const int32_t height = Saturate(static_cast<int64_t>(lines.size()) * lineH);
  if (format & DT_CALCRECT) {
    int64_t widest = 0;
    for (const Line& l : lines) widest = std::max(widest, l.width);
    if (!(format & DT_WORDBREAK) || widest > maxW) rect->right = Saturate(rect->left + widest);
    rect->bottom = Saturate(int64_t(rect->top) + height);
    return height;
  }
  if (rect->left < -kFarAway || rect->left > kFarAway || rect->top < -kFarAway || rect->top > kFarAway ||
      rect->right < -kFarAway || rect->right > kFarAway)
    return height;
  Rect clip{std::max(rect->left, 0), std::max(rect->top, 0), std::min(rect->right, target_->Width()),
            std::min(rect->bottom, target_->Height())};
  int64_t y = rect->top;
  for (const Line& l : lines) {
    if (y >= clip.bottom) break;  // the lines below are cut off
    int64_t x = rect->left;
    if (format & DT_CENTER)
      x = rect->left + (maxW - l.width) / 2;
    else if (format & DT_RIGHT)
      x = rect->right - l.width;
    if (x >= -kFarAway)  // an empty line draws nothing; far out to the left, x would not fit the pen
      Impl::Draw(this, static_cast<int32_t>(x), static_cast<int32_t>(y), s + l.begin, l.end - l.begin, clip);
    y += lineH;
  }
  return height;
}
}  // namespace plat
