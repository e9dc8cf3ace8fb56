// Arbitrary bytes as a program and its console input: loading, up to 100 ticks with the
// pointer limit in force and a budget of steps, and the last state's frame for one input in
// sixteen (a frame costs more than many ticks, and the font harness draws frames too). The first
// byte says how much of the rest is the program; what follows the program is typed at the console.
#include <cstdio>

#include "display/canvas.h"
#include "display/font.h"
#include "display/frame.h"
#include "interp/loader.h"
#include "interp/tick.h"
#include "runtime/console.h"
#include "runtime/memstream.h"

using namespace tarvex;

namespace {

constexpr int64_t TICKS = 100;
constexpr size_t MAXPOINTERS = 20000;
constexpr int FRAMEEVERY = 16; // inputs
// Pointer steps an input may take in all, so that wide programs do not starve the search.
constexpr int64_t STEPS = 20000;

struct display {
  canvas surface;
  glyphfont font;
  display() {
    // A font of stripes: every glyph has ink, so every draw changes pixels.
    TMemoryStream sheet(std::string(FONTFILESIZE, '\x5a'));
    loadfont(font, sheet);
  }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static display shown;
  static std::FILE* nowhere = std::fopen("/dev/null", "w");
  if (size == 0) return 0;
  const size_t programsize = (size - 1) * data[0] / 255;
  const std::string program(reinterpret_cast<const char*>(data + 1), programsize);
  std::string typed(reinterpret_cast<const char*>(data + 1 + programsize), size - 1 - programsize);
  std::FILE* input = fmemopen(typed.empty() ? nullptr : typed.data(), typed.size(), "r");
  if (!input) input = std::fopen("/dev/null", "r");

  {
    console con(input, nowhere);
    machine m(con);
    m.maxpointers = MAXPOINTERS;
    m.poll = [](void* steps) { return *static_cast<int64_t*>(steps) >= STEPS; };
    m.pollcontext = &m.steps;
    TMemoryStream source(program);
    loadgrid(m, source);
    tickoutcome outcome = currentoutcome(m);
    while (outcome.state == tickstate::going && m.tick < TICKS) {
      outcome = steppass(m);
      endtick(m, outcome);
    }
    static int inputs = 0;
    if (++inputs % FRAMEEVERY == 0) paintframe(shown.surface, shown.font.atlas, m);
  }
  std::fclose(input);
  return 0;
}
