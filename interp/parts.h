// What the step pass in parts keeps from pass to pass: which cells each part's steps touch,
// and how long to wait after parts met.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace tarvex {

struct partscratch {
  // Per part and line of the sweep index's box: the lowest and highest column touched, and a
  // bit a cell touched, `rowwords` words a line. The bits come from calloc, so the pages of
  // lines no pointer reaches are never touched, even in a box of 10^8 cells.
  std::vector<int32_t> bounds;
  std::unique_ptr<uint64_t[], decltype(&std::free)> cells{nullptr, &std::free};
  std::size_t cellwords = 0;
  uint64_t rowwords = 0;
  // After parts met: how many passes go on one loop before the next try, and how long that
  // wait is now. And the passes stepped in parts.
  uint32_t skip = 0;
  uint32_t wait = 0;
  int64_t passes = 0;
};

} // namespace tarvex
