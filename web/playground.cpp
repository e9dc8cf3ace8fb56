// The browser's host of one session.
#include "web/playground.h"

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
  switch (_keys.handle(event, _run)) {
  case studioaction::none: return canvasaction::none;
  case studioaction::redraw: return canvasaction::redraw;
  case studioaction::reload: return canvasaction::reload;
  case studioaction::steptick:
    if (!_run.inhistory()) return canvasaction::steptick;
    _run.next();
    return canvasaction::redraw;
  case studioaction::steppointer: {
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
