// The debug adapter: each request becomes session calls, each stop an answer drawn from the
// state the session shows.
#include "dap/adapter.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "dap/condition.h"
#include "interp/grid.h"
#include "session/session.h"
#include "session/typedinput.h"

namespace tarvex {

using json = nlohmann::json;

namespace {

constexpr int64_t SLICEMS = 20;                      // a running run reads requests this often
constexpr size_t MAXTHREADS = 1000;                  // threads listed at most, as clients slow down
constexpr int64_t HISTORYBYTES = int64_t{256} << 20; // memory for stepping back, as the window's

// A request that cannot be carried out: answered with success false and this message.
struct refusal {
  std::string message;
};

enum class action { none, run, next, stepin, stepout };
enum scopekind { POINTERSCOPE, CELLSCOPE, RUNSCOPE };

// What each instruction does, for the frame names.
const char* instructionname(char16_t c) {
  switch (c) {
  case u'%': return "pointer start";
  case u'x': return "remove";
  case u'#': return "split";
  case u';': return "new line";
  case u'"': return "string mode";
  case u'@': return "halt";
  case u'+': return "add one";
  case u'-': return "take one";
  case u'$': return "jump";
  case u't': return "multiply";
  case u'd': return "divide";
  case u'*': return "add";
  case u'\'': return "subtract";
  case u'M': return "modulo";
  case u'=': return "copy to other";
  case u'0': return "zero";
  case u'~': return "swap registers";
  case u'&': return "and";
  case u'|': return "or";
  case u'X': return "exclusive or";
  case u'`': return "toggle remove after";
  case u'n': return "exchange up";
  case u'u': return "exchange down";
  case u'(': return "exchange left";
  case u')': return "exchange right";
  case u'.': return "write number";
  case u',': return "write character";
  case u':': return "read number";
  case u'>': return "go right";
  case u'<': return "go left";
  case u'^': return "go up";
  case u'v': return "go down";
  case u'?': return "remove if zero";
  case u'!': return "remove unless zero";
  case u'}': return "remove if going right";
  case u'{': return "remove if going left";
  case u'8': return "hold";
  case u'J': return "shift unless zero";
  case u'j': return "shift if zero";
  case u'/': return "flipping mirror";
  case u'\\': return "flipping mirror";
  case u'O': return "mirror";
  case u'o': return "mirror";
  case u'N': return "reverse if horizontal";
  case u'Z': return "reverse if vertical";
  case u'I': return "reverse";
  case u'U': return "up unless zero";
  case u'D': return "down unless zero";
  case u'L': return "left unless zero";
  case u'R': return "right unless zero";
  default: return "nothing";
  }
}

std::string quoted(int64_t code) {
  if (code >= 32 && code < 127) return std::string("'") + static_cast<char>(code) + "'";
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(code & 0xFFFF));
  return name;
}

// "65 'A'": a byte with the character it stands for, when that is printable.
std::string shownumber(int64_t value) {
  std::string text = std::to_string(value);
  if (value >= 32 && value < 127) text += " " + quoted(value);
  return text;
}

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

// The character under a pointer as the step reads it: none at the margin or past the line.
std::optional<char16_t> cellunder(const machine& m, int64_t x, int64_t y) {
  if (y < 0 || y >= static_cast<int64_t>(m.grid.lines.size()) || x < 1) return std::nullopt;
  const Text& line = m.grid.lines[static_cast<size_t>(y)];
  if (x > static_cast<int64_t>(line.size())) return std::nullopt;
  return line[static_cast<size_t>(x - 1)];
}

json variable(const std::string& name, const std::string& value) {
  return {{"name", name}, {"value", value}, {"variablesReference", 0}};
}

// Reads an optional argument of one type; a value of another type is the client's mistake.
template <class T> std::optional<T> optional(const json& args, const char* name) {
  if (!args.contains(name) || args[name].is_null()) return std::nullopt;
  return args[name].get<T>();
}

struct breakpointentry {
  int64_t id = 0;
  int64_t y = 0;
  std::optional<int64_t> x; // none: every cell of the line
  std::optional<condition> when;
  std::optional<hitcount> hit;
  int64_t hits = 0;
  bool verified = true;
  std::string message;
};

} // namespace

struct adapter::state {
  std::function<void(const std::string&)> send;
  std::function<void(const std::string&)> log;
  adapterhooks hooks;
  int64_t seq = 0;
  std::vector<json> later; // events that follow the response of the request being handled

  bool lines1 = true, columns1 = true;
  std::unique_ptr<typedinput> con;
  std::unique_ptr<session> run;
  std::string program;    // as the launch named it
  std::string sourcepath; // absolute, for the frames' source
  bool stoponentry = false;
  bool window = false; // the launch asked for the run in a window, and the host has one
  int64_t delay = 0;
  // The step pass's threads, the launch argument "threads".
  int64_t passthreads = 1;
  bool inputopen = false; // no input given: the REPL's `input TEXT` types lines
  std::string input;
  bool launched = false, configured = false, started = false, ended = false;
  bool disconnected = false;

  std::vector<breakpointentry> breakpoints;
  int64_t nextbreakpoint = 1;
  action pending = action::none;
  bool waiting = false; // the next step reads a line nobody has typed yet
  bool threadsasked = false;
  std::optional<int64_t> stopped;            // the pointer the last stop named
  std::set<int64_t> reported;                // pointer ids the client was told of
  std::vector<std::pair<int64_t, int>> refs; // variablesReference - 1 -> pointer id, scope
  std::string carried;                       // output bytes of an unfinished character

  void post(json message) {
    message["seq"] = ++seq;
    send(message.dump(-1, ' ', false, json::error_handler_t::replace));
  }
  void event(const std::string& name, json body = json::object()) {
    later.push_back({{"type", "event"}, {"event", name}, {"body", std::move(body)}});
  }
  void drain() {
    std::vector<json> events;
    events.swap(later);
    for (json& e : events)
      post(std::move(e));
  }
  void output(const std::string& text, const char* category = "console") {
    event("output", {{"category", category}, {"output", text}});
  }

  int64_t toline(int64_t y) const { return y + (lines1 ? 1 : 0); }
  int64_t tocolumn(int64_t x) const { return columns1 ? x : std::max<int64_t>(x - 1, 0); }
  int64_t fromline(int64_t line) const { return line - (lines1 ? 1 : 0); }
  int64_t fromcolumn(int64_t column) const { return columns1 ? column : column + 1; }

  const machine& shown() const { return run->shown(); }

  void flushoutput(bool all) {
    if (!con) return;
    std::string bytes = carried + con->takeoutput();
    const size_t whole = all ? bytes.size() : wholeutf8(bytes);
    carried = bytes.substr(whole);
    bytes.resize(whole);
    if (!bytes.empty()) output(bytes, "stdout");
  }

  void activerun() const {
    if (!run) throw refusal{"no program is launched"};
    if (ended) throw refusal{"the run has ended"};
  }

  // A fresh console and run of the launched program; false, with the old ones kept, when
  // `keep` and the program cannot be loaded.
  bool startrun(bool keep) {
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

  // The session's breakpoint cells made to match the verified breakpoints.
  void syncbreakpoints() {
    if (!run) return;
    const machine& m = run->state();
    std::set<std::pair<int64_t, int64_t>> wanted;
    for (const breakpointentry& b : breakpoints) {
      if (!b.verified) continue;
      if (b.x) {
        wanted.insert({*b.x, b.y});
        continue;
      }
      const int64_t width =
          b.y < static_cast<int64_t>(m.grid.lines.size())
              ? std::max<int64_t>(m.grid.maxlen, static_cast<int64_t>(
                                                     m.grid.lines[static_cast<size_t>(b.y)].size()))
              : m.grid.maxlen;
      for (int64_t x = 0; x <= width; ++x)
        wanted.insert({x, b.y});
    }
    const auto have = run->breakpoints();
    for (const auto& [x, y] : have)
      if (!wanted.count({x, y})) run->togglebreakpoint({x, y});
    for (const auto& [x, y] : wanted)
      if (!have.count({x, y})) run->togglebreakpoint({x, y});
  }

  // The run has ended: its last output, the fault's line, the status, and the end.
  void finish() {
    run->close();
    flushoutput(true);
    const ending& end = run->end();
    if (!end.message.empty()) output(end.message + "\n", "stderr");
    event("exited", {{"exitCode", end.status}});
    event("terminated");
    ended = true;
    pending = action::none;
  }

  void threadevents() {
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

  void showwindow() {
    if (window && run) hooks.show(*run);
  }

  void stop(const std::string& reason, std::optional<int64_t> pointer, json extra = {}) {
    showwindow();
    flushoutput(false);
    refs.clear();
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

  // Weighs the breakpoints the last tick's pointers stepped onto; true, with the stop sent,
  // when one of them holds.
  bool breakstop() {
    const int64_t tick = run->state().tick;
    std::vector<int64_t> ids, who;
    for (const ip& p : run->hitpointers()) {
      bool stops = false;
      for (breakpointentry& b : breakpoints) {
        if (!b.verified || b.y != p.y || (b.x && *b.x != p.x)) continue;
        if (b.when && !holds(*b.when, p, tick)) continue;
        ++b.hits;
        if (b.hit && !holds(*b.hit, b.hits)) continue;
        stops = true;
        if (std::find(ids.begin(), ids.end(), b.id) == ids.end()) ids.push_back(b.id);
      }
      if (stops && std::find(who.begin(), who.end(), p.id) == who.end()) who.push_back(p.id);
    }
    if (who.empty()) return false;
    json extra = {{"hitBreakpointIds", ids}};
    if (who.size() > 1) {
      std::string names = "pointers";
      for (size_t i = 0; i < who.size(); ++i)
        names += (i ? ", " : " ") + std::to_string(who[i]);
      extra["description"] = names + " stepped onto breakpoints";
    }
    stop("breakpoint", who.front(), std::move(extra));
    return true;
  }

  void begin() {
    if (started || !launched || !configured || ended) return;
    started = true;
    if (stoponentry)
      stop("entry", std::nullopt);
    else
      pending = action::run;
  }

  // --- requests ---

  json initialize(const json& args) {
    lines1 = optional<bool>(args, "linesStartAt1").value_or(true);
    columns1 = optional<bool>(args, "columnsStartAt1").value_or(true);
    event("initialized");
    return {{"supportsConfigurationDoneRequest", true},
            {"supportsStepBack", true},
            {"supportsRestartRequest", true},
            {"supportsConditionalBreakpoints", true},
            {"supportsHitConditionalBreakpoints", true},
            {"supportsEvaluateForHovers", true},
            {"supportsTerminateRequest", true}};
  }

  json launch(const json& args) {
    if (launched) throw refusal{"a program is already launched"};
    program = args.at("program").get<std::string>();
    stoponentry = optional<bool>(args, "stopOnEntry").value_or(false);
    delay = optional<int64_t>(args, "delay").value_or(0);
    if (delay < 0 || delay > LONGESTDELAYMS) throw refusal{"delay must be from 0 to 60000 ms"};
    passthreads = optional<int64_t>(args, "threads").value_or(1);
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

  json setbreakpoints(const json& args) {
    args.at("source").get<json::object_t>();
    breakpoints.clear();
    json answered = json::array();
    const machine* m = run ? &run->state() : nullptr;
    for (const json& asked :
         optional<json::array_t>(args, "breakpoints").value_or(json::array_t{})) {
      breakpointentry b;
      b.id = nextbreakpoint++;
      b.y = fromline(asked.at("line").get<int64_t>());
      if (const auto column = optional<int64_t>(asked, "column")) b.x = fromcolumn(*column);
      std::string error;
      if (const auto text = optional<std::string>(asked, "condition"); text && !text->empty()) {
        b.when = parsecondition(*text, error);
        if (!b.when) b.verified = false, b.message = error;
      }
      if (const auto text = optional<std::string>(asked, "hitCondition"); text && !text->empty()) {
        b.hit = parsehitcount(*text, error);
        if (!b.hit) b.verified = false, b.message = error;
      }
      if (b.y < 0 || (m && b.y >= m->grid.linecount) || (b.x && *b.x < 0))
        b.verified = false, b.message = "outside the program";
      json answer = {{"id", b.id}, {"verified", b.verified}, {"line", toline(b.y)}};
      if (b.x) answer["column"] = tocolumn(*b.x);
      if (!b.message.empty()) answer["message"] = b.message;
      answered.push_back(std::move(answer));
      breakpoints.push_back(std::move(b));
    }
    syncbreakpoints();
    return {{"breakpoints", answered}};
  }

  json configurationdone(const json&) {
    configured = true;
    begin();
    return {};
  }

  json threads(const json&) {
    threadsasked = true;
    json list = json::array();
    size_t listed = 0, live = 0;
    const machine& m = shown();
    auto add = [&](const ip& p) {
      list.push_back({{"id", p.id + 1},
                      {"name", "pointer " + std::to_string(p.id) + " \u2192 (" +
                                   std::to_string(p.x) + ", " + std::to_string(p.y) + ")"}});
    };
    bool stoppedlisted = false;
    m.ips.each([&](const ip& p) {
      ++live;
      reported.insert(p.id);
      if (listed >= MAXTHREADS) return;
      ++listed;
      stoppedlisted |= stopped == p.id;
      add(p);
    });
    // The pointer the client is looking at stays in the list, wherever it stands in it.
    if (const ip* p = stopped && !stoppedlisted ? findpointer(m, *stopped) : nullptr) {
      add(*p);
      ++listed;
    }
    if (live > listed)
      output(std::to_string(live - listed) + " of " + std::to_string(live) +
             " pointers are left out of the thread list\n");
    return {{"threads", list}};
  }

  const ip& pointerof(const json& args, const char* name) {
    activerun();
    const int64_t id = args.at(name).get<int64_t>() - 1;
    const ip* p = findpointer(shown(), id);
    if (!p) throw refusal{"no live pointer " + std::to_string(id)};
    return *p;
  }

  json stacktrace(const json& args) {
    activerun();
    const int64_t thread = args.at("threadId").get<int64_t>();
    const ip* p = findpointer(shown(), thread - 1);
    json frames = json::array();
    if (p) {
      const auto cell = cellunder(shown(), p->x, p->y);
      std::string name = cell ? quoted(*cell) + " " + instructionname(*cell) : "no cell";
      if (p->printing) name += " (string mode)";
      frames.push_back({{"id", thread},
                        {"name", name},
                        {"source",
                         {{"name", std::filesystem::path(sourcepath).filename().string()},
                          {"path", sourcepath}}},
                        {"line", toline(p->y)},
                        {"column", tocolumn(p->x)}});
    }
    return {{"stackFrames", frames}, {"totalFrames", frames.size()}};
  }

  json scopes(const json& args) {
    const ip& p = pointerof(args, "frameId");
    json list = json::array();
    const char* names[] = {"Pointer", "Cell", "Run"};
    for (int kind : {POINTERSCOPE, CELLSCOPE, RUNSCOPE}) {
      refs.push_back({p.id, kind});
      list.push_back(
          {{"name", names[kind]}, {"variablesReference", refs.size()}, {"expensive", false}});
    }
    return {{"scopes", list}};
  }

  json variables(const json& args) {
    activerun();
    const int64_t ref = args.at("variablesReference").get<int64_t>();
    if (ref < 1 || ref > static_cast<int64_t>(refs.size()))
      throw refusal{"no variables " + std::to_string(ref)};
    const auto [id, kind] = refs[static_cast<size_t>(ref - 1)];
    const machine& m = shown();
    json list = json::array();
    const ip* p = findpointer(m, id);
    if (kind == RUNSCOPE) {
      list.push_back(variable("tick", std::to_string(m.tick)));
      list.push_back(variable("live pointers", std::to_string(m.ips.count())));
      list.push_back(variable("console bytes", std::to_string(con->con().written())));
      list.push_back(variable("queued writes", std::to_string(m.writes.count())));
    } else if (p && kind == CELLSCOPE) {
      const auto cell = cellunder(m, p->x, p->y);
      list.push_back(variable("character", cell ? quoted(*cell) : "none"));
      list.push_back(variable("code", shownumber(readcell(m.grid, p->x, p->y))));
    } else if (p) {
      list.push_back(variable("id", std::to_string(p->id)));
      list.push_back(variable("direction", directionname(p->dir)));
      list.push_back(variable("register 0", shownumber(p->val[0])));
      list.push_back(variable("register 1", shownumber(p->val[1])));
      list.push_back(variable("current", std::to_string(p->on)));
      list.push_back(variable("string mode", std::to_string(p->printing)));
      list.push_back(variable("remove after", std::to_string(p->remafter)));
      list.push_back(variable("hold", std::to_string(p->wait)));
    }
    return {{"variables", list}};
  }

  json go(action what) {
    activerun();
    if (!started) throw refusal{"the configuration is not done"};
    if (what == action::run) run->resume();
    pending = what;
    waiting = false;
    return what == action::run ? json{{"allThreadsContinued", true}} : json::object();
  }

  json stepback(bool tobreak) {
    activerun();
    if (run->passopen()) throw refusal{"the tick is half stepped: step out to finish it first"};
    pending = action::none;
    const bool moved = tobreak ? run->backtobreak() : run->back();
    if (!moved) output("no older tick is kept\n");
    stop("step", std::nullopt);
    return {};
  }

  json pause(const json&) {
    activerun();
    if (pending != action::none) stop("pause", std::nullopt);
    return {};
  }

  json restart(const json&) {
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

  json evaluate(const json& args) {
    const std::string text = args.at("expression").get<std::string>();
    const std::string context = optional<std::string>(args, "context").value_or("");
    activerun();
    const machine& m = shown();
    auto answer = [](const std::string& result) {
      return json{{"result", result}, {"variablesReference", 0}};
    };
    if (context == "repl" && text.rfind("input", 0) == 0 && (text.size() == 5 || text[5] == ' ')) {
      if (!inputopen) throw refusal{"the launch gave the whole input"};
      const std::string line = text.size() > 6 ? text.substr(6) : "";
      con->feed(line + "\n");
      waiting = false;
      return answer("typed: " + line);
    }
    int64_t x = 0, y = 0;
    char end = 0;
    if (std::sscanf(text.c_str(), " cell %ld , %ld %c", &x, &y, &end) == 2) {
      const auto cell = cellunder(m, x, y);
      return answer((cell ? quoted(*cell) : "none") + ", code " +
                    shownumber(readcell(m.grid, x, y)));
    }
    std::string error;
    const auto expression = parsecondition(text, error);
    if (!expression) throw refusal{error};
    const ip* p = nullptr;
    if (const auto frame = optional<int64_t>(args, "frameId")) p = findpointer(m, *frame - 1);
    ip none;
    if (!p && expression->field != pointerfield::tick)
      throw refusal{"no pointer: choose a thread to read " + text};
    const ip& of = p ? *p : none;
    if (expression->op != comparison::none)
      return answer(holds(*expression, of, m.tick) ? "true" : "false");
    const int64_t value = fieldvalue(expression->field, of, m.tick);
    switch (expression->field) {
    case pointerfield::direction: return answer(directionname(static_cast<int32_t>(value)));
    case pointerfield::register0:
    case pointerfield::register1: return answer(shownumber(value));
    default: return answer(std::to_string(value));
    }
  }

  json terminate(const json&) {
    if (run && !ended) {
      flushoutput(true);
      event("terminated");
      ended = true;
      pending = action::none;
    }
    return {};
  }

  json disconnect(const json&) {
    disconnected = true;
    return {};
  }

  json dispatch(const std::string& command, const json& args) {
    if (command == "initialize") return initialize(args);
    if (command == "launch") return launch(args);
    if (command == "setBreakpoints") return setbreakpoints(args);
    if (command == "configurationDone") return configurationdone(args);
    if (command == "threads") return run ? threads(args) : json{{"threads", json::array()}};
    if (command == "stackTrace") return stacktrace(args);
    if (command == "scopes") return scopes(args);
    if (command == "variables") return variables(args);
    if (command == "next") return go(action::next);
    if (command == "stepIn") return go(action::stepin);
    if (command == "stepOut") return go(action::stepout);
    if (command == "continue") return go(action::run);
    if (command == "stepBack") return stepback(false);
    if (command == "reverseContinue") return stepback(true);
    if (command == "pause") return pause(args);
    if (command == "restart") return restart(args);
    if (command == "evaluate") return evaluate(args);
    if (command == "terminate") return terminate(args);
    if (command == "disconnect") return disconnect(args);
    throw refusal{"unknown request '" + command + "'"};
  }

  void advance() {
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
};

adapter::adapter(std::function<void(const std::string&)> send,
                 std::function<void(const std::string&)> log, adapterhooks hooks)
    : _s(std::make_unique<state>()) {
  _s->send = std::move(send);
  _s->log = std::move(log);
  _s->hooks = std::move(hooks);
  if (!_s->hooks.load)
    _s->hooks.load = [](session& run, const std::string& path) {
      return run.load(fromutf8name(path), fromutf8name(path));
    };
  if (!_s->hooks.readfile)
    _s->hooks.readfile = [](const std::string& path) -> std::optional<std::string> {
      std::ifstream file(path, std::ios::binary);
      if (!file) return std::nullopt;
      std::ostringstream bytes;
      bytes << file.rdbuf();
      if (file.bad()) return std::nullopt;
      return bytes.str();
    };
}

adapter::~adapter() = default;

bool adapter::receive(const std::string& body, std::string& error) {
  state& s = *_s;
  json message = json::parse(body, nullptr, false);
  if (message.is_discarded()) {
    error = "the message is not JSON";
    return false;
  }
  if (!message.is_object() || !message.contains("command") || !message["command"].is_string()) {
    error = "the message is not a request: it has no command";
    return false;
  }
  // Responses to the adapter's own requests and events from the client need no answer.
  if (message.contains("type") && message["type"] != "request") return true;
  const std::string command = message["command"];
  json response = {{"type", "response"},
                   {"request_seq", message.contains("seq") && message["seq"].is_number_integer()
                                       ? message["seq"]
                                       : json(0)},
                   {"command", command},
                   {"success", true}};
  try {
    const json none = json::object();
    const json& args = message.contains("arguments") ? message["arguments"] : none;
    if (!args.is_object()) throw refusal{"the arguments are not an object"};
    json answer = s.dispatch(command, args);
    if (!answer.is_null() && !answer.empty()) response["body"] = std::move(answer);
  } catch (const refusal& why) {
    response["success"] = false;
    response["message"] = why.message;
  } catch (const json::exception& why) {
    // A missing argument or one of the wrong type: the request fails, the session goes on.
    response["success"] = false;
    response["message"] = "bad arguments for " + command + ": " + why.what();
  }
  if (!response["success"]) s.log(command + ": " + response["message"].get<std::string>());
  s.post(std::move(response));
  s.drain();
  return true;
}

bool adapter::busy() const {
  return _s->pending != action::none && !_s->waiting && !_s->ended;
}

void adapter::advance() {
  _s->advance();
}

int64_t adapter::delayms() const {
  return _s->delay;
}

bool adapter::done() const {
  return _s->disconnected;
}

} // namespace tarvex
