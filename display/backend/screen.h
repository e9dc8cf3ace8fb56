// What a host needs of a window: present a finished canvas, the input queries and the caption. The
// SDL window implements it; a run without a window and tests use their own.
#pragma once
#include "display/backend/input.h"
#include "runtime/text.h"

namespace tarvex {

class canvas;

class screen {
public:
  virtual ~screen() = default;
  // Shows the canvas.
  virtual void Flip(const canvas& surface) = 0;
  // 1 while the key (a Windows virtual-key code; Escape is 27) is held down, else 0.
  virtual int KeyDown(int key) = 0;
  // 1 once for the close requests that arrived since the last call, else 0.
  virtual int AppTerminate() = 0;
  // The next key press or mouse event in canvas pixels, false when none is waiting. A screen
  // that has no user has none.
  virtual bool NextInput(inputevent&) { return false; }
  // Sets the window's caption.
  virtual void SetTitle(const Text&) {}
};

} // namespace tarvex
