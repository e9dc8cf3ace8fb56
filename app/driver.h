// The run driver: a run as a sequence of calls that return (load, one tick, the closing) with
// the pause, the frames and the user's stop keys in between, and the run sequence that turns
// its endings into the process's exit.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "session/history.h"
#include "app/options.h"
#include "app/pacer.h"
#include "app/recorder.h"
#include "app/studio.h"
#include "app/trace.h"
#include "display/backend/screen.h"
#include "display/canvas.h"
#include "interp/machine.h"
#include "interp/tick.h"

namespace tarvex {

class console;

// How a tick left the run: the interpreter's outcome, or the user's stop.
struct tickresult {
  tickoutcome outcome;
  bool stopped = false; // Escape held down or a close request: the run ends at once
};

class rundriver {
public:
  // Everything the run draws on, shows with, talks to and waits on is the caller's; the
  // options say how long to pause and whether and when to draw.
  rundriver(const options& opts, console& con, canvas& surface, image& atlas, screen& view,
            pacingclock& clock);

  // Loads the source into the driver's machine, then writes "Executing program.." and an
  // empty line; false, with nothing written, when the source cannot be opened.
  bool load(const Text& codefile);
  // Reads the screen's key presses and mouse from now on: the studio (pause, step, step back,
  // inspect, breakpoints, scroll, zoom, reload). Until the user touches it, every frame,
  // pause and caption stays as without it. Call it before load.
  void enablestudio();
  // Paints the frame of the state as it stands and shows it; false, with nothing shown, when
  // the user has asked to stop (Escape held down or a close request).
  bool show();
  // One tick: the pause, the step pass, the frame (this tick's moves, not its writes) when
  // one is due, then the writes of a tick that goes on. With the studio the pause also takes
  // the user's input, and lasts while the run is paused.
  tickresult tick();
  // The closing lines and, unless the options turn it off, the ">" prompt, whose line is
  // read and dropped.
  void closing();

  // Hands the frames the recorder wants to it from now on (null: none). A picture that
  // cannot be written raises TRuntimeException with the message.
  void setrecorder(recorder* pictures) { _recorder = pictures; }
  // Gives the recorder the frame of the state as it stands if it wants that one; `last`:
  // no tick follows.
  void keep(bool last);
  // The canvas with the last frame painted, painting the current state if none was.
  const canvas& lastframe();

  // Feeds every state from now on to `trace` (null: none). A trace that cannot be written
  // raises TRuntimeException with the message.
  void settrace(tracewriter* trace);

  const machine& state() const { return *_machine; }
  const studio& controls() const { return _studio; }
  const history& past() const { return _history; }
  long long consolebytes() const;

private:
  // The pause before a pass with the studio: input, stepping inside the tick, the history;
  // false when the user stops the run.
  bool await();
  void act(studioaction action, bool& steptick);
  // The pass of the tick: the rest of one stepped by hand, or a whole one.
  tickoutcome pass();
  // Notes where this tick's pass began: the console bytes, and no breakpoint hit yet.
  void starttick();
  // One pointer step, noting a breakpoint it stepped onto; false once the pass has no more.
  bool stepwatched(passstepper& stepper);
  // The rest of the pass, watched for breakpoints when there are any.
  void stepwatching(passstepper& stepper);
  void redraw();
  void retitle();
  void reload();
  // The state on the screen: a past tick's while the history is shown, else the live one.
  const machine& shown() const;
  void paint(bool plain = false);
  void traced();
  // Whether every tick's frame is shown: the pause is at least a frame long.
  bool everyframe() const;
  // Asked from within a pass: true when the user wants to stop.
  bool userstops();

  const options& _opts;
  console& _con;
  canvas& _surface;
  image& _atlas;
  screen& _view;
  pacingclock& _clock;
  pacer _frames;
  int64_t _nextframe = 0;                         // with short pauses: when the next frame is due
  static constexpr int64_t TICKSTART = INT64_MIN; // _lastpoll before the tick's first poll
  int64_t _lastpoll = 0; // when the window was last asked for the stop keys
  std::unique_ptr<machine> _machine;
  Text _codefile;
  studio _studio;
  bool _studioon = false;
  history _history;
  std::optional<passstepper> _stepper; // a pass the user is stepping through
  std::optional<size_t> _viewing;      // the history copy shown instead of the live state
  std::unique_ptr<machine> _pastmachine;
  bool _hit = false;        // a pointer stepped onto a breakpoint this tick
  long long _tickbytes = 0; // the console bytes before this tick's pass began
  int64_t _nextinput = 0;   // with no pause: when the input is next looked at
  int64_t _nexttitle = 0;   // while running: when the caption is next renewed
  int64_t _redrawn = 0;     // while paused: when the frame was last shown
  tracewriter* _trace = nullptr;
  recorder* _recorder = nullptr;
  int64_t _painted = -1; // the tick whose frame the canvas holds; -1: none yet
  std::string _out;      // the console bytes of the tick, while tracing
};

// The whole program: the command line, start-up, the window, the font, the run and its
// ending. Every way out ends the process with the ending's status.
[[noreturn]] void runsequence(int argc, char** argv);

} // namespace tarvex
