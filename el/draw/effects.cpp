// Software effect blitters: per-pixel puts onto the 16-bit back screen through the lookup tables.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "el/draw/draw_state.h"
#include "el/draw/effects_frame.h"
#include "el/draw/effects_simd.h"
#include "el/elSystem.h"

float SineRowPhase;

namespace {

using elDraw::effects::Frame;
using elDraw::effects::Green;
using elDraw::effects::GreenLow;
using elDraw::effects::Run;
namespace fx = elDraw::effects;

inline int32_t Clamp31(int32_t v) { return v < 0 ? 0 : v > 31 ? 31 : v; }

// The pixel loop of the common frame: black source pixels are the key and leave the screen alone.
template <class Op>
void EachPixel(const Frame& f, Op op) {
  for (int32_t j = 0; j < f.h; ++j) {
    const uint16_t* s = f.Src(0, j);
    uint16_t* d = f.Dst(0, j);
    for (int32_t i = 0; i < f.w; ++i) {
      const uint16_t v = s[i];
      if (v) d[i] = op(v, d[i], i, j);
    }
  }
}

// The pixel loop handed to a row kernel: row(d, s, n) for each visible row.
template <class Row>
void EachRow(const Frame& f, Row row) {
  for (int32_t j = 0; j < f.h; ++j) row(f.Dst(0, j), f.Src(0, j), f.w);
}

// One channel of a pixel at its full width, and back.
struct Channel {
  uint32_t mask, max;
  uint16_t shift;
  uint32_t Get(uint32_t p) const { return (p & mask) >> shift; }
  // v truncated toward zero and held to 0..max.
  uint32_t Put(float v) const {
    if (!(v > 0)) return 0;
    if (v >= static_cast<float>(max)) return max << shift;
    return static_cast<uint32_t>(v) << shift;
  }
};
inline Channel Chan(int ch) {
  if (ch == 0) return {RMask, RMax, RShift};
  if (ch == 1) return {GMask, GMax, GShift};
  return {BMask, BMax, BShift};
}

inline uint16_t Place5(uint32_t r, uint32_t g, uint32_t b) {
  return static_cast<uint16_t>((r << RShift5) | (g << GShift5) | (b << BShift5));
}


int BlendRGB(int32_t x, int32_t y, const int32_t alpha[3], int32_t object, int32_t l, int32_t t, int32_t r,
             int32_t b) {
  // The row kernel computes what CrossFadeTable[ch][cut] holds, cut = 31 - alpha.
  const uint16_t cut[] = {static_cast<uint16_t>(31 - Clamp31(alpha[0])), static_cast<uint16_t>(31 - Clamp31(alpha[1])),
                          static_cast<uint16_t>(31 - Clamp31(alpha[2]))};
  // Green's lowest bit follows the side with the larger share.
  const bool sourceFirst = Clamp31(alpha[1]) >= 16;
  const fx::RowFormat rf = fx::CurrentRowFormat();
  return Run(x, y, object, l, t, r, b, false, [&](const Frame& f) {
    EachRow(f, [&](uint16_t* d, const uint16_t* s, int32_t n) { fx::BlendRow(d, s, n, rf, cut, sourceFirst); });
  });
}

int AlphaRGB(int32_t x, int32_t y, const float alpha[3], int32_t object, int32_t l, int32_t t, int32_t r,
             int32_t b) {
  fx::FullChannel c[3];
  for (int ch = 0; ch < 3; ++ch) {
    const Channel k = Chan(ch);
    c[ch] = {k.mask, k.max, k.shift};
  }
  return Run(x, y, object, l, t, r, b, false, [&](const Frame& f) {
    const fx::AlphaPlan plan = fx::PlanAlpha(c, alpha, int64_t(f.w) * f.h);
    EachRow(f, [&](uint16_t* d, const uint16_t* s, int32_t n) { fx::AlphaRow(d, s, n, plan); });
  });
}

// How many steps of the gradient lie behind position p (columns or rows of the whole rectangle).
inline int32_t GradientDrops(int32_t p, uint16_t start, int32_t step) {
  if (step <= 0 || p < start) return 0;
  return (p - start) / step;
}

int DarkRGB(int32_t x, int32_t y, const int32_t level[3], int32_t object, int32_t l, int32_t t, int32_t r,
            int32_t b) {
  // What SubTable[ch][source][31 - level] holds.
  const uint16_t cut[] = {static_cast<uint16_t>(31 - Clamp31(level[0])), static_cast<uint16_t>(31 - Clamp31(level[1])),
                          static_cast<uint16_t>(31 - Clamp31(level[2]))};
  const fx::RowFormat rf = fx::CurrentRowFormat();
  return Run(x, y, object, l, t, r, b, false, [&](const Frame& f) {
    EachRow(f, [&](uint16_t* d, const uint16_t* s, int32_t n) { fx::DarkRow(d, s, n, rf, cut); });
  });
}

int ScaleRGB(int32_t x, int32_t y, const float factor[3], int32_t object, int32_t l, int32_t t, int32_t r,
             int32_t b) {
  // A factor above 1 is limited at the channel's maximum instead of carrying into the next channel.
  const Channel c[] = {Chan(0), Chan(1), Chan(2)};
  return Run(x, y, object, l, t, r, b, false, [&](const Frame& f) {
    EachPixel(f, [&](uint16_t s, uint16_t, int32_t, int32_t) {
      uint32_t out = 0;
      for (int ch = 0; ch < 3; ++ch) out |= c[ch].Put(c[ch].Get(s) * factor[ch]);
      return static_cast<uint16_t>(out);
    });
  });
}

uint32_t PutNoisePos;

}  // namespace

namespace elDraw {

int PutBlend(int32_t x, int32_t y, int32_t alpha, int32_t object, int32_t left, int32_t top, int32_t right,
             int32_t bottom) {
  const int32_t a[] = {alpha, alpha, alpha};
  return BlendRGB(x, y, a, object, left, top, right, bottom);
}

int PutBlendRGB(int32_t x, int32_t y, int32_t alphaRed, int32_t alphaGreen, int32_t alphaBlue, int32_t object,
                int32_t left, int32_t top, int32_t right, int32_t bottom) {
  const int32_t a[] = {alphaRed, alphaGreen, alphaBlue};
  return BlendRGB(x, y, a, object, left, top, right, bottom);
}

int PutHalf(int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  const uint16_t m = static_cast<uint16_t>(HalfMask);
  return Run(x, y, object, left, top, right, bottom, false, [&](const Frame& f) {
    EachRow(f, [&](uint16_t* d, const uint16_t* s, int32_t n) { fx::HalfRow(d, s, n, m); });
  });
}

int PutAlpha(int32_t x, int32_t y, float alpha, int32_t object, int32_t left, int32_t top, int32_t right,
             int32_t bottom) {
  const float a[] = {alpha, alpha, alpha};
  return AlphaRGB(x, y, a, object, left, top, right, bottom);
}

int PutAlphaRGB(int32_t x, int32_t y, float alphaRed, float alphaGreen, float alphaBlue, int32_t object,
                int32_t left, int32_t top, int32_t right, int32_t bottom) {
  const float a[] = {alphaRed, alphaGreen, alphaBlue};
  return AlphaRGB(x, y, a, object, left, top, right, bottom);
}

int PutAlphaGradient(int32_t x, int32_t y, uint32_t direction, uint16_t start, int32_t step, float alphaRed,
                     float alphaGreen, float alphaBlue, int32_t object, int32_t left, int32_t top, int32_t right,
                     int32_t bottom) {
  // The gradient is laid over the whole rectangle, so clipping does not move it. Positions count from
  // the rectangle's first column (direction 0, restarting on every row) or first row.
  const float alpha[] = {alphaRed, alphaGreen, alphaBlue};
  const Channel c[] = {Chan(0), Chan(1), Chan(2)};
  return Run(x, y, object, left, top, right, bottom, false, [&](const Frame& f) {
    EachPixel(f, [&](uint16_t s, uint16_t d, int32_t i, int32_t j) {
      const int32_t p = direction == 0 ? f.ox + i : f.oy + j;
      const float drop = static_cast<float>(GradientDrops(p, start, step)) / 32.0f;
      uint32_t out = 0;
      for (int ch = 0; ch < 3; ++ch) {
        float share = std::max(0.0f, (1.0f - alpha[ch]) - drop);
        out |= c[ch].Put(c[ch].Get(s) * alpha[ch] + c[ch].Get(d) * share);
      }
      return static_cast<uint16_t>(out);
    });
  });
}

int PutBlendGradient(int32_t x, int32_t y, int32_t alphaRed, int32_t alphaGreen, int32_t alphaBlue,
                     uint32_t direction, uint16_t start, int32_t step, int32_t object, int32_t left, int32_t top,
                     int32_t right, int32_t bottom) {
  const int32_t base[] = {31 - Clamp31(alphaRed), 31 - Clamp31(alphaGreen), 31 - Clamp31(alphaBlue)};
  const GreenLow green = Green();
  return Run(x, y, object, left, top, right, bottom, false, [&](const Frame& f) {
    EachPixel(f, [&](uint16_t s, uint16_t d, int32_t i, int32_t j) {
      const int32_t p = direction == 0 ? f.ox + i : f.oy + j;
      const int32_t drop = GradientDrops(p, start, step);
      const uint8_t* sc = PixelRGB[s];
      const uint8_t* dc = PixelRGB[d];
      uint32_t out = 0;
      for (int ch = 0; ch < 3; ++ch) out |= CrossFadeTable[ch][std::max(0, base[ch] - drop)][sc[ch]][dc[ch]];
      const bool sourceFirst = std::max(0, base[1] - drop) < 16;
      return sourceFirst ? green(static_cast<uint16_t>(out), s, d) : green(static_cast<uint16_t>(out), d, s);
    });
  });
}

int PutAdd(int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return PutAddFade(x, y, 0.0f, object, left, top, right, bottom);
}

int PutAddFade(int32_t x, int32_t y, float amount, int32_t object, int32_t left, int32_t top, int32_t right,
               int32_t bottom) {
  const int a = amount >= 31.0f ? 31 : amount > 0.0f ? static_cast<int>(amount) : 0;
  // The row kernel computes what AddFadeTable[ch][a] holds.
  const fx::RowFormat rf = fx::CurrentRowFormat();
  return Run(x, y, object, left, top, right, bottom, false, [&](const Frame& f) {
    EachRow(f, [&](uint16_t* d, const uint16_t* s, int32_t n) { fx::AddRow(d, s, n, rf, static_cast<uint16_t>(a)); });
  });
}

int PutShadow(int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  const GreenLow green = Green();
  return Run(x, y, object, left, top, right, bottom, false, [&](const Frame& f) {
    EachPixel(f, [&](uint16_t s, uint16_t d, int32_t, int32_t) {
      const uint8_t sr = PixelRGB[s][0];
      const uint8_t* dc = PixelRGB[d];
      return green(static_cast<uint16_t>(SubTable[0][dc[0]][sr] | SubTable[1][dc[1]][sr] | SubTable[2][dc[2]][sr]), d,
                   d);
    });
  });
}

int PutDark(int32_t x, int32_t y, int32_t level, int32_t object, int32_t left, int32_t top, int32_t right,
            int32_t bottom) {
  const int32_t l[] = {level, level, level};
  return DarkRGB(x, y, l, object, left, top, right, bottom);
}

int PutDarkRGB(int32_t x, int32_t y, int32_t levelRed, int32_t levelGreen, int32_t levelBlue, int32_t object,
               int32_t left, int32_t top, int32_t right, int32_t bottom) {
  const int32_t l[] = {levelRed, levelGreen, levelBlue};
  return DarkRGB(x, y, l, object, left, top, right, bottom);
}

int PutSmoothEdge(int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  // Neighbours count when they lie inside the visible part of the rectangle (both their source and
  // their destination pixel exist there); key neighbours lend the screen's pixel under them.
  return Run(x, y, object, left, top, right, bottom, false, [&](const Frame& f) {
    for (int32_t j = 0; j < f.h; ++j)
      for (int32_t i = 0; i < f.w; ++i) {
        const uint16_t s = *f.Src(i, j);
        if (!s) continue;
        uint32_t sum[] = {PixelRGB[s][0], PixelRGB[s][1], PixelRGB[s][2]};
        uint32_t n = 1;
        const int32_t nb[4][2] = {{i - 1, j}, {i + 1, j}, {i, j - 1}, {i, j + 1}};
        for (const auto& q : nb) {
          if (q[0] < 0 || q[1] < 0 || q[0] >= f.w || q[1] >= f.h || *f.Src(q[0], q[1]) != 0) continue;
          const uint8_t* dc = PixelRGB[*f.Dst(q[0], q[1])];
          for (int ch = 0; ch < 3; ++ch) sum[ch] += dc[ch];
          ++n;
        }
        *f.Dst(i, j) = n == 1 ? s : Place5(sum[0] / n, sum[1] / n, sum[2] / n);
      }
  });
}

int PutChannels(int32_t x, int32_t y, uint32_t keepRed, uint32_t keepGreen, uint32_t keepBlue, int32_t object,
                int32_t left, int32_t top, int32_t right, int32_t bottom) {
  const uint16_t mask = static_cast<uint16_t>((keepRed ? RMask : 0) | (keepGreen ? GMask : 0) | (keepBlue ? BMask : 0));
  return Run(x, y, object, left, top, right, bottom, false, [&](const Frame& f) {
    EachPixel(f, [&](uint16_t s, uint16_t, int32_t, int32_t) { return static_cast<uint16_t>(s & mask); });
  });
}

int PutScale(int32_t x, int32_t y, float factor, int32_t object, int32_t left, int32_t top, int32_t right,
             int32_t bottom) {
  const float fs[] = {factor, factor, factor};
  return ScaleRGB(x, y, fs, object, left, top, right, bottom);
}

int PutScaleRGB(int32_t x, int32_t y, float factorRed, float factorGreen, float factorBlue, int32_t object,
                int32_t left, int32_t top, int32_t right, int32_t bottom) {
  const float fs[] = {factorRed, factorGreen, factorBlue};
  return ScaleRGB(x, y, fs, object, left, top, right, bottom);
}

int PutBlurred(int32_t x, int32_t y, int32_t k, int32_t object, int32_t left, int32_t top, int32_t right,
               int32_t bottom) {
  // The blocks are read from the whole rectangle, which must therefore lie inside the object. A block
  // larger than the rectangle is cut to it (and the sum divided by what it holds); k below 1 is 1.
  k = std::max(k, 1);
  return Run(x, y, object, left, top, right, bottom, true, [&](const Frame& f) {
    const int32_t W = f.wholeW, H = f.wholeH;
    const int32_t bw = std::min(k, W), bh = std::min(k, H);
    const uint32_t area = static_cast<uint32_t>(bw) * static_cast<uint32_t>(bh);
    for (int32_t j = 0; j < f.h; ++j)
      for (int32_t i = 0; i < f.w; ++i) {
        const int32_t wx = f.ox + i, wy = f.oy + j;  // position in the whole rectangle
        if (!f.Whole(wx, wy)[0]) continue;
        const int32_t bx = std::min(wx, W - bw), by = std::min(wy, H - bh);
        uint32_t sum[] = {0, 0, 0};
        for (int32_t v = 0; v < bh; ++v) {
          const uint16_t* row = f.Whole(bx, by + v);
          for (int32_t u = 0; u < bw; ++u) {
            const uint8_t* c = PixelRGB[row[u]];
            sum[0] += c[0], sum[1] += c[1], sum[2] += c[2];
          }
        }
        if (k == 2 && area == 4)
          *f.Dst(i, j) = Place5(sum[0] >> 2, sum[1] >> 2, sum[2] >> 2);
        else
          *f.Dst(i, j) = Place5(sum[0] / area, sum[1] / area, sum[2] / area);
      }
  });
}

int PutGrey(int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return Run(x, y, object, left, top, right, bottom, false, [&](const Frame& f) {
    EachPixel(f, [&](uint16_t s, uint16_t, int32_t, int32_t) {
      const uint8_t* c = PixelRGB[s];
      const uint32_t g = GreyTable[c[0] + c[1] + c[2]];
      return Place5(g, g, g);
    });
  });
}

int PutMirror(int32_t x, int32_t y, int32_t mode, int32_t object, int32_t left, int32_t top, int32_t right,
              int32_t bottom) {
  // Mirrored pixels come from the opposite side of the rectangle, so all of it must lie in the object.
  const bool flipX = mode == 1 || mode == 3, flipY = mode == 2 || mode == 3;
  return Run(x, y, object, left, top, right, bottom, true, [&](const Frame& f) {
    for (int32_t j = 0; j < f.h; ++j) {
      const int32_t wy = flipY ? f.wholeH - 1 - (f.oy + j) : f.oy + j;
      uint16_t* d = f.Dst(0, j);
      for (int32_t i = 0; i < f.w; ++i) {
        const int32_t wx = flipX ? f.wholeW - 1 - (f.ox + i) : f.ox + i;
        const uint16_t s = f.Whole(wx, wy)[0];
        if (s) d[i] = s;
      }
    }
  });
}

int PutNoise(int32_t x, int32_t y, int32_t shift, int32_t object, int32_t left, int32_t top, int32_t right,
             int32_t bottom) {
  // Beyond 5 every channel is gone; negative shifts are none.
  shift = std::clamp(shift, 0, 5);
  return Run(x, y, object, left, top, right, bottom, false, [&](const Frame& f) {
    EachPixel(f, [&](uint16_t s, uint16_t, int32_t, int32_t) {
      const uint32_t n = NoiseTable[PutNoisePos];
      if (++PutNoisePos >= 10000) PutNoisePos = static_cast<uint32_t>(std::rand() % 1000);
      const uint8_t* c = PixelRGB[s];
      return Place5(std::min<uint32_t>((c[0] >> shift) + n, 31), std::min<uint32_t>((c[1] >> shift) + n, 31),
                    std::min<uint32_t>((c[2] >> shift) + n, 31));
    });
  });
}

int PutRowsStep(int32_t x, int32_t y, int32_t step, int32_t object, int32_t left, int32_t top, int32_t right,
                int32_t bottom) {
  if (step > 0) {
    for (int64_t row = int64_t(top) + step; row < bottom; row += step) {
      const int32_t r = static_cast<int32_t>(row);
      Put(x, y + (r - top), object, left, r, right, r + 1);
    }
  } else if (step < 0) {
    const int64_t span = -int64_t(step);
    for (int64_t row = int64_t(top) + 1 + std::rand() % span; row < bottom; row += 1 + std::rand() % span) {
      const int32_t r = static_cast<int32_t>(row);
      Put(x, y + (r - top), object, left, r, right, r + 1);
    }
  }
  return 1;
}

int PutSineRows(int32_t x, int32_t y, uint32_t direction, float speed, int32_t object, int32_t left, int32_t top,
                int32_t right, int32_t bottom) {
  const int32_t H = bottom - top;
  if (H <= 0) return 1;
  if (H == 1) {  // one row has no wave (and the period H - 1 would be zero)
    PutOpaque(x, y, object, left, top, right, bottom);
    return 1;
  }
  int32_t next = 0;  // first destination row not yet drawn
  for (int32_t r = 0; r < H; ++r) {
    const double s = std::sin(2 * 3.141592653589793 * (r + SineRowPhase) / (H - 1));
    // The sine's peak would reach row H (for an even H): the run ends at the rectangle's last row.
    const int32_t e = std::min(static_cast<int32_t>(s * (H / 2) + H / 2), H - 1);
    for (int32_t k = next; k <= e; ++k) PutOpaque(x, y + k, object, left, top + r, right, top + r + 1);
    next = std::max(next, e + 1);
  }
  if (direction == 0) {
    SineRowPhase -= FrameSeconds * speed;
    if (SineRowPhase < 0) SineRowPhase += static_cast<float>(H);
  } else {
    SineRowPhase += FrameSeconds * speed;
    if (SineRowPhase >= static_cast<float>(H)) SineRowPhase -= static_cast<float>(H);
  }
  return 1;
}

int PutJitter(int32_t x, int32_t y, int32_t amplitude, int32_t object, int32_t left, int32_t top, int32_t right,
              int32_t bottom) {
  if (amplitude < 1) {
    Put(x, y, object, left, top, right, bottom);
    return 1;
  }
  const int64_t span = 2 * int64_t(amplitude);
  for (int32_t r = top; r < bottom; ++r) {
    const int64_t dx = int64_t(x) + std::rand() % span - amplitude;
    if (dx < INT32_MIN || dx > INT32_MAX) continue;
    Put(static_cast<int32_t>(dx), y + (r - top), object, left, r, right, r + 1);
  }
  return 1;
}

}  // namespace elDraw
