// What the window's history costs a tick: the copy of a 100,000-pointer state taken after each
// pass (the grid shared, as when nothing wrote to it), and the restore that shows a past tick.
#include <benchmark/benchmark.h>

#include "bench/scene.h"
#include "runtime/console.h"
#include "session/history.h"

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
  history kept(int64_t{256} << 20);
  for (auto _ : state)
    kept.record(s.m);
  state.counters["bytes_per_copy"] = static_cast<double>(kept.at(kept.size() - 1).bytes());
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

} // namespace
} // namespace tarvex
