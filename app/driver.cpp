// The window's host of one session.
#include "app/driver.h"

#include <cstdio>
#include <cstdlib>

#include "app/startup.h"
#include "runtime/console.h"

namespace tarvex {

namespace {

constexpr int FRAMERATE = 60;
constexpr int ESCAPE = 27;
constexpr int64_t POLLMS = 50;
constexpr int64_t INPUTMS = 10;   // how often a run without a pause looks at the input
constexpr int64_t IDLEMS = 10;    // the slices a pause sleeps in while it waits for input
constexpr int64_t TITLEMS = 100;  // how often a running, touched window renews its caption
constexpr int64_t REDRAWMS = 250; // how often a paused window shows its frame again
constexpr int64_t MIB = 1 << 20;

sessionsettings settingsof(const options& opts, bool studio) {
  sessionsettings settings;
  settings.maxpointers = static_cast<size_t>(opts.maxpointers);
  settings.maxticks = opts.maxticks;
  settings.delayms = opts.delayms;
  settings.maxbytes = opts.maxmemorymib * MIB;
  settings.threads = static_cast<int>(opts.threads);
  // Tests only: every pass, however small, shared among this many threads, so the golden
  // cases and the trace test check the pass in parts as well.
  if (const char* parts = std::getenv("TARVEX_TEST_PARTS"))
    settings.threads = std::atoi(parts), settings.parallelfrom = 0;
  // The history and the breakpoints serve the window's studio only.
  if (!studio) return settings;
  settings.historybytes = opts.historymib * MIB;
  for (const auto& [x, y] : opts.breaks)
    settings.breaks.push_back({x, y});
  settings.breakoutput = opts.breakoutput;
  return settings;
}

} // namespace

rundriver::rundriver(const options& opts, console& con, canvas& surface, image& atlas,
                     screen& window, pacingclock& clock, bool studio)
    : _opts(opts), _con(con), _surface(surface), _atlas(atlas), _screen(window), _clock(clock),
      _session(con, settingsof(opts, studio)), _studioon(studio), _frames(FRAMERATE, clock),
      _stopper([this] { return userstops(); }) {}

bool rundriver::userstops() {
  // A long tick still answers Escape and the close button, looked at about every 50 ms. The
  // first poll of a tick starts the count: ticks that end sooner (nearly all) never read the
  // clock at all.
  const int64_t now = _clock.now();
  if (!_polled) {
    _polled = true;
    _lastpoll = now;
  }
  if (now - _lastpoll < POLLMS) return false;
  _lastpoll = now;
  return stopasked();
}

bool rundriver::stopasked() {
  // Escape first: a close request that comes while Escape is down stays pending, and the run
  // ends anyway.
  // An Escape that stopped typing is not one that ends the run.
  return (_screen.KeyDown(ESCAPE) != 0 && !_studio.escapetyped()) || _screen.AppTerminate() != 0;
}

bool rundriver::load(const Text& path, const Text& label) {
  return _session.load(path, label);
}

void rundriver::settrace(tracewriter* trace) {
  _trace = trace;
  // An edit is a line of its own between the states, so the trace stays a record of every one.
  _session.onedit([this](const edit& e) {
    if (_trace && !_trace->edited(e, _session.state())) throw TRuntimeException(_trace->failure());
  });
  _con.settap(trace ? &_out : nullptr);
  _out.clear();
  traced();
}

void rundriver::traced() {
  if (!_trace) return;
  if (!_trace->state(_session.state(), _out)) throw TRuntimeException(_trace->failure());
  _out.clear();
}

bool rundriver::lasttick() const {
  return _session.ended() || _session.atlimit();
}

bool rundriver::lookseach() const {
  return _studioon || _opts.delayms > 0 || _opts.frames || _trace || _recorder;
}

bool rundriver::tick() {
  // A pointer step pressed in the pause may have finished the tick already.
  std::optional<progress> done;
  if (_studioon) {
    if (!await(done)) {
      _stopped = true;
      return false;
    }
  } else if (_opts.delayms > 0 && !_session.atlimit()) {
    _clock.sleep(_opts.delayms);
  }
  if (!done) {
    _polled = false;
    // With nothing to do between ticks, the session runs them on until the run ends.
    done = _session.ticks(lookseach() ? 1 : INT64_MAX, _stopper);
  }
  if (*done == progress::ended) {
    // A pass cut short ends the program where it stands: no frame, no trace line; and a limit
    // or a fault ends it with the frame of the tick before on show.
    if (_session.end().kind == endkind::stopped) _stopped = true;
    if (_session.end().kind != endkind::complete) return false;
  }
  traced();
  const bool last = lasttick();
  if (_session.touched() && (_session.paused() || _clock.now() >= _nexttitle)) {
    retitle();
    _nexttitle = _clock.now() + TITLEMS;
  }
  // Pauses shorter than a frame show only the frames that are due, and always the last; a
  // paused run shows the frame it stopped at.
  if (_opts.frames && (everyframe() || last || _session.paused() || _clock.now() >= _nextframe)) {
    if (!show()) {
      _stopped = true;
      return false;
    }
    if (!everyframe()) _nextframe = _clock.now() + 1000 / FRAMERATE;
  }
  recordframe(last);
  return !_session.ended();
}

bool rundriver::await(std::optional<progress>& done) {
  const int64_t start = _clock.now();
  const bool paced = _session.delayms() > 0 || _session.touched();
  // Without a pause, input is looked at every few milliseconds, not before every tick.
  if (!paced && !_session.paused() && start < _nextinput) return true;
  _nextinput = start + INPUTMS;
  for (;;) {
    bool steptick = false;
    for (inputevent event{inputkind::KeyUp}; !steptick && _screen.NextInput(event);)
      act(_studio.handle(event, _session), steptick, done);
    if (steptick) return true;
    // Untouched, Escape and the close button are answered where they always were.
    if (_session.touched() && stopasked()) return false;
    if (_session.paused() || _session.passopen()) {
      if (!_session.paused()) return true; // resumed inside a stepped tick: finish it
      // A window that was covered shows its frame again soon.
      if (_clock.now() - _redrawn >= REDRAWMS) redraw();
      _clock.sleep(IDLEMS);
      continue;
    }
    if (_session.atlimit()) return true;
    const int64_t left = start + _session.delayms() - _clock.now();
    if (left <= 0) return true;
    _clock.sleep(std::min<int64_t>(left, IDLEMS));
  }
}

void rundriver::act(studioaction action, bool& steptick, std::optional<progress>& done) {
  switch (action) {
  case studioaction::none: return;
  case studioaction::redraw: break;
  case studioaction::steptick:
    if (_session.inhistory()) {
      _session.next();
      break;
    }
    steptick = true;
    return;
  case studioaction::steppointer:
    // The last pointer has stepped, or the pass stopped: the tick ends as it would have.
    if (const progress stepped = _session.steppointer(); stepped != progress::stepped) {
      done = stepped;
      steptick = true;
      return;
    }
    break;
  case studioaction::reload: reload(); break;
  case studioaction::save: {
    const std::string why = _session.save();
    _session.tell(why.empty() ? "saved " + utf8name(_session.sourcename()) : why);
    break;
  }
  }
  redraw();
}

void rundriver::reload() {
  if (_trace || _recorder) {
    std::fputs("tarvex: cannot reload while a trace or pictures are being written\n", stderr);
    return;
  }
  const std::string name = utf8name(_session.sourcename());
  if (!_session.reload()) {
    std::fprintf(stderr, "tarvex: cannot reload %s; the run goes on\n", name.c_str());
    return;
  }
  std::fprintf(stderr, "tarvex: reloaded %s\n", name.c_str());
}

void rundriver::redraw() {
  _redrawn = _clock.now();
  if (_opts.frames) {
    paint();
    _screen.Flip(_surface);
  }
  retitle();
}

void rundriver::retitle() {
  if (_session.touched()) _screen.SetTitle(apptitle() + frombytes(" - " + _session.status()));
}

bool rundriver::everyframe() const {
  return _session.delayms() * FRAMERATE >= 1000;
}

void rundriver::closing() {
  _session.close();
  if (_opts.prompt) _con.promptline(u">");
}

void rundriver::paint(bool plain) {
  if (plain)
    _session.paintplain(_surface, _atlas);
  else
    _session.paint(_surface, _atlas);
  _painted = plain ? _session.state().tick : _session.shown().tick;
}

void rundriver::recordframe(bool last) {
  if (!_recorder) return;
  const int64_t tick = _session.state().tick;
  const bool wanted = _recorder->wants(tick, last);
  // The last frame is painted also when no frame was drawn on the way (--batch), so the
  // picture at the end shows what the window would have.
  if (!wanted && !last) return;
  // Pictures hold the plain frames, whatever the window shows over them.
  if (_session.touched())
    paint(true);
  else if (_painted != tick)
    paint();
  if (wanted) _recorder->record(_surface, tick);
}

const canvas& rundriver::lastframe() {
  if (_painted < 0 || _session.touched()) paint(_session.touched());
  return _surface;
}

bool rundriver::show() {
  paint();
  if (stopasked()) return false;
  // Frames of short pauses are shown as they fall due, never waited for.
  if (everyframe()) _frames.wait();
  _screen.Flip(_surface);
  return true;
}

} // namespace tarvex
