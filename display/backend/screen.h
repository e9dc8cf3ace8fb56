// What a host needs of a window: present a finished canvas, and the two input queries. The SDL
// window implements it; a run without a window and tests use their own.
#pragma once

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
};

} // namespace tarvex
