// The run sequence: the command line to an exit request. Only here do the layers meet, and only
// here does a run's ending become a status.
#include "app/sequence.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <memory>
#include <new>
#include <vector>

#include "app/driver.h"
#include "app/faultreport.h"
#include "app/options.h"
#include "app/screens.h"
#include "app/startup.h"
#include "dap/serve.h"
#include "display/font.h"
#include "runtime/console.h"
#include "runtime/stream.h"
#include "session/statuses.h"

namespace tarvex {

namespace {

constexpr int EXIT_USAGE = 64;
constexpr int EXIT_STREAM = 255;

int64_t nowus() {
  timespec at{};
  clock_gettime(CLOCK_MONOTONIC, &at);
  return int64_t{at.tv_sec} * 1000000 + at.tv_nsec / 1000;
}

// A relative source is looked up where tarvex was started first, so that a name the program's
// own folder holds too (an installed /usr/bin/test) still means the user's file; then beside the
// program and in ../share/tarvex/, which keeps a copied-together folder working. A
// "protocol::" prefix stays in front of the path.
Text sourcename(const Text& name) {
  const size_t separator = name.find(u"::");
  const size_t start = separator == Text::npos ? 0 : separator + 2;
  const Text path = forwardslashes(name.substr(start));
  if (path.empty()) return name;
  const Text here = fromstartdir(path);
  struct stat status {};
  if (here == path || stat(utf8name(here).c_str(), &status) == 0)
    return name.substr(0, start) + here;
  const Text shipped = shippedfile(path);
  return name.substr(0, start) + (shipped.empty() ? here : shipped);
}

// What an ending reports on: the run, once one began, and its pictures.
struct report {
  const options& opts;
  rundriver* driver = nullptr;
  recorder* pictures = nullptr;
  int64_t startedus = nowus();

  // One line of statistics, when asked for and a run began.
  std::string stats() const {
    if (opts.stats == statsform::none || !driver) return {};
    const machine& m = driver->run().state();
    const double seconds = static_cast<double>(nowus() - startedus) / 1e6;
    const double rate = seconds > 0 ? static_cast<double>(m.steps) / seconds : 0;
    const long long written = m.con->written();
    char line[320];
    if (opts.stats == statsform::json)
      std::snprintf(line, sizeof line,
                    "{\"ticks\":%" PRId64 ",\"steps\":%" PRId64 ",\"peak_pointers\":%zu,"
                    "\"writes\":%" PRId64 ",\"console_bytes\":%lld,\"seconds\":%.6f,"
                    "\"steps_per_second\":%.0f}\n",
                    m.tick, m.steps, m.peak, m.applied, written, seconds, rate);
    else
      std::snprintf(line, sizeof line,
                    "tarvex: %" PRId64 " ticks, %" PRId64 " pointer steps, peak %zu live "
                    "pointers, %" PRId64 " writes applied, %lld console bytes, %.3f s, %.0f "
                    "steps/s\n",
                    m.tick, m.steps, m.peak, m.applied, written, seconds, rate);
    return line;
  }

  // The ending: `head` first, then the screenshot and the end of the GIF (a picture that
  // cannot be written makes the status 255), the statistics, and `tail`.
  exitrequest end(int status, std::string head = {}, const std::string& tail = {}) {
    recorder* kept = pictures;
    pictures = nullptr; // an ending inside this one must not come back here
    if (kept && driver) {
      const std::string failed = kept->finish(driver->lastframe());
      if (!failed.empty()) status = EXIT_STREAM;
      head += failed;
    }
    return {status, head + stats() + tail};
  }
};

exitrequest runon(const options& opts, report& ending, console& con, pacingclock& clock,
                  canvas& surface);

exitrequest run(const options& opts, report& ending) {
  console& con = stdconsole();
  systemclock clock;
  canvas surface;
  // No stream error is caught on the way: each one ends the run here with its text, while
  // the frame the screenshot takes is still there.
  try {
    return runon(opts, ending, con, clock, surface);
  } catch (const TRuntimeException& e) {
    return ending.end(EXIT_STREAM, {}, lowbytes(e.error));
  } catch (const std::bad_alloc&) {
    // Memory has run out, so the message is put together in place and written directly.
    char message[128];
    const machine* m = ending.driver ? &ending.driver->run().state() : nullptr;
    int length =
        std::snprintf(message, sizeof message,
                      "tarvex: out of memory after %" PRId64 " ticks (%zu live pointers)\n",
                      m ? completedticks(*m) : 0, m ? m->ips.count() : 0);
    std::fflush(stdout);
    if (length > 0 && write(2, message, static_cast<size_t>(length)) < 0) {
    }
    return {EXIT_LIMIT, ending.stats()};
  }
}

exitrequest runon(const options& opts, report& ending, console& con, pacingclock& clock,
                  canvas& surface) {
  screen& view = openscreen(surface, clock, !opts.headless, static_cast<int>(opts.scale));
  glyphfont font;
  // There is no picture to show anything with, so nothing can go on.
  if (!loadfont(font, datafile(u"curses.bit")))
    return {EXIT_MISSING, "tarvex: cannot open the font file curses.bit\n"};

  static tracewriter trace;
  if (opts.trace && !trace.open(utf8name(fromstartdir(*opts.trace))))
    throw TRuntimeException(trace.failure());

  const bool studio = haswindow() && opts.frames;
  if (!studio && (!opts.breaks.empty() || opts.breakoutput))
    std::fputs("tarvex: --break and --break-output pause the window, and there is none; "
               "they are ignored\n",
               stderr);
  // The driver and the pictures outlive the run: the picture threads and the window's fault
  // box are still at work while the process ends.
  static std::unique_ptr<rundriver> driver;
  driver = std::make_unique<rundriver>(opts, con, surface, font.atlas, view, clock, studio);
  ending.driver = driver.get();
  static recorder pictures(opts);
  if (pictures.active()) {
    pictures.start();
    driver->setrecorder(&pictures);
    ending.pictures = &pictures;
  }
  ending.startedus = nowus();
  const Text codefile = opts.source.value_or(u"code.txt");
  // The default program is one the program ships with: beside it or in ../share/tarvex/ first.
  const Text shipped = opts.source ? Text() : shippedfile(codefile);
  if (!driver->load(shipped.empty() ? sourcename(codefile) : shipped, codefile)) {
    if (opts.prompt) con.promptline(u">");
    // A source that cannot be opened is a failed run, not a successful one.
    return ending.end(driver->run().end().status);
  }
  if (!driver->run().ended()) {
    if (opts.trace) {
      if (!trace.header(codefile, driver->run().state())) throw TRuntimeException(trace.failure());
      driver->settrace(&trace);
    }
    if (opts.frames && !driver->show()) return ending.end(0);
    driver->recordframe(false);
    while (driver->tick()) {
    }
  }
  if (driver->userstopped()) return ending.end(0);
  const struct ending& end = driver->run().end();
  switch (end.kind) {
  case endkind::complete: driver->closing(); return ending.end(0);
  case endkind::fault: {
    // The name goes in a box over the window, or last on standard error.
    exitrequest request = ending.end(end.status);
    if (!showfault(end.fault)) request.message += end.message + "\n";
    return request;
  }
  default: return ending.end(end.status, end.message + "\n");
  }
}

// The window a debug session launched with `window` shows its run in, opened at the first
// frame. Without a display or a font the run goes on without one, as the command line's does.
adapterhooks windowhooks() {
  recordprocess();
  adapterhooks hooks;
  hooks.show = [](const session& run) {
    static systemclock clock;
    static canvas surface;
    static glyphfont font;
    static screen* shown = nullptr;
    static bool tried = false;
    if (!tried) {
      tried = true;
      screen& opened = openscreen(surface, clock, true, 1);
      if (haswindow() && loadfont(font, datafile(u"curses.bit"))) shown = &opened;
    }
    if (!shown) return;
    run.paint(surface, font.atlas);
    shown->Flip(surface);
  };
  return hooks;
}

} // namespace

exitrequest runsequence(int argc, char** argv) {
  // Before anything can open a file: none may take the place of a closed standard stream.
  guardstandarddescriptors();
  std::vector<Text> words;
  for (int i = 1; i < argc; ++i)
    words.push_back(fromutf8name(argv[i]));
  // The options outlive the run: the driver and the pictures, which keep them, live to the exit.
  static const parsed command = parseoptions(words);
  if (!command.error.empty())
    return {EXIT_USAGE, "tarvex: " + command.error + "; see tarvex --help\n"};
  if (command.opts.help || command.opts.version) {
    std::fputs(command.opts.help ? usagetext() : versiontext(), stdout);
    if (command.opts.version) std::fputs("\n", stdout);
    return {std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : EXIT_STREAM, {}};
  }
  // The editor starts the adapter in the directory its paths are relative to: no change of it.
  if (command.opts.dap) return {servedap(0, 1, windowhooks()), {}};
  startup();
  report ending{command.opts};
  return run(command.opts, ending);
}

} // namespace tarvex
