// The window through SDL: opening and closing it, presenting the canvas through a streaming
// texture, the two input queries and the fault box.
#include "display/backend/window.h"

#include <SDL.h>

#include <cstring>
#include <string>

#include "display/backend/events.h"
#include "display/canvas.h"

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
  static std::unique_ptr<system> start(int width, int height, const Text& title);
  int scale = 1;
  void present(const canvas& surface);
};

namespace {

// SDL's own messages would land on the standard streams; the program's output there must stay
// exactly its own.
void quietlog(void*, int, SDL_LogPriority, const char*) {}

// SDL falls back on drivers that draw into memory only; for the program that is no display.
bool showsnothing(const char* driver) {
  return !driver || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0 ||
         std::strcmp(driver, "evdev") == 0;
}

} // namespace

std::unique_ptr<window::system> window::system::start(int width, int height, const Text& title) {
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
  made->window = SDL_CreateWindow(utf8name(title).c_str(), SDL_WINDOWPOS_CENTERED,
                                  SDL_WINDOWPOS_CENTERED, width, height, SDL_WINDOW_HIDDEN);
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
  // Each canvas pixel a square of scale × scale window pixels, nearest neighbour.
  SDL_Rect place{0, 0, w * scale, h * scale};
  SDL_RenderCopy(renderer, texture, nullptr, &place);
  SDL_RenderPresent(renderer);
}

window::window(std::unique_ptr<system> platform) : _system(std::move(platform)) {}

window::~window() = default;

std::unique_ptr<window> window::open(int width, int height, const Text& title, int scale) {
  std::unique_ptr<system> platform = system::start(width * scale, height * scale, title);
  if (!platform) return nullptr;
  platform->scale = scale;
  return std::unique_ptr<window>(new window(std::move(platform)));
}

void window::Flip(const canvas& surface) {
  _system->present(surface);
}

int window::KeyDown(int key) {
  sdlevents events(_input, _system->scale);
  return _input.KeyDown(key, events);
}

int window::AppTerminate() {
  sdlevents events(_input, _system->scale);
  return _input.AppTerminate(events);
}

bool window::NextInput(inputevent& event) {
  sdlevents events(_input, _system->scale);
  return _input.nextinput(event, events);
}

void window::SetTitle(const Text& title) {
  SDL_SetWindowTitle(_system->window, utf8name(title).c_str());
}

void window::discardinput() {
  sdlevents events(_input, _system->scale);
  _input.drain(events);
  _input.clearkeys();
  for (inputevent dropped{inputkind::KeyRepeat}; _input.nextinput(dropped, events);) {
  }
}

bool window::showfault(const char* name) {
  return SDL_ShowSimpleMessageBox(0, "Windows exception", name, _system->window) == 0;
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
