// Whether a window sits on an X server that no window manager looks after (a bare Xvfb, a kiosk):
// there a full-screen request is never answered, and SDL waits 100 ms for the answer at every show.
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <dlfcn.h>

#include "platform/sdl/sdl_host.h"

namespace plat::sdl {

bool X11WithoutWindowManager(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (window == nullptr || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
  // Xlib is loaded already, by SDL's X11 driver: its functions are looked up rather than linked, so
  // programs built on the library need nothing of X11 to link.
  void* xlib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
  if (xlib == nullptr) return false;
  using InternAtom = Atom (*)(Display*, const char*, Bool);
  using GetProperty = int (*)(Display*, ::Window, Atom, long, long, Bool, Atom, Atom*, int*, unsigned long*,
                              unsigned long*, unsigned char**);
  using Free = int (*)(void*);
  const auto intern = reinterpret_cast<InternAtom>(dlsym(xlib, "XInternAtom"));
  const auto get = reinterpret_cast<GetProperty>(dlsym(xlib, "XGetWindowProperty"));
  const auto release = reinterpret_cast<Free>(dlsym(xlib, "XFree"));
  bool none = false;
  if (intern && get && release) {
    // A window manager of the desktop standard names its check window on the root window. One that
    // does not is taken as present: then the full-screen request is made, as it always was.
    Display* d = info.info.x11.display;
    const Atom check = intern(d, "_NET_SUPPORTING_WM_CHECK", True);
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    none = check == None || get(d, DefaultRootWindow(d), check, 0, 1, False, XA_WINDOW, &type, &format, &items,
                                &after, &data) != Success || items == 0;
    if (data) release(data);
  }
  dlclose(xlib);
  return none;
}

}  // namespace plat::sdl
