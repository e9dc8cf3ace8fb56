// SDL's event queue as the input events of the polled input state, and the key map from SDL's
// keys to the Windows virtual-key codes the program asks about.
#include "display/backend/events.h"

#include <SDL.h>

namespace tarvex {

namespace {

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

// The character a key press types on a US layout: text input stays off (it would bring up
// input methods), so the few characters the studio's keys use are worked out here.
char32_t typed(const SDL_Keysym& key) {
  const bool shift = (key.mod & KMOD_SHIFT) != 0;
  const SDL_Keycode k = key.sym;
  if (k >= SDLK_a && k <= SDLK_z) return static_cast<char32_t>(shift ? k - 32 : k);
  if (k == SDLK_KP_PLUS) return U'+';
  if (k == SDLK_KP_MINUS) return U'-';
  if (k == SDLK_KP_PERIOD) return U'.';
  if (k < 32 || k > 126) return 0;
  if (!shift) return static_cast<char32_t>(k);
  // Typing into cells needs every character the language has, so the whole shifted row.
  static constexpr char plain[] = "1234567890`-=[]\\;',./";
  static constexpr char shifted[] = "!@#$%^&*()~_+{}|:\"<>?";
  for (size_t i = 0; plain[i]; ++i)
    if (k == plain[i]) return static_cast<char32_t>(shifted[i]);
  return static_cast<char32_t>(k);
}

} // namespace

bool sdlevents::nextevent(inputevent& event) {
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    if (translate(e, event)) return true;
  }
  return false;
}

bool sdlevents::translate(const SDL_Event& e, inputevent& event) const {
  switch (e.type) {
  case SDL_KEYDOWN:
    event = {e.key.repeat ? inputkind::KeyRepeat : inputkind::KeyDown, virtualkey(e.key.keysym.sym),
             typed(e.key.keysym)};
    event.control = (e.key.keysym.mod & KMOD_CTRL) != 0;
    return true;
  case SDL_MOUSEMOTION:
    event = {inputkind::MouseMove, 0, 0, e.motion.x / _scale, e.motion.y / _scale};
    return true;
  case SDL_MOUSEBUTTONDOWN:
  case SDL_MOUSEBUTTONUP:
    event = {e.type == SDL_MOUSEBUTTONDOWN ? inputkind::MouseDown : inputkind::MouseUp,
             e.button.button, 0, e.button.x / _scale, e.button.y / _scale};
    return true;
  case SDL_MOUSEWHEEL: {
    int x = 0, y = 0;
    SDL_GetMouseState(&x, &y);
    const int steps = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
    event = {inputkind::Wheel, steps, 0, x / _scale, y / _scale};
    return true;
  }
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

} // namespace tarvex
