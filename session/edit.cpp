// Checking and making a person's edits.
#include "session/edit.h"

#include <algorithm>
#include <limits>

namespace tarvex {

namespace {

constexpr int64_t FARTHEST = std::numeric_limits<int32_t>::max(); // what a pointer can hold
// Without a memory budget a grid still does not grow by more than this in one edit, so a
// mistyped coordinate cannot take the machine's memory.
constexpr int64_t GROWTHBYTES = int64_t{1} << 30;

// The bytes the grid grows by when the lines reach line `y` and line `y` column `x`.
int64_t growth(const machine& m, int64_t x, int64_t y) {
  const int64_t lines = std::max<int64_t>(0, y + 1 - m.grid.linecount);
  const int64_t length =
      y < m.grid.linecount ? static_cast<int64_t>(m.grid.lines[static_cast<size_t>(y)].size()) : 1;
  return lines * static_cast<int64_t>(sizeof(Text) + sizeof(char16_t)) +
         std::max<int64_t>(0, x + 1 - length) * static_cast<int64_t>(sizeof(char16_t));
}

std::string roomfor(const machine& m, int64_t bytes) {
  const int64_t room = m.maxbytes == 0
                           ? GROWTHBYTES
                           : static_cast<int64_t>(m.maxbytes) - static_cast<int64_t>(heldbytes(m));
  return bytes > room ? "the grid cannot grow that far: it would pass the memory budget" : "";
}

} // namespace

std::string editrefusal(const machine& m, const edit& e) {
  switch (e.kind) {
  case editkind::cell:
    if (e.at.x < 1 || e.at.y < 0 || e.at.x > FARTHEST || e.at.y > FARTHEST)
      return "cells are from column 1 and line 0";
    if (e.value < 0 || e.value > 0xFFFF) return "a character code is from 0 to 65535";
    return roomfor(m, growth(m, e.at.x, e.at.y));
  case editkind::lines: {
    if (e.at.y < 0 || e.value < 0 || e.at.y > FARTHEST) return "lines are from 0";
    int64_t bytes = growth(m, 1, e.at.y);
    for (const Text& text : e.texts)
      bytes += static_cast<int64_t>(sizeof(Text) + (text.size() + 1) * sizeof(char16_t));
    return roomfor(m, bytes);
  }
  default: break;
  }
  if (!findpointer(m, e.id)) return "no pointer " + std::to_string(e.id) + " is alive";
  switch (e.kind) {
  case editkind::register0:
  case editkind::register1: return e.value < 0 || e.value > 255 ? "a register holds 0 to 255" : "";
  case editkind::current:
    return e.value != 0 && e.value != 1 ? "the current register is 0 or 1" : "";
  case editkind::direction:
    return e.value < UP || e.value > RIGHT ? "a direction is up, down, left or right" : "";
  case editkind::move:
    return e.at.x < 0 || e.at.y < 0 || e.at.x > FARTHEST || e.at.y > FARTHEST
               ? "a pointer stands from column 0 and line 0"
               : "";
  default: return "";
  }
}

void applyedit(machine& m, const edit& e) {
  switch (e.kind) {
  case editkind::cell: placecell(m.grid, e.at.x, e.at.y, static_cast<char16_t>(e.value)); return;
  case editkind::lines: placelines(m.grid, e.at.y, e.value, e.texts); return;
  default: break;
  }
  // The list's records are the machine's own; only the lookup is const.
  ip* p = const_cast<ip*>(findpointer(m, e.id));
  if (!p) return;
  switch (e.kind) {
  case editkind::register0: p->val[0] = static_cast<uint8_t>(e.value); break;
  case editkind::register1: p->val[1] = static_cast<uint8_t>(e.value); break;
  case editkind::current: p->on = static_cast<uint8_t>(e.value); break;
  case editkind::direction: p->dir = static_cast<uint8_t>(e.value); break;
  case editkind::move:
    p->x = static_cast<int32_t>(e.at.x);
    p->y = static_cast<int32_t>(e.at.y);
    break;
  case editkind::remove:
    m.ips.remove(*p);
    m.ips.release();
    break;
  default: break;
  }
  // The sweep's index holds stepped pointers by cell and direction, and a pass in parts may
  // have surveyed the next pass's steps; a hand that moved, turned, changed or removed a
  // pointer leaves both stale, so the next pass indexes the list again and surveys afresh.
  m.stepped.invalidate();
  m.parts.foreseen.clear();
}

} // namespace tarvex
