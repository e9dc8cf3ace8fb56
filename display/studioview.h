// What the window shows beyond the plain frame once the user has touched it: a scrolled and
// zoomed view of the grid, breakpoint outlines, the pointer that steps next, the selected
// pointer, the cell under the mouse with what stands on it, a help panel and a status line.
// The host owns this record and fills it from the user's input; the renderer only reads it,
// and a record left as it is constructed paints exactly the plain frame.
#pragma once
#include <cstdint>
#include <vector>

#include "display/canvas.h"
#include "runtime/text.h"

namespace tarvex {

struct machine;
struct ip;

// A grid cell as pointers address it: column x (1 is the first, 0 the margin), line y from 0.
struct cellpos {
  int64_t x = 0;
  int64_t y = 0;
  bool operator==(const cellpos&) const = default;
};

struct studioview {
  // The cell drawn where the plain frame draws cell (0, 0): the view scrolled by this many
  // columns and lines.
  cellpos origin;
  int zoom = 1; // 1 to 4: every frame pixel shown as a zoom × zoom square from the top left

  std::vector<cellpos> breakpoints; // outlined
  const ip* upcoming = nullptr;     // the pointer that steps next in a pass cut short; marked
  int64_t selected = -1;            // the id of the selected pointer, -1 for none; marked
  bool typing = false;              // whether `cursor` is the cell typing goes to; marked
  cellpos cursor;
  bool hovering = false;  // whether `hover` is a cell under the mouse
  cellpos hover;          // inspected: a panel lists the cell and its pointers
  std::vector<Text> help; // shown as a panel when not empty
  Text status;            // a line at the top when not empty
};

// The cell under canvas pixel (px, py) in `view`: the one rule the renderer and the host share.
cellpos cellat(const studioview& view, int px, int py);

// The frame of `m` as `view` shows it. With a view as constructed this is paintframe's picture
// pixel for pixel.
void paintstudio(canvas& surface, const image& atlas, const machine& m, const studioview& view);

} // namespace tarvex
