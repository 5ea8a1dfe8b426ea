// SDL host: the game's window (full-screen desktop, or a window of a whole multiple of the game
// screen), native events turned into window messages, message boxes (SDL shows them through zenity
// where it is installed, also before any window exists), and the end signals.
#include <signal.h>
#include <spawn.h>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/host.h"
#include "platform/message_queue.h"
#include "platform/instance.h"
#include "platform/media.h"
#include "platform/resources.h"
#include "platform/sdl/sdl_host.h"
#include "platform/text.h"

namespace plat {

namespace {

SDL_Window* window = nullptr;
WindowProc windowProc = nullptr;
int windowedBits = 0;
// PostMsg may come from the mixing thread (the MCI sequencer's end notification).
std::vector<sdl::EventHook> hooks;

// Set by SIGHUP, SIGTERM and SIGINT; the pump turns it into the close message, so a closed terminal,
// a logout or a kill ends the game as closing its window does (shutdown, ranking saved at exit).
volatile sig_atomic_t closeSignalled = 0;

void OnCloseSignal(int) { closeSignalled = 1; }

void CatchCloseSignals() {
  static bool done = false;
  if (done) return;
  done = true;
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = OnCloseSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : {SIGHUP, SIGTERM, SIGINT}) sigaction(sig, &sa, nullptr);
}

// The video drivers that show nothing. SDL falls back to them when there is no display, and a game
// running unseen would hold the single-instance lock; they are taken only when asked for by name.
bool InvisibleDriver(const char* name) {
  return name && (std::strcmp(name, "offscreen") == 0 || std::strcmp(name, "dummy") == 0);
}

bool DriverRequested(const char* name) {
  const char* list = std::getenv("SDL_VIDEODRIVER");
  if (!list || !name) return false;
  const size_t n = std::strlen(name);
  for (const char* p = list; *p;) {
    const char* end = std::strchr(p, ',');
    const size_t len = end ? static_cast<size_t>(end - p) : std::strlen(p);
    if (len == n && strncasecmp(p, name, n) == 0) return true;
    if (!end) break;
    p = end + 1;
  }
  return false;
}

// Virtual-key code of an SDL key, as the window procedure expects; 0 for keys it has no code for.
uint32_t VirtualKey(SDL_Keycode k) {
  if (k >= SDLK_a && k <= SDLK_z) return static_cast<uint32_t>('A' + (k - SDLK_a));
  if (k >= SDLK_0 && k <= SDLK_9) return static_cast<uint32_t>('0' + (k - SDLK_0));
  if (k >= SDLK_F1 && k <= SDLK_F12) return 0x70 + static_cast<uint32_t>(k - SDLK_F1);
  if (k >= SDLK_KP_1 && k <= SDLK_KP_9) return 0x61 + static_cast<uint32_t>(k - SDLK_KP_1);
  switch (k) {
    case SDLK_BACKSPACE: return 8;
    case SDLK_TAB: return 9;
    case SDLK_RETURN: case SDLK_KP_ENTER: return 13;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return 16;
    case SDLK_LCTRL: case SDLK_RCTRL: return 17;
    case SDLK_LALT: case SDLK_RALT: return 18;
    case SDLK_PAUSE: return 19;
    case SDLK_CAPSLOCK: return 20;
    case SDLK_ESCAPE: return 27;
    case SDLK_SPACE: return 32;
    case SDLK_PAGEUP: return 33;
    case SDLK_PAGEDOWN: return 34;
    case SDLK_END: return 35;
    case SDLK_HOME: return 36;
    case SDLK_LEFT: return 37;
    case SDLK_UP: return 38;
    case SDLK_RIGHT: return 39;
    case SDLK_DOWN: return 40;
    case SDLK_PRINTSCREEN: return 44;
    case SDLK_INSERT: return 45;
    case SDLK_DELETE: return 46;
    case SDLK_KP_0: return 0x60;
    case SDLK_KP_MULTIPLY: return 0x6A;
    case SDLK_KP_PLUS: return 0x6B;
    case SDLK_KP_MINUS: return 0x6D;
    case SDLK_KP_PERIOD: return 0x6E;
    case SDLK_KP_DIVIDE: return 0x6F;
    case SDLK_NUMLOCKCLEAR: return 0x90;
    case SDLK_SCROLLLOCK: return 0x91;
    case SDLK_SEMICOLON: return 0xBA;
    case SDLK_EQUALS: return 0xBB;
    case SDLK_COMMA: return 0xBC;
    case SDLK_MINUS: return 0xBD;
    case SDLK_PERIOD: return 0xBE;
    case SDLK_SLASH: return 0xBF;
    case SDLK_BACKQUOTE: return 0xC0;
    case SDLK_LEFTBRACKET: return 0xDB;
    case SDLK_BACKSLASH: return 0xDC;
    case SDLK_RIGHTBRACKET: return 0xDD;
    case SDLK_QUOTE: return 0xDE;
    default: return 0;
  }
}

void Translate(const SDL_Event& e) {
  for (sdl::EventHook h : hooks) h(e);
  switch (e.type) {
    case SDL_QUIT:
      PostMsg(WM_CLOSE, 0, 0);
      break;
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: PostMsg(WM_CLOSE, 0, 0); break;
        case SDL_WINDOWEVENT_FOCUS_GAINED: PostMsg(WM_ACTIVATEAPP, 1, 0); break;
        case SDL_WINDOWEVENT_FOCUS_LOST: PostMsg(WM_ACTIVATEAPP, 0, 0); break;
        // Pointer positions reach the library in game pixels of the picture, whose origin is the
        // client origin wherever the window sits on the desktop.
        case SDL_WINDOWEVENT_MOVED: PostMsg(WM_MOVE, 0, MakeLParam(0, 0)); break;
        default: break;
      }
      break;
    case SDL_KEYDOWN: {
      uint32_t vk = VirtualKey(e.key.keysym.sym);
      if (vk == 0) break;
      // Alt combinations and F10 arrive as system keys, as on the desktop the game was made for.
      bool sys = (e.key.keysym.mod & KMOD_ALT) != 0 || vk == 18 || vk == 0x79;
      PostMsg(sys ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, 0);
      break;
    }
    case SDL_KEYUP: {
      uint32_t vk = VirtualKey(e.key.keysym.sym);
      if (vk != 0) PostMsg(WM_KEYUP, vk, 0);
      break;
    }
    case SDL_MOUSEMOTION:
      // With the display's logical size set, SDL has already mapped the position to game pixels.
      PostMsg(WM_SETCURSOR, 0, 0);
      PostMsg(WM_MOUSEMOVE, 0, MakeLParam(e.motion.x, e.motion.y));
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      bool down = e.type == SDL_MOUSEBUTTONDOWN;
      bool dbl = down && e.button.clicks >= 2 && e.button.clicks % 2 == 0;
      intptr_t pos = MakeLParam(e.button.x, e.button.y);
      if (e.button.button == SDL_BUTTON_LEFT)
        PostMsg(dbl ? WM_LBUTTONDBLCLK : down ? WM_LBUTTONDOWN : WM_LBUTTONUP, 0, pos);
      else if (e.button.button == SDL_BUTTON_RIGHT)
        PostMsg(dbl ? WM_RBUTTONDBLCLK : down ? WM_RBUTTONDOWN : WM_RBUTTONUP, 0, pos);
      break;
    }
    default:
      break;
  }
}

void Pump() {
  if (closeSignalled) {
    closeSignalled = 0;
    PostMsg(WM_CLOSE, 0, 0);
  }
  if (PollInstanceRequests()) RaiseMainWindow();
  SDL_Event e;
  while (SDL_PollEvent(&e)) Translate(e);
}

// Shows the box through zenity, which renders Japanese text with the desktop's fonts (SDL's own X11
// box cannot). Returns the button pressed, or -1 when zenity cannot be started.
int ZenityBox(const std::string& text, const std::string& caption, bool yesNo, bool warning) {
  std::string plain;
  for (char c : text)
    if (c != '\r') plain += c;
  std::string titleArg = "--title=" + caption;
  std::string textArg = "--text=" + plain;
  const char* kind = yesNo ? "--question" : warning ? "--warning" : "--info";
  std::vector<const char*> args = {"zenity", kind, titleArg.c_str(), textArg.c_str(), "--no-markup"};
  if (yesNo) {
    args.push_back("--ok-label=Yes");
    args.push_back("--cancel-label=No");
  }
  args.push_back(nullptr);
  pid_t pid;
  if (posix_spawnp(&pid, "zenity", nullptr, nullptr, const_cast<char* const*>(args.data()), environ) != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) return -1;  // not installed, or no display for it
  if (yesNo) return WEXITSTATUS(status) == 0 ? IDYES : IDNO;
  return IDOK;
}

}  // namespace

namespace sdl {

SDL_Window* Window() { return window; }

int WindowedBits() { return windowedBits; }

bool EnsureVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  const char* driver = SDL_GetCurrentVideoDriver();
  if (InvisibleDriver(driver) && !DriverRequested(driver)) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_SetError("no X11 or Wayland display (DISPLAY and WAYLAND_DISPLAY are unset or unreachable)");
    return false;
  }
  return true;
}

void AddEventHook(EventHook hook) { hooks.push_back(hook); }

}  // namespace sdl

bool CreateMainWindow(const char* titleCp932, WindowProc proc, int32_t windowedWidth, int32_t windowedHeight,
                      int32_t bits) {
  if (window) return true;
  // Before SDL starts its event loop, which otherwise takes SIGINT and SIGTERM for itself.
  CatchCloseSignals();
  if (!sdl::EnsureVideo()) {
    std::fprintf(stderr, "oomori: cannot open a window: %s\n", SDL_GetError());
    return false;
  }
  std::string title = Cp932ToUtf8(titleCp932 ? titleCp932 : "");
  if (windowedWidth > 0 && windowedHeight > 0) {
    // A plain window of the largest whole multiple of the game screen that fits the desktop's
    // usable area, with some room left for the window manager's title bar.
    constexpr int kDecorationRoom = 64;
    SDL_Rect usable{0, 0, windowedWidth, windowedHeight};
    if (SDL_GetDisplayUsableBounds(0, &usable) != 0) SDL_GetDisplayBounds(0, &usable);
    const int scale = std::max(1, std::min(usable.w / windowedWidth, (usable.h - kDecorationRoom) / windowedHeight));
    window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, windowedWidth * scale,
                              windowedHeight * scale, SDL_WINDOW_HIDDEN);
    // The picture reaches the window through a texture of any format, so the window can offer the
    // depth the game screen is made for, whatever the desktop's.
    if (window && (bits == 16 || bits == 32)) windowedBits = bits;
  } else {
    // The window is made as large as the desktop at its origin, so it covers the whole display even
    // where no window manager carries out the full-screen request.
    SDL_DisplayMode desktop;
    int w = 640, h = 480;
    if (SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w > 0 && desktop.h > 0) {
      w = desktop.w;
      h = desktop.h;
    }
    window = SDL_CreateWindow(title.c_str(), 0, 0, w, h, SDL_WINDOW_HIDDEN);
    // Full screen is the window manager's to grant. With none, the window already covers the display,
    // and asking would only add SDL's wait for an answer to every start.
    if (window && !sdl::X11WithoutWindowManager(window)) SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
  }
  if (!window) {
    std::fprintf(stderr, "oomori: cannot open the window: %s\n", SDL_GetError());
    return false;
  }
  windowProc = proc;
  // The decoders load on a thread of their own while the title is set up. The dynamic loader takes
  // one load or look-up at a time, so SDL's joystick start, which loads libudev and looks up its
  // functions, comes first rather than waiting behind them (the input service finds it started).
  SDL_InitSubSystem(SDL_INIT_JOYSTICK);
  MediaPreload();
  Resource icon;
  if (FindResource("ICON", "MAIN", &icon)) {
    SDL_RWops* rw = SDL_RWFromConstMem(icon.data, static_cast<int>(icon.size));
    if (SDL_Surface* s = rw ? SDL_LoadBMP_RW(rw, 1) : nullptr) {
      SDL_SetWindowIcon(window, s);
      SDL_FreeSurface(s);
    }
  }
  return true;
}

bool HasMainWindow() { return window != nullptr; }

void ShowMainWindow() {
  if (!window) return;
  SDL_ShowWindow(window);
  SDL_RaiseWindow(window);
  // A shown window is the active one; focus events may never come on a display without a window
  // manager, so the activation is posted here as well (a second one is harmless).
  PostMsg(WM_ACTIVATEAPP, 1, 0);
}

void RaiseMainWindow() {
  if (!window) return;
  SDL_RestoreWindow(window);
  SDL_RaiseWindow(window);
}

void DestroyMainWindow() {
  if (!window) return;
  if (windowProc) windowProc(WM_DESTROY, 0, 0);
  SDL_DestroyWindow(window);
  window = nullptr;
}

void MinimizeMainWindow() {
  if (window) SDL_MinimizeWindow(window);
}

bool PeekMsg(Msg* out) {
  if (queue::Empty()) Pump();
  return queue::Pop(out);
}

void WaitMsg() {
  while (queue::Empty()) {
    SDL_Event e;
    if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_WaitEventTimeout(&e, 100)) Translate(e);
    else if (!SDL_WasInit(SDL_INIT_VIDEO)) SDL_Delay(100);
    Pump();
  }
}

void DispatchMsg(const Msg& m) {
  if (windowProc && window) windowProc(m.message, m.wParam, m.lParam);
}

intptr_t DefWindowProc(uint32_t message, uintptr_t, intptr_t) {
  switch (message) {
    case WM_CLOSE: DestroyMainWindow(); break;
    case WM_SETCURSOR: SDL_ShowCursor(SDL_ENABLE); break;
    default: break;
  }
  return 0;
}

void SetCursorVisible(bool visible) {
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

int MessageBox(const char* textCp932, const char* captionCp932, unsigned style) {
  std::string text = Cp932ToUtf8(textCp932 ? textCp932 : "");
  std::string caption = Cp932ToUtf8(captionCp932 ? captionCp932 : "");
  bool yesNo = (style & 0xF) == MB_YESNO;
  SDL_MessageBoxButtonData yesNoButtons[2] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"},
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"},
  };
  SDL_MessageBoxButtonData okButton = {
      SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK, "OK"};
  unsigned icon = style & 0xF0;
  SDL_MessageBoxData data{};
  data.flags = icon == MB_ICONEXCLAMATION ? SDL_MESSAGEBOX_WARNING : SDL_MESSAGEBOX_INFORMATION;
  data.window = window;
  data.title = caption.c_str();
  data.message = text.c_str();
  data.numbuttons = yesNo ? 2 : 1;
  data.buttons = yesNo ? yesNoButtons : &okButton;
  bool wasShown = SDL_WasInit(SDL_INIT_VIDEO) && SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE;
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(SDL_ENABLE);
  int pressed = ZenityBox(text, caption, yesNo, icon == MB_ICONEXCLAMATION);
  if (pressed < 0 && SDL_ShowMessageBox(&data, &pressed) != 0) {
    // No way to show it: say it on the terminal, so the text is not lost.
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    pressed = yesNo ? IDNO : IDOK;
  }
  if (SDL_WasInit(SDL_INIT_VIDEO) && !wasShown) SDL_ShowCursor(SDL_DISABLE);
  if (yesNo) return pressed == IDYES ? IDYES : IDNO;
  return IDOK;
}

void Beep() {
  // No system beep is reachable through SDL; the terminal bell is the nearest thing.
  std::fputc('\a', stderr);
  std::fflush(stderr);
}

}  // namespace plat
