// The debug adapter: each request becomes session calls, each stop an answer drawn from the
// state the session shows. This file is the map from request names to those calls; the calls
// live in runcontrol.cpp, variables.cpp, breakpoints.cpp and edits.cpp.
#include "dap/adapter.h"

#include <fstream>
#include <sstream>
#include <utility>

#include "dap/adapterstate.h"

namespace tarvex {

json adapter::state::initialize(const json& args) {
  lines1 = optional<bool>(args, "linesStartAt1").value_or(true);
  columns1 = optional<bool>(args, "columnsStartAt1").value_or(true);
  invalidates = optional<bool>(args, "supportsInvalidatedEvent").value_or(false);
  event("initialized");
  return {{"supportsConfigurationDoneRequest", true},
          {"supportsStepBack", true},
          {"supportsRestartRequest", true},
          {"supportsConditionalBreakpoints", true},
          {"supportsHitConditionalBreakpoints", true},
          {"supportsEvaluateForHovers", true},
          {"supportsTerminateRequest", true},
          {"supportsSetVariable", true},
          {"supportsGotoTargetsRequest", true},
          {"supportsTerminateThreadsRequest", true}};
}

json adapter::state::dispatch(const std::string& command, const json& args) {
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
  if (command == "setVariable") return setvariable(args);
  if (command == "gotoTargets") return gototargets(args);
  if (command == "goto") return gotocell(args);
  if (command == "terminateThreads") return terminatethreads(args);
  // The lines an edit of the program's document touched, from the editor's extension.
  if (command == "tarvexEditLines") return editlines(args);
  if (command == "terminate") return terminate(args);
  if (command == "disconnect") return disconnect(args);
  throw refusal{"unknown request '" + command + "'"};
}

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
  // A failed response carries its reason twice: as `message`, and as the structured `body.error`
  // the protocol requires, which strict clients show.
  const auto fail = [&response](int id, const std::string& text) {
    response["success"] = false;
    response["message"] = text;
    response["body"] = {{"error", {{"id", id}, {"format", text}}}};
  };
  try {
    const json none = json::object();
    const json& args = message.contains("arguments") ? message["arguments"] : none;
    if (!args.is_object()) throw refusal{"the arguments are not an object"};
    json answer = s.dispatch(command, args);
    if (!answer.is_null() && !answer.empty()) response["body"] = std::move(answer);
  } catch (const refusal& why) {
    fail(REFUSEDERROR, why.message);
  } catch (const json::exception& why) {
    // A missing argument or one of the wrong type: the request fails, the session goes on.
    fail(ARGUMENTSERROR, "bad arguments for " + command + ": " + why.what());
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
