// Effect blitters on a 640 x 480 16-bit screen, in megapixels per second, beside a plain copy of the
// same bytes (the memory bound) and pixman's r5g6b5 paths for the same operations, in one run.
//   build/effects_bench [repetitions]
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
  std::string name;
  double mps;
  std::string against;
  double ref;
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
      {"PutBlend (alpha 16)", mps(Time(reps, 20, [&] { elDraw::PutBlend(0, 0, 16, obj, 0, 0, W, H); })),
       "pixman OVER, solid 50% mask", mps(tPixBlend)},
      {"PutAdd", mps(Time(reps, 20, [&] { elDraw::PutAdd(0, 0, obj, 0, 0, W, H); })), "pixman ADD", mps(tPixAdd)},
      {"PutHalf", mps(Time(reps, 20, [&] { elDraw::PutHalf(0, 0, obj, 0, 0, W, H); })), "", 0},
      {"PutAlpha (0.5, float)", mps(Time(reps, 10, [&] { elDraw::PutAlpha(0, 0, 0.5f, obj, 0, 0, W, H); })), "", 0},
      {"PutRotate (30 deg)", mps(Time(reps, 20, [&] { elDraw::PutRotate(0, 0, W, H, 30, obj, 0, 0, W, H); })),
       "pixman SRC, rotate, nearest", mps(tPixRotate)},
      {"PutZoom (2x)", mps(Time(reps, 20, [&] { elDraw::PutZoom(0, 0, 2.0f, obj, 0, 0, W / 2, H / 2); })),
       "pixman SRC, scale, nearest", mps(tPixZoom)},
      {"PutDark (level 20)", mps(Time(reps, 20, [&] { elDraw::PutDark(0, 0, 20, obj, 0, 0, W, H); })), "", 0},
  };
  const double copy = mps(tCopy);
  std::printf("640 x 480 x 16-bit, best of %d batches\n", reps);
  std::printf("%-26s %9.1f MP/s\n", "memcpy of the same bytes", copy);
  for (const Row& r : rows) {
    std::printf("%-26s %9.1f MP/s  (%.2f of memcpy", r.name.c_str(), r.mps, r.mps / copy);
    if (r.ref > 0) std::printf("; %s %.1f MP/s, ratio %.2f", r.against.c_str(), r.ref, r.mps / r.ref);
    std::printf(")\n");
  }
  elDraw::Release();
  return 0;
}
