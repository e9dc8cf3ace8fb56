// The functions the page calls: one run at a time, its frame as RGBA bytes for putImageData,
// and its console bytes. Plain C calls over numbers and byte buffers, so the page needs no
// binding library.
#include <emscripten/emscripten.h>

#include <memory>
#include <string>

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
  std::string bytes; // what the last call handed out: console bytes or a message
  std::vector<uint8_t> rgba = std::vector<uint8_t>(canvas::WIDTH * canvas::HEIGHT * 4);
};

host& the() {
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
  host& h = the();
  // The old run goes first: two large machines at once could need twice the memory.
  h.run.reset();
  h.run = std::make_unique<playground>(std::string(source, static_cast<size_t>(length)),
                                       static_cast<size_t>(cap));
}

EMSCRIPTEN_KEEPALIVE void tv_feed(const char* input, int length) {
  if (the().run) the().run->feed(std::string(input, static_cast<size_t>(length)));
}

EMSCRIPTEN_KEEPALIVE void tv_endinput() {
  if (the().run) the().run->endinput();
}

// A progress code (1 ticked, 2 busy, 3 waiting, 4 ended); 0 without a run.
EMSCRIPTEN_KEEPALIVE int tv_advance(double ticks, double budgetms) {
  if (!the().run) return 0;
  return static_cast<int>(the().run->advance(static_cast<int64_t>(ticks), budgetms, clock));
}

// The console bytes written since the last call; tv_bytes points at them.
EMSCRIPTEN_KEEPALIVE int tv_output() {
  host& h = the();
  h.bytes = h.run ? h.run->takeoutput() : std::string();
  return static_cast<int>(h.bytes.size());
}

// The fault's name or the limit's line; tv_bytes points at it.
EMSCRIPTEN_KEEPALIVE int tv_message() {
  host& h = the();
  h.bytes = h.run ? h.run->message() : std::string();
  return static_cast<int>(h.bytes.size());
}

EMSCRIPTEN_KEEPALIVE const char* tv_bytes() {
  return the().bytes.data();
}

EMSCRIPTEN_KEEPALIVE int tv_ending() {
  return the().run ? static_cast<int>(the().run->end()) : 0;
}

EMSCRIPTEN_KEEPALIVE int tv_status() {
  return the().run ? the().run->status() : 0;
}

EMSCRIPTEN_KEEPALIVE double tv_tick() {
  return the().run ? static_cast<double>(the().run->state().tick) : 0;
}

// 1 while the machine stands between two whole ticks (its frame can be painted), else 0.
EMSCRIPTEN_KEEPALIVE int tv_between() {
  return the().run && the().run->between() ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE double tv_pointers() {
  return the().run ? static_cast<double>(the().run->state().ips.count()) : 0;
}

// Paints the frame of the last whole tick and returns its RGBA bytes (720 × 512 × 4, rows
// from the top), or null while no whole frame is there: the page keeps the one it shows.
EMSCRIPTEN_KEEPALIVE const uint8_t* tv_frame() {
  host& h = the();
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
