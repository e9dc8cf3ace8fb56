// The program's one window: shows a finished canvas pixel for pixel, reports the keys and the
// close requests, and shows the fault box. It decides nothing: pacing, what a key means and
// what to do without a display belong to the host.
#pragma once
#include <memory>

#include "display/backend/input.h"
#include "display/backend/screen.h"
#include "runtime/nocopy.h"
#include "runtime/text.h"

namespace tarvex {

class window final : public screen, nocopy {
public:
  // A client area of width × height canvas pixels, each shown as a square of scale × scale,
  // centred on the desktop, titled `title`, neither resizable nor maximisable, shown black.
  // Null when no display can be had; nothing is printed.
  static std::unique_ptr<window> open(int width, int height, const Text& title, int scale = 1);
  ~window() override;

  // Presents at once; takes in no window events.
  void Flip(const canvas& surface) override;
  // Both take in every pending window event first.
  int KeyDown(int key) override;
  int AppTerminate() override;
  bool NextInput(inputevent& event) override;
  void SetTitle(const Text& title) override;

  // Forgets the keys seen so far: what was pressed while the window came up. A close request
  // stays pending.
  void discardinput();
  // The message box captioned "Windows exception" over the window; false when none could be
  // shown.
  bool showfault(const char* name);

private:
  struct system; // the window system's objects
  explicit window(std::unique_ptr<system> platform);

  std::unique_ptr<system> _system;
  inputstate _input;
};

} // namespace tarvex
