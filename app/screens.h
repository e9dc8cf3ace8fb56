// Choosing the screen a run shows on: the SDL window, or none. The window lives to the end of
// the process, so a fault's message box can be shown over it.
#pragma once
#include "app/pacer.h"
#include "display/backend/screen.h"
#include "display/canvas.h"

namespace tarvex {

// Opens the 720 by 512 window (shown `scale` times enlarged), or settles for none, saying so
// on standard error when one was `wanted`. Either way the canvas starts cleared.
screen& openscreen(canvas& surface, pacingclock& clock, bool wanted, int scale);
// Whether a window opened.
bool haswindow();

} // namespace tarvex
