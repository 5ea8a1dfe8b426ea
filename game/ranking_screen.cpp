// Scene 40: the five best results with their grades over a scrolling background.
#include <cstdio>
#include <cstring>

#include "el/elDraw.h"
#include "el/elStream.h"
#include "el/elSystem.h"
#include "game/game_state.h"
#include "game/ranking.h"
#include "game/scenes.h"

namespace {

// The grade of each place, fixed when the scene opens.
const char* RankGrades[kRankPlaces] = {"", "", "", "", ""};

constexpr uint32_t kShadow = 0x000000;
constexpr uint32_t kLineColour = 0xC88C50;

uint32_t GradeColour(const char* grade) {
  if (std::strcmp(grade, "Ｓ") == 0 || std::strcmp(grade, "SS") == 0) return 0x00FFFF;
  if (std::strcmp(grade, "神") == 0) return 0x6464FF;
  return 0xC8C864;
}

}  // namespace

void RankingScene() {
  if (SceneChanged) {
    for (int32_t i = 0; i < kRankPlaces; ++i) RankGrades[i] = Ranking.GetGrade(Ranking.Get(i) / 10);
  }

  elDraw::ClearScreen();
  if (TitleBackPic > 0) elDraw::PutTiled(30.0f, 30.0f, TitleBackPic, 0, 0, 64, 64);

  DrawLabel("ランキング", 223, 53, 40, kShadow);
  DrawLabel("ランキング", 220, 50, 40, 0x00E6E6);

  char line[96];
  for (int32_t i = 0; i < kRankPlaces; ++i) {
    const int32_t value = Ranking.Get(i);
    const char* grade;
    if (value == -1) {
      std::snprintf(line, sizeof line, "%d位　--杯　-- Kcal", i + 1);
      grade = "-";
    } else {
      const int32_t bowls = value / 10;
      const int32_t tenths = value % 10;
      // In 64 bits: any stored value, even one edited into the file, shows its true calories.
      std::snprintf(line, sizeof line, "%d位　%2d杯　%lld Kcal", i + 1, bowls,
                    static_cast<long long>(int64_t{bowls} * 2520 + tenths * 252));
      grade = RankGrades[i];
    }
    DrawLabel(line, 32, 132 + 50 * i, 32, kShadow);
    DrawLabel(line, 30, 130 + 50 * i, 32, kLineColour);
    DrawLabel(grade, 564, 132 + 50 * i, 32, kShadow);
    DrawLabel(grade, 562, 130 + 50 * i, 32, GradeColour(RankGrades[i]));
  }
  DrawLabel("左クリックでタイトル画面に戻ります", 30, 380, 24, kShadow);

  elDraw::Present();

  while (elSystem::GetEvent(1)) {
    if (InputEvent.code == 268 && InputEvent.value != 0) {
      SceneNo = 10;
      PrevSceneNo = 0;
    }
  }
  if (elStream::GetState() == 4) elStream::Play();
}
