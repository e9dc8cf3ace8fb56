// The cost of painting one frame, drawn with the shipped font, without presenting: a full 43 by
// 90 grid with 1,000 pointers on it, and a grid of 300 by 1,500 with 100,000 pointers spread
// evenly over it, of which about 1 % stand in the window.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench/scene.h"
#include "display/canvas.h"
#include "display/font.h"
#include "display/frame.h"
#include "interp/machine.h"
#include "runtime/console.h"
#include "runtime/streamnames.h"

namespace {

using namespace tarvex;

// Paints the frame of `m` once an iteration, on the display as start-up sets it up.
void paintframes(benchmark::State& state, const machine& m) {
  canvas surface;
  glyphfont font;
  if (!bench::setupdisplay(surface, font)) {
    state.SkipWithError("display/curses.bit not found");
    return;
  }

  for (auto _ : state) {
    paintframe(surface, font.atlas, m);
    benchmark::DoNotOptimize(surface.pixels().data());
  }
}

void BM_paintframe_full_grid_1000_pointers(benchmark::State& state) {
  console con(stdin, stdout);
  machine m(con);
  bench::fillgrid(m, 43, 90);
  bench::addpointers(m, 1000, [](int i) { return std::pair(i % 90, (i / 90) % 42); });

  paintframes(state, m);
}
BENCHMARK(BM_paintframe_full_grid_1000_pointers)->Unit(benchmark::kMillisecond);

void BM_paintframe_100000_pointers_1_percent_in_view(benchmark::State& state) {
  console con(stdin, stdout);
  machine m(con);
  constexpr int columns = 300, lines = 1500;
  bench::fillgrid(m, lines, columns);
  // In list order row by row, as a loaded program's pointers are: 100 on each of 1,000 lines.
  bench::addpointers(m, 100000,
                     [](int i) { return std::pair(1 + (i % 100) * 3, (i / 100) * 3 / 2); });
  size_t inview = 0;
  m.ips.each([&](const ip& p) { inview += p.x < 90 && p.y < 42; });

  paintframes(state, m);
  state.counters["in_view"] = static_cast<double>(inview);
}
BENCHMARK(BM_paintframe_100000_pointers_1_percent_in_view)->Unit(benchmark::kMillisecond);

} // namespace
