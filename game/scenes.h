// The game's scenes: each draws one frame per call; the main loop calls the scene of SceneNo.
#pragma once

void TitleSetup();
void TitleScene();
void ReadyScene();
void PlayScene();
void TimeUpScene();
void ResultScene();
void RankingScene();
