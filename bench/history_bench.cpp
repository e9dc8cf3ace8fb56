// What the window's history costs a tick: the copies of a 100,000-pointer state taken after
// each pass (the grid shared, as when nothing wrote to it), the restore of a whole copy, showing
// a past tick, and an edit on a run whose history is full.
#include <benchmark/benchmark.h>

#include "bench/scene.h"
#include "runtime/console.h"
#include "runtime/memstream.h"
#include "session/history.h"
#include "session/session.h"

namespace tarvex {
namespace {

struct bigstate {
  console con{stdin, stdout};
  machine m{con};
  bigstate() {
    bench::fillgrid(m, 1500, 300);
    bench::addpointers(m, 100000,
                       [](int i) { return std::pair(1 + (i % 100) * 3, (i / 100) * 3 / 2); });
  }
};

void BM_history_record_100000_pointers(benchmark::State& state) {
  bigstate s;
  // The page's budget, filled before the count starts, so the figure is that of a full
  // history: every WHOLEEVERY-th record copies the state, the others keep the tick's number.
  history kept(int64_t{64} << 20);
  for (int warm = 0; warm < 400; ++warm)
    kept.record(s.m);
  for (auto _ : state)
    kept.record(s.m);
  // Whole copies every history::WHOLEEVERY ticks, the ticks between kept by number alone.
  state.counters["bytes_per_copy"] =
      static_cast<double>(kept.bytes()) / static_cast<double>(kept.size());
  state.counters["copies_kept"] = static_cast<double>(kept.size());
}
BENCHMARK(BM_history_record_100000_pointers)->Unit(benchmark::kMillisecond);

void BM_history_restore_100000_pointers(benchmark::State& state) {
  bigstate s;
  const snapshot copy = takesnapshot(s.m, nullptr);
  for (auto _ : state) {
    machine shown(s.con);
    restoresnapshot(shown, copy);
    benchmark::DoNotOptimize(shown.ips.count());
  }
}
BENCHMARK(BM_history_restore_100000_pointers)->Unit(benchmark::kMillisecond);

// A person's edit on a run of 100,000 pointers (the tiles of bench/process.sh) whose history is
// full: the tick alone, and an edit with the tick after it. The edit copies the edited tick's
// state once, never the history.
struct tilerun {
  std::FILE* sink = std::fopen("/dev/null", "w");
  console con{stdin, sink};
  session run{con, {.historybytes = int64_t{256} << 20}};
  tilerun() {
    std::string source;
    for (int down = 0; down < 500; ++down)
      for (const char* row : {"o%O", "O o", "xxx"}) {
        for (int across = 0; across < 100; ++across)
          source += row;
        source += "\n";
      }
    TMemoryStream stream(source);
    run.load(stream, u"tiles");
    while (run.past().bytes() < (int64_t{250} << 20))
      run.tick();
  }
  ~tilerun() { std::fclose(sink); }
};

void BM_edit_then_tick_100000_pointers(benchmark::State& state) {
  tilerun tiles;
  const bool editing = state.range(0) != 0;
  int64_t column = 0;
  for (auto _ : state) {
    // A cell under the grid's last line, which no pointer reaches: the run stays the same.
    if (editing) tiles.run.change(edit::cell({1 + column++ % 300, 1500}, u'x'));
    tiles.run.tick();
  }
  state.counters["copies_kept"] = static_cast<double>(tiles.run.past().size());
}
BENCHMARK(BM_edit_then_tick_100000_pointers)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Going back 1 to 8 ticks from the newest on a full history and showing the tick: a whole copy
// restored, or one stepped again through up to WHOLEEVERY - 1 ticks from the whole copy before.
void BM_show_past_tick_100000_pointers(benchmark::State& state) {
  tilerun tiles;
  int64_t distance = 0;
  for (auto _ : state) {
    tiles.run.resume();
    for (int64_t back = distance++ % 8; back >= 0; --back)
      tiles.run.back();
    benchmark::DoNotOptimize(tiles.run.shown().tick);
  }
}
BENCHMARK(BM_show_past_tick_100000_pointers)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tarvex
