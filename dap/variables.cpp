// Threads, stack frames, scopes, variables and expressions, all read from the state
// the session shows.
#include <cstdio>
#include <filesystem>

#include "dap/adapterstate.h"
#include "interp/grid.h"
#include "interp/instructionnames.h"

namespace tarvex {

namespace {

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

} // namespace

json adapter::state::threads(const json&) {
  threadsasked = true;
  json list = json::array();
  size_t listed = 0, live = 0;
  const machine& m = shown();
  auto add = [&](const ip& p) {
    list.push_back({{"id", p.id + 1},
                    {"name", "pointer " + std::to_string(p.id) + " \u2192 (" + std::to_string(p.x) +
                                 ", " + std::to_string(p.y) + ")"}});
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

const ip& adapter::state::pointerof(const json& args, const char* name) {
  activerun();
  const int64_t id = args.at(name).get<int64_t>() - 1;
  const ip* p = findpointer(shown(), id);
  if (!p) throw refusal{"no live pointer " + std::to_string(id)};
  return *p;
}

json adapter::state::stacktrace(const json& args) {
  activerun();
  const int64_t thread = args.at("threadId").get<int64_t>();
  const ip* p = findpointer(shown(), thread - 1);
  json frames = json::array();
  if (p) {
    const auto cell = cellunder(shown(), p->x, p->y);
    std::string name = cell ? quoted(*cell) + " " + instructionname(*cell) : "no cell";
    if (p->printing) name += " (string mode)";
    frames.push_back(
        {{"id", thread},
         {"name", name},
         {"source",
          {{"name", std::filesystem::path(sourcepath).filename().string()}, {"path", sourcepath}}},
         {"line", toline(p->y)},
         {"column", tocolumn(p->x)}});
  }
  return {{"stackFrames", frames}, {"totalFrames", frames.size()}};
}

json adapter::state::scopes(const json& args) {
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

json adapter::state::variables(const json& args) {
  activerun();
  const int64_t ref = args.at("variablesReference").get<int64_t>();
  if (ref < 1 || ref > static_cast<int64_t>(refs.size()))
    throw refusal{"no variables " + std::to_string(ref)};
  const auto [id, kind] = refs[static_cast<size_t>(ref - 1)];
  return {{"variables", scopevariables(id, kind)}};
}

json adapter::state::scopevariables(int64_t id, int kind) const {
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
  return list;
}

std::string adapter::state::cellreading(int64_t x, int64_t y) const {
  const auto cell = cellunder(shown(), x, y);
  return (cell ? quoted(*cell) : "none") + ", code " + shownumber(readcell(shown().grid, x, y));
}

json adapter::state::evaluate(const json& args) {
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
  if (context == "repl")
    if (auto set = setcell(text)) return *set;
  if (std::sscanf(text.c_str(), " cell %ld , %ld %c", &x, &y, &end) == 2)
    return answer(cellreading(x, y));
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

} // namespace tarvex
