// Scenes 15, 20 and 25: ready/go, the 30-second play and time up, with the game state and the
// flying rice grains.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "el/elDraw.h"
#include "el/elMusic.h"
#include "el/elSystem.h"
#include "game/game_state.h"
#include "platform/clock.h"
#include "game/scenes.h"

int32_t TimeLeft;
int32_t Bowls;
int32_t Rice;
int32_t ReadyFrame, TimeUpFrame, EatFrames, RefillFrames;
uint32_t SecondStart;
Grain Grains[kGrainCount];

namespace {

// A piece that failed to load (-1) is not played: the scene goes on without it.
void PlayPiece(int32_t piece, int32_t repeat) {
  if (piece < 0) return;
  elMusic::Play(piece, repeat);
}

// Room, then table: the background of all three scenes.
void DrawRoom() {
  elDraw::ClearScreen();
  if (BackPic > 0) elDraw::PutStretch(0, 0, BackPic, 0, 0, 400, 300, 640, 480);
  PutPicture(TablePic, 120, 330, 400, 150);
}

// Finished bowls in runs of thirty, the highest number first so the lower ones lie on top.
// The fourth run (91 and above) shares the third run's column.
void DrawBowlStack() {
  for (int32_t i = Bowls; i >= 1; --i) {
    int32_t x, y;
    if (i <= 30) {
      x = 150;
      y = 430 - 12 * i;
    } else if (i <= 60) {
      x = 190;
      y = 430 - 12 * (i % 31 + 1);
    } else if (i <= 90) {
      x = 230;
      y = 430 - 12 * (i % 61 + 1);
    } else {
      x = 230;
      y = 430 - 12 * (i % 91 + 1);
    }
    PutPicture(OwanPic, x, y, 100, 100);
  }
}

void DrawCountdown(int32_t seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "残り%3d秒", seconds);
  DrawLabel(text, 10, 10, 32, 0xFFFFFF);
}

}  // namespace

void NewGame() {
  TimeLeft = 30;
  Bowls = 0;
  Rice = 10;
}

void ReadyScene() {
  if (SceneChanged) ReadyFrame = 0;
  const int32_t f = ReadyFrame;

  DrawRoom();
  PutPicture(Hito1Pic, 170, 30, 300, 300);
  PutPicture(MisoPic, 360, 320, 100, 87);
  if (f >= 60 && f < 120) {
    if (f == 60) PlaySound(ReadySound);
    PutPicture(ReadyPic, 220, 220, 200, 40);
  } else if (f >= 120 && f < 180) {
    if (f == 120) PlaySound(GoSound);
    if (GoPic > 0) elDraw::PutStretch(120, 200, GoPic, 0, 0, 200, 40, 400, 80);
  } else if (f > 180) {
    PlayPiece(PlayMusic, 1);
    SceneNo = 20;
    PrevSceneNo = 0;
  }
  ReadyFrame = f + 1;
  elDraw::Present();
}

void PlayScene() {
  if (SceneChanged) {
    EatFrames = 0;
    RefillFrames = 0;
    SecondStart = plat::TimeMs();
  }

  DrawRoom();
  if (Rice == -1 && RefillFrames == 0) {
    PutPicture(Hito4Pic, 170, 30, 300, 300);
  } else if (EatFrames != 0) {
    PutPicture(Hito2Pic, 170, 30, 300, 300);
  } else if (RefillFrames != 0) {
    PutPicture(Hito3Pic, 170, 30, 300, 300);
    PutPicture(OwanPic, 410, 100, 100, 100);
  } else {
    PutPicture(Hito1Pic, 170, 30, 300, 300);
  }
  for (const Grain& g : Grains) {
    if (g.active) PutPicture(TsubuPic, g.x, g.y, 8, 8);
  }
  if (RefillFrames == 0) PutPicture(OwanPic, 270, 320, 100, 100);
  for (int32_t i = 0; i < Rice; ++i) {
    PutPicture(i == Rice - 1 ? Gohan1Pic : Gohan2Pic, 270, 295 - 25 * i, 100, 25);
  }
  DrawBowlStack();
  PutPicture(MisoPic, 360, 320, 100, 87);
  DrawCountdown(TimeLeft);
  elDraw::Present();

  while (elSystem::GetEvent(1)) {
    if (InputEvent.code == 268 && InputEvent.value != 0) {
      if (Rice > 0) {
        Rice -= 10;
        PlaySound(PakuSound);
        BurstGrains();
      }
      if (Rice != -1) EatFrames = 5;
      if (RefillFrames > 3) RefillFrames = 2;
    } else if (InputEvent.code == 269 && InputEvent.value != 0) {
      if (Rice == -1 && RefillFrames == 0) {
        Bowls += 1;
        RefillFrames = 20;
        PlaySound(OkawariSound);
      }
    }
  }

  MoveGrains();

  if (EatFrames > 0) EatFrames -= 1;
  if (RefillFrames > 0) RefillFrames -= 1;
  if (RefillFrames == 1) Rice = 10;
  if (Rice == 0) Rice = -1;

  const uint32_t now = plat::TimeMs();
  if (now - SecondStart >= 1000) {
    TimeLeft -= 1;
    SecondStart = now;
  }

  if (TimeLeft < 1) {
    elMusic::StopAll();
    PlayPiece(OwariMusic, 0);
    SceneNo = 25;
    PrevSceneNo = 0;
  }
}

void TimeUpScene() {
  if (SceneChanged) TimeUpFrame = 0;
  const int32_t f = TimeUpFrame;

  DrawRoom();
  PutPicture(Hito1Pic, 170, 30, 300, 300);
  DrawBowlStack();
  PutPicture(MisoPic, 360, 320, 100, 87);
  PutPicture(SokoPic, 220, 220, 200, 40);
  DrawCountdown(0);
  elDraw::Present();

  if (f > 240) {
    if (Rice == -1) {
      Rice = 10;
      // An emptied bowl that no right click has counted yet.
      if (RefillFrames == 0) Bowls += 1;
    }
    PlayPiece(ResultMusic, 1);
    SceneNo = 30;
    PrevSceneNo = 0;
  }
  TimeUpFrame = f + 1;
}

void BurstGrains() {
  std::srand(plat::TimeMs());
  for (int n = 0; n < 5; ++n) {
    Grain* g = nullptr;
    for (Grain& candidate : Grains) {
      if (!candidate.active) {
        g = &candidate;
        break;
      }
    }
    if (g == nullptr) continue;
    g->active = true;
    g->x = 320;
    g->y = 300;
    // The angle is drawn from a 15-bit random number, the generator's range on the platform
    // this game was made for: 60 to 120 degrees, that is up to 30 degrees either side of straight up.
    const int32_t degrees = static_cast<int32_t>((std::rand() & 0x7FFF) / 32767.0 * 60 + 60);
    const double radians = degrees * 3.1415 / 180.0;
    g->vx = std::cos(radians) * 10;
    g->vy = -std::sin(radians) * 10;
  }
}

void MoveGrains() {
  for (Grain& g : Grains) {
    if (!g.active) continue;
    g.x = static_cast<int32_t>(g.x + g.vx);
    g.y = static_cast<int32_t>(g.y + g.vy);
    g.vy += 0.5;
    if (g.y > 480) g.active = 0;
  }
}
