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

// The ticks a run completed: a pass that was cut short is not one.
int64_t completed(const machine& m) {
  return m.tick - (m.passing ? 1 : 0);
}

[[noreturn]] void overcap(const machine& m) {
  // Counted as the limit counts them: those the running tick removed are still held.
  std::fprintf(stderr, "tarvex: stopped at %zu live pointers after %" PRId64 " ticks\n", m.overcap,
               completed(m));
  finish(EXIT_LIMIT);
}

// Memory has run out, so the message is put together in place and written directly.
[[noreturn]] void outofmemory() {
  char message[128];
  const machine* m = report.driver ? &report.driver->state() : nullptr;
  int length = std::snprintf(message, sizeof message,
                             "tarvex: out of memory after %" PRId64 " ticks (%zu live pointers)\n",
                             m ? completed(*m) : 0, m ? m->ips.count() : 0);
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
      _frames(FRAMERATE, clock), _machine(con) {
  _machine.maxpointers = static_cast<size_t>(opts.maxpointers);
  _machine.poll = [](void* self) { return static_cast<rundriver*>(self)->userstops(); };
  _machine.pollcontext = this;
}

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
  if (!loadsource(_machine, codefile)) return false;
  _con.printline(u"Executing program..");
  _con.printline(u"");
  return true;
}

void rundriver::settrace(tracewriter* trace) {
  _trace = trace;
  _con.settap(trace ? &_out : nullptr);
  _out.clear();
  traced();
}

void rundriver::traced() {
  if (!_trace) return;
  if (!_trace->state(_machine, _out)) throw TRuntimeException(_trace->failure());
  _out.clear();
}

tickresult rundriver::tick() {
  if (_opts.delayms > 0) _clock.sleep(_opts.delayms);
  _lastpoll = TICKSTART;
  tickresult result{steppass(_machine)};
  // A pass cut short ends the program where it stands: no frame, no writes, no trace line.
  if (result.outcome.state == tickstate::interrupted) result.stopped = true;
  if (result.outcome.state == tickstate::fault || result.outcome.state == tickstate::overcap ||
      result.stopped)
    return result;
  traced();
  const bool last = result.outcome.state != tickstate::going ||
                    (_opts.maxticks > 0 && _machine.tick >= _opts.maxticks);
  // Pauses shorter than a frame show only the frames that are due, and always the last.
  if (_opts.frames && (everyframe() || last || _clock.now() >= _nextframe)) {
    result.stopped = !show();
    if (!everyframe()) _nextframe = _clock.now() + 1000 / FRAMERATE;
  }
  if (!result.stopped) {
    keep(last);
    endtick(_machine, result.outcome);
  }
  return result;
}

bool rundriver::everyframe() const {
  return _opts.delayms * FRAMERATE >= 1000;
}

long long rundriver::consolebytes() const {
  return _con.written();
}

void rundriver::closing() {
  _con.printline(u"");
  _con.printline(u"");
  _con.printline(u"Execution complete.");
  if (_opts.prompt) _con.promptline(u">");
}

void rundriver::paint() {
  paintframe(_surface, _atlas, _machine);
  _painted = _machine.tick;
}

void rundriver::keep(bool last) {
  if (!_recorder || !_recorder->wants(_machine.tick, last)) return;
  if (_painted != _machine.tick) paint();
  _recorder->record(_surface, _machine.tick);
}

const canvas& rundriver::lastframe() {
  if (_painted < 0) paint();
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
