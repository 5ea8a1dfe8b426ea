#include "el/system/state.h"

bool MainWindow;
char CommandLine[1024];
bool InstanceMutex;
int32_t SceneNo;
int32_t PrevSceneNo;
int32_t SceneChanged;
int32_t NextSceneNo;
uint32_t LastTurnTime;
int32_t BlinkOn = 1;
uint32_t BlinkNextTime;
uint32_t MusicCheckTime;
int32_t CloseState;
int32_t ShutDownDone;
int32_t FullScreen = 1;
int32_t ClientX, ClientY;
ElRect ClientRect;

uint32_t FrameRate = 60;
uint32_t FrameMs = 16;
uint32_t FrameStart;
uint8_t FrameWaitOn = 1;
float FrameSeconds;
uint32_t WaitTable[11];

int32_t ErrorFlag;
int32_t MessageBoxUp;

uint32_t MouseX, MouseY, MousePrevX, MousePrevY;
int32_t MouseMoveX, MouseMoveY;
uint32_t LButtonHeld, LButtonClick, LButtonLatch, LButtonDblClk;
uint32_t RButtonHeld, RButtonClick, RButtonLatch, RButtonDblClk;
uint32_t ButtonHeld, LastButton, LButtonHeldLocked;
uint32_t KeyHeld, LastKey, KeyHeldPaused, KeyHeldLocked, ShiftToggle;
uint32_t WatchKey, WatchKeyCount;
uint32_t SysKeyMode, InputLocked, ImeEnabled;
uint32_t AppActive;
uint32_t CursorClipEnabled, CursorShown = 1;
uint32_t InputTime;
