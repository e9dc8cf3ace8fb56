// The studio's key and mouse map: what each key press and mouse event asks of the session,
// shared by the window and the page (which hands over its keys as the window's key codes), so
// a key means the same in both. The view, the pause, the speed and the history are the
// session's; only the gesture in progress (a press that becomes a drag) is kept here.
#pragma once
#include <vector>

#include "display/backend/input.h"
#include "session/session.h"

namespace tarvex {

// What an input asks of the host beyond the session call it made.
enum class studioaction {
  none,        // nothing changed
  redraw,      // the view changed: paint and show the frame again
  steptick,    // paused: one tick forward (through the history first)
  steppointer, // paused: one pointer step of the tick
  reload,      // read the source again and start over
  save,        // write the grid back to the source (Ctrl+S)
};

class studio {
public:
  studioaction handle(const inputevent& event, session& run);
  // Whether the Escape that is down was one that stopped typing, so that it does not also end
  // the run; true until the key comes up.
  bool escapetyped() const { return _escapetyped; }

private:
  studioaction type(const inputevent& event, session& run);
  studioaction editpointer(const inputevent& event, session& run);
  // Makes the edit, or puts the reason it was refused in the caption.
  static void change(session& run, const edit& e);

  // A press of the left button: a drag once it moves, a breakpoint click when it does not.
  bool _pressed = false;
  bool _dragging = false;
  int _pressx = 0, _pressy = 0;
  cellpos _pressorigin;
  bool _carrying = false; // the press was on the selected pointer: a drag moves it
  bool _escapetyped = false;
};

// The key map, a line each, for --help and the "?" panel.
const std::vector<Text>& studiokeys();

} // namespace tarvex
