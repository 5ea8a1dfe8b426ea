// Module-level state of the game's scenes: object numbers of the assets, the game in progress,
// the scene counters and the flying grains. Shared by the scenes (and read by the tests).
#pragma once
#include <cstdint>

// Title (title.cpp).
extern int32_t TitleImage;
extern int32_t TitleMenuShown;
extern int32_t AssetsLoaded;

// Draw objects, one per picture (0 = failed load: drawn as nothing).
extern int32_t TitleBackPic, TitleBack2Pic;
extern int32_t BackPic, Gohan1Pic, Gohan2Pic, Hito1Pic, Hito2Pic, Hito3Pic, Hito4Pic, OwanPic, MisoPic,
    TablePic, ReadyPic, GoPic, SokoPic, TsubuPic;
// Sound objects (-1 = failed load) and music objects.
extern int32_t ReadySound, GoSound, PakuSound, OkawariSound;
extern int32_t PlayMusic, ResultMusic, OwariMusic;

// The game in progress (play.cpp).
extern int32_t TimeLeft;
extern int32_t Bowls;
extern int32_t Rice;  // tenths of a bowl: 10 full, -1 empty and waiting for a refill
extern int32_t ReadyFrame, TimeUpFrame, EatFrames, RefillFrames;
extern uint32_t SecondStart;

struct Grain {
  uint8_t active;
  int32_t x, y;
  double vx, vy;
};
constexpr int kGrainCount = 50;
extern Grain Grains[kGrainCount];

// Result (result.cpp).
extern int32_t RankPlace;
extern const char* RankGrade;

// Drawing and sound helpers shared by the scenes (label.cpp).
// elDraw::Put of the whole picture at (x, y); a failed picture (object 0) draws nothing.
void PutPicture(int32_t object, int32_t x, int32_t y, int32_t width, int32_t height);
void PlaySound(int32_t object);
