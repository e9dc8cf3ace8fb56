// The instruction pointer record.
#pragma once
#include <cstdint>

namespace tarvex {

enum direction : int32_t { UP = 0, DOWN = 1, LEFT = 2, RIGHT = 3 };

struct ip {
  int32_t n = 1;   // 1 until the pointer's first step
  int32_t x = 0;   // column, from 1; 0 is the margin
  int32_t y = 0;   // line, from 0
  int32_t dir = 0; // 0 up, 1 down, 2 left, 3 right
  uint8_t val[2] = {0, 0};
  int32_t on = 0;       // index of the current register
  uint8_t printing = 0; // string mode
  uint8_t remafter = 0; // exchanges remove the pointer afterwards
  uint8_t wait = 0;     // hold counter
};

} // namespace tarvex
