// What the step pass in parts keeps from pass to pass: the cells each part's steps touch, the
// survey a pass in parts took of the next one and what it depends on, and how long to wait
// after parts met.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace tarvex {

struct partscratch {
  // Two surveys, the current one and the next pass's, each a bit for every cell of the sweep
  // index's box per part. The bits come from calloc, so the pages of lines no pointer reaches
  // are never touched, even in a box of 10^8 cells; `seen` gathers one line of all parts.
  std::unique_ptr<uint64_t[], decltype(&std::free)> cells{nullptr, &std::free};
  std::size_t cellwords = 0;
  int current = 0;
  std::vector<uint64_t> seen;

  // What the survey taken for the next pass holds (per part, the first and last line with a
  // bit set; empty when there is none) and whether it found only steps of their own.
  struct lines {
    uint64_t first, last;
  };
  std::vector<lines> foreseen;
  bool foreseenready = false;
  // The survey holds for the pass that finds the run as it stood when the survey was taken:
  // its tick, the grid's changes and size, the list and the index's box, and the parts.
  struct basis {
    int64_t tick;
    uint64_t gridedits;
    int64_t gridchars, gridlines;
    std::size_t live;
    int64_t spawned;
    uint64_t boxlines, boxcolumns;
    std::size_t parts;
    bool operator==(const basis&) const = default;
  };
  basis foreseenfor{};
  // The last pass's parts: their places and the pointers each kept.
  struct range {
    std::size_t from, to, kept;
  };
  std::vector<range> lastparts;

  // After parts met: how many passes go on one loop before the next try, and how long that
  // wait is now. And the passes stepped in parts.
  uint32_t skip = 0;
  uint32_t wait = 0;
  int64_t passes = 0;
};

} // namespace tarvex
