// The window procedure, key handling, single instance and the orderly shutdown.
#include "el/elDraw.h"
#include "el/elMusic.h"
#include "el/elSound.h"
#include "el/elStream.h"
#include "el/elSystem.h"
#include "platform/clock.h"
#include "platform/host.h"
#include "platform/instance.h"

#include <cstring>

namespace elSystem {

void ResetState() {
  uint32_t now = plat::TimeMs();
  MainWindow = false;
  InstanceMutex = false;
  SceneNo = PrevSceneNo = SceneChanged = NextSceneNo = 0;
  FrameSeconds = 0.0f;
  LastTurnTime = now;
  BlinkOn = 1;
  BlinkNextTime = now + 1000;
  MusicCheckTime = now + 1000;
  CloseState = 0;
  FullScreen = 1;

  MouseX = MouseY = MousePrevX = MousePrevY = 0;
  MouseMoveX = MouseMoveY = 0;
  LButtonHeld = RButtonHeld = LButtonClick = RButtonClick = 0;
  LButtonDblClk = RButtonDblClk = LButtonLatch = RButtonLatch = 0;
  LButtonHeldLocked = ButtonHeld = LastButton = 0;
  KeyHeld = LastKey = KeyHeldPaused = KeyHeldLocked = ShiftToggle = 0;
  WatchKey = WatchKeyCount = 0;
  AppActive = 0;
  CursorClipEnabled = 0;
  MessageBoxUp = 0;
  CursorShown = 1;
}

int CheckInstance(const char* title) {
  // The lock is named like the mutex it stands in for: the title followed by ":ElMutex".
  char name[256];
  std::strncpy(name, title ? title : "", sizeof name - 16);
  name[sizeof name - 16] = 0;
  std::strcat(name, ":ElMutex");
  // With no private place for the lock the copy runs, unchecked (the platform says so on stderr):
  // refusing would let anyone who can spoil that place keep the game from starting.
  plat::InstanceCheck check = plat::AcquireInstance(name);
  InstanceMutex = check == plat::InstanceCheck::kOnly;
  return check == plat::InstanceCheck::kAnother ? 0 : 1;
}

void KeyDown(uint32_t key) {
  if (PauseShown == 0) {
    KeyHeld = key;
    LastKey = key;
  } else {
    KeyHeldPaused = key;
  }
  if (key == 27) Shutdown();
}

intptr_t WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  using namespace plat;
  const uint32_t key = static_cast<uint32_t>(wParam);
  switch (message) {
    case WM_DESTROY:
      PostQuit(0);
      return 0;
    case WM_MOVE:
      ClientX = static_cast<int16_t>(lParam & 0xFFFF);
      ClientY = static_cast<int16_t>((lParam >> 16) & 0xFFFF);
      ClientRect = {ClientX, ClientY, ClientX + ScreenWidth, ClientY + ScreenHeight};
      if (CursorClipEnabled) ClipCursorToScreen();
      break;
    case WM_CLOSE:
      if (CloseState == 0) CloseState = 1;
      if (CloseState < 2) Shutdown();
      DestroyMainWindow();
      MainWindow = false;
      return 0;
    case WM_ACTIVATEAPP:
      if (wParam) {
        ActivateInput(1);
        ResetFrameClock();
        if (CursorClipEnabled) ClipCursorToScreen();
        SyncPointer(1);
      } else {
        ActivateInput(0);
        if (CursorShown == 0) {
          SetCursorVisible(true);
          CursorShown = 1;
        }
        if (CursorClipEnabled) UnclipCursor();
      }
      return 0;
    case WM_SETCURSOR:
      if (FullScreen && !MessageBoxUp) {
        SetCursorVisible(false);
        return 1;
      }
      break;
    case WM_KEYDOWN:
      if (InputLocked) KeyHeldLocked = key;
      else KeyDown(key);
      break;
    case WM_KEYUP:
      if (KeyHeld == key) KeyHeld = 0;
      if (KeyHeldPaused == key) KeyHeldPaused = 0;
      if (KeyHeldLocked == key) KeyHeldLocked = 0;
      if (key == 16) ShiftToggle ^= 1;
      if (key == WatchKey) ++WatchKeyCount;
      break;
    case WM_SYSKEYDOWN:
      if (SysKeyMode == 0 || (SysKeyMode == 2 && key == 18)) return 0;
      if (InputLocked) KeyHeldLocked = key;
      else KeyDown(key);
      break;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_SCREENSAVE) return 0;
      break;
    case WM_MOUSEMOVE:
      MouseX = static_cast<uint32_t>(lParam & 0xFFFF);
      MouseY = static_cast<uint32_t>((lParam >> 16) & 0xFFFF);
      break;
    case WM_LBUTTONDOWN:
      if (!InputLocked) {
        LButtonHeld = LButtonClick = LButtonLatch = 1;
        ButtonHeld = 1;
        LastButton = 1;
      } else {
        LButtonHeldLocked = 1;
      }
      break;
    case WM_LBUTTONUP:
      LButtonHeld = 0;
      if (ButtonHeld == 1) ButtonHeld = 0;
      LButtonHeldLocked = 0;
      break;
    case WM_LBUTTONDBLCLK:
      if (!InputLocked) LButtonDblClk = 1;
      return 0;
    case WM_RBUTTONDOWN:
      if (!InputLocked) {
        RButtonHeld = RButtonClick = RButtonLatch = 1;
        ButtonHeld = 2;
        LastButton = 2;
      }
      break;
    case WM_RBUTTONUP:
      RButtonHeld = 0;
      if (ButtonHeld == 2) ButtonHeld = 0;
      break;
    case WM_RBUTTONDBLCLK:
      if (!InputLocked) RButtonDblClk = 1;
      if (CursorClipEnabled) {
        if (IsCursorClipped()) UnclipCursor();
        else ClipCursorToScreen();
      }
      return 0;
    case WM_HOTKEY:
      if (!InputLocked) {
        if (wParam == 0xBF01) KeyDown(44);
        else if (wParam == 0xBF02) KeyDown(257);
      }
      return 0;
    case MM_MCINOTIFY:
      if (wParam == 1 && MusicFilePlaying) {
        char reply[32] = {};
        elMusic::SendCommand("status midi mode", reply, sizeof reply);
        if (reply[0] == 's' && reply[1] == 't') elMusic::Notify();
      }
      break;
    default:
      break;
  }
  return DefWindowProc(message, wParam, lParam);
}

int Shutdown() {
  if (ShutDownDone == 1) return 1;
  ShutDownDone = 1;
  elStream::Release();
  elMusic::Release();
  ReleaseInput();
  elDraw::FreeFonts();
  elSound::Release();
  elDraw::Release();
  if (InstanceMutex) {
    plat::ReleaseInstance();
    InstanceMutex = false;
  }
  if (CloseState == 0) plat::PostMsg(plat::WM_CLOSE, 0, 0);
  CloseState = 2;
  return 1;
}

}  // namespace elSystem
