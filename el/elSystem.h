// elSystem: window procedure, frame timing, input, error reporting, system information.
#pragma once
#include <cstdint>

#include "el/system/state.h"
#include "el/system/input.h"

namespace elSystem {

// Program spine.
void ResetState();
int CheckInstance(const char* title);
intptr_t WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam);
void KeyDown(uint32_t key);
int Shutdown();

// Error reporting.
int ReportError(const char* operation, const char* message, long code = 0);
int GetError();
int CheckError();
void Message(const char* format, ...) __attribute__((format(printf, 1, 2)));
int Question(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Beep();
void DebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Frame timing and wait slots.
bool SetFrameRate(uint32_t framesPerSecond);
void SetFrameWait(uint8_t on);
bool WaitFrame();
void ResetFrameClock();
void UpdateFrameClock();
int SetWait(int32_t slot, uint32_t ms);
int InitWait(int32_t slot);
int CheckWait(int32_t slot);

// System information.
char* GetProgramDir(uint32_t useDataRoot);
void LoadDataRoot(const char* name);
int WriteNumber(const char* name, int32_t value);
int32_t ReadNumber(const char* name);
int WriteNumber2(const char* name, int32_t value);
int32_t ReadNumber2(const char* name);
char* GetCommandLine();
uint32_t GetDiskFree(uint8_t drive);
uint32_t GetAvailMemory();
void GetDate(uint32_t* year, uint32_t* month, uint32_t* day, char* weekday);
void GetTime(uint32_t* hour, uint32_t* minute, uint32_t* second);
uint32_t GetOSVersion();
uint32_t GetColorBits();
int IsWindowed();
void Delay(uint32_t ms);

}  // namespace elSystem
