// One debuggable run, driven by its host's calls.
#include "session/session.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "display/font.h"
#include "display/frame.h"
#include "interp/loader.h"
#include "interp/update.h"
#include "interp/writes.h"
#include "runtime/console.h"
#include "runtime/faultnames.h"
#include "runtime/savenamed.h"
#include "runtime/streamnames.h"
#include "session/statuses.h"

namespace tarvex {

session::session(console& con, sessionsettings settings)
    : _con(con), _settings(std::move(settings)), _live(std::make_unique<machine>(con)),
      _history(_settings.historybytes) {
  for (const cellpos& cell : _settings.breaks)
    _breaks.insert({cell.x, cell.y});
  // A run that can go back can fork there, and must then read the same input again.
  if (_history.on()) _con.keepinput();
}

session::~session() = default;

std::unique_ptr<machine> session::freshmachine() const {
  auto fresh = std::make_unique<machine>(_con);
  fresh->maxpointers = _settings.maxpointers;
  fresh->maxbytes = static_cast<size_t>(_settings.maxbytes);
  fresh->threads = _settings.threads;
  fresh->parallelfrom = _settings.parallelfrom;
  return fresh;
}

bool session::load(const Text& path, const Text& label) {
  std::unique_ptr<machine> loaded = freshmachine();
  if (!loadsource(*loaded, path)) {
    _con.printline(u"Could not load " + label);
    _end = {endkind::missing, EXIT_MISSING, utf8name(u"Could not load " + label)};
    return false;
  }
  return install(std::move(loaded), path);
}

bool session::load(TStream& source, const Text& name) {
  std::unique_ptr<machine> loaded = freshmachine();
  loadgrid(*loaded, source);
  return install(std::move(loaded), name);
}

bool session::reload() {
  std::unique_ptr<machine> loaded = freshmachine();
  if (!loadsource(*loaded, _name)) return false;
  return install(std::move(loaded), _name);
}

bool session::install(std::unique_ptr<machine> loaded, const Text& name) {
  _pass.reset(); // a pass stepped by hand goes with the machine it stepped
  _queued.clear();
  _live = std::move(loaded);
  _name = name;
  _writesdue = false;
  _viewing.reset();
  _past.reset(); // its tick may come again in the new run
  _history.clear();
  _history.record(*_live, false, _con.inputmark());
  sharememory();
  _end = {};
  _closed = false;
  _hit = false;
  _hitpointers.clear();
  _con.printline(u"Executing program..");
  _con.printline(u"");
  _tickstart = _con.written();
  // The "%" cells alone can start more pointers than the cap allows, or hold more memory.
  if (_live->overcap)
    conclude({tickstate::overcap});
  else if (_live->overmemory)
    conclude({tickstate::overmemory});
  return true;
}

void session::landwrites() {
  // The writes of the tick before were held back so that its frame showed the state before
  // them on every path: running, paused, stepped to and gone back to.
  if (_writesdue) applywrites(*_live);
  _writesdue = false;
}

void session::opentick() {
  landwrites();
  _notice.clear();
  _tickstart = _con.written();
  _hit = false;
  _hitpointers.clear();
}

bool session::mustwait(const ip& next) const {
  return _settings.lineready && !_con.replaying() && readsinput(*_live, next) &&
         !_settings.lineready();
}

bool session::stepwatched() {
  const ip* p = _pass->upcoming();
  if (!p) return false;
  const bool more = _pass->step();
  // A stepped record stays readable until the pass ends, so its cell is read after the step.
  _laststepped = *p;
  if (!_breaks.empty() && _breaks.count({p->x, p->y})) {
    _hit = true;
    _hitpointers.push_back(*p);
  }
  return more;
}

progress session::tick(const std::function<bool()>& budget, bool resumable) {
  if (ended()) return progress::ended;
  _viewing.reset();
  // Breakpoints and input that may not have come yet are looked at before and after each step.
  const bool watched = !_breaks.empty() || _settings.lineready;
  if (!_pass) {
    if (atlimit()) {
      // The run went on past its last tick, so that tick's writes land, as any going tick's do.
      landwrites();
      limitline("stopped after " + std::to_string(_live->tick) + " ticks");
      _end.kind = endkind::ticks;
      return progress::ended;
    }
    opentick();
    // Nothing to watch between the steps: the whole pass in one call, at full speed.
    if (!watched && (!budget || !resumable)) {
      pollwith(budget);
      const tickoutcome outcome = steppass(*_live);
      _live->poll = nullptr;
      return finishtick(outcome);
    }
    _pass.emplace(*_live);
  }
  if (!watched) {
    // Nothing to look at between the steps: whole stretches of the pass between two looks
    // at the budget.
    while (_pass->run(machine::POLLSTEPS)) {
      if (!budget || !budget()) continue;
      if (resumable) return progress::busy;
      _pass->interrupt();
      break;
    }
  } else if (_breaks.empty()) {
    // Only input to wait for: whole stretches of the pass between the steps that read a line.
    for (;;) {
      if (_pass->runtoread(machine::POLLSTEPS)) {
        if (mustwait(*_pass->upcoming())) return progress::waiting;
        _pass->step();
      } else if (!_pass->upcoming()) {
        break;
      }
      if (!budget || !budget()) continue;
      if (resumable) return progress::busy;
      _pass->interrupt();
      break;
    }
  } else {
    for (int64_t steps = 1;; ++steps) {
      const ip* next = _pass->upcoming();
      if (!next) break;
      if (mustwait(*next)) return progress::waiting;
      stepwatched();
      if (budget && steps % machine::POLLSTEPS == 0 && budget()) {
        if (resumable) return progress::busy;
        _pass->interrupt();
        break;
      }
    }
  }
  const tickoutcome outcome = _pass->finish();
  _pass.reset();
  return finishtick(outcome);
}

void session::pollwith(const std::function<bool()>& budget) {
  if (!budget) return;
  _live->poll = [](void* f) { return (*static_cast<const std::function<bool()>*>(f))(); };
  _live->pollcontext = const_cast<std::function<bool()>*>(&budget);
}

progress session::ticks(int64_t most, const std::function<bool()>& budget) {
  progress done = tick(budget);
  // Nothing looks between these ticks, so each is only its writes landing and its pass: a
  // tick of a few pointers costs the rest of tick() as much again. The first tick above
  // cleared what every tick clears.
  const bool unwatched = _breaks.empty() && !_settings.lineready && !_history.on() &&
                         _settings.breakticks.empty() && !_settings.breakoutput && !_following &&
                         !_paused;
  if (!unwatched) return done;
  pollwith(budget);
  for (; done == progress::ticked && most > 1 && !atlimit(); --most) {
    landwrites();
    const tickoutcome outcome = steppass(*_live);
    if (outcome.state == tickstate::going) {
      _writesdue = true;
    } else {
      conclude(outcome);
      done = progress::ended;
    }
  }
  _live->poll = nullptr;
  return done;
}

progress session::steppointer() {
  if (ended()) return progress::ended;
  _viewing.reset();
  if (!_pass) {
    opentick();
    _pass.emplace(*_live);
    _byhand = true;
  }
  const ip* next = _pass->upcoming();
  if (next && mustwait(*next)) return progress::waiting;
  stepwatched();
  // The last pointer has stepped, or the pass stopped: the tick ends as it would have.
  if (_pass->upcoming()) return progress::stepped;
  const tickoutcome outcome = _pass->finish();
  _pass.reset();
  return finishtick(outcome);
}

progress session::next(const std::function<bool()>& budget, bool resumable) {
  if (_viewing) {
    // Forward through the history first; the newest copy is the live state's frame.
    if (++*_viewing + 1 >= _history.size()) _viewing.reset();
    return progress::ticked;
  }
  return tick(budget, resumable);
}

progress session::finishtick(const tickoutcome& outcome) {
  _byhand = false;
  std::vector<edit> queued;
  queued.swap(_queued);
  if (outcome.state != tickstate::going) {
    conclude(outcome);
    return progress::ended;
  }
  _writesdue = true;
  if (_history.on()) {
    _history.record(*_live, _hit, _con.inputmark());
    sharememory();
    // Input older than the oldest kept tick can never be read again.
    if (_history.size() > 0) _con.forgetinput(_history.input(0));
  }
  for (const edit& e : queued)
    change(e);
  if (_following) follow();
  const bool wrote = _con.written() != _tickstart;
  const auto& at = _settings.breakticks;
  const bool attick = std::find(at.begin(), at.end(), _live->tick) != at.end();
  if (!atlimit() && (_hit || attick || (_settings.breakoutput && wrote))) pause();
  return progress::ticked;
}

void session::sharememory() {
  // Without a history the machine counts all it holds itself.
  if (_settings.maxbytes == 0 || !_history.on()) return;
  // The history keeps to half of what the run leaves free, so the run can still grow a while
  // before it is stopped, and the copies go before the run does.
  _live->hostbytes = 0;
  const auto own = static_cast<int64_t>(heldbytes(*_live));
  _history.trim(own < _settings.maxbytes ? (_settings.maxbytes - own) / 2 : 0);
  _live->hostbytes = static_cast<size_t>(_history.bytes());
}

void session::limitline(const std::string& why) {
  _end.status = EXIT_LIMIT;
  _end.message = "tarvex: " + why;
}

void session::conclude(const tickoutcome& outcome) {
  switch (outcome.state) {
  case tickstate::finished:
  case tickstate::halted: _end = {endkind::complete, 0, ""}; break;
  case tickstate::fault:
    _end = {endkind::fault, EXIT_FAULT, faultname(outcome.fault), outcome.fault};
    break;
  case tickstate::overcap: {
    // Counted as the limit counts them: those the running tick removed are still held.
    char line[96];
    std::snprintf(line, sizeof line, "stopped at %zu live pointers after %" PRId64 " ticks",
                  _live->overcap, completedticks(*_live));
    limitline(line);
    _end.kind = endkind::overcap;
    break;
  }
  case tickstate::overmemory: {
    char line[160];
    std::snprintf(line, sizeof line,
                  "stopped at %zu live pointers after %" PRId64
                  " ticks: the memory budget of %" PRId64 " MiB is used up (see --max-memory)",
                  _live->ips.count(), completedticks(*_live), _settings.maxbytes >> 20);
    limitline(line);
    _end.kind = endkind::memory;
    break;
  }
  case tickstate::interrupted: _end = {endkind::stopped, 0, ""}; break;
  case tickstate::going: break;
  }
}

void session::close() {
  if (_end.kind != endkind::complete || _closed) return;
  _closed = true;
  _con.printline(u"");
  _con.printline(u"");
  _con.printline(u"Execution complete.");
}

std::string session::change(const edit& e) {
  if (_end.kind == endkind::missing) return "no program is loaded";
  if (_pass) {
    if (_byhand) return "a pointer step has left the tick half done: finish the tick first";
    if (std::string why = editrefusal(*_live, e); !why.empty()) return why;
    _queued.push_back(e);
    return "";
  }
  if (ended()) return "the run is over";
  if (std::string why = editrefusal(shown(), e); !why.empty()) return why;
  if (_viewing) forkat(*_viewing);
  landwrites();
  applyedit(*_live, e);
  _viewing.reset();
  _past.reset(); // the copy of this tick is taken again
  _history.rerecord(*_live, _con.inputmark());
  sharememory();
  if (_following) follow();
  touch();
  if (_heard) _heard(e);
  return "";
}

std::string session::save() {
  if (_end.kind == endkind::missing) return "no program is loaded";
  // Each line without the one space loading gave it, so reading the file again gives this grid.
  std::vector<Text> lines;
  for (const Text& line : shown().grid.lines)
    lines.push_back(!line.empty() && line.back() == u' ' ? line.substr(0, line.size() - 1) : line);
  return savenamed(_name, lines);
}

void session::tell(const std::string& notice) {
  _notice = notice;
  touch();
}

void session::forkat(size_t copy) {
  auto forked = freshmachine();
  _history.restore(copy, *forked);
  _history.forkat(copy);
  _con.rewindinput(_history.input(copy));
  _live = std::move(forked);
  _writesdue = true; // the copied tick's own writes land first, as they would have
  _hit = false;
  _hitpointers.clear();
}

std::vector<int64_t> session::hitby() const {
  std::vector<int64_t> ids;
  for (const ip& p : _hitpointers)
    ids.push_back(p.id);
  return ids;
}

bool session::back() {
  if (_pass || _history.size() < 2) return false;
  if (!_viewing) _viewing = _history.size() - 1;
  if (*_viewing == 0) return false;
  --*_viewing;
  touch();
  return true;
}

bool session::backtobreak() {
  if (_pass || _history.size() < 2) return false;
  size_t at = _viewing.value_or(_history.size() - 1);
  while (at > 0) {
    --at;
    if (_history.hit(at)) break;
  }
  _viewing = at;
  if (*_viewing + 1 >= _history.size()) _viewing.reset();
  touch();
  return true;
}

void session::resume() {
  _viewing.reset();
  _paused = false;
  touch();
}

void session::pause() {
  _paused = true;
  touch();
}

const machine& session::shown() const {
  if (!_viewing) return *_live;
  // A past tick is shown from its copy, rebuilt only when another tick is shown, so hovering
  // over it or showing it again costs no new copy.
  if (!_past || _past->tick != _history.tick(*_viewing)) {
    auto& past = const_cast<std::unique_ptr<machine>&>(_past);
    past = std::make_unique<machine>(_con);
    _history.restore(*_viewing, *past);
  }
  return *_past;
}

void session::togglebreakpoint(cellpos cell) {
  if (!_breaks.erase({cell.x, cell.y})) _breaks.insert({cell.x, cell.y});
  touch();
}

void session::select(cellpos cell) {
  // A click on a cell where several pointers stand selects the next of them each time.
  int64_t first = -1, after = -1;
  bool passed = false;
  shown().ips.each([&](const ip& p) {
    if (p.x != cell.x || p.y != cell.y) return;
    if (first < 0) first = p.id;
    if (passed && after < 0) after = p.id;
    if (p.id == _view.selected) passed = true;
  });
  _view.selected = after >= 0 ? after : first;
  if (_view.selected < 0) _following = false;
  touch();
}

void session::togglefollow() {
  _following = !_following && _view.selected >= 0;
  follow();
  touch();
}

void session::follow() {
  if (!_following) return;
  const ip* found = findpointer(shown(), _view.selected);
  if (!found) return;
  const int64_t columns = visiblecolumns(_view.zoom), lines = visiblelines(_view.zoom);
  // Only a pointer about to leave the view moves it, so the grid does not slide every tick.
  const cellpos& o = _view.origin;
  const bool inside = found->x >= o.x + 2 && found->x < o.x + columns - 2 && found->y >= o.y + 2 &&
                      found->y < o.y + lines - 2;
  if (!inside) _view.origin = {found->x - columns / 2, found->y - lines / 2};
}

void session::scrollto(cellpos origin) {
  _view.origin = origin;
  _following = false;
  touch();
}

void session::zoomat(int zoom, int px, int py) {
  // The cell under the mouse stays under it.
  const cellpos under = cellat(_view, px, py);
  studioview unscrolled;
  unscrolled.zoom = std::clamp(zoom, 1, MAXZOOM);
  const cellpos offset = cellat(unscrolled, px, py);
  _view.zoom = unscrolled.zoom;
  _view.origin = {under.x - offset.x, under.y - offset.y};
  touch();
}

void session::home() {
  _view.origin = {};
  _view.zoom = 1;
  _following = false;
  touch();
}

void session::hover(int px, int py) {
  _view.hovering = true;
  _view.hover = cellat(_view, px, py);
  touch();
}

void session::typeat(cellpos cell) {
  _view.typing = true;
  _view.hovering = false; // the panel would cover what is typed, until the mouse moves again
  _view.cursor = {std::max<int64_t>(cell.x, 1), std::max<int64_t>(cell.y, 0)};
  touch();
}

void session::stoptyping() {
  _view.typing = false;
  touch();
}

void session::togglehelp(const std::vector<Text>& keys) {
  _view.help = _view.help.empty() ? keys : std::vector<Text>{};
  touch();
}

void session::faster() {
  _settings.delayms = std::clamp<int64_t>(_settings.delayms / 2, MINDELAYMS, MAXDELAYMS);
  touch();
}

void session::slower() {
  _settings.delayms = std::clamp<int64_t>(_settings.delayms * 2, MINDELAYMS, MAXDELAYMS);
  touch();
}

void session::plainspeed() {
  _settings.delayms = PLAINDELAYMS;
  touch();
}

void session::setdelay(int64_t ms) {
  _settings.delayms = std::clamp<int64_t>(ms, MINDELAYMS, MAXDELAYMS);
}

std::string session::status() const {
  return std::string(_paused ? "paused" : "running") + " - tick " + std::to_string(shown().tick) +
         (_viewing ? " (history)" : "") + " - " + std::to_string(_settings.delayms) + " ms" +
         (_notice.empty() ? "" : " - " + _notice);
}

void session::paint(canvas& surface, image& atlas) const {
  studioview view = _view;
  for (const auto& [x, y] : _breaks)
    view.breakpoints.push_back({x, y});
  view.upcoming = _pass && !_viewing ? _pass->upcoming() : nullptr;
  paintstudio(surface, atlas, shown(), view);
}

void session::paintplain(canvas& surface, image& atlas) const {
  paintframe(surface, atlas, *_live);
}

} // namespace tarvex
