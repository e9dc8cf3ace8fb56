// The polled input state: which keys are down, whether a close request is pending and whether
// another program has the focus. Window events update it only
// while a query drains them.
#pragma once
#include <array>
#include <cstdint>

namespace tarvex {

enum class inputkind { KeyDown, KeyUp, KeyRepeat, AppTerminate, AppSuspend, AppResume };

struct inputevent {
  inputkind kind;
  int key = 0; // Windows virtual-key code, for the key events
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

private:
  void apply(const inputevent& event);

  std::array<uint8_t, 256> _down{};
  bool _terminate = false;
  bool _suspended = false;
  bool _draining = false;
};

} // namespace tarvex
