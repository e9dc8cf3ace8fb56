// The program's one window: shows the finished canvas pixel for pixel, paces the frames and
// answers the two input queries. When no display can be had the program goes on without a
// window: the canvas is still drawn, nothing is shown, and no key is ever down.
#pragma once
#include <memory>

#include "display/backend/input.h"
#include "display/backend/pacer.h"
#include "display/backend/screen.h"

namespace tarvex {

class canvas;

class window final : public screen {
public:
  ~window() override;
  window(const window&) = delete;
  window& operator=(const window&) = delete;

  // sync -1 waits for the frame's time first (when a rate was given); any other value
  // presents at once. Presenting takes in no window events.
  void Flip(const canvas& surface, int sync) override;
  // Both take in every pending window event first; without a window they answer 0.
  int KeyDown(int key) override;
  int AppTerminate() override;

  // True when the program runs without a window.
  bool headless() const { return !_system; }
  const inputstate& input() const { return _input; }

private:
  friend window& OpenGraphics(canvas& surface, int width, int height, int depth, int hertz,
                              int flags);
  struct system; // the window system's objects
  explicit window(std::unique_ptr<system> platform);

  std::unique_ptr<system> _system;
  systemclock _clock;
  pacer _pacer;
  inputstate _input;
};

// Opens the program's window, closing one opened before: a client area of width × height,
// centred on the desktop, titled with apptitle(), neither resizable nor maximisable. It raises
// the canvas's generation, gives it the drawing state of a fresh window and shows it black.
// hertz > 0 paces Flip(-1) to that rate; depth and flags ask for nothing more here. While the
// window is open a platform fault is shown in a message box it owns; the window closes when
// the process exits. Without a display, one line on standard error says so and the window is
// headless.
window& OpenGraphics(canvas& surface, int width, int height, int depth, int hertz, int flags);

// Closes the window OpenGraphics opened, if one is open; the exit-time action.
void CloseGraphics();

} // namespace tarvex
