// The studio's key map and mouse rules.
#include "session/studio.h"

#include <algorithm>
#include <cstdlib>

#include "display/font.h"

namespace tarvex {

namespace {

// Windows virtual-key codes of the keys the studio reads.
constexpr int BACKSPACEKEY = 8, ENTERKEY = 13, ESCAPEKEY = 27, SPACEKEY = 32, HOMEKEY = 36,
              LEFTKEY = 37, UPKEY = 38, RIGHTKEY = 39, DOWNKEY = 40, DELETEKEY = 46, F1KEY = 112;
constexpr int DRAGFROM = 3; // pixels the mouse moves with the button down before it drags

} // namespace

void studio::change(session& run, const edit& e) {
  run.tell(run.change(e));
}

studioaction studio::type(const inputevent& e, session& run) {
  const bool press = e.kind == inputkind::KeyDown;
  if (press && (e.key == ENTERKEY || e.key == ESCAPEKEY)) {
    _escapetyped = e.key == ESCAPEKEY;
    run.stoptyping();
    return studioaction::redraw;
  }
  cellpos at = run.view().cursor;
  if (e.key >= LEFTKEY && e.key <= DOWNKEY) {
    at.x += e.key == LEFTKEY ? -1 : e.key == RIGHTKEY ? 1 : 0;
    at.y += e.key == UPKEY ? -1 : e.key == DOWNKEY ? 1 : 0;
  } else if (e.key == BACKSPACEKEY) {
    // Back over the last character typed, as in a text editor.
    at.x = std::max<int64_t>(at.x - 1, 1);
    change(run, edit::cell(at, u' '));
  } else if (e.text >= 32 && e.text <= 0xFFFF && !e.control) {
    change(run, edit::cell(at, e.text));
    ++at.x;
  } else {
    return studioaction::none;
  }
  run.typeat(at);
  return studioaction::redraw;
}

studioaction studio::editpointer(const inputevent& e, session& run) {
  const ip* p = findpointer(run.shown(), run.view().selected);
  if (!p) return studioaction::none;
  const int64_t id = p->id, value = p->val[p->on & 1];
  if (e.key == DELETEKEY) {
    change(run, edit::remove(id));
  } else if (e.text == U't' || e.text == U'T') {
    // Clockwise: up, right, down, left.
    static constexpr int32_t TURNED[4] = {RIGHT, LEFT, UP, DOWN};
    change(run, edit::pointer(editkind::direction, id, TURNED[p->dir & 3]));
  } else if (e.text == U'[' || e.text == U']') {
    const editkind which = p->on & 1 ? editkind::register1 : editkind::register0;
    change(run, edit::pointer(which, id, (value + (e.text == U']' ? 1 : 255)) % 256));
  } else if (e.text == U'c' || e.text == U'C') {
    change(run, edit::pointer(editkind::current, id, p->on & 1 ? 0 : 1));
  } else {
    return studioaction::none;
  }
  return studioaction::redraw;
}

studioaction studio::handle(const inputevent& e, session& run) {
  const bool press = e.kind == inputkind::KeyDown;
  const bool repeatable = press || e.kind == inputkind::KeyRepeat;
  if (e.kind == inputkind::KeyUp && e.key == ESCAPEKEY) _escapetyped = false;
  if (repeatable && run.typing()) return type(e, run);
  if (press && e.control && e.key == 'S') return studioaction::save;
  if (press && e.key == ENTERKEY && run.paused()) {
    run.typeat(run.view().hovering ? run.view().hover : run.view().cursor);
    return studioaction::redraw;
  }
  if (repeatable && run.view().selected >= 0)
    if (const studioaction done = editpointer(e, run); done != studioaction::none) return done;
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
    if (_dragging && !_carrying) {
      // The grid follows the mouse: dragging right brings the columns to the left into view.
      const int zoom = run.view().zoom;
      run.scrollto({_pressorigin.x - (e.x - _pressx) / (GLYPHWIDTH * zoom),
                    _pressorigin.y - (e.y - _pressy) / (GLYPHHEIGHT * zoom)});
    }
    run.hover(e.x, e.y);
  } else if (e.kind == inputkind::MouseDown && e.key == 1) {
    _pressed = true, _dragging = false;
    _pressx = e.x, _pressy = e.y, _pressorigin = run.view().origin;
    const ip* selected = findpointer(run.shown(), run.view().selected);
    _carrying = selected && cellat(run.view(), e.x, e.y) == cellpos{selected->x, selected->y};
    run.touch();
  } else if (e.kind == inputkind::MouseUp && e.key == 1) {
    if (_pressed && !_dragging) run.togglebreakpoint(cellat(run.view(), e.x, e.y));
    // A selected pointer dragged to another cell stands there.
    if (_pressed && _dragging && _carrying)
      change(run, edit::move(run.view().selected, cellat(run.view(), e.x, e.y)));
    _pressed = _dragging = _carrying = false;
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
      u"Enter        paused: type into the cell under the mouse; Enter or Escape stops",
      u"             typing: Backspace erases back, the arrows move the cursor",
      u"selected     Delete removes it, T turns it, [ and ] lower or raise its",
      u"             current register, C switches that; drag it to move it",
      u"Ctrl+S       save the grid to the source",
      u"drag, wheel  scroll the view; zoom 1x to 4x; Home: the plain view",
      u"R            read the source again and start over",
      u"? or F1      show or hide these keys",
      u"Escape       end the run",
  };
  return keys;
}

} // namespace tarvex
