// Effect blitters on a 640 x 480 16-bit screen, in megapixels per second, beside a plain copy of the
// same bytes (the memory bound) and pixman's r5g6b5 paths for the same operations, in one run.
//   build/effects_bench [repetitions]
// It ends with one line per comparison, for scripts:
//   ratio NAME X   our time / pixman's time for the same work (below 1: we are faster)
//   limit NAME X   our throughput / memcpy's on the same bytes (1 would be the memory bound)
// "Same work" is the whole 640 x 480 frame, source and screen both r5g6b5, every source pixel lit:
//   PutBlend, PutHalf, PutAlpha  pixman OVER of the source through a solid 50% mask (a cross-fade of
//                                source and screen; ours keeps the black key as well)
//   PutAdd                       pixman ADD (per-channel saturating sum)
//   PutDark                      pixman SRC of the source through a solid 20/31 mask (the source
//                                darkened onto the screen; ours subtracts, pixman multiplies)
//   PutRotate                    pixman SRC, 30-degree rotation about the centre, nearest sample
//   PutZoom                      pixman SRC, 2x nearest enlargement of a quarter of the source
#include <pixman.h>
#include <time.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "el/draw/draw_state.h"
#include "el/elDraw.h"
#include "el/elSystem.h"
#include "el/system/sysinfo.h"
#include "platform/headless/display_headless.h"
#include "platform/headless/headless.h"

namespace {

constexpr int W = 640, H = 480;
constexpr double kPixels = double(W) * H;

// <chrono> does not build under the CP932 execution character set; the monotonic clock does.
double Now() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

// Best time per call over reps batches of n calls, in seconds.
double Time(int reps, int n, const std::function<void()>& f) {
  double best = 1e30;
  for (int r = 0; r < reps; ++r) {
    const double t0 = Now();
    for (int i = 0; i < n; ++i) f();
    best = std::min(best, (Now() - t0) / n);
  }
  return best;
}

uint16_t Pattern(int x, int y) {
  // Never black, so every pixel goes through the effect.
  uint32_t h = static_cast<uint32_t>(x * 7919 + y * 104729) * 2654435761u;
  return static_cast<uint16_t>((h >> 16) | 0x0821);
}

struct Row {
  std::string name;  // one word, for the ratio and limit lines
  std::string what;
  double mps;
  std::string against;
  double ref;  // pixman's MP/s for the same work, 0 when it has none
};

}  // namespace

int main(int argc, char** argv) {
  const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  plat::headless::Reset();
  plat::headless::ResetDisplay();
  char cwd[512];
  if (!getcwd(cwd, sizeof cwd)) return 1;
  elSystem::SetExecutablePathForTest((std::string(cwd) + "/oomori").c_str());
  MainWindow = true;
  FullScreen = 1;
  elDraw::SetColorDepth(16, 0, 0);
  if (elDraw::Screen(W, H, 1) != 1) return 1;
  const int32_t obj = elDraw::CreateObject(W, H, 2);
  plat::Surface* s = DrawObject[obj].surface;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      reinterpret_cast<uint16_t*>(s->Row(y))[x] = Pattern(x, y);
      reinterpret_cast<uint16_t*>(BackSurface->Row(y))[x] = Pattern(x + 3, y + 5);
    }

  // The physical limit: the same bytes copied with memcpy (read one frame, write one frame).
  std::vector<uint16_t> a(W * H), b(W * H);
  for (int i = 0; i < W * H; ++i) a[i] = Pattern(i % W, i / W);
  const double tCopy = Time(reps * 4, 200, [&] { std::memcpy(b.data(), a.data(), a.size() * 2); });

  // pixman on r5g6b5 images of the same size.
  std::vector<uint16_t> pa(a), pb(b);
  pixman_image_t* src = pixman_image_create_bits(PIXMAN_r5g6b5, W, H, reinterpret_cast<uint32_t*>(pa.data()), W * 2);
  pixman_image_t* dst = pixman_image_create_bits(PIXMAN_r5g6b5, W, H, reinterpret_cast<uint32_t*>(pb.data()), W * 2);
  pixman_color_t half{0, 0, 0, 0x8000};
  pixman_image_t* mask = pixman_image_create_solid_fill(&half);
  const double tPixAdd = Time(reps, 20, [&] {
    pixman_image_composite32(PIXMAN_OP_ADD, src, nullptr, dst, 0, 0, 0, 0, 0, 0, W, H);
  });
  const double tPixBlend = Time(reps, 20, [&] {
    pixman_image_composite32(PIXMAN_OP_OVER, src, mask, dst, 0, 0, 0, 0, 0, 0, W, H);
  });
  pixman_color_t level{0, 0, 0, static_cast<uint16_t>(0xFFFF * 20 / 31)};
  pixman_image_t* dark = pixman_image_create_solid_fill(&level);
  const double tPixDark = Time(reps, 20, [&] {
    pixman_image_composite32(PIXMAN_OP_SRC, src, dark, dst, 0, 0, 0, 0, 0, 0, W, H);
  });
  pixman_image_unref(dark);
  // Rotation by 30 degrees about the centre, nearest sample, as PutRotate does.
  pixman_transform_t tr;
  const double ang = 30 * 3.141592653589793 / 180;
  pixman_transform_init_identity(&tr);
  pixman_transform_translate(&tr, nullptr, pixman_double_to_fixed(-W / 2.0), pixman_double_to_fixed(-H / 2.0));
  pixman_transform_rotate(&tr, nullptr, pixman_double_to_fixed(std::cos(ang)), pixman_double_to_fixed(std::sin(ang)));
  pixman_transform_translate(&tr, nullptr, pixman_double_to_fixed(W / 2.0), pixman_double_to_fixed(H / 2.0));
  pixman_image_set_transform(src, &tr);
  pixman_image_set_filter(src, PIXMAN_FILTER_NEAREST, nullptr, 0);
  const double tPixRotate = Time(reps, 20, [&] {
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, W, H);
  });
  // Scaled copy (2x enlargement of a quarter), beside PutZoom.
  pixman_transform_t sc;
  pixman_transform_init_scale(&sc, pixman_double_to_fixed(0.5), pixman_double_to_fixed(0.5));
  pixman_image_set_transform(src, &sc);
  const double tPixZoom = Time(reps, 20, [&] {
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, W, H);
  });
  pixman_image_unref(src);
  pixman_image_unref(dst);
  pixman_image_unref(mask);

  auto mps = [](double t) { return kPixels / t / 1e6; };
  std::vector<Row> rows = {
      {"PutBlend", "PutBlend (alpha 16)", mps(Time(reps, 20, [&] { elDraw::PutBlend(0, 0, 16, obj, 0, 0, W, H); })),
       "pixman OVER, solid 50% mask", mps(tPixBlend)},
      {"PutAdd", "PutAdd", mps(Time(reps, 20, [&] { elDraw::PutAdd(0, 0, obj, 0, 0, W, H); })), "pixman ADD",
       mps(tPixAdd)},
      {"PutHalf", "PutHalf", mps(Time(reps, 20, [&] { elDraw::PutHalf(0, 0, obj, 0, 0, W, H); })),
       "pixman OVER, solid 50% mask", mps(tPixBlend)},
      // An alpha on a 1/1024 step takes the exact 16-bit path; 0.3 has no 16-bit form and runs in
      // single precision; the fade works out a plan (and searches for a 16-bit form) every call.
      {"PutAlpha", "PutAlpha (0.5)", mps(Time(reps, 10, [&] { elDraw::PutAlpha(0, 0, 0.5f, obj, 0, 0, W, H); })),
       "pixman OVER, solid 50% mask", mps(tPixBlend)},
      {"PutAlpha0.3", "PutAlpha (0.3)", mps(Time(reps, 10, [&] { elDraw::PutAlpha(0, 0, 0.3f, obj, 0, 0, W, H); })),
       "pixman OVER, solid 50% mask", mps(tPixBlend)},
      {"PutAlphaFade", "PutAlpha (fading)", mps(Time(reps, 10, [&] {
         static int k = 0;
         elDraw::PutAlpha(0, 0, 0.2f + static_cast<float>(++k % 4096) / 8192.0f + 1e-5f, obj, 0, 0, W, H);
       })),
       "pixman OVER, solid 50% mask", mps(tPixBlend)},
      {"PutRotate", "PutRotate (30 deg)",
       mps(Time(reps, 20, [&] { elDraw::PutRotate(0, 0, W, H, 30, obj, 0, 0, W, H); })),
       "pixman SRC, rotate, nearest", mps(tPixRotate)},
      {"PutZoom", "PutZoom (2x)", mps(Time(reps, 20, [&] { elDraw::PutZoom(0, 0, 2.0f, obj, 0, 0, W / 2, H / 2); })),
       "pixman SRC, scale, nearest", mps(tPixZoom)},
      {"PutDark", "PutDark (level 20)", mps(Time(reps, 20, [&] { elDraw::PutDark(0, 0, 20, obj, 0, 0, W, H); })),
       "pixman SRC, solid 20/31 mask", mps(tPixDark)},
  };
  const double copy = mps(tCopy);
  std::printf("640 x 480 x 16-bit, best of %d batches\n", reps);
  std::printf("%-26s %9.1f MP/s\n", "memcpy of the same bytes", copy);
  for (const Row& r : rows) {
    std::printf("%-26s %9.1f MP/s  (%.2f of memcpy", r.what.c_str(), r.mps, r.mps / copy);
    if (r.ref > 0) std::printf("; %s %.1f MP/s", r.against.c_str(), r.ref);
    std::printf(")\n");
  }
  // Times are inverse throughputs over the same pixel count, so our time / pixman's is ref / ours.
  for (const Row& r : rows)
    if (r.ref > 0) std::printf("ratio %s %.3f\n", r.name.c_str(), r.ref / r.mps);
  for (const Row& r : rows) std::printf("limit %s %.3f\n", r.name.c_str(), r.mps / copy);
  elDraw::Release();
  return 0;
}
