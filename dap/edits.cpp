// Edits: a person's changes to the run on show (setVariable, `cell X,Y = C` in the debug
// console, goto, terminateThreads, and the lines an edit of the program's document touched).
// Each is one session::change, so the history keeps it as it keeps a tick.
#include <charconv>
#include <cstdio>
#include <string_view>
#include <vector>

#include "dap/adapterstate.h"

namespace tarvex {

namespace {

// How the program's file holds its characters, which decides what a text typed in the client
// becomes in the grid: a byte a character, Latin-1, or 16-bit characters (UTF-8, UTF-16).
enum class decoding { bytes, latin1, sixteenbit };

decoding decodingof(const std::string& program) {
  const size_t separator = program.find("::");
  if (separator == std::string::npos) return decoding::bytes;
  std::string proto = program.substr(0, separator);
  for (char& c : proto)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (proto == "latin1") return decoding::latin1;
  if (proto == "utf8" || proto == "utf16be" || proto == "utf16le") return decoding::sixteenbit;
  return decoding::bytes;
}

// The code points of valid UTF-8, as every string of a parsed message is.
std::vector<char32_t> codepoints(std::string_view utf8) {
  std::vector<char32_t> codes;
  for (size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    char32_t code = length == 1 ? lead : static_cast<char32_t>(lead & (0x7F >> length));
    for (size_t k = 1; k < length && i + k < utf8.size(); ++k)
      code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    codes.push_back(code);
    i += length;
  }
  return codes;
}

std::string hex(char32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(code));
  return text;
}

// The cells `utf8` becomes when the program's file holds it and is read again, as loading reads
// a line: a plain file holds the text's UTF-8 bytes and reads each as one character; a latin1
// file holds characters up to U+00FF, a UTF-8 or UTF-16 file those up to U+FFFF.
Text readastext(std::string_view utf8, decoding how) {
  if (how == decoding::bytes) return frombytes(utf8);
  const char32_t most = how == decoding::latin1 ? 0xFF : 0xFFFF;
  Text text;
  for (char32_t code : codepoints(utf8)) {
    if (code > most)
      throw refusal{"the program's decoding cannot hold " + hex(code) + ": give its code instead"};
    text.push_back(static_cast<char16_t>(code));
  }
  return text;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ')
    text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ')
    text.remove_suffix(1);
  return text;
}

// A whole text that is a decimal number.
std::optional<int64_t> integer(std::string_view text) {
  int64_t value = 0;
  const auto [end, fault] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (fault != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

// The text between single quotes ('A'), or nothing when it is not quoted.
std::optional<std::string_view> quotedtext(std::string_view text) {
  if (text.size() < 3 || text.front() != '\'' || text.back() != '\'') return std::nullopt;
  return text.substr(1, text.size() - 2);
}

// A register's value: a number, or a quoted character standing for its code.
int64_t registervalue(std::string_view text) {
  if (const auto inner = quotedtext(text)) {
    const auto codes = codepoints(*inner);
    if (codes.size() == 1) return codes[0];
  } else if (const auto number = integer(text)) {
    return *number;
  }
  throw refusal{"a register holds 0 to 255: give a number or a quoted character"};
}

} // namespace

void adapter::state::change(const edit& e, bool whilerunning) {
  activerun();
  if (!whilerunning && pending != action::none)
    throw refusal{"the program is running: pause it first"};
  // A pass a budget cut short takes the edit at the tick's end; one stepped by hand refuses it.
  if (!whilerunning && run->passopen()) throw refusal{HALFSTEPPED};
  if (std::string why = run->change(e); !why.empty()) throw refusal{why};
  syncbreakpoints();
  showwindow(); // a run in a window shows the edit at once, as the studio does
  // Frame names, the cell scope and the thread list may all read differently now.
  if (invalidates) event("invalidated", {{"areas", {"threads", "stacks", "variables"}}});
}

int64_t adapter::state::cellcode(std::string_view text) const {
  const decoding how = decodingof(program);
  if (const auto number = integer(text)) {
    const int64_t most = how == decoding::sixteenbit ? 0xFFFF : 0xFF;
    if (*number < 0 || *number > most)
      throw refusal{"the program's decoding holds codes 0 to " + std::to_string(most)};
    return *number;
  }
  const Text cells = readastext(quotedtext(text).value_or(text), how);
  if (cells.size() != 1)
    throw refusal{"the program's decoding reads " + std::string(text) + " as " +
                  std::to_string(cells.size()) + " characters: give one, or its code"};
  return cells[0];
}

json adapter::state::setvariable(const json& args) {
  activerun();
  const int64_t ref = args.at("variablesReference").get<int64_t>();
  const std::string name = args.at("name").get<std::string>();
  const std::string_view value = trimmed(args.at("value").get_ref<const std::string&>());
  if (ref < 1 || ref > static_cast<int64_t>(refs.size()))
    throw refusal{"no variables " + std::to_string(ref)};
  const auto [id, kind] = refs[static_cast<size_t>(ref - 1)];
  const ip* p = findpointer(shown(), id);
  if (!p) throw refusal{"no pointer " + std::to_string(id) + " is alive"};
  if (kind == CELLSCOPE && name == "character") {
    change(edit::cell({p->x, p->y},
                      cellcode(quotedtext(value) ? value : "'" + std::string(value) + "'")));
  } else if (kind == CELLSCOPE && name == "code") {
    if (!integer(value)) throw refusal{"a code is a number"};
    change(edit::cell({p->x, p->y}, cellcode(value)));
  } else if (kind == POINTERSCOPE && (name == "register 0" || name == "register 1")) {
    change(edit::pointer(name == "register 0" ? editkind::register0 : editkind::register1, id,
                         registervalue(value)));
  } else if (kind == POINTERSCOPE && name == "current") {
    const auto number = integer(value);
    change(edit::pointer(editkind::current, id, number.value_or(-1)));
  } else if (kind == POINTERSCOPE && name == "direction") {
    int64_t dir = 0;
    while (dir < 4 && value != directionname(static_cast<int32_t>(dir)))
      ++dir;
    change(edit::pointer(editkind::direction, id, dir));
  } else {
    throw refusal{"'" + name + "' cannot be set"};
  }
  for (const json& shownvalue : scopevariables(id, kind))
    if (shownvalue["name"] == name) return {{"value", shownvalue["value"]}};
  return {};
}

std::optional<json> adapter::state::setcell(const std::string& text) {
  int64_t x = 0, y = 0;
  int at = 0;
  if (std::sscanf(text.c_str(), " cell %ld , %ld = %n", &x, &y, &at) != 2 || at == 0)
    return std::nullopt;
  change(edit::cell({x, y},
                    cellcode(trimmed(std::string_view(text).substr(static_cast<size_t>(at))))));
  return json{{"result", cellreading(x, y)}, {"variablesReference", 0}};
}

json adapter::state::gototargets(const json& args) {
  activerun();
  args.at("source").get<json::object_t>();
  const int64_t y = fromline(args.at("line").get<int64_t>());
  const int64_t x = fromcolumn(optional<int64_t>(args, "column").value_or(tocolumn(1)));
  if (x < 0 || y < 0) throw refusal{"outside the program"};
  targets.push_back({x, y});
  const std::string cell = "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
  return {
      {"targets",
       {{{"id", targets.size()}, {"label", cell}, {"line", toline(y)}, {"column", tocolumn(x)}}}}};
}

json adapter::state::gotocell(const json& args) {
  const int64_t id = args.at("threadId").get<int64_t>() - 1;
  const int64_t target = args.at("targetId").get<int64_t>();
  if (target < 1 || target > static_cast<int64_t>(targets.size()))
    throw refusal{"no goto target " + std::to_string(target)};
  change(edit::move(id, targets[static_cast<size_t>(target - 1)]));
  stop("goto", id);
  return {};
}

json adapter::state::terminatethreads(const json& args) {
  activerun();
  std::vector<int64_t> ids;
  for (const json& thread : optional<json::array_t>(args, "threadIds").value_or(json::array_t{})) {
    ids.push_back(thread.get<int64_t>() - 1);
    // All or none: a gone thread among them leaves the others alive.
    if (!findpointer(shown(), ids.back()))
      throw refusal{"no pointer " + std::to_string(ids.back()) + " is alive"};
  }
  for (int64_t id : ids)
    change(edit::remove(id));
  threadevents();
  return {};
}

json adapter::state::editlines(const json& args) {
  const int64_t first = fromline(args.at("first").get<int64_t>());
  const int64_t count = args.at("count").get<int64_t>();
  std::vector<Text> texts;
  for (const json& line : args.at("lines").get<json::array_t>())
    texts.push_back(readastext(line.get_ref<const std::string&>(), decodingof(program)));
  // The document goes on changing while the program runs: such an edit lands at the tick's end.
  change(edit::lines(first, count, std::move(texts)), true);
  return {};
}

} // namespace tarvex
