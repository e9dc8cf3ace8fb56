// Breakpoints: the client's lines, cells, conditions and hit counts, the session's breakpoint
// cells kept to match, and the stop a hit causes.
#include <algorithm>

#include "dap/adapterstate.h"

namespace tarvex {

// The session's breakpoint cells made to match the verified breakpoints.
void adapter::state::syncbreakpoints() {
  if (!run) return;
  const machine& m = run->state();
  std::set<std::pair<int64_t, int64_t>> wanted;
  for (const breakpointentry& b : breakpoints) {
    if (!b.verified) continue;
    if (b.x) {
      wanted.insert({*b.x, b.y});
      continue;
    }
    // Every cell a pointer can stand on: walking, up to the one past the longest line, where
    // it leaves; jumping with "$", any column a register can name.
    const int64_t width =
        b.y < static_cast<int64_t>(m.grid.lines.size())
            ? std::max<int64_t>(m.grid.maxlen,
                                static_cast<int64_t>(m.grid.lines[static_cast<size_t>(b.y)].size()))
            : m.grid.maxlen;
    for (int64_t x = 0; x <= std::max<int64_t>(width + 1, 255); ++x)
      wanted.insert({x, b.y});
  }
  const auto have = run->breakpoints();
  for (const auto& [x, y] : have)
    if (!wanted.count({x, y})) run->togglebreakpoint({x, y});
  for (const auto& [x, y] : wanted)
    if (!have.count({x, y})) run->togglebreakpoint({x, y});
}

// Weighs the breakpoints the last tick's pointers stepped onto; true, with the stop sent,
// when one of them holds.
bool adapter::state::breakstop() {
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

json adapter::state::setbreakpoints(const json& args) {
  args.at("source").get<json::object_t>();
  breakpoints.clear();
  json answered = json::array();
  for (const json& asked : optional<json::array_t>(args, "breakpoints").value_or(json::array_t{})) {
    breakpointentry b;
    b.id = nextbreakpoint++;
    b.y = fromline(asked.at("line").get<int64_t>());
    const auto column = optional<int64_t>(asked, "column");
    if (column) b.x = fromcolumn(*column);
    std::string error;
    if (const auto text = optional<std::string>(asked, "condition"); text && !text->empty()) {
      b.when = parsecondition(*text, error);
      if (!b.when) b.verified = false, b.message = error;
    }
    if (const auto text = optional<std::string>(asked, "hitCondition"); text && !text->empty()) {
      b.hit = parsehitcount(*text, error);
      if (!b.hit) b.verified = false, b.message = error;
    }
    // Pointers walk past a line's end and onto the line after the last, as the window lets
    // one click any cell; a negative line or column names no cell of the grid.
    if (b.y < 0 || (column && *column < 0)) b.verified = false, b.message = "outside the program";
    json answer = {{"id", b.id}, {"verified", b.verified}};
    // The protocol's positions are never negative: a refused one is not echoed.
    if (b.y >= 0) answer["line"] = toline(b.y);
    if (b.x && *b.x >= 0) answer["column"] = tocolumn(*b.x);
    if (!b.message.empty()) answer["message"] = b.message;
    answered.push_back(std::move(answer));
    breakpoints.push_back(std::move(b));
  }
  syncbreakpoints();
  return {{"breakpoints", answered}};
}

} // namespace tarvex
