// The little expressions of breakpoint conditions, hit counts and hovers: a pointer field
// ("register 0", "direction", "current", "tick"...), alone or compared with a number, a
// direction name or a quoted character ("register 0 == 3", "direction == left", "tick > 40").
// A field alone holds when it is not zero.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "interp/ip.h"

namespace tarvex {

enum class pointerfield {
  id,
  x,
  y,
  direction,
  register0,
  register1,
  current,
  stringmode,
  removeafter,
  hold,
  tick
};
enum class comparison { none, eq, ne, lt, le, gt, ge };

struct condition {
  pointerfield field = pointerfield::id;
  comparison op = comparison::none;
  int64_t value = 0;
};

// The expression, or nothing with the reason in `error`.
std::optional<condition> parsecondition(const std::string& text, std::string& error);
int64_t fieldvalue(pointerfield field, const ip& p, int64_t tick);
bool holds(const condition& c, const ip& p, int64_t tick);
bool compare(int64_t left, comparison op, int64_t right);

// A hit count: "N" or "== N" (the N-th hit), ">= N", "> N", "% N" (every N-th hit).
struct hitcount {
  comparison op = comparison::eq;
  bool every = false;
  int64_t count = 0;
};
std::optional<hitcount> parsehitcount(const std::string& text, std::string& error);
bool holds(const hitcount& h, int64_t hits);

// "up", "down", "left", "right".
const char* directionname(int32_t dir);

} // namespace tarvex
