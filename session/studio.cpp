// The studio's key map and mouse rules.
#include "session/studio.h"

#include <algorithm>
#include <cstdlib>

#include "display/font.h"

namespace tarvex {

namespace {

// Windows virtual-key codes of the keys the studio reads.
constexpr int SPACEKEY = 32, HOMEKEY = 36, LEFTKEY = 37, RIGHTKEY = 39, DOWNKEY = 40, F1KEY = 112;
constexpr int DRAGFROM = 3; // pixels the mouse moves with the button down before it drags

} // namespace

studioaction studio::handle(const inputevent& e, session& run) {
  const bool press = e.kind == inputkind::KeyDown;
  const bool repeatable = press || e.kind == inputkind::KeyRepeat;
  if (press && e.key == SPACEKEY) {
    if (run.paused())
      run.resume();
    else
      run.pause();
    return studioaction::redraw;
  }
  if (repeatable && e.key == RIGHTKEY)
    return run.paused() ? studioaction::steptick : studioaction::none;
  if (repeatable && e.key == LEFTKEY) {
    if (!run.paused()) return studioaction::none;
    run.back();
    return studioaction::redraw;
  }
  if (repeatable && (e.key == DOWNKEY || e.text == U'.'))
    return run.paused() ? studioaction::steppointer : studioaction::none;
  if (repeatable && (e.text == U'+' || e.text == U'=')) {
    run.faster();
  } else if (repeatable && (e.text == U'-' || e.text == U'_')) {
    run.slower();
  } else if (press && e.text == U'0') {
    run.plainspeed();
  } else if (press && (e.text == U'?' || e.key == F1KEY)) {
    run.togglehelp(studiokeys());
  } else if (press && e.key == HOMEKEY) {
    run.home();
  } else if (press && (e.text == U'f' || e.text == U'F')) {
    run.togglefollow();
  } else if (press && (e.text == U'r' || e.text == U'R')) {
    run.touch();
    return studioaction::reload;
  } else if (e.kind == inputkind::MouseMove) {
    if (_pressed && !_dragging)
      _dragging = std::abs(e.x - _pressx) + std::abs(e.y - _pressy) >= DRAGFROM;
    if (_dragging) {
      // The grid follows the mouse: dragging right brings the columns to the left into view.
      const int zoom = run.view().zoom;
      run.scrollto({_pressorigin.x - (e.x - _pressx) / (GLYPHWIDTH * zoom),
                    _pressorigin.y - (e.y - _pressy) / (GLYPHHEIGHT * zoom)});
    }
    run.hover(e.x, e.y);
  } else if (e.kind == inputkind::MouseDown && e.key == 1) {
    _pressed = true, _dragging = false;
    _pressx = e.x, _pressy = e.y, _pressorigin = run.view().origin;
    run.touch();
  } else if (e.kind == inputkind::MouseUp && e.key == 1) {
    if (_pressed && !_dragging) run.togglebreakpoint(cellat(run.view(), e.x, e.y));
    _pressed = _dragging = false;
    run.touch();
  } else if (e.kind == inputkind::MouseDown && e.key == 3) {
    run.select(cellat(run.view(), e.x, e.y));
  } else if (e.kind == inputkind::Wheel && e.key != 0) {
    run.zoomat(run.view().zoom + (e.key > 0 ? 1 : -1), e.x, e.y);
  } else {
    return studioaction::none;
  }
  return studioaction::redraw;
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
