// The code grid: the loaded lines the pointers run over, and its two cell operations.
#pragma once
#include <cstdint>
#include <vector>

#include "runtime/text.h"

namespace tarvex {

// Line y (from 0) holds the source line plus one space; column x counts from 1 and column 0
// is a margin that holds no character. Lines keep their own lengths and never shrink.
struct codegrid {
  std::vector<Text> lines;
  int64_t linecount = 0; // fixed while the program runs; only a person's edit changes it
  int64_t maxlen = 0;    // longest line as loaded or edited, trailing space included
  int64_t chars = 0;     // the characters all lines hold, kept as lines grow: the grid's size
  // Counts every change to the lines after loading. Whatever changes them (a write, a line a
  // pointer lengthens, an edit) counts it, since the step pass trusts a survey of the grid
  // that it took a pass before only while this stands still.
  uint64_t edits = 0;

  // Where each line's characters lie and how many there are, for the reads of the step:
  // reading them from a Text costs a test of how the library stores short texts, on the
  // chain of loads every step waits for, which the browser's build pays in full. Laid out
  // by layrows as of the change count `at`, and kept by the program's writes and the lines
  // its pointers lengthen. A copy's rows would point into the lines it was copied from, so
  // a copy starts with none.
  struct row {
    const char16_t* at = nullptr;
    int64_t size = 0;
  };
  struct rowtable {
    static constexpr uint64_t NONE = ~uint64_t{0};
    std::vector<row> rows;
    // The ":" cells the lines hold: with none, no step of a pass can read a line, and a host
    // waiting for input need not look before each step.
    int64_t colons = 0;
    uint64_t at = NONE;
    rowtable() = default;
    rowtable(const rowtable&) {}
    rowtable& operator=(const rowtable&) {
      rows.clear();
      at = NONE;
      return *this;
    }
  } rows;
};

// Lays the rows out again when a copy, a hand-built grid or a person's edit left them behind
// the lines. Loading and every pass begin with this; the steps read cells through the rows.
void relayrows(codegrid& grid);
inline void layrows(codegrid& grid) {
  if (grid.rows.at != grid.edits) relayrows(grid);
}

// The low 8 bits of the code at (x, y); 32 anywhere outside the stored characters.
uint8_t readcell(const codegrid& grid, int64_t x, int64_t y);
// Replaces the character at column x (column 0 counts as column 1); beyond the end of the
// line the character is appended without padding; outside the lines nothing changes.
void writecell(codegrid& grid, int64_t x, int64_t y, char16_t code);

// A person's edits, not the program's writes: they grow the grid as a text editor would.
// placecell puts `code` at column x >= 1 of line y, adding lines below and padding a short
// line with spaces; placelines puts `texts` in place of the `count` lines from `first`. Either
// way each line it makes ends in the one space a loaded line gets, so the grid is the one
// loading the edited source would give.
void placecell(codegrid& grid, int64_t x, int64_t y, char16_t code);
void placelines(codegrid& grid, int64_t first, int64_t count, const std::vector<Text>& texts);
// A pointer past the end of short line y lengthens it by two blanks, once per step.
void lengthen(codegrid& grid, int64_t y);

} // namespace tarvex
