// The polled input state: which keys are down, whether a close request is pending and whether
// another program has the focus, and the presses and mouse events waiting for the host. Window
// events update it only while a query drains them.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>

namespace tarvex {

enum class inputkind {
  KeyDown,
  KeyUp,
  KeyRepeat,
  AppTerminate,
  AppSuspend,
  AppResume,
  MouseMove,
  MouseDown,
  MouseUp,
  Wheel,
};

struct inputevent {
  inputkind kind;
  // The Windows virtual-key code of a key event; the button of a mouse press or release (1 the
  // left, 3 the right); the wheel's steps, positive away from the user.
  int key = 0;
  char32_t text = 0; // the character a key press types, 0 for keys that type none
  int x = 0;         // the canvas pixel under the mouse
  int y = 0;
  bool control = false; // a key pressed with Ctrl held
};

// Where events come from: the window system's queue, or a test's list.
class eventsource {
public:
  virtual ~eventsource() = default;
  // The next pending event, false when none is left.
  virtual bool nextevent(inputevent& event) = 0;
};

class inputstate {
public:
  // 1 while the key is down, after taking in every pending event; 0 for codes outside 0-255.
  int KeyDown(int key, eventsource& events);
  // 1 when a close request arrived since the last call, after taking in every pending event.
  int AppTerminate(eventsource& events);

  // Takes in every pending event. A drain started while one runs does nothing.
  void drain(eventsource& events);
  // Clears every key flag.
  void clearkeys();

  bool suspended() const { return _suspended; }

  // The next key press or mouse event not yet handed to the host, after taking in every
  // pending event; false when there is none. Presses are kept whether or not anyone asks, so
  // the oldest are dropped past a bound.
  bool nextinput(inputevent& event, eventsource& events);

private:
  void apply(const inputevent& event);

  std::array<uint8_t, 256> _down{};
  bool _terminate = false;
  bool _suspended = false;
  bool _draining = false;
  std::deque<inputevent> _presses;
  static constexpr std::size_t KEPTPRESSES = 256;
};

} // namespace tarvex
