// The window's studio: what the user's keys and mouse mean. It keeps the view the renderer
// draws (scroll, zoom, breakpoints, hover, selection, help), the pause and the delay, and
// tells the driver what to do with the run; the run itself stays the driver's.
#pragma once
#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "app/options.h"
#include "display/backend/input.h"
#include "display/studioview.h"

namespace tarvex {

struct machine;

// What an input asks of the driver beyond redrawing.
enum class studioaction {
  none,        // nothing changed
  redraw,      // the view changed: paint and show the frame again
  steptick,    // run one tick, then stay paused (or go forward through the history)
  steppointer, // run one pointer step of the tick
  back,        // show the tick before the one shown
  resume,      // run on from the newest state
  reload,      // read the source again and start over
};

class studio {
public:
  explicit studio(const options& opts);

  // Takes one key press or mouse event; `shown` is the state on the screen (the live one or a
  // past one), in which a click finds its pointer.
  studioaction handle(const inputevent& event, const machine& shown);

  // Pauses the run, as a breakpoint does.
  void pause();
  // True once the user has pressed a studio key or used the mouse (or a break paused the
  // run); until then the window shows exactly the plain frames and caption.
  bool touched() const { return _touched; }
  bool paused() const { return _paused; }
  int64_t delayms() const { return _delayms; }
  bool breaksonoutput() const { return _breakoutput; }
  bool hasbreakpoints() const { return !_breakpoints.empty(); }
  bool breaksat(int64_t x, int64_t y) const { return _breakpoints.count({x, y}) != 0; }

  // Moves the view so that the followed pointer stays in it.
  void follow(const machine& shown);
  // The caption once touched: "Tarvex Application - paused - tick 37 - 128 ms".
  Text caption(int64_t tick, bool past) const;

  studioview view;

private:
  void togglebreakpoint(cellpos cell);
  void select(const machine& shown, cellpos cell);
  void zoomto(int zoom, int px, int py);

  bool _touched = false;
  bool _paused = false;
  int64_t _delayms;
  bool _breakoutput;
  std::set<std::pair<int64_t, int64_t>> _breakpoints;
  bool _following = false;
  // A press of the left button: a drag once it moves, a breakpoint click when it does not.
  bool _pressed = false;
  bool _dragging = false;
  int _pressx = 0, _pressy = 0;
  cellpos _pressorigin;
};

// The key map, a line each, for --help and the "?" panel.
const std::vector<Text>& studiokeys();

} // namespace tarvex
