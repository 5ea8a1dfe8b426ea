// Headless host: an in-memory window and message queue, recorded message boxes and a fake clock,
// all under the control of tests (platform/headless/headless.h).
#include <functional>

#include "platform/clock.h"
#include "platform/headless/headless.h"
#include "platform/host.h"
#include "platform/message_queue.h"
#include "platform/instance.h"

namespace plat {

namespace {

uint64_t nowMicros = 0;
uint32_t readStepMicros = 100;
std::vector<uint32_t> sleeps;

bool windowExists = false;
bool windowRaised = false;
bool windowMinimized = false;
bool cursorVisible = true;
std::string windowTitle;
WindowProc windowProc = nullptr;
std::vector<headless::Box> boxes;
int boxAnswer = IDNO;
int beeps = 0;
std::function<void()> idleHook;

// Real time passes while a program waits for a message; a test that never posts one would hang.
constexpr uint64_t kWaitLimitMicros = 600ull * 1000 * 1000;

}  // namespace

uint32_t TimeMs() {
  uint32_t t = static_cast<uint32_t>(nowMicros / 1000);
  nowMicros += readStepMicros;
  return t;
}

void SleepMs(uint32_t ms) {
  sleeps.push_back(ms);
  nowMicros += static_cast<uint64_t>(ms) * 1000;
}

bool CreateMainWindow(const char* titleCp932, WindowProc proc, int32_t, int32_t, int32_t) {
  windowExists = true;
  windowTitle = titleCp932 ? titleCp932 : "";
  windowProc = proc;
  return true;
}
bool HasMainWindow() { return windowExists; }
void ShowMainWindow() {
  // Showing a window activates it, as on the desktop.
  if (windowExists) PostMsg(WM_ACTIVATEAPP, 1, 0);
}
void RaiseMainWindow() { windowRaised = true; }
void DestroyMainWindow() {
  if (!windowExists) return;
  if (windowProc) windowProc(WM_DESTROY, 0, 0);
  windowExists = false;
}
void MinimizeMainWindow() { windowMinimized = true; }

bool PeekMsg(Msg* out) {
  if (PollInstanceRequests()) RaiseMainWindow();
  if (queue::Empty() && idleHook) idleHook();
  return queue::Pop(out);
}

void WaitMsg() {
  uint64_t start = nowMicros;
  while (queue::Empty()) {
    if (idleHook) idleHook();
    if (!queue::Empty()) break;
    nowMicros += 1000;
    if (nowMicros - start > kWaitLimitMicros) PostQuit(0);
  }
}

void DispatchMsg(const Msg& m) {
  if (windowProc && windowExists) windowProc(m.message, m.wParam, m.lParam);
}

intptr_t DefWindowProc(uint32_t message, uintptr_t, intptr_t) {
  if (message == WM_CLOSE) DestroyMainWindow();
  return 0;
}

void SetCursorVisible(bool visible) { cursorVisible = visible; }

int MessageBox(const char* textCp932, const char* captionCp932, unsigned style) {
  boxes.push_back({textCp932 ? textCp932 : "", captionCp932 ? captionCp932 : "", style, windowExists});
  if ((style & 0xF) == MB_YESNO) return boxAnswer == IDYES ? IDYES : IDNO;
  return IDOK;
}

void Beep() { ++beeps; }

namespace headless {

void SetTimeMs(uint32_t ms) { nowMicros = static_cast<uint64_t>(ms) * 1000; }
void AdvanceMs(uint32_t ms) { nowMicros += static_cast<uint64_t>(ms) * 1000; }
uint64_t NowMicros() { return nowMicros; }
void SetReadStepMicros(uint32_t us) { readStepMicros = us; }
const std::vector<uint32_t>& Sleeps() { return sleeps; }
void ClearSleeps() { sleeps.clear(); }
std::vector<Box>& Boxes() { return boxes; }
void SetBoxAnswer(int answer) { boxAnswer = answer; }
int BeepCount() { return beeps; }
bool WindowCreated() { return windowExists; }
std::string WindowTitle() { return windowTitle; }
bool WindowRaised() { return windowRaised; }
bool WindowMinimized() { return windowMinimized; }
bool CursorVisible() { return cursorVisible; }
void Inject(uint32_t message, uintptr_t wParam, intptr_t lParam) { PostMsg(message, wParam, lParam); }
void SetIdleHook(std::function<void()> hook) { idleHook = std::move(hook); }
void Reset() {
  nowMicros = 0;
  readStepMicros = 100;
  sleeps.clear();
  windowExists = false;
  windowRaised = windowMinimized = false;
  cursorVisible = true;
  windowTitle.clear();
  windowProc = nullptr;
  queue::Clear();
  boxes.clear();
  boxAnswer = IDNO;
  beeps = 0;
  idleHook = nullptr;
}

}  // namespace headless

}  // namespace plat
