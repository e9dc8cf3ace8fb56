// The polled input state and the event rules that change it.
#include "display/backend/input.h"

#include <cstddef>

namespace tarvex {

namespace {
bool validkey(int key) {
  return key >= 0 && key <= 255;
}
} // namespace

int inputstate::KeyDown(int key, eventsource& events) {
  drain(events);
  return validkey(key) ? _down[std::size_t(key)] : 0;
}

int inputstate::AppTerminate(eventsource& events) {
  drain(events);
  int requested = _terminate ? 1 : 0;
  _terminate = false;
  return requested;
}

void inputstate::drain(eventsource& events) {
  if (_draining) return;
  struct drainmark {
    bool& flag;
    explicit drainmark(bool& f) : flag(f) { flag = true; }
    ~drainmark() { flag = false; }
  } mark(_draining);
  inputevent event{inputkind::KeyRepeat};
  while (events.nextevent(event))
    apply(event);
}

bool inputstate::nextinput(inputevent& event, eventsource& events) {
  drain(events);
  if (_presses.empty()) return false;
  event = _presses.front();
  _presses.pop_front();
  return true;
}

void inputstate::apply(const inputevent& event) {
  switch (event.kind) {
  case inputkind::KeyDown:
  case inputkind::KeyRepeat:
  case inputkind::MouseMove:
  case inputkind::MouseDown:
  case inputkind::MouseUp:
  case inputkind::Wheel:
    if (_presses.size() == KEPTPRESSES) _presses.pop_front();
    _presses.push_back(event);
    break;
  default: break;
  }
  switch (event.kind) {
  case inputkind::KeyDown:
    // Key code 0 is no key; a key already down is not struck again.
    if (event.key >= 1 && event.key <= 255) _down[std::size_t(event.key)] = 1;
    break;
  case inputkind::KeyUp:
    if (validkey(event.key)) _down[std::size_t(event.key)] = 0;
    break;
  case inputkind::KeyRepeat:
  case inputkind::MouseMove:
  case inputkind::MouseDown:
  case inputkind::MouseUp:
  case inputkind::Wheel: break;
  case inputkind::AppTerminate: _terminate = true; break;
  case inputkind::AppSuspend:
    clearkeys();
    _suspended = true;
    break;
  case inputkind::AppResume:
    clearkeys();
    _suspended = false;
    break;
  }
}

void inputstate::clearkeys() {
  _down.fill(0);
}

} // namespace tarvex
