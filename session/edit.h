// A person's change to a run, as every face asks for it: a cell's character, lines of the
// program read again, a pointer's registers, current register or direction, its place, or
// its removal. Only the session applies one, at a tick boundary (session.h says when); this
// is what an edit is and what it does to a machine.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "display/studioview.h"
#include "interp/machine.h"

namespace tarvex {

enum class editkind {
  cell,      // `at` takes the character `value`
  lines,     // `value` lines from line `at.y` are replaced by `texts`
  register0, // pointer `id`'s register 0 becomes `value` (0 to 255)
  register1, // its register 1
  current,   // its current register becomes `value` (0 or 1)
  direction, // it heads `value`: 0 up, 1 down, 2 left, 3 right
  move,      // it stands on `at`, keeping its direction and registers
  remove,    // it leaves the run
};

struct edit {
  editkind kind = editkind::cell;
  cellpos at;
  int64_t value = 0;
  int64_t id = -1;
  std::vector<Text> texts = {};

  static edit cell(cellpos at, int64_t code) { return {editkind::cell, at, code}; }
  static edit lines(int64_t first, int64_t count, std::vector<Text> texts) {
    return {editkind::lines, {0, first}, count, -1, std::move(texts)};
  }
  static edit pointer(editkind kind, int64_t id, int64_t value) { return {kind, {}, value, id}; }
  static edit move(int64_t id, cellpos to) { return {editkind::move, to, 0, id}; }
  static edit remove(int64_t id) { return {editkind::remove, {}, 0, id}; }
};

// Why `e` cannot be made to `m`, in words for the person who asked; empty when it can.
std::string editrefusal(const machine& m, const edit& e);
// Makes an edit editrefusal allows. The program's write rules are not involved: a cell past a
// line's end or below the last line grows the grid as a text editor would.
void applyedit(machine& m, const edit& e);

} // namespace tarvex
