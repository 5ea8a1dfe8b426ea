// Program entry, main loop and scene dispatch.
#include "game/winmain.h"

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "el/elDraw.h"
#include "el/elMusic.h"
#include "el/elSystem.h"
#include "game/ranking.h"
#include "game/scenes.h"
#include "platform/clock.h"
#include "platform/host.h"

// Loaded before the entry runs and written back when the process ends normally; constructed after
// the frame timer (priority 200), so destroyed before it.
__attribute__((init_priority(201))) RankingTable Ranking;

namespace {

const char kTitle[] = "大盛り";

void CopyCommandLine(int argc, char** argv) {
  CommandLine[0] = 0;
  size_t len = 0;
  for (int i = 1; i < argc && argv[i]; ++i) {
    size_t n = std::strlen(argv[i]);
    if (len + n + 2 > sizeof CommandLine) break;
    if (len) CommandLine[len++] = ' ';
    std::memcpy(CommandLine + len, argv[i], n);
    len += n;
    CommandLine[len] = 0;
  }
}

void RunScene() {
  switch (SceneNo) {
    case 10: TitleScene(); break;
    case 15: ReadyScene(); break;
    case 20: PlayScene(); break;
    case 25: TimeUpScene(); break;
    case 30: ResultScene(); break;
    case 40: RankingScene(); break;
    default: return;  // an unknown scene runs nothing and does not wait
  }
  elSystem::WaitFrame();
}

void IdleTurn() {
  uint32_t now = plat::TimeMs();
  FrameSeconds = static_cast<float>(now - LastTurnTime) / 1000.0f;
  LastTurnTime = now;
  MouseMoveX = static_cast<int32_t>(MouseX - MousePrevX);
  MouseMoveY = static_cast<int32_t>(MouseY - MousePrevY);

  if (PrevSceneNo == 0 && SceneNo != 0) {
    SceneChanged = 1;
    PrevSceneNo = SceneNo;
  }

  if (FadeDirection == 1) {
    elDraw::Present();
    if (FadeDirection == 0) SceneNo = NextSceneNo;
  } else {
    elSystem::UpdateInput();
    InputTime = plat::TimeMs();
    RunScene();
  }

  now = plat::TimeMs();
  if (MusicReady && MusicFilePlaying && MusicFileLoop == 0 && static_cast<int32_t>(now - MusicCheckTime) >= 0) {
    if (!elMusic::IsFileSegmentPlaying()) {
      elMusic::StopAll();
      MusicFileEnded = 1;
    }
    MusicCheckTime = now + 1000;
  }

  if (SceneNo != PrevSceneNo) {
    SceneChanged = 1;
    if (WipeState > 0) {
      ClipLeft = SavedClipLeft;
      ClipTop = SavedClipTop;
      ClipRight = SavedClipRight;
      ClipBottom = SavedClipBottom;
      WipeState = 0;
    }
  } else {
    SceneChanged = 0;
  }
  PrevSceneNo = SceneNo;

  now = plat::TimeMs();
  if (static_cast<int32_t>(now - BlinkNextTime) >= 0) {
    BlinkOn ^= 1;
    BlinkNextTime = now + (BlinkOn ? 1000 : 200);
  }

  MousePrevX = MouseX;
  MousePrevY = MouseY;
  MouseMoveX = static_cast<int32_t>(MouseX);
  MouseMoveY = static_cast<int32_t>(MouseY);
  LButtonClick = RButtonClick = LButtonDblClk = RButtonDblClk = 0;
}

}  // namespace

int GameMain(int argc, char** argv) {
  elSystem::ResetState();
  if (!elSystem::CheckInstance(kTitle)) return 0;  // the first copy has been asked to come forward
  CopyCommandLine(argc, argv);
  if (!plat::CreateMainWindow(kTitle, elSystem::WindowProc)) return 0;
  MainWindow = true;
  plat::ShowMainWindow();
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  elSystem::EnableIME(0);
  TitleSetup();
  elSystem::ResetFrameClock();
  elSystem::SyncPointer(0);

  for (;;) {
    plat::Msg m;
    if (plat::PeekMsg(&m)) {
      if (m.message == plat::WM_QUIT) return 0;
      plat::DispatchMsg(m);
    } else if (AppActive == 0) {
      plat::WaitMsg();
    } else {
      IdleTurn();
    }
  }
}
