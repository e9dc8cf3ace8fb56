// What the step pass in parts keeps from pass to pass: the cells each part's steps touch, the
// survey a pass in parts took of the next one and what it depends on, and how long to wait
// after parts met.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvex {

struct partscratch {
  // Two surveys, the current one and the next pass's: per part and line of the sweep index's
  // box, the first and last column its steps leave or reach (none while `from` > `to`). A
  // part's lines fit the nearest caches, where a bit for every cell would not, and parts cut
  // at any place of the list reach apart columns of the lines they share.
  struct span {
    uint64_t from = UINT64_MAX, to = 0;
  };
  std::vector<span> spans;
  int current = 0;

  // By place in the list, what the survey found each pointer's next step turns it to when
  // the cell it reaches only turns it, -1 otherwise: the pass in parts takes the turn from
  // here instead of reading the grid a second time. The places follow the records when the
  // list closes its gaps.
  std::vector<int8_t> turns;

  // What the survey taken for the next pass holds (per part, the first and last line it
  // touches; empty when there is none) and whether it found only steps of their own.
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
  // What a step of a shareable pass has cost lately, in nanoseconds, on one loop and in
  // parts (0: not weighed yet), and how long parts wait after they cost more.
  double loopcost = 0, partcost = 0, partsum = 0;
  uint32_t partpasses = 0;
  uint32_t slowwait = 0, sinceloop = 0;
  bool foresaw = false; // the last pass in parts took the survey of the pass before
  int64_t passes = 0;
};

} // namespace tarvex
