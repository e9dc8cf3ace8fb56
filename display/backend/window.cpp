// The window through SDL: opening and closing it, presenting the canvas through a streaming
// texture, turning SDL's events into input events, and the fault box. The only code of the
// program that talks to SDL.
#include "display/backend/window.h"

#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "display/backend/canvas.h"
#include "runtime/endings.h"
#include "runtime/faultreport.h"
#include "runtime/startup.h"

namespace tarvex {

struct window::system {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  int texturewidth = 0;
  int textureheight = 0;

  ~system() {
    if (texture) SDL_DestroyTexture(texture);
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
    SDL_Quit();
  }

  // The window, its software renderer and nothing shown yet; null when SDL's video cannot
  // start or any part cannot be made.
  static std::unique_ptr<system> start(int width, int height);
  void present(const canvas& surface);
};

namespace {

window* opened = nullptr;         // the window OpenGraphics opened
SDL_Window* faultowner = nullptr; // what the fault box is shown over

// SDL's own messages would land on the standard streams; the program's output there must stay
// exactly its own.
void quietlog(void*, int, SDL_LogPriority, const char*) {}

// SDL takes its texts in UTF-8.
std::string utf8(const Text& text) {
  std::string out;
  for (char16_t c : text)
    appendutf8(out, c);
  return out;
}

// The Windows virtual-key code of an SDL key, 0 for keys the program has no code for.
int virtualkey(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return 112 + (key - SDLK_F1);
  if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return 97 + (key - SDLK_KP_1);
  switch (key) {
  case SDLK_BACKSPACE: return 8;
  case SDLK_TAB: return 9;
  case SDLK_RETURN:
  case SDLK_KP_ENTER: return 13;
  case SDLK_LSHIFT:
  case SDLK_RSHIFT: return 16;
  case SDLK_LCTRL:
  case SDLK_RCTRL: return 17;
  case SDLK_LALT:
  case SDLK_RALT: return 18;
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
  case SDLK_INSERT: return 45;
  case SDLK_DELETE: return 46;
  case SDLK_KP_0: return 96;
  case SDLK_KP_MULTIPLY: return 106;
  case SDLK_KP_PLUS: return 107;
  case SDLK_KP_MINUS: return 109;
  case SDLK_KP_PERIOD: return 110;
  case SDLK_KP_DIVIDE: return 111;
  default: return 0;
  }
}

// SDL's event queue as input events; events that mean nothing to the input state are dropped.
class sdlevents final : public eventsource {
public:
  explicit sdlevents(const inputstate& state) : _state(state) {}

  bool nextevent(inputevent& event) override {
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
      if (translate(e, event)) return true;
    }
    return false;
  }

private:
  bool translate(const SDL_Event& e, inputevent& event) const {
    switch (e.type) {
    case SDL_KEYDOWN:
      event = {e.key.repeat ? inputkind::KeyRepeat : inputkind::KeyDown,
               virtualkey(e.key.keysym.sym)};
      return true;
    case SDL_KEYUP: event = {inputkind::KeyUp, virtualkey(e.key.keysym.sym)}; return true;
    // One close request comes both as the window's close event and as SDL's quit; the flag
    // they set is the same.
    case SDL_QUIT: event = {inputkind::AppTerminate}; return true;
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
      case SDL_WINDOWEVENT_CLOSE: event = {inputkind::AppTerminate}; return true;
      case SDL_WINDOWEVENT_FOCUS_LOST: event = {inputkind::AppSuspend}; return true;
      case SDL_WINDOWEVENT_FOCUS_GAINED:
        // SDL reports a window's focus a little after it came, so the window's first focus
        // can arrive after keys pressed in it. Only a return from another program's window
        // is a resume.
        if (!_state.suspended()) return false;
        event = {inputkind::AppResume};
        return true;
      default: return false;
      }
    default: return false;
    }
  }

  const inputstate& _state;
};

void showfaultbox(const char* name) {
  if (SDL_ShowSimpleMessageBox(0, "Windows exception", name, faultowner) != 0) {
    // No box could be shown: the name still reaches the user.
    std::fputs(name, stderr);
    std::fputs("\n", stderr);
    std::fflush(stderr);
  }
}

// Points standard output and standard error at /dev/null while it lives. The video drivers
// and the libraries under them report their own troubles there (a display that refuses the
// connection, a missing runtime directory), and those streams are the program's.
class hushed {
public:
  hushed() {
    std::fflush(stdout);
    std::fflush(stderr);
    int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (nowhere < 0) return;
    for (int i = 0; i < 2; ++i) {
      _saved[i] = dup(i + 1);
      if (_saved[i] >= 0) dup2(nowhere, i + 1);
    }
    close(nowhere);
  }
  ~hushed() {
    for (int i = 0; i < 2; ++i) {
      if (_saved[i] < 0) continue;
      dup2(_saved[i], i + 1);
      close(_saved[i]);
    }
  }
  hushed(const hushed&) = delete;
  hushed& operator=(const hushed&) = delete;

private:
  int _saved[2] = {-1, -1};
};

// SDL falls back on drivers that draw into memory only; for the program that is no display.
bool showsnothing(const char* driver) {
  return !driver || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0 ||
         std::strcmp(driver, "evdev") == 0;
}

} // namespace

std::unique_ptr<window::system> window::system::start(int width, int height) {
  hushed quiet;
  SDL_LogSetOutputFunction(quietlog, nullptr);
  // SIGINT and SIGTERM keep their usual meaning instead of becoming close requests.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  // The window system's own framebuffer, not one through OpenGL, which a virtual display may
  // not have.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_Init(SDL_INIT_VIDEO) != 0 || showsnothing(SDL_GetCurrentVideoDriver())) {
    SDL_Quit();
    return nullptr;
  }
  auto made = std::make_unique<system>();
  std::string title = utf8(apptitle());
  made->window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                  width, height, SDL_WINDOW_HIDDEN);
  if (!made->window) return nullptr;
  made->renderer = SDL_CreateRenderer(made->window, -1, SDL_RENDERER_SOFTWARE);
  if (!made->renderer) return nullptr;
  SDL_StopTextInput();
  SDL_ShowWindow(made->window);
  return made;
}

void window::system::present(const canvas& surface) {
  int w = surface.width(), h = surface.height();
  if (w <= 0 || h <= 0) return;
  if (!texture || texturewidth != w || textureheight != h) {
    if (texture) SDL_DestroyTexture(texture);
    // 0x00RRGGBB words, the canvas's own layout, so the upload is a plain copy.
    texture =
        SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, w, h);
    texturewidth = texture ? w : 0;
    textureheight = texture ? h : 0;
    if (!texture) return;
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_NONE);
  }
  SDL_UpdateTexture(texture, nullptr, surface.pixels().data(), w * 4);
  SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
  SDL_RenderClear(renderer);
  // One canvas pixel a window pixel, never scaled.
  SDL_Rect place{0, 0, w, h};
  SDL_RenderCopy(renderer, texture, nullptr, &place);
  SDL_RenderPresent(renderer);
}

window::window(std::unique_ptr<system> platform)
    : _system(std::move(platform)), _pacer(0, _clock) {}

window::~window() = default;

void window::Flip(const canvas& surface, int sync) {
  if (sync == -1) _pacer.wait();
  if (_system) _system->present(surface);
}

int window::KeyDown(int key) {
  if (!_system) return 0;
  sdlevents events(_input);
  return _input.KeyDown(key, events);
}

int window::AppTerminate() {
  if (!_system) return 0;
  sdlevents events(_input);
  return _input.AppTerminate(events);
}

window& OpenGraphics(canvas& surface, int width, int height, int /*depth*/, int hertz,
                     int /*flags*/) {
  CloseGraphics();
  std::unique_ptr<window::system> platform = window::system::start(width, height);
  // A display that is named but slow to answer (a busy machine, a server still starting) gets
  // two more tries before the program settles for running without a window.
  const bool named = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
  for (int retry = 0; !platform && named && retry < 2; ++retry) {
    SDL_Delay(250);
    platform = window::system::start(width, height);
  }
  if (!platform) {
    std::fputs("tarvex: no display available; running without a window\n", stderr);
    std::fflush(stderr);
  }
  opened = new window(std::move(platform));
  window& w = *opened;

  surface.newgeneration();
  surface.resetstate();
  for (int i = 0; i < 2; ++i) {
    surface.Cls();
    w.Flip(surface, 0);
  }
  w._pacer = pacer(hertz, w._clock);

  // Whatever happened while the window came up is not input.
  if (w._system) {
    sdlevents events(w._input);
    w._input.drain(events);
  }
  w._input.clearkeys();

  if (w._system) {
    faultowner = w._system->window;
    setfaultbox(showfaultbox);
  }
  static bool closesatexit = (addexitaction(CloseGraphics), true);
  (void)closesatexit;
  return w;
}

void CloseGraphics() {
  if (!opened) return;
  if (faultowner) {
    setfaultbox(nullptr);
    faultowner = nullptr;
  }
  delete opened;
  opened = nullptr;
}

} // namespace tarvex

// Under LeakSanitizer: the D-Bus library SDL's video start-up reaches keeps a buffer for the
// rest of the process, which SDL_Quit cannot give back. Without a sanitizer nothing calls this.
// The suppression is silent, so standard error carries only what the program writes.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\n";
}
extern "C" const char* __lsan_default_options() {
  return "print_suppressions=0";
}
