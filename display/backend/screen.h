// What the frame renderer needs of a window: present a finished canvas, and the two input
// queries. The SDL window implements it; tests use their own.
#pragma once

namespace tarvex {

class canvas;

class screen {
public:
  virtual ~screen() = default;
  // Presents the canvas; sync -1 paces to the window's rate without making up late frames.
  virtual void Flip(const canvas& surface, int sync) = 0;
  // 1 while the key (a Windows virtual-key code; Escape is 27) is held down, else 0.
  virtual int KeyDown(int key) = 0;
  // 1 once for the close requests that arrived since the last call, else 0.
  virtual int AppTerminate() = 0;
};

} // namespace tarvex
