// Row kernels of the per-pixel effects on 16-bit pixels, several pixels at a time. Each one leaves
// the screen pixel alone where the source is black (the key), and gives exactly what the lookup
// tables give pixel by pixel. Private to el/draw.
#pragma once
#include <cstdint>

namespace elDraw::effects {

// Where the 5-bit channels sit in a pixel (a 6-bit channel without its lowest bit), and the green
// bits of the green-low rule (see GreenLow).
struct RowFormat {
  uint16_t shift5[3];
  uint16_t greenTop, greenLow;
};
RowFormat CurrentRowFormat();

// Subtractive cross-fade: per channel max(s - cut[ch], 0) + max(d - (31 - cut[ch]), 0);
// sourceFirst picks the side that lends green's lowest bit first.
void BlendRow(uint16_t* d, const uint16_t* s, int32_t n, const RowFormat& f, const uint16_t cut[3],
              bool sourceFirst);
// min(max(s - cut, 0) + d, 31) per channel.
void AddRow(uint16_t* d, const uint16_t* s, int32_t n, const RowFormat& f, uint16_t cut);
// max(s - cut[ch], 0) per channel.
void DarkRow(uint16_t* d, const uint16_t* s, int32_t n, const RowFormat& f, const uint16_t cut[3]);
// ((s >> 1) & mask) + ((d >> 1) & mask).
void HalfRow(uint16_t* d, const uint16_t* s, int32_t n, uint16_t mask);
// Per channel at its full width (mask, shift, max): s * alpha + d * (1 - alpha) in single precision,
// truncated and held to 0..max, exactly as the one-pixel-at-a-time formula.
struct FullChannel {
  uint32_t mask, max;
  uint16_t shift;
};
// How a put of given alphas runs: in 16-bit fixed point, (s p + d q + c) >> 10 per channel, where
// that was shown equal to the formula for every pair of channel values; else in single precision,
// where alphas all in 0..1 (unit) go with alpha and 1 - alpha scaled down by the channel's shift
// (exactly: scaled[ch] times 2^shift gives them back).
struct AlphaPlan {
  FullChannel ch[3];
  float alpha[3];
  bool fixed, unit;
  uint16_t p[3], q[3], c[3];
  float scaled[3][2];
};
// pixels: the size of the put, which decides whether a search for the fixed-point form pays.
AlphaPlan PlanAlpha(const FullChannel c[3], const float alpha[3], int64_t pixels);
void AlphaRow(uint16_t* d, const uint16_t* s, int32_t n, const AlphaPlan& plan);
// d = s where s is not black.
void KeyedRow(uint16_t* d, const uint16_t* s, int32_t n);
// A keyed row of a zoomed picture: d[k] = src[column[k]] where that is not black, for columns that
// never fall along the row and lie in 0..sw - 1. ZoomLanes works out the lane numbers of a put's
// columns once, or answers false where the processor has no lane shuffle to run ZoomRow with.
bool ZoomLanes(const int32_t* column, int32_t n, uint16_t* lanes);
void ZoomRow(uint16_t* d, const uint16_t* src, int32_t sw, const int32_t* column, const uint16_t* lanes, int32_t n);

}  // namespace elDraw::effects
