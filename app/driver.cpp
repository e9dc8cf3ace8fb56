// The run driver and the run sequence. Only here do the layers meet, and only here does a run's
// ending become an exit status.
#include "app/driver.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

#include "app/endings.h"
#include "app/faultreport.h"
#include "app/hushed.h"
#include "app/startup.h"
#include "display/backend/window.h"
#include "display/font.h"
#include "display/frame.h"
#include "display/studioview.h"
#include "interp/loader.h"
#include "runtime/console.h"
#include "runtime/stream.h"

namespace tarvex {

namespace {

constexpr int FRAMERATE = 60;
constexpr int ESCAPE = 27;
constexpr int EXIT_LIMIT = 3;
constexpr int EXIT_USAGE = 64;
constexpr int EXIT_STREAM = 255;
constexpr int64_t POLLMS = 50;
constexpr int64_t INPUTMS = 10;   // how often a run without a pause looks at the input
constexpr int64_t IDLEMS = 10;    // the slices a pause sleeps in while it waits for input
constexpr int64_t TITLEMS = 100;  // how often a running, touched window renews its caption
constexpr int64_t REDRAWMS = 250; // how often a paused window shows its frame again
constexpr int64_t MIB = 1 << 20;

// Stands in for the window when there is none: the canvas is still drawn, nothing is shown,
// and no key is ever down.
class noscreen final : public screen {
public:
  void Flip(const canvas&) override {}
  int KeyDown(int) override { return 0; }
  int AppTerminate() override { return 0; }
};

// The window lives to the end of the process: the fault box is shown over it, and the
// exit-time action closes it.
std::unique_ptr<window>& openwindow() {
  static std::unique_ptr<window> opened;
  return opened;
}

bool faultboxoverwindow(const char* name) {
  return openwindow() && openwindow()->showfault(name);
}

void closewindow() {
  setfaultbox(nullptr);
  openwindow().reset();
}

// Opens the 720 by 512 window, or settles for none, saying so on standard error unless no
// window was wanted.
screen& openscreen(canvas& surface, pacingclock& clock, bool wanted, int scale) {
  static noscreen none;
  std::unique_ptr<window>& opened = openwindow();
  for (int attempt = 0; wanted; ++attempt) {
    {
      // What the video drivers and the libraries under them report while starting (a display
      // that refuses the connection, a missing runtime directory) must not reach the program's
      // own output.
      hushed quiet;
      opened = window::open(canvas::WIDTH, canvas::HEIGHT, apptitle(), scale);
    }
    // A display that is named but slow to answer (a busy machine, a server still starting)
    // gets two more tries before the program settles for running without a window.
    const bool named = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    if (opened || !named || attempt == 2) break;
    clock.sleep(250);
  }
  addexitaction(closewindow);

  surface.newgeneration();
  surface.resetstate();
  if (!opened) {
    if (wanted) {
      std::fputs("tarvex: no display available; running without a window\n", stderr);
      std::fflush(stderr);
    }
    surface.Cls();
    return none;
  }
  for (int i = 0; i < 2; ++i) {
    surface.Cls();
    opened->Flip(surface);
  }
  opened->discardinput();
  setfaultbox(faultboxoverwindow);
  return *opened;
}

// What the endings report with --stats: the run, if one began, and when it began.
struct reportstate {
  const options* opts = nullptr;
  rundriver* driver = nullptr;
  recorder* pictures = nullptr;
  int64_t startedus = 0;
} report;

int64_t nowus() {
  timespec at{};
  clock_gettime(CLOCK_MONOTONIC, &at);
  return int64_t{at.tv_sec} * 1000000 + at.tv_nsec / 1000;
}

// One line of statistics on standard error, when asked for and a run began.
void printstats() {
  if (!report.opts || report.opts->stats == statsform::none || !report.driver) return;
  const machine& m = report.driver->state();
  const double seconds = static_cast<double>(nowus() - report.startedus) / 1e6;
  const double rate = seconds > 0 ? static_cast<double>(m.steps) / seconds : 0;
  const long long written = report.driver->consolebytes();
  if (report.opts->stats == statsform::json)
    std::fprintf(stderr,
                 "{\"ticks\":%" PRId64 ",\"steps\":%" PRId64 ",\"peak_pointers\":%zu,"
                 "\"writes\":%" PRId64 ",\"console_bytes\":%lld,\"seconds\":%.6f,"
                 "\"steps_per_second\":%.0f}\n",
                 m.tick, m.steps, m.peak, m.applied, written, seconds, rate);
  else
    std::fprintf(stderr,
                 "tarvex: %" PRId64 " ticks, %" PRId64 " pointer steps, peak %zu live pointers, "
                 "%" PRId64 " writes applied, %lld console bytes, %.3f s, %.0f steps/s\n",
                 m.tick, m.steps, m.peak, m.applied, written, seconds, rate);
  std::fflush(stderr);
}

// The screenshot and the end of the GIF, at every ending once a run began; false when a
// picture could not be written, which it has said.
bool endpictures() {
  recorder* pictures = report.pictures;
  report.pictures = nullptr; // an ending inside this one must not come back here
  if (!pictures || !report.driver) return true;
  return pictures->finish(report.driver->lastframe());
}

[[noreturn]] void finish(int status) {
  if (!endpictures()) status = EXIT_STREAM;
  printstats();
  endprogram(status);
}

[[noreturn]] void overcap(const machine& m) {
  // Counted as the limit counts them: those the running tick removed are still held.
  std::fprintf(stderr, "tarvex: stopped at %zu live pointers after %" PRId64 " ticks\n", m.overcap,
               completedticks(m));
  finish(EXIT_LIMIT);
}

[[noreturn]] void overmemory(const machine& m) {
  std::fprintf(stderr,
               "tarvex: stopped at %zu live pointers after %" PRId64
               " ticks: the memory budget of %" PRId64 " MiB is used up (see --max-memory)\n",
               m.ips.count(), completedticks(m), report.opts->maxmemorymib);
  finish(EXIT_LIMIT);
}

// Memory has run out, so the message is put together in place and written directly.
[[noreturn]] void outofmemory() {
  char message[128];
  const machine* m = report.driver ? &report.driver->state() : nullptr;
  int length = std::snprintf(message, sizeof message,
                             "tarvex: out of memory after %" PRId64 " ticks (%zu live pointers)\n",
                             m ? completedticks(*m) : 0, m ? m->ips.count() : 0);
  std::fflush(stdout);
  if (length > 0 && write(2, message, static_cast<size_t>(length)) < 0) {
  }
  printstats();
  endprogram(EXIT_LIMIT);
}

// The source is looked up beside the program first (the working directory by now), and from
// where tarvex was started only when no file of that name is there. A "protocol::" prefix
// stays in front of the path.
Text sourcename(const Text& name) {
  const size_t separator = name.find(u"::");
  const size_t start = separator == Text::npos ? 0 : separator + 2;
  Text path = name.substr(start);
  for (char16_t& c : path)
    if (c == u'\\') c = u'/';
  struct stat status {};
  if (path.empty() || stat(utf8name(path).c_str(), &status) == 0) return name;
  return name.substr(0, start) + fromstartdir(name.substr(start));
}

[[noreturn]] void run(const options& opts) {
  console& con = stdconsole();
  systemclock clock;
  report.opts = &opts;

  canvas surface;
  screen& view = openscreen(surface, clock, !opts.headless, static_cast<int>(opts.scale));
  surface.SetBlend(BLEND_ALPHA);
  glyphfont font = makefont(surface);
  if (!loadfont(surface, font, u"curses.bit")) {
    // There is no picture to show anything with, so nothing can go on.
    std::fputs("tarvex: cannot open the font file curses.bit\n", stderr);
    endprogram(1);
  }

  static tracewriter trace;
  if (opts.trace && !trace.open(utf8name(fromstartdir(*opts.trace))))
    throw TRuntimeException(trace.failure());

  static std::unique_ptr<rundriver> driver;
  driver = std::make_unique<rundriver>(opts, con, surface, font.atlas, view, clock);
  report.driver = driver.get();
  if (openwindow() && opts.frames) {
    driver->enablestudio();
  } else if (!opts.breaks.empty() || opts.breakoutput) {
    std::fputs("tarvex: --break and --break-output pause the window, and there is none; "
               "they are ignored\n",
               stderr);
  }
  static recorder pictures(opts);
  if (pictures.active()) {
    pictures.start();
    driver->setrecorder(&pictures);
    report.pictures = &pictures;
  }
  report.startedus = nowus();
  const Text codefile = opts.source.value_or(u"code.txt");
  if (!driver->load(sourcename(codefile))) {
    con.printline(u"Could not load " + codefile);
    if (opts.prompt) con.promptline(u">");
    // A source that cannot be opened is a failed run, not a successful one.
    finish(1);
  }
  if (driver->state().overcap) overcap(driver->state());
  if (driver->state().overmemory) overmemory(driver->state());
  if (opts.trace) {
    if (!trace.header(codefile, driver->state())) throw TRuntimeException(trace.failure());
    driver->settrace(&trace);
  }
  if (opts.frames && !driver->show()) finish(0);
  driver->keep(false);
  for (;;) {
    tickresult result = driver->tick();
    if (result.stopped) finish(0);
    if (result.outcome.state == tickstate::fault) {
      endpictures();
      printstats();
      faultreport(result.outcome.fault);
    }
    if (result.outcome.state == tickstate::overcap) overcap(driver->state());
    if (result.outcome.state == tickstate::overmemory) overmemory(driver->state());
    if (result.outcome.state != tickstate::going) break;
    if (opts.maxticks > 0 && driver->state().tick >= opts.maxticks) {
      std::fprintf(stderr, "tarvex: stopped after %" PRId64 " ticks\n", driver->state().tick);
      finish(EXIT_LIMIT);
    }
  }
  driver->closing();
  finish(0);
}

} // namespace

rundriver::rundriver(const options& opts, console& con, canvas& surface, image& atlas, screen& view,
                     pacingclock& clock)
    : _opts(opts), _con(con), _surface(surface), _atlas(atlas), _view(view), _clock(clock),
      _frames(FRAMERATE, clock), _machine(std::make_unique<machine>(con)), _studio(opts),
      _history(opts.historymib * MIB) {}

bool rundriver::userstops() {
  // A long tick still answers Escape and the close button, looked at about every 50 ms.
  const int64_t now = _clock.now();
  // The first poll of a tick starts the count: it comes within POLLSTEPS steps of the start,
  // and ticks that end sooner (nearly all) never read the clock at all.
  if (_lastpoll == TICKSTART) _lastpoll = now;
  if (now - _lastpoll < POLLMS) return false;
  _lastpoll = now;
  return _view.KeyDown(ESCAPE) != 0 || _view.AppTerminate() != 0;
}

bool rundriver::load(const Text& codefile) {
  auto loaded = std::make_unique<machine>(_con);
  loaded->maxpointers = static_cast<size_t>(_opts.maxpointers);
  loaded->maxbytes = static_cast<size_t>(_opts.maxmemorymib * MIB);
  loaded->poll = [](void* self) { return static_cast<rundriver*>(self)->userstops(); };
  loaded->pollcontext = this;
  if (!loadsource(*loaded, codefile)) return false;
  _stepper.reset(); // a pass stepped by hand goes with the machine it stepped
  _machine = std::move(loaded);
  _codefile = codefile;
  _viewing.reset();
  _pastmachine.reset(); // its tick may come again in the new run
  _history.clear();
  if (_studioon) _history.record(*_machine);
  openinglines(_con);
  return true;
}

void rundriver::enablestudio() {
  _studioon = true;
}

void rundriver::settrace(tracewriter* trace) {
  _trace = trace;
  _con.settap(trace ? &_out : nullptr);
  _out.clear();
  traced();
}

void rundriver::traced() {
  if (!_trace) return;
  if (!_trace->state(*_machine, _out)) throw TRuntimeException(_trace->failure());
  _out.clear();
}

tickresult rundriver::tick() {
  if (_studioon) {
    if (!await()) return {standing(*_machine), true};
  } else if (_opts.delayms > 0) {
    _clock.sleep(_opts.delayms);
  }
  _lastpoll = TICKSTART;
  tickresult result{pass()};
  // A pass cut short ends the program where it stands: no frame, no writes, no trace line.
  if (result.outcome.state == tickstate::interrupted) result.stopped = true;
  if (result.outcome.state == tickstate::fault || result.outcome.state == tickstate::overcap ||
      result.outcome.state == tickstate::overmemory || result.stopped)
    return result;
  traced();
  if (_studioon) _history.record(*_machine);
  _machine->hostbytes = static_cast<size_t>(_history.bytes()); // the history counts too
  const bool last = result.outcome.state != tickstate::going ||
                    (_opts.maxticks > 0 && _machine->tick >= _opts.maxticks);
  if (_studioon) {
    _studio.follow(*_machine);
    const bool wrote = _con.written() != _tickbytes;
    if (!last && (_hit || (_studio.breaksonoutput() && wrote))) _studio.pause();
    if (_studio.touched() && (_studio.paused() || _clock.now() >= _nexttitle)) {
      retitle();
      _nexttitle = _clock.now() + TITLEMS;
    }
  }
  // Pauses shorter than a frame show only the frames that are due, and always the last; a
  // paused run shows the frame it stopped at.
  if (_opts.frames && (everyframe() || last || _studio.paused() || _clock.now() >= _nextframe)) {
    result.stopped = !show();
    if (!everyframe()) _nextframe = _clock.now() + 1000 / FRAMERATE;
  }
  if (!result.stopped) {
    keep(last);
    endtick(*_machine, result.outcome);
  }
  return result;
}

tickoutcome rundriver::pass() {
  if (_stepper) {
    stepwatching(*_stepper);
    tickoutcome outcome = _stepper->finish();
    _stepper.reset();
    return outcome;
  }
  starttick();
  if (!_studio.hasbreakpoints()) return steppass(*_machine);
  passstepper stepper(*_machine);
  stepwatching(stepper);
  return stepper.finish();
}

void rundriver::starttick() {
  _tickbytes = _con.written();
  _hit = false;
}

bool rundriver::stepwatched(passstepper& stepper) {
  // A stepped record stays readable until the pass ends, so its cell is read after the step.
  const ip* p = stepper.upcoming();
  if (!p) return false;
  const bool more = stepper.step();
  if (_studio.breaksat(p->x, p->y)) _hit = true;
  return more;
}

void rundriver::stepwatching(passstepper& stepper) {
  if (!_studio.hasbreakpoints()) return;
  for (int64_t steps = 1; stepwatched(stepper); ++steps) {
    // Escape and the close button are still answered inside a long tick.
    if (steps % machine::POLLSTEPS == 0 && userstops()) {
      stepper.interrupt();
      break;
    }
  }
}

bool rundriver::await() {
  const int64_t start = _clock.now();
  const bool paced = _studio.delayms() > 0 || _studio.touched();
  // Without a pause, input is looked at every few milliseconds, not before every tick.
  if (!paced && !_studio.paused() && start < _nextinput) return true;
  _nextinput = start + INPUTMS;
  for (;;) {
    bool steptick = false;
    for (inputevent event{inputkind::KeyUp}; !steptick && _view.NextInput(event);)
      act(_studio.handle(event, shown()), steptick);
    if (steptick) return true;
    // Untouched, Escape and the close button are answered where they always were.
    if (_studio.touched() && (_view.KeyDown(ESCAPE) != 0 || _view.AppTerminate() != 0))
      return false;
    if (_studio.paused() || _stepper) {
      if (!_studio.paused()) return true; // resumed inside a stepped tick: finish it
      // A window that was covered shows its frame again soon.
      if (_clock.now() - _redrawn >= REDRAWMS) redraw();
      _clock.sleep(IDLEMS);
      continue;
    }
    const int64_t left = start + _studio.delayms() - _clock.now();
    if (left <= 0) return true;
    _clock.sleep(std::min<int64_t>(left, IDLEMS));
  }
}

void rundriver::act(studioaction action, bool& steptick) {
  switch (action) {
  case studioaction::none: return;
  case studioaction::redraw: break;
  case studioaction::resume: _viewing.reset(); break;
  case studioaction::steptick:
    // Forward through the history first; the newest copy is the live state's frame.
    if (_viewing) {
      if (++*_viewing + 1 >= _history.size()) _viewing.reset();
      break;
    }
    steptick = true;
    return;
  case studioaction::back:
    if (_stepper || _history.size() < 2) break;
    if (!_viewing) _viewing = _history.size() - 1;
    if (*_viewing > 0) --*_viewing;
    break;
  case studioaction::steppointer:
    _viewing.reset();
    if (!_stepper) {
      starttick();
      _stepper.emplace(*_machine);
    }
    stepwatched(*_stepper);
    // The last pointer has stepped, or the pass stopped: the tick ends as it would have.
    if (!_stepper->upcoming()) steptick = true;
    if (steptick) return;
    break;
  case studioaction::reload: reload(); break;
  }
  redraw();
}

void rundriver::reload() {
  if (_trace || _recorder) {
    std::fputs("tarvex: cannot reload while a trace or pictures are being written\n", stderr);
    return;
  }
  const std::string name = utf8name(_codefile);
  if (!load(_codefile)) {
    std::fprintf(stderr, "tarvex: cannot reload %s; the run goes on\n", name.c_str());
    return;
  }
  std::fprintf(stderr, "tarvex: reloaded %s\n", name.c_str());
}

const machine& rundriver::shown() const {
  return _viewing ? *_pastmachine : *_machine;
}

void rundriver::redraw() {
  _redrawn = _clock.now();
  if (_viewing && (!_pastmachine || _pastmachine->tick != _history.at(*_viewing).tick)) {
    // A past tick is shown from its copy, painted as the live state is; hovering over it or
    // showing it again costs no new copy.
    _pastmachine = std::make_unique<machine>(_con);
    restoresnapshot(*_pastmachine, _history.at(*_viewing));
  }
  _studio.view.upcoming = _stepper && !_viewing ? _stepper->upcoming() : nullptr;
  if (_opts.frames) {
    paint();
    _view.Flip(_surface);
  }
  _studio.view.upcoming = nullptr;
  retitle();
}

void rundriver::retitle() {
  if (_studio.touched()) _view.SetTitle(_studio.caption(shown().tick, _viewing.has_value()));
}

bool rundriver::everyframe() const {
  return _studio.delayms() * FRAMERATE >= 1000;
}

long long rundriver::consolebytes() const {
  return _con.written();
}

void rundriver::closing() {
  closinglines(_con);
  if (_opts.prompt) _con.promptline(u">");
}

void rundriver::paint(bool plain) {
  if (plain || !_studioon)
    paintframe(_surface, _atlas, *_machine);
  else
    paintstudio(_surface, _atlas, shown(), _studio.view);
  _painted = plain ? _machine->tick : shown().tick;
}

void rundriver::keep(bool last) {
  if (!_recorder) return;
  const bool wanted = _recorder->wants(_machine->tick, last);
  // The last frame is painted before the last tick's writes land also when no frame was drawn
  // on the way (--batch), so the picture at the end shows what the window would have.
  if (!wanted && !last) return;
  // Pictures hold the plain frames, whatever the window shows over them.
  if (_studio.touched())
    paint(true);
  else if (_painted != _machine->tick)
    paint();
  if (wanted) _recorder->record(_surface, _machine->tick);
}

const canvas& rundriver::lastframe() {
  if (_painted < 0 || _studio.touched()) paint(_studio.touched());
  return _surface;
}

bool rundriver::show() {
  paint();
  // A close request that comes while Escape is down stays pending: the run ends anyway.
  if (_view.KeyDown(ESCAPE) != 0 || _view.AppTerminate() != 0) return false;
  // Frames of short pauses are shown as they fall due, never waited for.
  if (everyframe()) _frames.wait();
  _view.Flip(_surface);
  return true;
}

void runsequence(int argc, char** argv) {
  // Before anything can open a file: none may take the place of a closed standard stream.
  guardstandarddescriptors();
  std::vector<Text> words;
  for (int i = 1; i < argc; ++i)
    words.push_back(fromutf8name(argv[i]));
  static parsed command = parseoptions(words);
  if (!command.error.empty()) {
    std::fprintf(stderr, "tarvex: %s; see tarvex --help\n", command.error.c_str());
    std::exit(EXIT_USAGE);
  }
  if (command.opts.help || command.opts.version) {
    std::fputs(command.opts.help ? usagetext() : versiontext(), stdout);
    if (command.opts.version) std::fputs("\n", stdout);
    std::exit(std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 255);
  }
  startup(argc, argv);
  // No stream error is caught on the way: each one ends the program here with its text.
  try {
    run(command.opts);
  } catch (const TRuntimeException& e) {
    endpictures();
    printstats();
    runtimeerrorexit(e.error);
  } catch (const std::bad_alloc&) {
    outofmemory();
  }
}

} // namespace tarvex
