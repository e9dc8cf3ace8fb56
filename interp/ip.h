// The instruction pointer record and the four directions it moves in.
#pragma once
#include <cstdint>

namespace tarvex {

enum direction : int32_t { UP = 0, DOWN = 1, LEFT = 2, RIGHT = 3 };

// One move in each direction, by direction: lines count down from the top, columns rightward.
// The step, the sweep index and the prefetch all move by these; plain arrays keep the hot
// step free of branches.
inline constexpr int32_t DX[4] = {0, 0, -1, 1};
inline constexpr int32_t DY[4] = {-1, 1, 0, 0};

struct ip {
  // Widest fields first and the small ones in bytes, 24 bytes in all: a pass walks every
  // record and the history copies every one, so the record's size is their memory traffic.
  // The step tests the three flags first as one word, so they lie together and apart from the
  // direction, which a step stores alone: a load wider than a store still in flight cannot
  // take its value from it, and two pointers circling come back to a record that soon.
  int64_t id = 0;          // serial number in creation order, so tools can follow a pointer
  int32_t x = 0;           // column, from 1; 0 is the margin
  int32_t y = 0;           // line, from 0
  uint8_t n = 1;           // not yet stepped: 1 until the pointer's first step, then 0
  uint8_t printing = 0;    // string mode: cells are printed, not executed
  uint8_t wait = 0;        // hold counter
  uint8_t on = 0;          // index of the current register
  uint8_t val[2] = {0, 0}; // the two registers
  uint8_t remafter = 0;    // exchanges remove the pointer afterwards
  uint8_t dir = 0;         // 0 up, 1 down, 2 left, 3 right
};
static_assert(sizeof(ip) == 24);

} // namespace tarvex
