// The window system: the main window, its message queue, message boxes, the beep and the cursor.
// Called by elSystem (the window procedure, the main loop's pump, the error report) and by the game's
// entry. Message numbers and the wParam/lParam packing follow the desktop window system the library
// was designed on, so the window procedure's table reads the same on every host.
#pragma once
#include <cstdint>

namespace plat {

// Message numbers.
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_MOVE = 0x0003;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_ACTIVATEAPP = 0x001C;   // wParam 1 activating, 0 deactivating
constexpr uint32_t WM_SETCURSOR = 0x0020;
constexpr uint32_t WM_KEYDOWN = 0x0100;       // wParam virtual-key code
constexpr uint32_t WM_KEYUP = 0x0101;
constexpr uint32_t WM_SYSKEYDOWN = 0x0104;
constexpr uint32_t WM_SYSCOMMAND = 0x0112;
constexpr uint32_t WM_MOUSEMOVE = 0x0200;     // lParam low word x, high word y (game pixels)
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr uint32_t WM_LBUTTONUP = 0x0202;
constexpr uint32_t WM_LBUTTONDBLCLK = 0x0203;
constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr uint32_t WM_RBUTTONUP = 0x0205;
constexpr uint32_t WM_RBUTTONDBLCLK = 0x0206;
constexpr uint32_t WM_HOTKEY = 0x0312;
constexpr uint32_t MM_MCINOTIFY = 0x03B9;     // wParam 1 = MCI_NOTIFY_SUCCESSFUL

constexpr uint32_t SC_SCREENSAVE = 0xF140;

// Message box styles and answers.
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_YESNO = 0x4;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
constexpr unsigned MB_SYSTEMMODAL = 0x1000;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

inline intptr_t MakeLParam(int lo, int hi) {
  return static_cast<intptr_t>((static_cast<uint32_t>(hi & 0xFFFF) << 16) | static_cast<uint32_t>(lo & 0xFFFF));
}

struct Msg {
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

using WindowProc = intptr_t (*)(uint32_t message, uintptr_t wParam, intptr_t lParam);

// Creates the one top-level window: the title (CP932), events routed to proc; full screen on the
// desktop, or, given a game screen size, a window of a whole multiple of that size whose display then
// has windowedBits per pixel where the host can offer them. The icon is the resource ICON "MAIN" when
// there is one. Returns false when no window can be made.
bool CreateMainWindow(const char* titleCp932, WindowProc proc, int32_t windowedWidth = 0, int32_t windowedHeight = 0,
                      int32_t windowedBits = 0);
bool HasMainWindow();
void ShowMainWindow();
// Brings the window to the front (asked for by a second copy of the program).
void RaiseMainWindow();
// Sends WM_DESTROY to the window procedure and destroys the window.
void DestroyMainWindow();
// Minimizes the window (the display is given back at shutdown).
void MinimizeMainWindow();

// The message queue. Peek takes at most one message off the queue (translating native events into
// messages first); Wait blocks until one is there. Quit messages carry the exit code in wParam.
// PostMsg may be called from any thread (the MCI sequencer posts its end from the mixing thread).
bool PeekMsg(Msg* out);
void WaitMsg();
void DispatchMsg(const Msg& m);
void PostMsg(uint32_t message, uintptr_t wParam, intptr_t lParam);
void PostQuit(int code);
// What the window system does with a message the procedure does not handle itself.
intptr_t DefWindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam);

// The system pointer over the window: hidden while the full-screen game runs.
void SetCursorVisible(bool visible);

// A modal box with a CP932 text and caption; shown without owner when no window exists yet.
// Returns IDOK, IDYES or IDNO (IDNO also for a box closed otherwise).
int MessageBox(const char* textCp932, const char* captionCp932, unsigned style);
void Beep();

}  // namespace plat
