// Temporary stand-ins until the scenes land.
#include "el/elSystem.h"
#include "el/elDraw.h"
#include "game/scenes.h"

void TitleSetup() {
  elDraw::Screen(640, 480, 1);
  SceneNo = 10;
}
void TitleScene() { elDraw::Present(); }
void ReadyScene() {}
void PlayScene() {}
void TimeUpScene() {}
void ResultScene() {}
void RankingScene() {}
