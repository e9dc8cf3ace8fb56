// SDL's event queue read as input events; events that mean nothing to the input state are
// dropped.
#pragma once
#include "display/backend/input.h"

union SDL_Event;

namespace tarvex {

class sdlevents final : public eventsource {
public:
  explicit sdlevents(const inputstate& state) : _state(state) {}
  bool nextevent(inputevent& event) override;

private:
  bool translate(const SDL_Event& e, inputevent& event) const;
  const inputstate& _state;
};

} // namespace tarvex
