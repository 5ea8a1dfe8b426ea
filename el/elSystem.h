/// @file
/// elSystem: window procedure, frame timing, input, error reporting, system information.
///
/// The program spine (window procedure, single instance, shutdown), the frame clock, ten wait slots
/// (numbers 1 to 10, each a millisecond deadline), the shared error report and system information.
/// Input devices, the event queue, the pointer and joysticks are declared in el/system/input.h,
/// which this header includes.
///
/// Every library operation that fails reports through elSystem::ReportError: a beep, a modal box
/// "operation : message" captioned "エラー発生", and a sticky error flag; the operation then answers
/// its failure value (0 for most, -1 for the elSound loaders). Texts are code page 932.
#pragma once
#include <cstdint>

#include "el/system/state.h"
#include "el/system/input.h"

/// System services: program spine, frame timing, error reporting, system information, input.
/// The model (object numbers, tables, selectors, failure answers) is described in elSystem.h.
namespace elSystem {

// Program spine.
/// Puts the program spine back to its start: no window, scene 0, the blink and music-check timers
/// one second ahead, every mouse and key latch cleared, full screen, cursor shown.
void ResetState();
/// Takes the single-instance lock named after the window title (title followed by ":ElMutex").
/// @param title the window title (CP932); null counts as empty.
/// @return 1 when this process is the only one holding the lock, 0 when another instance has it.
int CheckInstance(const char* title);
/// The window procedure: updates the mouse, button and key state, handles activation, closing,
/// cursor hiding in full screen, hot keys and the end of an MCI-played file piece.
/// @param message a window message number (WM_*).
/// @param wParam, lParam the message's parameters, as the host delivers them.
/// @return 0 for the messages it consumes, otherwise the default procedure's answer.
intptr_t WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam);
/// Records a key press as a window key-down does: sets KeyHeld and LastKey (KeyHeldPaused while
/// the pause overlay is shown). Escape (27) shuts the program down.
/// @param key virtual-key code.
void KeyDown(uint32_t key);
/// Orderly shutdown, done once: releases the stream, music, input, fonts, sound and display in that
/// order, frees the single-instance lock and asks the window to close.
/// @return 1 (also on every later call, which does nothing).
int Shutdown();

// Error reporting.
/// The shared failure report of every library operation: beeps, shows a modal box captioned
/// "エラー発生" with the text "operation : message", and sets the sticky error flag.
/// @param operation the failing operation's name, such as "elDraw::Screen".
/// @param message the report text (CP932), such as "DirectDrawが使用できません".
/// @param code an error code such as the platform's result; accepted and not shown.
/// @return 0, so that a caller can return the report as its own failure value.
int ReportError(const char* operation, const char* message, long code = 0);
/// Whether any operation has failed.
/// @return the sticky error flag: 1 once any operation has reported a failure (cleared only at the
/// start of elDraw::Screen), else 0.
int GetError();
/// Shuts the program down (elSystem::Shutdown) if a failure has been reported.
/// @return the error flag, 1 or 0.
int CheckError();
/// Information box captioned "メッセージ" with a printf-style text (at most 253 bytes are shown).
/// Makes the cursor visible while the box is up; the time spent in it does not count as frame time.
/// @param format printf format (CP932), followed by its arguments.
void Message(const char* format, ...) __attribute__((format(printf, 1, 2)));
/// Yes/no box captioned "メッセージ" with a printf-style text, shown as elSystem::Message does.
/// @param format printf format (CP932), followed by its arguments.
/// @return 1 when the player chose Yes; 0 for No or a box closed otherwise.
int Question(const char* format, ...) __attribute__((format(printf, 1, 2)));
/// Sounds the system's default beep.
void Beep();
/// Appends one formatted line to "DEBUG.TXT" in the working directory, opening and closing the file
/// on each call so lines survive a crash. Does nothing when the file cannot be opened.
/// @param format printf format, followed by its arguments.
void DebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Frame timing and wait slots.
/// Sets the pace of elSystem::WaitFrame and restarts the frame from now.
/// @param framesPerSecond frames a second (60 at start); a frame lasts 1000 / framesPerSecond ms,
///        and 0 counts as one frame a second.
/// @return true.
bool SetFrameRate(uint32_t framesPerSecond);
/// Chooses how frames are paced: by elSystem::WaitFrame (on = 1, the start) or by waiting for the
/// vertical blank at present (on = 0); exactly one of the two is in force.
/// @param on 1 to pace with elSystem::WaitFrame, 0 to pace with the display.
void SetFrameWait(uint8_t on);
/// Waits out the rest of the current frame (sleeps all but the last 3 ms, then spins on the clock)
/// and starts the next one. Returns at once while the frame wait is off.
/// @return true.
bool WaitFrame();
/// Sets the per-turn elapsed time FrameSeconds to 0 and restarts the turn clock from now, so a pause
/// (a box, an inactive window) does not count as frame time.
void ResetFrameClock();
/// Measures the time since the previous turn into FrameSeconds (seconds) and restarts the turn clock.
void UpdateFrameClock();
/// Starts wait slot slot: its deadline becomes now + ms.
/// @param slot wait slot, 1 to 10.
/// @param ms milliseconds from now.
/// @return 1; for a slot outside 1..10 reports "ウェイトNoが範囲外です" and returns 0.
int SetWait(int32_t slot, uint32_t ms);
/// Puts wait slot slot out of use (deadline 999999999 ms, in effect never).
/// @param slot wait slot, 1 to 10.
/// @return 1; for a slot outside 1..10 reports "ウェイトNoが範囲外です" and returns 0.
int InitWait(int32_t slot);
/// Whether wait slot slot has passed its deadline.
/// @param slot wait slot, 1 to 10 (a slot never set reads as passed; one outside 0..10 too, unreported).
/// @return 1 when the slot's deadline has come, else 0.
int CheckWait(int32_t slot);

// System information.
/// The directory of the executable, ending in "/". With a data root loaded (elSystem::LoadDataRoot)
/// and useDataRoot non-zero, the data root followed by the executable's folder name instead; when
/// that would not fit 255 bytes, the executable's directory.
/// @param useDataRoot 0: the executable's directory; otherwise the data-root form where one is set.
/// @return a static 256-byte buffer, rewritten by the next call.
char* GetProgramDir(uint32_t useDataRoot);
/// Reads the data root (first line, a trailing "/" removed) from the settings file name in the
/// user's configuration directory ($XDG_CONFIG_HOME, else ~/.config). A missing file clears it.
/// @param name the settings file's name.
void LoadDataRoot(const char* name);
/// Writes value as decimal text into the file name of the program directory (data-root form),
/// replacing it.
/// @return the answer of closing the file: 0 when the number reached it, EOF (-1) when it did not. A
/// file that cannot be created also answers 0, with nothing written; nothing is reported.
int WriteNumber(const char* name, int32_t value);
/// Reads a decimal number from the file name of the program directory (data-root form).
/// @return the number; 0 for a missing file or one that holds no number (no report).
int32_t ReadNumber(const char* name);
/// Same as elSystem::WriteNumber.
int WriteNumber2(const char* name, int32_t value);
/// Same as elSystem::ReadNumber.
int32_t ReadNumber2(const char* name);
/// The program's command line.
/// @return the program's command line as kept at start (at most 1023 bytes).
char* GetCommandLine();
/// Free space of the program directory's file system, in bytes.
/// @param drive a drive letter; ignored here (there are no drives).
/// @return the free bytes, wrapping at 4 GiB as a 32-bit count; 0 when it cannot be read.
uint32_t GetDiskFree(uint8_t drive);
/// Available memory.
/// @return the memory available to programs, in bytes, at most 4 GiB - 1; 0 when unknown.
uint32_t GetAvailMemory();
/// Today's local date. Null pointers are skipped.
/// @param[out] year e.g. 2026; @p month 1..12; @p day 1..31.
/// @param[out] weekday receives the weekday as one kanji ("日" ... "土") in CP932, 2 bytes and a
///        terminator (3 bytes).
void GetDate(uint32_t* year, uint32_t* month, uint32_t* day, char* weekday);
/// The local time of day (hour 0..23, minute and second 0..59). Null pointers are skipped.
void GetTime(uint32_t* hour, uint32_t* minute, uint32_t* second);
/// The operating system's version code.
/// @return the version code of the operating system: 310, 950, 980, major * 100 + minor, 2000 or
/// major * 1000 + minor * 10 for the systems those codes name, and 0xFFFFFFFF for any other (this one).
uint32_t GetOSVersion();
/// Colour depth of the game screen.
/// @return bits per pixel of the game screen once set up, else 32.
uint32_t GetColorBits();
/// Whether the game runs in a window.
/// @return 1 when the game runs in a window, 0 in full screen.
int IsWindowed();
/// Waits ms milliseconds (sleeping while more than 2 ms remain), then resets the frame clock so the
/// wait does not count as frame time.
void Delay(uint32_t ms);

}  // namespace elSystem
