// One tick without pause or frame (steppass, then applywrites) for 1,000 to 100,000 live
// pointers, with the memory each live pointer costs.
//
// The programs keep their pointer count exactly steady: a box of lanes where every "%" starts
// four pointers that bounce between "N" walls (left and right) and "Z" walls (top and bottom).
// The "%" cells stand two apart, so pointers heading the same way never meet. In the
// "exchanges" variant the cells between them hold "n" and "u", so half the horizontal steps
// queue a write into the blank lines between the lanes, which no pointer ever runs.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "interp/loader.h"
#include "interp/tick.h"
#include "interp/writes.h"
#include "runtime/console.h"

namespace {

// Every allocation of the process is counted, so the bytes a machine holds can be read off.
std::size_t livebytes = 0;
std::size_t allocations = 0;

} // namespace

// The replacements pair malloc with free on purpose; the warning sees only the operator names.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  void* p = std::malloc(size ? size : 1);
  if (!p) throw std::bad_alloc();
  livebytes += malloc_usable_size(p);
  ++allocations;
  return p;
}
void operator delete(void* p) noexcept {
  if (!p) return;
  livebytes -= malloc_usable_size(p);
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  operator delete(p);
}
#pragma GCC diagnostic pop

namespace tarvex {
namespace {

class sourcetext : public TStream {
public:
  explicit sourcetext(std::string bytes) : data(std::move(bytes)) {}
  int64_t Pos() override { return pos; }
  int64_t Size() override { return static_cast<int64_t>(data.size()); }
  int64_t Read(uint8_t* buffer, int64_t n) override {
    const int64_t moved = std::min<int64_t>(n, Size() - pos);
    std::memcpy(buffer, data.data() + pos, static_cast<size_t>(moved));
    pos += moved;
    return moved;
  }

private:
  std::string data;
  int64_t pos = 0;
};

// k "%" cells per lane and m lanes: 4 k m pointers.
std::string box(int k, int m, bool exchanges) {
  const int width = 2 * k;
  std::string wall = " " + std::string(static_cast<size_t>(width), 'Z') + "\n";
  std::string blank = std::string(static_cast<size_t>(width + 2), ' ') + "\n";
  std::string source = wall;
  for (int lane = 0; lane < m; ++lane) {
    std::string line = "N";
    for (int i = 0; i < k; ++i)
      line += exchanges ? (i % 2 ? "%u" : "%n") : "% ";
    source += line + "N\n";
    if (lane + 1 < m) source += blank;
  }
  return source + wall;
}

void tick(benchmark::State& state, bool exchanges) {
  const int pointers = static_cast<int>(state.range(0));
  const int cells = pointers / 4;
  int m = 1;
  while (m * m * 5 < cells * 2)
    ++m; // lanes about 2.5 times as long as the box is high
  const int k = cells / m;

  std::FILE* in = std::fopen("/dev/null", "r");
  std::FILE* out = std::fopen("/dev/null", "w");
  const std::size_t before = livebytes;
  {
    console con(in, out);
    machine mach(con);
    sourcetext source(box(k, m, exchanges));
    loadgrid(mach, source);
    // Warm up until every pointer has stepped and every table has reached its size.
    for (int i = 0; i < 8; ++i) {
      steppass(mach);
      applywrites(mach);
    }
    const std::size_t live = mach.ips.count();
    const std::size_t held = livebytes - before;
    const std::size_t allocsbefore = allocations;
    for (auto _ : state) {
      steppass(mach);
      applywrites(mach);
    }
    if (mach.ips.count() != live) state.SkipWithError("the pointer count changed");
    state.counters["pointers"] = static_cast<double>(live);
    state.counters["bytes_per_pointer"] = static_cast<double>(held) / static_cast<double>(live);
    state.counters["allocs_per_tick"] = benchmark::Counter(
        static_cast<double>(allocations - allocsbefore), benchmark::Counter::kAvgIterations);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(live));
  }
  std::fclose(in);
  std::fclose(out);
}

void tick_moves(benchmark::State& state) {
  tick(state, false);
}
void tick_exchanges(benchmark::State& state) {
  tick(state, true);
}

// The random box: walls of "Z" (top and bottom) and "I" (left and right) around cells drawn at
// random from mirrors (fixed and flipping), arithmetic and blanks, with a "%" in one cell of
// eight. Pointers scatter at once, so list order has nothing to do with position; duplicates
// are swept as they meet, so the count drifts down slowly. The same seed gives the same box.
std::string randombox(int pointers) {
  const int cells = pointers * 2; // a "%" in one cell of eight, four pointers each
  int height = 1;
  while (2 * height * height < cells)
    ++height;
  const int width = 2 * height;
  uint64_t state = 0x9E3779B97F4A7C15ull;
  auto next = [&state]() {
    state ^= state << 13, state ^= state >> 7, state ^= state << 17;
    return state;
  };
  const std::string inside = "oO/\\/+-~*'t=     ";
  std::string wall(static_cast<size_t>(width) + 3, 'Z');
  wall.front() = wall[wall.size() - 2] = 'I';
  wall.back() = '\n';
  std::string source = wall;
  for (int y = 0; y < height; ++y) {
    source += 'I';
    for (int x = 0; x < width; ++x)
      source += next() % 8 == 0 ? '%' : inside[next() % inside.size()];
    source += "I\n";
  }
  return source + wall;
}

void tick_randombox(benchmark::State& state) {
  std::FILE* in = std::fopen("/dev/null", "r");
  std::FILE* out = std::fopen("/dev/null", "w");
  {
    console con(in, out);
    machine mach(con);
    sourcetext source(randombox(static_cast<int>(state.range(0))));
    loadgrid(mach, source);
    // Past the first ticks, in which most of the early duplicates are swept.
    for (int i = 0; i < 20; ++i) {
      steppass(mach);
      applywrites(mach);
    }
    const std::size_t live = mach.ips.count();
    int64_t steps = 0;
    for (auto _ : state) {
      steps += static_cast<int64_t>(mach.ips.count());
      steppass(mach);
      applywrites(mach);
    }
    state.counters["pointers"] = static_cast<double>(live);
    state.SetItemsProcessed(steps);
  }
  std::fclose(in);
  std::fclose(out);
}

// The floor the tick is measured against: the tile workload of bench/process.sh (3 by 3 tiles
// of "o%O" / "O o" / "xxx", 100 or 1,000 across, 500 down) stepped by a flat loop over an array of
// pointers that only moves them and turns them on the two fixed mirrors, with no list, no
// duplicate sweep and no write queue. It gives no results anyone reads; it shows how much of
// a tick is the stepping itself.
void tick_floor_tiles(benchmark::State& state) {
  const auto width = static_cast<int32_t>(state.range(0));
  std::vector<Text> lines;
  for (int down = 0; down < 500; ++down)
    for (const char16_t* row : {u"o%O", u"O o", u"xxx"}) {
      Text line;
      for (int across = 0; across < width; ++across)
        line += row;
      lines.push_back(line + u" ");
    }
  // The two pointers of each tile that keep circling, as they stand after the first tick.
  std::vector<ip> ips;
  for (int32_t down = 0; down < 500; ++down)
    for (int32_t across = 0; across < width; ++across) {
      ips.push_back(ip{.x = 3 * across + 1, .y = 3 * down, .dir = DOWN});
      ips.push_back(ip{.x = 3 * across + 3, .y = 3 * down, .dir = DOWN});
    }
  static constexpr uint8_t slash[4] = {RIGHT, LEFT, DOWN, UP},
                           backslash[4] = {LEFT, RIGHT, UP, DOWN};
  for (auto _ : state) {
    for (ip& p : ips) {
      p.x += p.dir == RIGHT ? 1 : p.dir == LEFT ? -1 : 0;
      p.y += p.dir == DOWN ? 1 : p.dir == UP ? -1 : 0;
      const char16_t cell = lines[static_cast<size_t>(p.y)][static_cast<size_t>(p.x - 1)];
      if (cell == u'o') p.dir = slash[p.dir];
      if (cell == u'O') p.dir = backslash[p.dir];
    }
    benchmark::DoNotOptimize(ips.data());
  }
  state.counters["pointers"] = static_cast<double>(ips.size());
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(ips.size()));
}

BENCHMARK(tick_floor_tiles)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

BENCHMARK(tick_randombox)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK(tick_moves)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(tick_exchanges)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tarvex
