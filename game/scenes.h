// The game's scenes: each draws one frame per call; the main loop calls the scene of SceneNo.
#pragma once
#include <cstdint>

// Scene 10 and its once-only set-up (screen, title picture, title music).
void TitleSetup();
void TitleScene();
// Scenes 15, 20, 25: ready/go, the 30-second play, time up.
void ReadyScene();
void PlayScene();
void TimeUpScene();
// Scene 30: the result of a game.
void ResultScene();
// Scene 40: the five best results.
void RankingScene();

// One line of text on the back screen in the gothic face (CP932 text, COLORREF colour).
void DrawLabel(const char* text, int32_t x, int32_t y, int32_t size, uint32_t colour);
// A fresh game: 30 seconds, no bowls, a full bowl.
void NewGame();
// Rice grains thrown up by a bite, and their flight.
void BurstGrains();
void MoveGrains();
