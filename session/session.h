// One debuggable run: the machine, its ticks and pointer steps, the history of shown states,
// the breakpoints, the view the studio draws, reload, and the ending as a value. Every host (the
// window, the page, the debug adapter) drives a run only through these calls, so a tick looks
// and ends the same whichever face shows it. A session never sleeps, polls, exits or touches the
// process's standard streams: it talks through the console it is given and returns what
// happened.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "display/studioview.h"
#include "interp/machine.h"
#include "interp/tick.h"
#include "runtime/nocopy.h"
#include "runtime/stream.h"
#include "runtime/text.h"
#include "session/edit.h"
#include "session/history.h"
#include "session/speed.h"

namespace tarvex {

class canvas;
struct image;
class console;

constexpr int MAXZOOM = 4;

struct sessionsettings {
  size_t maxpointers = 0;   // more live pointers than this in a tick stop the run; 0: no cap
  int64_t maxticks = 0;     // a run still going after this many ticks stops; 0: no limit
  int64_t historybytes = 0; // the memory for going back; 0: no history
  // What the run may hold in all, its history included; 0: no budget. The history gives way
  // first: it drops its oldest copies before the run itself is stopped.
  int64_t maxbytes = 0;
  int64_t delayms = PLAINDELAYMS;
  // The step pass's threads, and the live pointers from which it shares them out (a test may
  // set 0 to share every pass).
  int threads = 1;
  size_t parallelfrom = machine::PARALLELFROM;
  std::vector<cellpos> breaks = {};     // cells to pause at, as in the trace
  std::vector<int64_t> breakticks = {}; // ticks to pause after
  bool breakoutput = false;             // pause after a tick that wrote to the console
  // Whether a step may read the line it needs. Null: the input is complete as given, and a
  // read past its end reads the end of input. Set: more input may come, and a step that
  // would read a line nobody has given waits (the run reports `waiting`) until this says yes.
  std::function<bool()> lineready = {};
};

enum class endkind {
  none,     // still running
  complete, // the pointers ran out or "@" halted: the closing lines were written
  missing,  // the source could not be opened: "Could not load NAME" was written
  fault,    // a step faulted, such as a zero divisor
  overcap,  // more live pointers than the cap
  memory,   // the run came to hold more than its memory budget
  ticks,    // the tick limit stopped a run still going
  stopped,  // the host's stop request ended the run inside a pass
};

// How a run ended: the status the command line exits with, and the line it writes to standard
// error (the fault's name for a fault; empty when there is none).
struct ending {
  endkind kind = endkind::none;
  int status = 0;
  std::string message;
  uint32_t fault = 0; // the fault's code
};

// Where a call that runs the program left it.
enum class progress {
  ticked,  // the tick is whole; its frame can be shown
  stepped, // one pointer stepped; the tick is still open
  busy,    // the host's budget ran out inside the pass; call again to go on
  waiting, // the next step reads a line that has not been given
  ended,   // the run is over: see end()
};

class session : nocopy {
public:
  session(console& con, sessionsettings settings);
  ~session();

  // Loads a source by path ("utf8::" and the other prefixes as the command line takes them)
  // or from a stream, as a new run from tick 0, and writes the opening lines. A path that
  // cannot be opened writes "Could not load LABEL" and ends the run (status 1); false then.
  bool load(const Text& path, const Text& label);
  bool load(TStream& source, const Text& name);
  // The closing lines of a run that completed, once: a host writes them after it has shown
  // and kept the last tick, so they belong to no tick's output.
  void close();
  // Whether the next tick() ends the run at the tick limit without running a pass, so a host
  // need not pause before it.
  bool atlimit() const { return _settings.maxticks > 0 && _live->tick >= _settings.maxticks; }
  // The input given so far is now all there is: a read past it reads the end of input, and no
  // step waits any more.
  void inputcomplete() { _settings.lineready = nullptr; }
  // Reads the source by the name it was loaded with again and starts over; false, with the
  // run left as it is, when it can no longer be read.
  bool reload();
  const Text& sourcename() const { return _name; }

  // The rest of the tick, or a whole one: the writes of the tick before land first, then
  // every pointer steps. `budget`, when given, is asked every few thousand steps whether to
  // stop; with `resumable` the pass stays open and the next call goes on with it (`busy`),
  // without, the run ends where it stands (`stopped`). A tick that stepped onto a breakpoint,
  // wrote with the output breakpoint on, or reached a tick breakpoint pauses the session.
  progress tick(const std::function<bool()>& budget = nullptr, bool resumable = false);
  // Up to `most` whole ticks, as tick() runs them, for a host that looks at nothing between
  // them; fewer where one does not end `ticked` or the tick limit comes. Ticks that a
  // breakpoint, the history, following or waiting input must see go one a call.
  progress ticks(int64_t most, const std::function<bool()>& budget = nullptr);
  // One pointer step of the tick, in pass order; the last one finishes the tick (`ticked`).
  progress steppointer();
  // Forward one tick through the history, or, at the newest state, one tick of the run.
  progress next(const std::function<bool()>& budget = nullptr, bool resumable = false);
  // One tick back through the history; false when there is nothing older or a pass is open.
  bool back();
  // Back to the newest kept tick in which a breakpoint was hit, or to the oldest kept one.
  bool backtobreak();
  // Runs on from the newest state.
  void resume();
  void pause();
  bool paused() const { return _paused; }
  bool passopen() const { return _pass.has_value(); }

  // A person's edit of the state on show; the reason it was refused, or empty. It lands after
  // the writes the tick on show queued, so it wins over them, becomes the kept state of that
  // tick, and shows in the frame at once. Made while an older tick is on show, it forks the
  // run there: the newer ticks go, and input they read is read again. Console output stays
  // written. Refused while a pointer step has left a tick half done; while a pass that ran
  // out of time is open, it waits for the tick's end.
  std::string change(const edit& e);
  // Hears of every edit once it has landed, with state() the state it made: a host's trace.
  void onedit(std::function<void(const edit&)> heard) { _heard = std::move(heard); }
  // Writes the grid on show back to the source, in the decoding it was read with, replacing
  // the file only once the new one is whole; the reason it could not, or empty.
  std::string save();
  // A line for the status: why an edit or a save was refused, or what it did. Empty says
  // nothing; the next tick clears it.
  void tell(const std::string& notice);

  // The studio's view: breakpoints, selection, scroll, zoom, hover, help, speed. Each call
  // marks the session as touched.
  void togglebreakpoint(cellpos cell);
  bool breaksat(cellpos cell) const { return _breaks.count({cell.x, cell.y}) != 0; }
  const std::set<std::pair<int64_t, int64_t>>& breakpoints() const { return _breaks; }
  // Selects the next pointer on `cell` of the shown state (the first again after the last).
  void select(cellpos cell);
  void togglefollow();
  void scrollto(cellpos origin);
  // Zooms to `zoom` (1 to MAXZOOM) keeping the cell under canvas pixel (px, py) in place.
  void zoomat(int zoom, int px, int py);
  void home();
  void hover(int px, int py);
  // The typing cursor: the cell typed characters go to, marked in the frame; the page also
  // puts it where its program box's caret stands.
  void typeat(cellpos cell);
  void stoptyping();
  bool typing() const { return _view.typing; }
  void togglehelp(const std::vector<Text>& keys);
  void faster();
  void slower();
  void plainspeed();
  void setdelay(int64_t ms);
  int64_t delayms() const { return _settings.delayms; }
  const studioview& view() const { return _view; }
  // True once a studio call was made or a breakpoint paused the run; until then a host shows
  // exactly the plain frames and caption.
  bool touched() const { return _touched; }
  void touch() { _touched = true; }
  // "paused - tick 37 (history) - 128 ms", what a caption or a status line tells.
  std::string status() const;

  // The frame of the state on show (a past tick's while the history is shown) as the view
  // draws it: always the state before the tick's writes land.
  void paint(canvas& surface, image& atlas) const;
  // The plain frame of the newest state, whatever the view: what pictures keep.
  void paintplain(canvas& surface, image& atlas) const;

  // The live machine, and the state on show.
  const machine& state() const { return *_live; }
  const machine& shown() const;
  bool inhistory() const { return _viewing.has_value(); }
  // Whether the last tick hit a breakpoint, and the ids of the pointers that stepped onto one,
  // in pass order.
  bool hit() const { return _hit; }
  std::vector<int64_t> hitby() const;
  // Those pointers as they stood right after their step (a pointer that removed itself is
  // still there), so a host can weigh conditions over them; in the order of hitby().
  const std::vector<ip>& hitpointers() const { return _hitpointers; }
  // The pointer the last watched step moved (steppointer, or a tick stepped one by one), as it
  // stood after the step.
  const ip& laststepped() const { return _laststepped; }
  const history& past() const { return _history; }
  const ending& end() const { return _end; }
  bool ended() const { return _end.kind != endkind::none; }

private:
  std::unique_ptr<machine> freshmachine() const;
  bool install(std::unique_ptr<machine> loaded, const Text& name);
  void landwrites();
  void opentick();
  // Lets the next pass ask `budget` whether to stop.
  void pollwith(const std::function<bool()>& budget);
  bool mustwait(const ip& next) const;
  bool stepwatched();
  progress finishtick(const tickoutcome& outcome);
  void conclude(const tickoutcome& outcome);
  void limitline(const std::string& why);
  void sharememory();
  void follow();
  void forkat(size_t copy);

  console& _con;
  sessionsettings _settings;
  std::unique_ptr<machine> _live;
  Text _name;
  std::optional<passstepper> _pass; // a pass stepped by hand or cut short by a budget
  bool _byhand = false;             // the open pass was stepped pointer by pointer
  std::vector<edit> _queued;        // edits waiting for the open pass to end
  bool _writesdue = false;          // the last tick went on; its writes land when the next begins
  history _history;
  std::optional<size_t> _viewing; // the history copy on show instead of the live state
  std::unique_ptr<machine> _past; // that copy, rebuilt to be painted and inspected
  std::set<std::pair<int64_t, int64_t>> _breaks;
  studioview _view;
  bool _paused = false;
  bool _touched = false;
  bool _following = false;
  bool _hit = false;
  std::vector<ip> _hitpointers;
  ip _laststepped;
  int64_t _tickstart = 0; // the console's byte count when the last pass began
  std::string _notice;
  std::function<void(const edit&)> _heard;
  ending _end;
  bool _closed = false;
};

} // namespace tarvex
