// The adapter's state and the requests it answers, shared by the files that each hold one
// concern: run control, variables, breakpoints, edits. adapter.cpp maps request names to them.
#pragma once
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "dap/adapter.h"
#include "dap/condition.h"
#include "session/session.h"
#include "session/typedinput.h"

namespace tarvex {

using json = nlohmann::json;

constexpr size_t MAXTHREADS = 1000; // threads listed at most, as clients slow down
// The ids of a failed response's `body.error`: a request that cannot be carried out, and
// arguments missing or of the wrong type.
constexpr int REFUSEDERROR = 1;
constexpr int ARGUMENTSERROR = 2;
constexpr const char* HALFSTEPPED = "the tick is half stepped: step out to finish it first";

// A request that cannot be carried out: answered with success false and this message.
struct refusal {
  std::string message;
};

enum class action { none, run, next, stepin, stepout };
enum scopekind { POINTERSCOPE, CELLSCOPE, RUNSCOPE };

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

struct adapter::state {
  std::function<void(const std::string&)> send;
  std::function<void(const std::string&)> log;
  adapterhooks hooks;
  int64_t seq = 0;
  std::vector<json> later; // events that follow the response of the request being handled

  bool lines1 = true, columns1 = true;
  bool invalidates = false; // the client refreshes its views on an `invalidated` event
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
  std::vector<cellpos> targets;              // goto target id - 1 -> the cell

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

  void activerun() const {
    if (!run) throw refusal{"no program is launched"};
    if (ended) throw refusal{"the run has ended"};
  }

  // adapter.cpp: the capabilities and the map from requests to the calls below.
  json initialize(const json& args);
  json dispatch(const std::string& command, const json& args);

  // runcontrol.cpp: launching, running, stepping, stopping and ending.
  void flushoutput(bool all);
  bool startrun(bool keep);
  void finish();
  void threadevents();
  void showwindow();
  void stop(const std::string& reason, std::optional<int64_t> pointer, json extra = {});
  void begin();
  json launch(const json& args);
  json configurationdone(const json&);
  json go(action what);
  json stepback(bool tobreak);
  json pause(const json&);
  json restart(const json&);
  json terminate(const json&);
  json disconnect(const json&);
  void advance();

  // variables.cpp: threads, frames, variables and expressions of the state on show.
  json threads(const json&);
  const ip& pointerof(const json& args, const char* name);
  json stacktrace(const json& args);
  json scopes(const json& args);
  json variables(const json& args);
  json scopevariables(int64_t id, int kind) const;
  std::string cellreading(int64_t x, int64_t y) const;
  json evaluate(const json& args);

  // breakpoints.cpp: the client's breakpoints, the session's cells and the stops they cause.
  void syncbreakpoints();
  bool breakstop();
  json setbreakpoints(const json& args);

  // edits.cpp: a person's changes to the run on show, each through session::change.
  void change(const edit& e, bool whilerunning = false);
  int64_t cellcode(std::string_view text) const;
  json setvariable(const json& args);
  std::optional<json> setcell(const std::string& text);
  json gototargets(const json& args);
  json gotocell(const json& args);
  json terminatethreads(const json& args);
  json editlines(const json& args);
};

} // namespace tarvex
