// The expressions of conditions and hit counts.
#include "dap/condition.h"

#include <charconv>
#include <string_view>

namespace tarvex {

namespace {

struct named {
  const char* name;
  pointerfield field;
};
// Longer names first, so "register 0" is not read as a shorter one.
constexpr named FIELDS[] = {
    {"register 0", pointerfield::register0},
    {"register 1", pointerfield::register1},
    {"remove after", pointerfield::removeafter},
    {"string mode", pointerfield::stringmode},
    {"direction", pointerfield::direction},
    {"current", pointerfield::current},
    {"hold", pointerfield::hold},
    {"tick", pointerfield::tick},
    {"id", pointerfield::id},
    {"x", pointerfield::x},
    {"y", pointerfield::y},
};

struct symbol {
  const char* text;
  comparison op;
};
constexpr symbol OPERATORS[] = {{"==", comparison::eq}, {"!=", comparison::ne},
                                {"<=", comparison::le}, {">=", comparison::ge},
                                {"<", comparison::lt},  {">", comparison::gt}};

void skipspace(std::string_view& text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
}

bool take(std::string_view& text, std::string_view word) {
  if (text.substr(0, word.size()) != word) return false;
  text.remove_prefix(word.size());
  return true;
}

std::optional<int64_t> number(std::string_view& text) {
  int64_t value = 0;
  auto [end, fault] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (fault != std::errc() || end == text.data()) return std::nullopt;
  text.remove_prefix(static_cast<size_t>(end - text.data()));
  return value;
}

// A number, a direction name or a quoted character.
std::optional<int64_t> operand(std::string_view& text) {
  for (int32_t dir = 0; dir < 4; ++dir)
    if (take(text, directionname(dir))) return dir;
  if (text.size() >= 3 && text[0] == '\'' && text[2] == '\'') {
    const auto code = static_cast<unsigned char>(text[1]);
    text.remove_prefix(3);
    return code;
  }
  return number(text);
}

} // namespace

const char* directionname(int32_t dir) {
  static constexpr const char* NAMES[] = {"up", "down", "left", "right"};
  return dir >= 0 && dir < 4 ? NAMES[dir] : "?";
}

std::optional<condition> parsecondition(const std::string& source, std::string& error) {
  std::string_view text = source;
  skipspace(text);
  condition c;
  bool found = false;
  for (const named& f : FIELDS)
    if (take(text, f.name)) {
      c.field = f.field;
      found = true;
      break;
    }
  if (!found) {
    error = "'" + source +
            "' names no pointer field (register 0, register 1, current, "
            "direction, string mode, remove after, hold, id, x, y, tick)";
    return std::nullopt;
  }
  skipspace(text);
  if (!text.empty()) {
    for (const symbol& s : OPERATORS)
      if (take(text, s.text)) {
        c.op = s.op;
        break;
      }
    skipspace(text);
    const std::optional<int64_t> value = c.op == comparison::none ? std::nullopt : operand(text);
    skipspace(text);
    if (!value || !text.empty()) {
      error = "'" + source + "' is not FIELD, or FIELD OP VALUE with OP one of == != < <= > >=";
      return std::nullopt;
    }
    c.value = *value;
  }
  return c;
}

int64_t fieldvalue(pointerfield field, const ip& p, int64_t tick) {
  switch (field) {
  case pointerfield::id: return p.id;
  case pointerfield::x: return p.x;
  case pointerfield::y: return p.y;
  case pointerfield::direction: return p.dir;
  case pointerfield::register0: return p.val[0];
  case pointerfield::register1: return p.val[1];
  case pointerfield::current: return p.on;
  case pointerfield::stringmode: return p.printing;
  case pointerfield::removeafter: return p.remafter;
  case pointerfield::hold: return p.wait;
  case pointerfield::tick: return tick;
  }
  return 0;
}

bool compare(int64_t left, comparison op, int64_t right) {
  switch (op) {
  case comparison::none: return left != 0;
  case comparison::eq: return left == right;
  case comparison::ne: return left != right;
  case comparison::lt: return left < right;
  case comparison::le: return left <= right;
  case comparison::gt: return left > right;
  case comparison::ge: return left >= right;
  }
  return false;
}

bool holds(const condition& c, const ip& p, int64_t tick) {
  return compare(fieldvalue(c.field, p, tick), c.op, c.value);
}

std::optional<hitcount> parsehitcount(const std::string& source, std::string& error) {
  std::string_view text = source;
  skipspace(text);
  hitcount h;
  if (take(text, "%"))
    h.every = true;
  else if (take(text, ">="))
    h.op = comparison::ge;
  else if (take(text, ">"))
    h.op = comparison::gt;
  else
    take(text, "==");
  skipspace(text);
  const std::optional<int64_t> count = number(text);
  skipspace(text);
  if (!count || *count < (h.every ? 1 : 0) || !text.empty()) {
    error = "'" + source + "' is not a hit count (N, == N, >= N, > N or % N)";
    return std::nullopt;
  }
  h.count = *count;
  return h;
}

bool holds(const hitcount& h, int64_t hits) {
  return h.every ? hits % h.count == 0 : compare(hits, h.op, h.count);
}

} // namespace tarvex
