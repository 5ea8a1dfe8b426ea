// Scene 30: bowls, calories, grade, verdict and ranking place of the game just played.
#include <cstdio>

#include "el/elDraw.h"
#include "el/elMusic.h"
#include "el/elStream.h"
#include "el/elSystem.h"
#include "game/game_state.h"
#include "game/ranking.h"
#include "game/scenes.h"

int32_t RankPlace = -1;
const char* RankGrade = "";

namespace {

constexpr uint32_t kShadow = 0x000000;

const char* Verdict(int32_t bowls) {
  if (bowls == 0) return "おなかすいたよぉ";
  if (bowls <= 20) return "びみょ～だよぉ";
  if (bowls <= 30) return "わんこソバみたいだよぉ";
  if (bowls <= 50) return "食べまくりだよぉ";
  if (bowls <= 60) return "うすくちしょうゆが欲しいよぉ";
  if (bowls <= 70) return "ごはんやまもりすぎるよぉ";
  if (bowls <= 80) return "世界大会にいきたいよぉ";
  if (bowls <= 90) return "ごはんに見えて実はさとうだよぉ";
  if (bowls <= 95) return "みそしるも飲みたいよぉ";
  if (bowls <= 99) return "給食多すぎるよぉ";
  if (bowls <= 105) return "ついに全国大会レベルだよぉ";
  if (bowls <= 110) return "よく見たらチョークの粉だよぉ";
  if (bowls <= 115) return "ふりかけくらい欲しいよぉ";
  if (bowls <= 120) return "ごはんだけが友達だよぉ";
  return "もうかんべんしてよぉ(*>ε<*)";
}

void ShadowedLabel(const char* text, int32_t shadowX, int32_t shadowY, int32_t x, int32_t y, int32_t size,
                   uint32_t colour) {
  DrawLabel(text, shadowX, shadowY, size, kShadow);
  DrawLabel(text, x, y, size, colour);
}

}  // namespace

void ResultScene() {
  if (SceneChanged) {
    RankPlace = Ranking.Insert(Bowls * 10 + (10 - Rice));
    RankGrade = Ranking.GetGrade(Bowls);
  }

  elDraw::ClearScreen();
  if (TitleBack2Pic > 0) elDraw::PutTiled(30.0f, 30.0f, TitleBack2Pic, 0, 0, 64, 64);

  char text[128];
  std::snprintf(text, sizeof text, "食べたご飯：%d杯", Bowls);
  ShadowedLabel(text, 33, 43, 30, 40, 48, 0xC88C50);
  std::snprintf(text, sizeof text, "摂取カロリー：%lldKcal",
                static_cast<long long>(int64_t{Bowls} * 2520 + (10 - Rice) * 252));
  ShadowedLabel(text, 33, 103, 30, 100, 48, 0xC88C50);
  std::snprintf(text, sizeof text, "ランク：%s", RankGrade);
  ShadowedLabel(text, 33, 163, 30, 160, 48, 0x648CB4);
  if (RankPlace != -1) {
    std::snprintf(text, sizeof text, "%d位にランクインしました", RankPlace + 1);
    ShadowedLabel(text, 321, 221, 320, 220, 24, 0x0000FF);
  } else {
    ShadowedLabel("ランクインしませんでした", 322, 222, 320, 220, 24, 0x0000FF);
  }

  PutPicture(Hito1Pic, 30, 200, 300, 280);
  elDraw::FillWhite(300, 300, 580, 340);
  DrawLabel(Verdict(Bowls), 305, 310, 18, kShadow);
  DrawLabel("左クリックでタイトルに戻るよ", 290, 430, 24, kShadow);
  elDraw::Present();
  // Saved at once, not only at exit, so a kill, a crash or a lost session cannot take the result;
  // after the first frame is on screen, so a box about a failed save comes up over the result.
  if (SceneChanged) Ranking.Save();

  while (elSystem::GetEvent(1)) {
    if (InputEvent.code == 268 && InputEvent.value != 0) {
      AssetsLoaded = 1;
      elMusic::StopAll();
      elStream::Play();
      NewGame();
      SceneNo = 10;
      PrevSceneNo = 0;
    }
  }
}
