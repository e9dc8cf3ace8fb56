// The studio's key map and mouse rules.
#include "app/studio.h"

#include <algorithm>
#include <string>

#include "app/startup.h"
#include "display/font.h"
#include "interp/machine.h"

namespace tarvex {

namespace {

// Windows virtual-key codes of the keys the studio reads.
constexpr int SPACEKEY = 32, HOMEKEY = 36, LEFTKEY = 37, RIGHTKEY = 39, DOWNKEY = 40, F1KEY = 112;
constexpr int64_t MINDELAY = 1, MAXDELAY = 2000, PLAINDELAY = 128;
constexpr int MAXZOOM = 4;
constexpr int DRAGFROM = 3; // pixels the mouse moves with the button down before it drags

// The cells the view shows across and down at its zoom.
int64_t columnsshown(int zoom) {
  return canvas::WIDTH / (GLYPHWIDTH * zoom);
}
int64_t linesshown(int zoom) {
  return canvas::HEIGHT / (GLYPHHEIGHT * zoom);
}

} // namespace

studio::studio(const options& opts) : _delayms(opts.delayms), _breakoutput(opts.breakoutput) {
  for (const auto& cell : opts.breaks)
    togglebreakpoint({cell.first, cell.second});
}

void studio::pause() {
  _touched = true;
  _paused = true;
}

studioaction studio::handle(const inputevent& e, const machine& shown) {
  const bool press = e.kind == inputkind::KeyDown;
  const bool repeatable = press || e.kind == inputkind::KeyRepeat;
  studioaction action = studioaction::none;
  if (press && e.key == SPACEKEY) {
    _paused = !_paused;
    action = _paused ? studioaction::redraw : studioaction::resume;
  } else if (repeatable && e.key == RIGHTKEY) {
    action = _paused ? studioaction::steptick : studioaction::none;
  } else if (repeatable && e.key == LEFTKEY) {
    action = _paused ? studioaction::back : studioaction::none;
  } else if (repeatable && (e.key == DOWNKEY || e.text == U'.')) {
    action = _paused ? studioaction::steppointer : studioaction::none;
  } else if (repeatable && (e.text == U'+' || e.text == U'=')) {
    _delayms = std::clamp<int64_t>(_delayms / 2, MINDELAY, MAXDELAY);
    action = studioaction::redraw;
  } else if (repeatable && (e.text == U'-' || e.text == U'_')) {
    _delayms = std::clamp<int64_t>(_delayms * 2, MINDELAY, MAXDELAY);
    action = studioaction::redraw;
  } else if (press && e.text == U'0') {
    _delayms = PLAINDELAY;
    action = studioaction::redraw;
  } else if (press && (e.text == U'?' || e.key == F1KEY)) {
    view.help = view.help.empty() ? studiokeys() : std::vector<Text>{};
    action = studioaction::redraw;
  } else if (press && e.key == HOMEKEY) {
    view.origin = {};
    view.zoom = 1;
    _following = false;
    action = studioaction::redraw;
  } else if (press && (e.text == U'f' || e.text == U'F')) {
    _following = !_following && view.selected >= 0;
    follow(shown);
    action = studioaction::redraw;
  } else if (press && (e.text == U'r' || e.text == U'R')) {
    action = studioaction::reload;
  } else if (e.kind == inputkind::MouseMove) {
    view.hovering = true;
    if (_pressed && !_dragging)
      _dragging = std::abs(e.x - _pressx) + std::abs(e.y - _pressy) >= DRAGFROM;
    if (_dragging) {
      view.origin.x = _pressorigin.x - (e.x - _pressx) / (GLYPHWIDTH * view.zoom);
      view.origin.y = _pressorigin.y - (e.y - _pressy) / (GLYPHHEIGHT * view.zoom);
      _following = false;
    }
    view.hover = cellat(view, e.x, e.y);
    action = studioaction::redraw;
  } else if (e.kind == inputkind::MouseDown && e.key == 1) {
    _pressed = true, _dragging = false;
    _pressx = e.x, _pressy = e.y, _pressorigin = view.origin;
    action = studioaction::redraw;
  } else if (e.kind == inputkind::MouseUp && e.key == 1) {
    if (_pressed && !_dragging) togglebreakpoint(cellat(view, e.x, e.y));
    _pressed = _dragging = false;
    action = studioaction::redraw;
  } else if (e.kind == inputkind::MouseDown && e.key == 3) {
    select(shown, cellat(view, e.x, e.y));
    action = studioaction::redraw;
  } else if (e.kind == inputkind::Wheel && e.key != 0) {
    zoomto(std::clamp(view.zoom + (e.key > 0 ? 1 : -1), 1, MAXZOOM), e.x, e.y);
    action = studioaction::redraw;
  }
  if (action != studioaction::none) _touched = true;
  return action;
}

void studio::togglebreakpoint(cellpos cell) {
  if (!_breakpoints.erase({cell.x, cell.y})) _breakpoints.insert({cell.x, cell.y});
  view.breakpoints.clear();
  for (const auto& [x, y] : _breakpoints)
    view.breakpoints.push_back({x, y});
}

void studio::select(const machine& shown, cellpos cell) {
  // A click on a cell where several pointers stand selects the next of them each time.
  int64_t first = -1, after = -1;
  bool passed = false;
  shown.ips.each([&](const ip& p) {
    if (p.x != cell.x || p.y != cell.y) return;
    if (first < 0) first = p.id;
    if (passed && after < 0) after = p.id;
    if (p.id == view.selected) passed = true;
  });
  view.selected = after >= 0 ? after : first;
  if (view.selected < 0) _following = false;
}

void studio::zoomto(int zoom, int px, int py) {
  // The cell under the mouse stays under it.
  const cellpos under = cellat(view, px, py);
  studioview unscrolled;
  unscrolled.zoom = zoom;
  const cellpos offset = cellat(unscrolled, px, py);
  view.zoom = zoom;
  view.origin = {under.x - offset.x, under.y - offset.y};
}

void studio::follow(const machine& shown) {
  if (!_following) return;
  const ip* found = nullptr;
  shown.ips.each([&](const ip& p) {
    if (p.id == view.selected) found = &p;
  });
  if (!found) return;
  const int64_t columns = columnsshown(view.zoom), lines = linesshown(view.zoom);
  // Only a pointer about to leave the view moves it, so the grid does not slide every tick.
  const bool inside = found->x >= view.origin.x + 2 && found->x < view.origin.x + columns - 2 &&
                      found->y >= view.origin.y + 2 && found->y < view.origin.y + lines - 2;
  if (!inside) view.origin = {found->x - columns / 2, found->y - lines / 2};
}

Text studio::caption(int64_t tick, bool past) const {
  std::string state = _paused ? " - paused - tick " : " - running - tick ";
  state +=
      std::to_string(tick) + (past ? " (history)" : "") + " - " + std::to_string(_delayms) + " ms";
  return apptitle() + Text(state.begin(), state.end());
}

const std::vector<Text>& studiokeys() {
  static const std::vector<Text> keys = {
      u"Space        pause or resume",
      u"Right        paused: one tick, or forward through the history",
      u"Left         paused: one tick back through the history",
      u"Down or .    paused: one pointer step within the tick",
      u"+ and -      halve or double the delay (1 ms to 2 s); 0: back to 128 ms",
      u"mouse        over a cell: what is on it; click: toggle a breakpoint",
      u"right click  select a pointer on the cell; F: follow it",
      u"drag, wheel  scroll the view; zoom 1x to 4x; Home: the plain view",
      u"R            read the source again and start over",
      u"? or F1      show or hide these keys",
      u"Escape       end the run",
  };
  return keys;
}

} // namespace tarvex
