// The cost of writing one display frame as a PNG file, for a frame painted with the shipped
// font: a sparse one (400 characters, 20 pointers) and a full one (43 by 90 characters, 1,000
// pointers). Items per second are frames per second; "bytes" is the size of one file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/picture.h"
#include "display/canvas.h"
#include "display/font.h"
#include "display/frame.h"
#include "interp/machine.h"
#include "runtime/console.h"
#include "runtime/streamnames.h"

namespace {

using namespace tarvex;

// Paints `lines` grid lines of `columns` characters and `pointers` pointers; false without
// the font.
bool paint(canvas& surface, int lines, int columns, int pointers) {
  console con(stdin, stdout);
  machine m(con);
  for (int l = 0; l < lines; ++l) {
    Text line;
    for (int c = 0; c < columns; ++c)
      line.push_back(static_cast<char16_t>(33 + (l * columns + c) % 94));
    line.push_back(u' ');
    m.grid.lines.push_back(line);
  }
  m.grid.linecount = lines;
  m.grid.maxlen = columns + 1;
  for (int i = 0; i < pointers; ++i) {
    ip& p = m.ips.append();
    p.x = i % columns;
    p.y = (i / columns) % (lines - 1);
    p.dir = i % 4;
    p.val[0] = static_cast<uint8_t>(i);
    p.val[1] = static_cast<uint8_t>(255 - i % 256);
  }
  surface.SetBlend(BLEND_ALPHA);
  glyphfont font = makefont(surface);
  if (!loadfont(surface, font, fromcstring(TARVEX_SOURCE_DIR "/display/curses.bit"))) return false;
  paintframe(surface, font.atlas, m);
  return true;
}

void BM_writepng_frame(benchmark::State& state) {
  canvas surface;
  if (!paint(surface, int(state.range(0)), int(state.range(1)), int(state.range(2)))) {
    state.SkipWithError("display/curses.bit not found");
    return;
  }
  char dir[] = "/tmp/tarvex-bench-XXXXXX";
  if (!mkdtemp(dir)) {
    state.SkipWithError("cannot make a temporary directory");
    return;
  }
  // Each frame gets a name of its own, as a run of frames would, so no rename replaces an
  // older file (which some file systems answer by writing the new one out at once).
  std::string base = std::string(dir) + "/frame-";
  int64_t frame = 0;
  for (auto _ : state) {
    std::string path = base + std::to_string(frame++) + ".png";
    if (pictureresult failed =
            writepng(path, surface.pixels().data(), canvas::WIDTH, canvas::HEIGHT)) {
      state.SkipWithError(failed->reason.c_str());
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
  std::error_code ignored;
  state.counters["bytes"] = double(std::filesystem::file_size(base + "0.png", ignored));
  std::filesystem::remove_all(dir, ignored);
}
BENCHMARK(BM_writepng_frame)
    ->ArgNames({"lines", "columns", "pointers"})
    ->Args({10, 40, 20})
    ->Args({43, 90, 1000})
    ->Unit(benchmark::kMillisecond);

} // namespace
