// Run control: launching, running in slices, stepping by tick and by pointer, stepping back,
// pausing, restarting and ending, with the stops and output events they cause.
#include <algorithm>
#include <chrono>
#include <filesystem>

#include "dap/adapterstate.h"
#include "interp/tick.h"

namespace tarvex {

namespace {

constexpr int64_t SLICEMS = 20;                      // a running run reads requests this often
constexpr int64_t HISTORYBYTES = int64_t{256} << 20; // memory for stepping back, as the window's

// The length of `bytes` without an unfinished UTF-8 sequence at its end, which waits for the
// rest of its bytes so that a character is not cut in two across output events.
size_t wholeutf8(const std::string& bytes) {
  for (size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
    const auto byte = static_cast<unsigned char>(bytes[bytes.size() - back]);
    if ((byte & 0xC0) == 0x80) continue;
    const size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return length > back ? bytes.size() - back : bytes.size();
  }
  return bytes.size();
}

} // namespace

void adapter::state::flushoutput(bool all) {
  if (!con) return;
  std::string bytes = carried + con->takeoutput();
  const size_t whole = all ? bytes.size() : wholeutf8(bytes);
  carried = bytes.substr(whole);
  bytes.resize(whole);
  if (!bytes.empty()) output(bytes, "stdout");
}

// A fresh console and run of the launched program; false, with the old ones kept, when
// `keep` and the program cannot be loaded.
bool adapter::state::startrun(bool keep) {
  auto console = std::make_unique<typedinput>();
  sessionsettings settings;
  settings.historybytes = HISTORYBYTES;
  settings.delayms = delay;
  settings.threads = static_cast<int>(passthreads);
  if (inputopen) {
    settings.lineready = [typed = console.get()] { return typed->lineready(); };
  } else {
    console->feed(input);
    console->endinput();
  }
  auto fresh = std::make_unique<session>(console->con(), settings);
  const bool loaded = hooks.load(*fresh, program);
  if (!loaded && keep) return false;
  con = std::move(console);
  run = std::move(fresh);
  carried.clear();
  ended = false;
  pending = action::none;
  waiting = false;
  refs.clear();
  for (breakpointentry& b : breakpoints)
    b.hits = 0;
  syncbreakpoints();
  return loaded;
}

// The run has ended: its last output, the fault's line, the status, and the end.
void adapter::state::finish() {
  run->close();
  flushoutput(true);
  const ending& end = run->end();
  if (!end.message.empty()) output(end.message + "\n", "stderr");
  event("exited", {{"exitCode", end.status}});
  event("terminated");
  ended = true;
  pending = action::none;
}

void adapter::state::threadevents() {
  if (!threadsasked) return;
  std::set<int64_t> live;
  shown().ips.each([&](const ip& p) { live.insert(p.id); });
  // Past the thread list's own limit, the client hears of the pointers only by asking.
  if (live.size() <= MAXTHREADS && reported.size() <= MAXTHREADS) {
    for (int64_t id : reported)
      if (!live.count(id)) event("thread", {{"reason", "exited"}, {"threadId", id + 1}});
    for (int64_t id : live)
      if (!reported.count(id)) event("thread", {{"reason", "started"}, {"threadId", id + 1}});
  }
  reported = std::move(live);
}

void adapter::state::showwindow() {
  if (window && run) hooks.show(*run);
}

void adapter::state::stop(const std::string& reason, std::optional<int64_t> pointer, json extra) {
  showwindow();
  flushoutput(false);
  refs.clear();
  targets.clear();
  pending = action::none;
  threadevents();
  json body = {{"reason", reason}, {"allThreadsStopped", true}};
  if (!pointer && shown().ips.count()) {
    shown().ips.each([&](const ip& p) {
      if (!pointer) pointer = p.id;
    });
  }
  stopped = pointer;
  if (pointer) body["threadId"] = *pointer + 1;
  if (extra.is_object()) body.update(extra);
  event("stopped", std::move(body));
}

void adapter::state::begin() {
  if (started || !launched || !configured || ended) return;
  started = true;
  if (stoponentry)
    stop("entry", std::nullopt);
  else
    pending = action::run;
}

json adapter::state::launch(const json& args) {
  if (launched) throw refusal{"a program is already launched"};
  program = args.at("program").get<std::string>();
  stoponentry = optional<bool>(args, "stopOnEntry").value_or(false);
  delay = optional<int64_t>(args, "delay").value_or(0);
  if (delay < 0 || delay > LONGESTDELAYMS) throw refusal{"delay must be from 0 to 60000 ms"};
  passthreads = optional<int64_t>(args, "threads").value_or(usablecores());
  if (passthreads < 1 || passthreads > machine::MOSTTHREADS)
    throw refusal{"threads must be from 1 to 1024"};
  const auto text = optional<std::string>(args, "input");
  const auto file = optional<std::string>(args, "inputFile");
  window = optional<bool>(args, "window").value_or(false) && hooks.show;
  if (optional<bool>(args, "window").value_or(false) && !window)
    output("tarvex: the debug adapter shows no window; the run goes on without one\n", "stderr");
  if (text && file) throw refusal{"give input or inputFile, not both"};
  if (file) {
    const auto bytes = hooks.readfile(*file);
    if (!bytes) throw refusal{"Could not read the input file " + *file};
    input = *bytes;
  } else {
    input = text.value_or("");
  }
  inputopen = !text && !file;
  const size_t prefix = program.find("::");
  std::error_code failed;
  const std::filesystem::path path(prefix == std::string::npos ? program
                                                               : program.substr(prefix + 2));
  const auto absolute = std::filesystem::absolute(path, failed);
  sourcepath = failed ? path.string() : absolute.lexically_normal().string();
  launched = true;
  if (!startrun(false)) {
    flushoutput(true);
    const std::string message = run->end().message;
    finish();
    throw refusal{message};
  }
  flushoutput(false);
  if (run->ended()) {
    finish();
    return {};
  }
  begin();
  return {};
}

json adapter::state::configurationdone(const json&) {
  configured = true;
  begin();
  return {};
}

json adapter::state::go(action what) {
  activerun();
  if (!started) throw refusal{"the configuration is not done"};
  if (what == action::run) run->resume();
  pending = what;
  waiting = false;
  return what == action::run ? json{{"allThreadsContinued", true}} : json::object();
}

json adapter::state::stepback(bool tobreak) {
  activerun();
  if (run->passopen()) throw refusal{HALFSTEPPED};
  pending = action::none;
  const bool moved = tobreak ? run->backtobreak() : run->back();
  if (!moved) output("no older tick is kept\n");
  stop("step", std::nullopt);
  return {};
}

json adapter::state::pause(const json&) {
  activerun();
  if (pending != action::none) stop("pause", std::nullopt);
  return {};
}

json adapter::state::restart(const json&) {
  if (!launched) throw refusal{"no program is launched"};
  if (!startrun(true)) throw refusal{"Could not load " + program};
  flushoutput(false);
  threadevents();
  if (run->ended())
    finish();
  else if (started && stoponentry)
    stop("entry", std::nullopt);
  else if (started)
    pending = action::run;
  return {};
}

json adapter::state::terminate(const json&) {
  if (run && !ended) {
    flushoutput(true);
    event("terminated");
    ended = true;
    pending = action::none;
  }
  return {};
}

json adapter::state::disconnect(const json&) {
  disconnected = true;
  return {};
}

void adapter::state::advance() {
  using clock = std::chrono::steady_clock;
  const auto deadline = clock::now() + std::chrono::milliseconds(SLICEMS);
  const std::function<bool()> budget = [&] { return clock::now() >= deadline; };
  while (pending != action::none && !waiting && !ended) {
    progress step = progress::ticked;
    switch (pending) {
    case action::none: return;
    case action::run: step = run->tick(budget, true); break;
    case action::next: step = run->next(budget, true); break;
    case action::stepin: step = run->steppointer(); break;
    case action::stepout: step = run->tick(budget, true); break;
    }
    if (step == progress::busy) break;
    if (step == progress::waiting) {
      waiting = true;
      flushoutput(false);
      output("tarvex: a pointer reads a line: type  input TEXT  here\n");
      break;
    }
    if (step == progress::ended) {
      finish();
      break;
    }
    if (pending == action::run) {
      if (run->hit() && breakstop()) break;
      if (delay > 0 || budget()) break;
      continue;
    }
    const bool pointerstep = pending == action::stepin;
    stop("step", pointerstep ? std::optional<int64_t>(run->laststepped().id) : std::nullopt,
         pointerstep ? json{{"description",
                             "pointer " + std::to_string(run->laststepped().id) + " stepped"}}
                     : json{});
  }
  if (pending == action::run) showwindow();
  flushoutput(false);
  drain();
}

} // namespace tarvex
