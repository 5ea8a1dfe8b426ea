// Scene 10: the title picture and its menu, the title music, and the loading of the game's assets.
#include "el/draw/draw_state.h"
#include "el/elDraw.h"
#include "el/elMusic.h"
#include "el/elSound.h"
#include "el/elStream.h"
#include "el/elSystem.h"
#include "game/game_state.h"
#include "game/ranking.h"
#include "game/scenes.h"

int32_t TitleImage;
int32_t TitleMenuShown;
int32_t AssetsLoaded;

int32_t TitleBackPic, TitleBack2Pic;
int32_t BackPic, Gohan1Pic, Gohan2Pic, Hito1Pic, Hito2Pic, Hito3Pic, Hito4Pic, OwanPic, MisoPic, TablePic,
    ReadyPic, GoPic, SokoPic, TsubuPic;
int32_t ReadySound = -1, GoSound = -1, PakuSound = -1, OkawariSound = -1;
int32_t PlayMusic = -1, ResultMusic = -1, OwariMusic = -1;

namespace {

constexpr uint32_t kMenuColour = 0x212121;
constexpr uint32_t kNoticeColour = 0xFFFFFF;

// Pictures, sounds and music of the game itself, in loading order.
void LoadGameAssets() {
  BackPic = elDraw::LoadObject("BACK", 2);
  Gohan1Pic = elDraw::LoadObject("GOHAN1", 2);
  Gohan2Pic = elDraw::LoadObject("GOHAN2", 2);
  Hito1Pic = elDraw::LoadObject("HITO1", 2);
  Hito2Pic = elDraw::LoadObject("HITO2", 2);
  Hito3Pic = elDraw::LoadObject("HITO3", 2);
  Hito4Pic = elDraw::LoadObject("HITO4", 2);
  OwanPic = elDraw::LoadObject("OWAN", 2);
  MisoPic = elDraw::LoadObject("MISO", 2);
  TablePic = elDraw::LoadObject("TABLE", 2);
  ReadyPic = elDraw::LoadObject("READY", 2);
  GoPic = elDraw::LoadObject("GO", 2);
  SokoPic = elDraw::LoadObject("SOKO", 2);
  TsubuPic = elDraw::LoadObject("TSUBU", 2);
  ReadySound = elSound::LoadObject("S-READY", 1);
  GoSound = elSound::LoadObject("S-GO", 1);
  PakuSound = elSound::LoadObject("PAKU", 1);
  OkawariSound = elSound::LoadObject("OKAWARI", 1);
  PlayMusic = elMusic::LoadObject("MUSIC2");
  ResultMusic = elMusic::LoadObject("MUSIC3");
  OwariMusic = elMusic::LoadObject("OWARI");
}

}  // namespace

void TitleSetup() {
  elDraw::Screen(640, 480, 1);
  elDraw::SetColorKey(0x00FF00);
  TitleBackPic = elDraw::LoadObject("TITLEBACK", 2);
  TitleBack2Pic = elDraw::LoadObject("TITLEBACK2", 2);
  TitleImage = elDraw::CreateObject(640, 480, 2);
  if (TitleImage > 0) elDraw::ClearObject(TitleImage);

  // The title picture comes through the media stream: its first frame lands in TitleImage, then
  // its left 600 x 480 is widened to the full screen and kept. A missing picture leaves it black.
  elStream::LoadObject("oomori.jpg", 1);
  elStream::Play();
  if (TitleImage > 0) elStream::Draw(0, 0, TitleImage);
  elStream::Stop();
  if (TitleImage > 0) {
    elDraw::PutStretch(0, 0, TitleImage, 0, 0, 600, 480, 640, 480);
    elDraw::GrabScreen(TitleImage, 0, 0, 640, 480);
  }

  elStream::LoadObject("titlebgm.mp3", 1);
  NewGame();
  elStream::Play();
  SceneNo = 10;
  PrevSceneNo = 0;
}

void TitleScene() {
  elDraw::ClearScreen();
  PutPicture(TitleImage, 0, 0, 640, 480);

  if (TitleMenuShown == 1) {
    const uint16_t paleWhite =
        static_cast<uint16_t>((31u << RShift5) | (31u << GShift5) | (31u << BShift5));
    elDraw::FillHalf(110, 325, 530, 420, paleWhite);
    DrawLabel("左クリックでゲームスタート", 164, 330, 24, kMenuColour);
    if (!Ranking.IsEmpty()) DrawLabel("右クリックでスコアランキング表示", 128, 360, 24, kMenuColour);
    DrawLabel("ＥＳＣキーでゲームを終了します", 140, 390, 24, kMenuColour);
  }
  DrawLabel("左クリックで食べて右クリックでおかわり！制限時間は30秒", 82, 460, 18, kNoticeColour);

  while (elSystem::GetEvent(1)) {
    if (InputEvent.code == 268 && InputEvent.value != 0) {
      if (TitleMenuShown == 0) {
        TitleMenuShown = 1;
      } else {
        if (AssetsLoaded != 1) LoadGameAssets();
        TitleMenuShown = 0;
        elStream::Stop();
        SceneNo = 15;
        PrevSceneNo = 0;
      }
    } else if (InputEvent.code == 269 && !Ranking.IsEmpty() && TitleMenuShown == 1 && InputEvent.value != 0) {
      SceneNo = 40;
      PrevSceneNo = 0;
    }
  }

  if (elStream::GetState() == 4) elStream::Play();
  elDraw::Present();
}
