// The cost of painting one frame, drawn with the shipped font, without presenting: a full 43 by
// 90 grid with 1,000 pointers on it, and a grid of 300 by 1,500 with 100,000 pointers spread
// evenly over it, of which about 1 % stand in the window.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "display/canvas.h"
#include "display/font.h"
#include "display/frame.h"
#include "interp/machine.h"
#include "runtime/console.h"
#include "runtime/streamnames.h"

namespace {

using namespace tarvex;

void BM_paintframe_full_grid_1000_pointers(benchmark::State& state) {
  console con(stdin, stdout);
  machine m(con);
  for (int l = 0; l < 43; ++l) {
    Text line;
    for (int c = 0; c < 90; ++c)
      line.push_back(static_cast<char16_t>(33 + (l * 90 + c) % 94));
    line.push_back(u' ');
    m.grid.lines.push_back(line);
  }
  m.grid.linecount = 43;
  m.grid.maxlen = 91;
  for (int i = 0; i < 1000; ++i) {
    ip& p = m.ips.append();
    p.x = i % 90;
    p.y = (i / 90) % 42;
    p.dir = i % 4;
    p.val[0] = static_cast<uint8_t>(i);
    p.val[1] = static_cast<uint8_t>(255 - i % 256);
  }

  canvas surface;
  surface.SetBlend(BLEND_ALPHA);
  glyphfont font = makefont(surface);
  if (!loadfont(surface, font, fromcstring(TARVEX_SOURCE_DIR "/display/curses.bit"))) {
    state.SkipWithError("display/curses.bit not found");
    return;
  }

  for (auto _ : state) {
    paintframe(surface, font.atlas, m);
    benchmark::DoNotOptimize(surface.pixels().data());
  }
}
BENCHMARK(BM_paintframe_full_grid_1000_pointers)->Unit(benchmark::kMillisecond);

void BM_paintframe_100000_pointers_1_percent_in_view(benchmark::State& state) {
  console con(stdin, stdout);
  machine m(con);
  constexpr int columns = 300, lines = 1500;
  for (int l = 0; l < lines; ++l) {
    Text line;
    for (int c = 0; c < columns; ++c)
      line.push_back(static_cast<char16_t>(33 + (l * columns + c) % 94));
    line.push_back(u' ');
    m.grid.lines.push_back(line);
  }
  m.grid.linecount = lines;
  m.grid.maxlen = columns + 1;
  // In list order row by row, as a loaded program's pointers are: 100 on each of 1,000 lines.
  for (int i = 0; i < 100000; ++i) {
    ip& p = m.ips.append();
    p.x = 1 + (i % 100) * 3;
    p.y = (i / 100) * 3 / 2;
    p.dir = i % 4;
    p.val[0] = static_cast<uint8_t>(i);
    p.val[1] = static_cast<uint8_t>(255 - i % 256);
  }
  size_t inview = 0;
  m.ips.each([&](const ip& p) { inview += p.x < 90 && p.y < 42; });

  canvas surface;
  surface.SetBlend(BLEND_ALPHA);
  glyphfont font = makefont(surface);
  if (!loadfont(surface, font, fromcstring(TARVEX_SOURCE_DIR "/display/curses.bit"))) {
    state.SkipWithError("display/curses.bit not found");
    return;
  }

  for (auto _ : state) {
    paintframe(surface, font.atlas, m);
    benchmark::DoNotOptimize(surface.pixels().data());
  }
  state.counters["in_view"] = static_cast<double>(inview);
}
BENCHMARK(BM_paintframe_100000_pointers_1_percent_in_view)->Unit(benchmark::kMillisecond);

} // namespace
