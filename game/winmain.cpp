// Program entry, main loop and scene dispatch.
#include "game/winmain.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>

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
// The game screen that TitleSetup asks elDraw::Screen for; a windowed window is a whole multiple of it.
// Its pixels are 16 bits in a window too: the menu's half-tone panel is a 16-bit fill.
constexpr int32_t kGameWidth = 640;
constexpr int32_t kGameHeight = 480;
constexpr int32_t kGameBits = 16;

// Exit statuses beyond the normal 0: no window could be made, and a command line we do not know.
constexpr int kExitNoWindow = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: oomori [--window]\n"
    "  --window  play in a window instead of full screen\n"
    "  --help    show this help\n";

struct Options {
  bool windowed = false;
};

// Parses the command line; returns nothing to go on, else the exit status to end with at once.
std::optional<int> ParseOptions(int argc, char** argv, Options* out) {
  for (int i = 1; i < argc && argv[i]; ++i) {
    if (std::strcmp(argv[i], "--window") == 0) {
      out->windowed = true;
    } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    } else {
      std::fprintf(stderr, "oomori: unknown option '%s'\n%s", argv[i], kUsage);
      return kExitUsage;
    }
  }
  return std::nullopt;
}

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
  // The options are read before anything starts, so --help and a mistyped option touch nothing.
  Options options;
  if (std::optional<int> status = ParseOptions(argc, argv, &options)) return *status;
  elSystem::ResetState();
  if (options.windowed) FullScreen = 0;  // the library's windowed paths: pointer shown and read from the window
  if (!elSystem::CheckInstance(kTitle)) return 0;  // the first copy has been asked to come forward
  CopyCommandLine(argc, argv);
  const bool made = options.windowed
                        ? plat::CreateMainWindow(kTitle, elSystem::WindowProc, kGameWidth, kGameHeight, kGameBits)
                        : plat::CreateMainWindow(kTitle, elSystem::WindowProc);
  if (!made) {
    // The host has said why on stderr. The lock is given up and the failure shows in the exit status,
    // so a launcher or a script sees that nothing was started.
    elSystem::Shutdown();
    return kExitNoWindow;
  }
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
