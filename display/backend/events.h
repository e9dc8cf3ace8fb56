// SDL's event queue read as input events; events that mean nothing to the input state are
// dropped.
#pragma once
#include "display/backend/input.h"

union SDL_Event;

namespace tarvex {

class sdlevents final : public eventsource {
public:
  // Mouse positions are divided by `scale`, the window pixels a canvas pixel takes.
  sdlevents(const inputstate& state, int scale) : _state(state), _scale(scale) {}
  bool nextevent(inputevent& event) override;

private:
  bool translate(const SDL_Event& e, inputevent& event) const;
  const inputstate& _state;
  int _scale;
};

} // namespace tarvex
