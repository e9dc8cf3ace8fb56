// The functions the page calls: one run at a time, its frame as RGBA bytes for putImageData,
// and its console bytes. Plain C calls over numbers and byte buffers, so the page needs no
// binding library.
#include <emscripten/emscripten.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "display/font.h"
#include "runtime/memstream.h"
#include "web/fontdata.h"
#include "web/playground.h"

using namespace tarvex;
using namespace tarvex::web;

namespace {

struct host {
  // The font read as the terminal program reads it.
  host() {
    TMemoryStream file(std::string(reinterpret_cast<const char*>(FONTDATA), FONTSIZE));
    loadfont(font, file);
  }
  canvas surface;
  glyphfont font;
  std::unique_ptr<playground> run;
  std::string bytes;                  // what the last call handed out: console bytes or a message
  std::vector<cellpos> pendingbreaks; // a link's breakpoints, set by the next load
  int64_t editedfrom = 0;             // the first line tv_takeedited handed out
  std::vector<uint8_t> rgba = std::vector<uint8_t>(canvas::WIDTH * canvas::HEIGHT * 4);
};

host& page() {
  static host made;
  return made;
}

double clock() {
  return emscripten_get_now();
}

} // namespace

extern "C" {

// Loads a program (its bytes) as a new run in place of the last; its opening lines wait in
// tv_output. More than `cap` live pointers end the run: a tab has far less memory than the
// machine a terminal run takes, and a program that splits without end must not take it all.
EMSCRIPTEN_KEEPALIVE void tv_load(const char* source, int length, double cap) {
  host& h = page();
  // The old run goes first: two large machines at once could need twice the memory.
  h.run.reset();
  h.run = std::make_unique<playground>(std::string(source, static_cast<size_t>(length)),
                                       static_cast<size_t>(cap), h.pendingbreaks);
  h.pendingbreaks.clear();
}

// A breakpoint the next load sets (a link's &break=X,Y).
EMSCRIPTEN_KEEPALIVE void tv_breakat(double x, double y) {
  page().pendingbreaks.push_back({static_cast<int64_t>(x), static_cast<int64_t>(y)});
}

// A key or mouse event on the canvas, as the window's studio takes it: `kind` as inputkind
// (0 key down, 2 key repeat, 6 mouse move, 7 press, 8 release, 9 wheel), `key` the window's key
// code, the button or the wheel's steps, `text` the character typed. Returns a canvasaction.
EMSCRIPTEN_KEEPALIVE int tv_input(int kind, int key, int text, int x, int y) {
  if (!page().run) return 0;
  const inputevent event{static_cast<inputkind>(kind), key, static_cast<char32_t>(text), x, y};
  return static_cast<int>(page().run->input(event));
}

// The program box's `count` lines from `first` replaced by the lines of `bytes`, each ended by
// a line feed: 1 when it landed, 0 when it was refused (tv_describe(0) tells why).
EMSCRIPTEN_KEEPALIVE int tv_lines(double first, double count, const char* bytes, int length) {
  if (!page().run) return 0;
  return page().run->changelines(static_cast<int64_t>(first), static_cast<int64_t>(count),
                                 std::string(bytes, static_cast<size_t>(length)))
             ? 1
             : 0;
}

// 1 while the run stands as loaded: a change to the box loads it again.
EMSCRIPTEN_KEEPALIVE int tv_pristine() {
  return page().run && page().run->pristine() ? 1 : 0;
}

// The lines typing on the canvas changed since the last call, as the box shows them, each
// ended by a line feed (tv_bytes points at them); the first is tv_editedfrom(). -1: none.
EMSCRIPTEN_KEEPALIVE int tv_takeedited() {
  host& h = page();
  const std::optional<linespan> span = h.run ? h.run->takeedited() : std::nullopt;
  if (!span) return -1;
  h.editedfrom = span->first;
  h.bytes = h.run->gridlines(*span);
  return static_cast<int>(h.bytes.size());
}

EMSCRIPTEN_KEEPALIVE double tv_editedfrom() {
  return static_cast<double>(page().editedfrom);
}

// The typing cursor, outlined where the box's caret stands (column x from 1, line y from 0).
EMSCRIPTEN_KEEPALIVE void tv_typeat(double x, double y) {
  if (page().run) page().run->run().typeat({static_cast<int64_t>(x), static_cast<int64_t>(y)});
}

EMSCRIPTEN_KEEPALIVE void tv_stoptyping() {
  if (page().run) page().run->run().stoptyping();
}

EMSCRIPTEN_KEEPALIVE int tv_typing() {
  return page().run && page().run->run().typing() ? 1 : 0;
}

// The cursor's column (which 0) or line (1).
EMSCRIPTEN_KEEPALIVE double tv_cursor(int which) {
  if (!page().run) return 0;
  const cellpos at = page().run->run().view().cursor;
  return static_cast<double>(which ? at.y : at.x);
}

// The cell under canvas pixel (px, py): its column (which 0) or line (1).
EMSCRIPTEN_KEEPALIVE double tv_cellat(int px, int py, int which) {
  if (!page().run) return 0;
  const cellpos at = cellat(page().run->run().view(), px, py);
  return static_cast<double>(which ? at.y : at.x);
}

EMSCRIPTEN_KEEPALIVE void tv_pause() {
  if (page().run) page().run->run().pause();
}

EMSCRIPTEN_KEEPALIVE void tv_resume() {
  if (page().run) page().run->run().resume();
}

EMSCRIPTEN_KEEPALIVE int tv_paused() {
  return page().run && page().run->run().paused() ? 1 : 0;
}

// One tick back through the history; 1 when it went back.
EMSCRIPTEN_KEEPALIVE int tv_back() {
  return page().run && page().run->run().back() ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE void tv_setdelay(double ms) {
  if (page().run) page().run->run().setdelay(static_cast<int64_t>(ms));
}

EMSCRIPTEN_KEEPALIVE double tv_delay() {
  return page().run ? static_cast<double>(page().run->run().delayms())
                    : static_cast<double>(PLAINDELAYMS);
}

// The state as the window's caption tells it ("paused - tick 3 (history) - 128 ms"), or the
// breakpoints as "X,Y X,Y" (which 1); tv_bytes points at it.
EMSCRIPTEN_KEEPALIVE int tv_describe(int which) {
  host& h = page();
  h.bytes.clear();
  if (!h.run) return 0;
  if (which == 0) {
    h.bytes = h.run->run().status();
  } else {
    for (const auto& [x, y] : h.run->run().breakpoints())
      h.bytes += (h.bytes.empty() ? "" : " ") + std::to_string(x) + "," + std::to_string(y);
  }
  return static_cast<int>(h.bytes.size());
}

// The tick on show: a past one while the history is shown.
EMSCRIPTEN_KEEPALIVE double tv_shown() {
  return page().run ? static_cast<double>(page().run->run().shown().tick) : 0;
}

EMSCRIPTEN_KEEPALIVE void tv_feed(const char* input, int length) {
  if (page().run) page().run->feed(std::string(input, static_cast<size_t>(length)));
}

EMSCRIPTEN_KEEPALIVE void tv_endinput() {
  if (page().run) page().run->endinput();
}

// A progress code (1 ticked, 2 busy, 3 waiting, 4 ended); 0 without a run.
EMSCRIPTEN_KEEPALIVE int tv_advance(double ticks, double budgetms) {
  if (!page().run) return 0;
  return static_cast<int>(page().run->advance(static_cast<int64_t>(ticks), budgetms, clock));
}

// The console bytes written since the last call; tv_bytes points at them.
EMSCRIPTEN_KEEPALIVE int tv_output() {
  host& h = page();
  h.bytes = h.run ? h.run->takeoutput() : std::string();
  return static_cast<int>(h.bytes.size());
}

// The fault's name or the limit's line; tv_bytes points at it.
EMSCRIPTEN_KEEPALIVE int tv_message() {
  host& h = page();
  h.bytes = h.run ? h.run->message() : std::string();
  return static_cast<int>(h.bytes.size());
}

EMSCRIPTEN_KEEPALIVE const char* tv_bytes() {
  return page().bytes.data();
}

EMSCRIPTEN_KEEPALIVE int tv_ending() {
  return page().run ? static_cast<int>(page().run->end()) : 0;
}

EMSCRIPTEN_KEEPALIVE int tv_status() {
  return page().run ? page().run->status() : 0;
}

EMSCRIPTEN_KEEPALIVE double tv_tick() {
  return page().run ? static_cast<double>(page().run->run().state().tick) : 0;
}

// 1 while the machine stands between two whole ticks (its frame can be painted), else 0.
EMSCRIPTEN_KEEPALIVE int tv_between() {
  return page().run && page().run->between() ? 1 : 0;
}

// 1 while a pass is open: cut short by its time, or stepped pointer by pointer.
EMSCRIPTEN_KEEPALIVE int tv_passopen() {
  return page().run && page().run->run().passopen() ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE double tv_pointers() {
  return page().run ? static_cast<double>(page().run->run().state().ips.count()) : 0;
}

// Paints the frame of the last whole tick and returns its RGBA bytes (720 × 512 × 4, rows
// from the top), or null while no whole frame is there: the page keeps the one it shows.
EMSCRIPTEN_KEEPALIVE const uint8_t* tv_frame() {
  host& h = page();
  if (!h.run || !h.run->between()) return nullptr;
  h.run->paint(h.surface, h.font.atlas);
  uint8_t* to = h.rgba.data();
  for (uint32_t word : h.surface.pixels()) {
    *to++ = static_cast<uint8_t>(word >> 16);
    *to++ = static_cast<uint8_t>(word >> 8);
    *to++ = static_cast<uint8_t>(word);
    *to++ = 255;
  }
  return h.rgba.data();
}

} // extern "C"
