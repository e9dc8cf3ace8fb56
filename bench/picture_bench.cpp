// The cost of writing one display frame as a PNG file, for a frame painted with the shipped
// font: a sparse one (400 characters, 20 pointers) and a full one (43 by 90 characters, 1,000
// pointers). Items per second are frames per second; "bytes" is the size of one file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/picture.h"
#include "bench/scene.h"
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
  bench::fillgrid(m, lines, columns);
  bench::addpointers(m, pointers,
                     [&](int i) { return std::pair(i % columns, (i / columns) % (lines - 1)); });
  glyphfont font;
  if (!bench::setupdisplay(surface, font)) return false;
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
