// The browser's host of one session: the program's bytes, its console over memory, and ticks
// cut into calls that return, so that the page's animation frames, not the run, own the clock.
// Nothing here waits: a step that would read a line nobody has typed yet, or a tick that
// outlasts its time, hands control back and is resumed by the next call.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "display/canvas.h"
#include "session/session.h"
#include "session/studio.h"
#include "session/typedinput.h"

namespace tarvex::web {

// Where a call to advance left the run.
enum class stride : int {
  ticked = 1,  // every tick asked for was taken; the run goes on
  busy = 2,    // the time was spent first; call again to go on
  waiting = 3, // a step reads a line and no whole line has been typed
  ended = 4,   // the run is over; end() says how
  paused = 5,  // a breakpoint paused the run after a tick
};

// How a run ended, as the page shows it.
enum class ending : int {
  none = 0,       // still running
  complete = 1,   // the pointers ran out or "@" halted: the closing lines, status 0
  fault = 2,      // a fault such as a zero divisor: its name, status 2
  overcap = 3,    // more live pointers than the cap: status 3
  overmemory = 4, // the run came to hold more than the tab's memory budget: status 3
};

// What a key or mouse event on the canvas asks of the page.
enum class canvasaction : int {
  none = 0,
  redraw = 1,   // the view or the state on show changed
  steptick = 2, // one tick of the run: the page takes it as it takes any tick
  reload = 3,   // run the editor's text again from tick 0
  ticked = 4,   // a pointer step finished the tick (or ended the run)
  clicked = 5,  // a click on a cell: the program box's caret goes there
};

// Lines of the grid, [first, end).
struct linespan {
  int64_t first = 0;
  int64_t end = 0;
};

class playground {
public:
  // Loads `source` byte for byte (as the terminal program reads a plain file name) and writes
  // the opening lines. More than `maxpointers` live pointers end the run (0: no cap); a
  // breakpoint is set on each of `breaks`.
  playground(const std::string& source, size_t maxpointers, const std::vector<cellpos>& breaks);

  // Input typed so far, in order; the run may read it as soon as a whole line is there.
  void feed(const std::string& bytes) { _typed.feed(bytes); }
  // No more input comes: reads take what is left, then the end of input, as with `< file`.
  void endinput() {
    _typed.endinput();
    _run.inputcomplete();
  }

  // Takes up to `ticks` ticks, until `now()` passes `budgetms` from the call's start. A call
  // always begins a tick; a further one only when the last whole tick would fit in the time
  // left, so the run stops between ticks, where its frame can be shown.
  stride advance(int64_t ticks, double budgetms, double (*now)());
  // A key (the window's key code and the character it types) or a mouse event in canvas
  // pixels, through the studio's map.
  canvasaction input(const inputevent& event);

  // The page's program box is the live grid. `count` lines from `first` become the lines of
  // `bytes`, each ended by a line feed and read a byte a character as loading reads them. A
  // refusal goes to the status line; false then.
  bool changelines(int64_t first, int64_t count, const std::string& bytes);
  // Whether the run stands as loaded: no tick begun, no edit made. The box is still the
  // program then, and a change to it loads it again, so that its "%" cells start pointers.
  bool pristine() const { return _pristine; }
  // The lines that cell edits (typing on the canvas) changed since the last call, for the box
  // to show them; none when no cell was edited.
  std::optional<linespan> takeedited();
  // The lines of the grid on show as the box shows them: without the space loading gave each,
  // a cell below 256 as the byte it was read from, a larger one as its UTF-8, and the codes
  // that would end a line as U+FFFD, so the box keeps the grid's line count. Ended by line feeds.
  std::string gridlines(linespan span) const;

  // Paints the session's frame of the state on show. Only when between() holds.
  void paint(canvas& surface, image& atlas) const { _run.paint(surface, atlas); }
  // Whether the state on show is one the terminal program shows: not while a pass cut short
  // by its time is open, nor after a fault or the cap cut one short, nor when the "%" cells
  // alone passed the cap. A pass the user steps pointer by pointer shows as it stands.
  bool between() const {
    if (_run.passopen()) return _stepping;
    return !_run.state().passing && !_run.state().overcap;
  }

  std::string takeoutput() { return _typed.takeoutput(); }
  session& run() { return _run; }
  const session& run() const { return _run; }
  ending end() const;
  int status() const { return _run.end().status; }
  // The fault's name or the limit's line, as the terminal program writes it to standard error.
  const std::string& message() const { return _run.end().message; }

private:
  stride finish();
  void heard(const edit& e);

  typedinput _typed;
  session _run;
  studio _keys;
  bool _stepping = false; // the open pass is one the user steps pointer by pointer
  double _lastpassms = 0; // the time the last whole tick took
  bool _pristine = true;
  std::optional<linespan> _edited;
};

} // namespace tarvex::web
