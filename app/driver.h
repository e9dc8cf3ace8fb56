// The window's host of one session: the pause between ticks, the frames shown as they fall due,
// the user's keys and mouse mapped to session calls, and the trace and pictures kept as the run
// goes. What a tick does and how a run ends is the session's.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>

#include "app/options.h"
#include "app/pacer.h"
#include "app/recorder.h"
#include "app/trace.h"
#include "display/backend/screen.h"
#include "display/canvas.h"
#include "session/session.h"
#include "session/studio.h"

namespace tarvex {

class console;

class rundriver {
public:
  // Everything the run draws on, shows with, talks to and waits on is the caller's. With
  // `studio` the screen's keys and mouse drive the session; until the user touches them, every
  // frame, pause and caption stays as without.
  rundriver(const options& opts, console& con, canvas& surface, image& atlas, screen& window,
            pacingclock& clock, bool studio);

  // Loads the source at `path` (named `label` in messages) and writes the opening lines;
  // false when it cannot be opened, after "Could not load LABEL".
  bool load(const Text& path, const Text& label);
  // Paints the frame of the state on show and shows it; false, with nothing shown, when the
  // user has asked to stop (Escape held down or a close request).
  bool show();
  // One tick: the pause (with the studio, the user's input, for as long as the run is
  // paused), the session's tick, the trace line, the frame when one is due and the pictures.
  // False when the run is over: the session's ending says how, or the user stopped it.
  bool tick();
  // The user ended the run (Escape, the close button).
  bool userstopped() const { return _stopped; }
  // The closing lines of a completed run and, unless the options turn it off, the ">" prompt,
  // whose line is read and dropped.
  void closing();

  // Hands the frames the recorder wants to it from now on. A picture that cannot be written
  // raises TRuntimeException with the message.
  void setrecorder(recorder* pictures) { _recorder = pictures; }
  // Gives the recorder the frame of the state as it stands if it wants that one; `last`:
  // no tick follows.
  void recordframe(bool last);
  // The canvas with the last frame painted, painting the current state if none was.
  const canvas& lastframe();
  // Feeds every state from now on to `trace`. A trace that cannot be written raises
  // TRuntimeException with the message.
  void settrace(tracewriter* trace);

  const session& run() const { return _session; }

private:
  // The pause before a tick with the studio: input, stepping inside the tick, the history;
  // false when the user stops the run.
  bool await(std::optional<progress>& done);
  // `done` takes the progress of a pointer step that ended the tick.
  void act(studioaction action, bool& steptick, std::optional<progress>& done);
  void redraw();
  void retitle();
  void reload();
  void paint(bool plain = false);
  void traced();
  // Whether every tick's frame is shown: the pause is at least a frame long.
  bool everyframe() const;
  // Asked from within a pass: true when the user wants to stop.
  bool userstops();
  // Whether Escape is held down or the window was asked to close.
  bool stopasked();
  bool lasttick() const;
  // Whether the driver itself looks at every tick: to show, pace, trace or keep it.
  bool lookseach() const;

  const options& _opts;
  console& _con;
  canvas& _surface;
  image& _atlas;
  screen& _screen;
  pacingclock& _clock;
  session _session;
  bool _studioon;
  studio _studio;
  pacer _frames;
  // Asks the user within a pass; made once, as a tick of two pointers costs less than making it.
  const std::function<bool()> _stopper;
  int64_t _nextframe = 0; // with short pauses: when the next frame is due
  int64_t _lastpoll = 0;  // when the window was last asked for the stop keys
  bool _polled = false;   // the window was asked during this tick
  int64_t _nextinput = 0; // with no pause: when the input is next looked at
  int64_t _nexttitle = 0; // while running: when the caption is next renewed
  int64_t _redrawn = 0;   // while paused: when the frame was last shown
  bool _stopped = false;
  tracewriter* _trace = nullptr;
  recorder* _recorder = nullptr;
  int64_t _painted = -1; // the tick whose frame the canvas holds; -1: none yet
  std::string _out;      // the console bytes of the tick, while tracing
};

} // namespace tarvex
