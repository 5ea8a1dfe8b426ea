// Module-level state of the program spine, the frame clock, the error report and the window-message
// side of input. Written by the window procedure and the main loop; read by scenes and the library.
#pragma once
#include <cstdint>

// Program spine.
extern bool MainWindow;            // the window exists (the host owns the window itself)
extern char CommandLine[1024];
extern bool InstanceMutex;         // this process holds the single-instance lock
extern int32_t SceneNo;
extern int32_t PrevSceneNo;
extern int32_t SceneChanged;
extern int32_t NextSceneNo;
extern uint32_t LastTurnTime;
extern int32_t BlinkOn;
extern uint32_t BlinkNextTime;
extern uint32_t MusicCheckTime;
extern int32_t CloseState;
extern int32_t ShutDownDone;
extern int32_t FullScreen;
extern int32_t ClientX, ClientY;
struct ElRect {
  int32_t left, top, right, bottom;
};
extern ElRect ClientRect;

// Frame clock and wait slots.
extern uint32_t FrameRate;
extern uint32_t FrameMs;
extern uint32_t FrameStart;
extern uint8_t FrameWaitOn;
extern float FrameSeconds;
extern uint32_t WaitTable[11];

// Error report.
extern int32_t ErrorFlag;
extern int32_t MessageBoxUp;

// Window-message side of input.
extern uint32_t MouseX, MouseY, MousePrevX, MousePrevY;
extern int32_t MouseMoveX, MouseMoveY;
extern uint32_t LButtonHeld, LButtonClick, LButtonLatch, LButtonDblClk;
extern uint32_t RButtonHeld, RButtonClick, RButtonLatch, RButtonDblClk;
extern uint32_t ButtonHeld, LastButton, LButtonHeldLocked;
extern uint32_t KeyHeld, LastKey, KeyHeldPaused, KeyHeldLocked, ShiftToggle;
extern uint32_t WatchKey, WatchKeyCount;
extern uint32_t SysKeyMode, InputLocked, ImeEnabled;
extern uint32_t AppActive;
extern uint32_t CursorClipEnabled, CursorShown;
extern uint32_t InputTime;
