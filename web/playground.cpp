// The browser's host of one session.
#include "web/playground.h"

#include <algorithm>

#include "runtime/memstream.h"

namespace tarvex::web {

namespace {

// What a run in a tab may hold, its history included: the module's memory can grow to 2 GiB,
// and the page, the canvas and the module's own use need the rest.
constexpr int64_t MEMORYBUDGET = int64_t{1} << 30;

} // namespace

playground::playground(const std::string& source, size_t maxpointers,
                       const std::vector<cellpos>& breaks)
    : _run(_typed.con(), {.maxpointers = maxpointers,
                          .historybytes = int64_t{64} << 20,
                          .maxbytes = MEMORYBUDGET,
                          .breaks = breaks,
                          .lineready = [this] { return _typed.lineready(); }}) {
  TMemoryStream stream(source);
  _run.load(stream, u"program");
  _run.onedit([this](const edit& e) { heard(e); });
}

void playground::heard(const edit& e) {
  _pristine = false;
  if (e.kind != editkind::cell) return;
  linespan& span = _edited ? *_edited : _edited.emplace(linespan{e.at.y, e.at.y + 1});
  span = {std::min(span.first, e.at.y), std::max(span.end, e.at.y + 1)};
}

std::optional<linespan> playground::takeedited() {
  std::optional<linespan> taken;
  taken.swap(_edited);
  return taken;
}

bool playground::changelines(int64_t first, int64_t count, const std::string& bytes) {
  TMemoryStream stream(bytes);
  std::vector<Text> texts;
  while (!stream.Eof())
    texts.push_back(stream.ReadLine());
  const std::string refused = _run.change(edit::lines(first, count, std::move(texts)));
  _run.tell(refused);
  return refused.empty();
}

std::string playground::gridlines(linespan span) const {
  const std::vector<Text>& lines = _run.shown().grid.lines;
  std::string bytes;
  const auto end = std::min(span.end, static_cast<int64_t>(lines.size()));
  for (int64_t y = std::max<int64_t>(span.first, 0); y < end; ++y) {
    const Text& line = lines[static_cast<size_t>(y)];
    const size_t length = line.size() - (!line.empty() && line.back() == u' ' ? 1 : 0);
    for (size_t x = 0; x < length; ++x) {
      const char16_t c = line[x];
      if (c == 0 || c == u'\n' || c == u'\r')
        appendutf8(bytes, u'\uFFFD');
      else if (c < 256)
        bytes.push_back(static_cast<char>(c));
      else
        appendutf8(bytes, c);
    }
    bytes.push_back('\n');
  }
  return bytes;
}

ending playground::end() const {
  switch (_run.end().kind) {
  case endkind::none: return ending::none;
  case endkind::fault: return ending::fault;
  case endkind::overcap: return ending::overcap;
  case endkind::memory: return ending::overmemory;
  default: return ending::complete;
  }
}

stride playground::finish() {
  _run.close();
  return stride::ended;
}

stride playground::advance(int64_t ticks, double budgetms, double (*now)()) {
  const double deadline = now() + budgetms;
  const auto spent = [&] { return now() >= deadline; };
  if (_run.ended()) return finish();
  _pristine = false;
  for (int64_t taken = 0;;) {
    if (!_run.passopen()) {
      if (taken >= ticks) return stride::ticked;
      if (taken > 0 && now() + _lastpassms >= deadline) return stride::busy;
    }
    const double from = now();
    const progress p = _run.tick(spent, true);
    if (p == progress::busy) return stride::busy;
    if (p == progress::waiting) return stride::waiting;
    _stepping = false;
    _lastpassms = now() - from;
    if (p == progress::ended) return finish();
    ++taken;
    if (_run.paused()) return stride::paused;
  }
}

canvasaction playground::input(const inputevent& event) {
  const size_t breaks = _run.breakpoints().size();
  switch (_keys.handle(event, _run)) {
  case studioaction::none: return canvasaction::none;
  case studioaction::redraw:
    // A click is the press and release that toggled a breakpoint.
    return event.kind == inputkind::MouseUp && _run.breakpoints().size() != breaks
               ? canvasaction::clicked
               : canvasaction::redraw;
  // The page has no file to save to: Share carries the program.
  case studioaction::save: return canvasaction::none;
  case studioaction::reload: return canvasaction::reload;
  case studioaction::steptick:
    _pristine = false;
    if (!_run.inhistory()) return canvasaction::steptick;
    _run.next();
    return canvasaction::redraw;
  case studioaction::steppointer: {
    _pristine = false;
    const progress p = _run.steppointer();
    if (p == progress::stepped) {
      _stepping = true;
      return canvasaction::redraw;
    }
    if (p == progress::waiting) return canvasaction::none;
    _stepping = false;
    if (p == progress::ended) finish();
    return canvasaction::ticked;
  }
  }
  return canvasaction::none;
}

} // namespace tarvex::web
