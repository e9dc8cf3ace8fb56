// The tick without display: the step pass with its duplicate sweep, the stop test, and the
// proof that the indexed sweep and write set act exactly as their plain quadratic forms.
#include "interp/tick.h"

#include <gtest/gtest.h>

#include <random>

#include "interp/update.h"
#include "interp/writes.h"
#include "tests/interp/rig.h"

using namespace tarvex;
using namespace tarvex::testing;

TEST(tick, percent_plus_dot_at_writes_1_in_three_ticks) {
  rig r;
  r.load("%+.@");
  EXPECT_EQ(runticks(r.m, 100).state, tickstate::halted);
  EXPECT_EQ(r.m.tick, 3);
  EXPECT_EQ(r.output(), "1");
}

// Pointers left after some ticks; none of these programs prints or changes the grid.
TEST(tick, sweep_and_halt_remove_pointers_before_they_act) {
  const std::tuple<std::vector<std::string>, std::vector<const char*>, int, const char*> cases[] = {
      // Both reach the ">" at (3, 0) heading right in tick 2: the one stepped last survives.
      {{"  >  ", "     ", "     "}, {"1,0 R 1,0", "3,2 U 2,0"}, 2, "3,0 R 2,0; "},
      // A newborn is spared; once stepped it is removed before it moves on to print.
      {{"   .   "}, {"1,0 R 7,0", "2,0 R 9,0"}, 1, "2,0 R 7,0; 3,0 R 9,0; "},
      {{"   .   "}, {"1,0 R 7,0", "2,0 R 9,0"}, 2, "3,0 R 7,0; "},
      // Removed by the "x", a pointer still sweeps the one that "J" shifted there.
      {{"  x  ", "  J  "}, {"1,0 R 0,0", "2,1 R 1,0"}, 2, ""},
      // Far past the longest line, where no pointer stands but one that jumped there.
      {{"$$ "}, {"0,0 R 200,0", "1,0 R 200,0"}, 1, "200,0 R 200,0; "},
      // "@": the pointer after it does not print, the queued flip of the "/" is dropped.
      {{"/   ", "@   ", ".   "}, {"0,0 R", "0,1 R", "0,2 R 5,0"}, 9, ""}};
  for (const auto& [lines, ips, ticks, after] : cases) {
    rig r;
    r.lines(lines);
    for (const char* p : ips)
      r.put(p);
    runticks(r.m, ticks);
    EXPECT_EQ(pointers(r.m), after) << lines[0];
    EXPECT_EQ(r.output(), "");
    for (size_t y = 0; y < lines.size(); ++y)
      EXPECT_EQ(r.line(y), lines[y]);
  }
}

// The plain forms: a pass over the whole list after every step, and over the whole queue for
// every write. The counters show that the random programs below exercise both.
long sweptpointers = 0, droppedwrites = 0;

void quadraticsteppass(machine& m) {
  auto pass = m.ips.begin_pass();
  while (ip* p = pass.next()) {
    update(m, *p);
    auto sweep = m.ips.begin_pass();
    while (ip* c = sweep.next())
      if (c != p && c->x == p->x && c->y == p->y && c->dir == p->dir && c->n == 0 && p->n == 0)
        m.ips.remove(*c), ++sweptpointers;
  }
  m.ips.release();
}

void quadraticapplywrites(machine& m) {
  auto pass = m.writes.begin_pass();
  while (buf* w = pass.next()) {
    auto sweep = m.writes.begin_pass();
    while (buf* c = sweep.next())
      if (c != w && c->x == w->x && c->y == w->y) m.writes.remove(*c), ++droppedwrites;
    writecell(m.grid, w->x, w->y, w->rep);
  }
  m.writes.clear();
  m.writes.release();
}

// No ":" (input), "d" or "M" (a zero divisor ends the process). Splits through neighbouring
// "#" cells never end within their tick, so "#" comes only in programs without exchanges (the
// only instructions that could write one) and never next to another "#".
std::string randomprogram(std::mt19937& random) {
  const std::string alphabet = "%%%%%%          ><^v/\\/\\OoNZINZIx?!}{8Jj+-~=0&|X`.,;\"$t*'UDLR" +
                               std::string(random() % 2 == 0 ? "####" : "nu()nu()");
  const size_t width = 3 + random() % 20, height = 1 + random() % 14;
  std::string source, above;
  for (size_t y = 0; y < height; ++y) {
    std::string line;
    for (size_t x = 0, length = width - random() % 3; x < length; ++x) {
      char c = random() % 400 == 0 ? '@' : alphabet[random() % alphabet.size()];
      if (c == '#' && ((x > 0 && line[x - 1] == '#') || (x < above.size() && above[x] == '#')))
        c = ' ';
      line.push_back(c);
    }
    source += line + "\n";
    above = line;
  }
  return source;
}

// Everything a run shows: pointers, queued writes, output, the halt flag and the grid.
std::string state(rig& r) {
  std::string all = pointers(r.m) + queued(r.m) + "|" + r.output() + std::to_string(r.m.halted);
  for (const Text& line : r.m.grid.lines)
    all += "|" + std::string(line.begin(), line.end()); // zero codes included
  return all;
}

TEST(tick, indexed_sweep_and_write_set_act_exactly_as_the_quadratic_forms) {
  std::mt19937 random(2024);
  int halts = 0;
  size_t mostpointers = 0;
  for (int program = 0; program < 400; ++program) {
    const std::string source = randomprogram(random);
    SCOPED_TRACE(source);
    rig fast, plain;
    fast.load(source);
    plain.load(source);
    for (int tick = 1; tick <= 40; ++tick) {
      steppass(fast.m);
      quadraticsteppass(plain.m);
      ASSERT_EQ(state(fast), state(plain)) << "tick " << tick;
      mostpointers = std::max(mostpointers, fast.m.ips.count());
      if (standing(fast.m).state != tickstate::going) break;
      applywrites(fast.m);
      quadraticapplywrites(plain.m);
    }
    ASSERT_EQ(state(fast), state(plain));
    halts += fast.m.halted;
  }
  // Meaningful only if sweeps removed pointers, writes were dropped, runs halted, lists grew.
  EXPECT_GT(sweptpointers, 4000);
  EXPECT_GT(droppedwrites, 1000);
  EXPECT_GT(halts, 20);
  EXPECT_GT(mostpointers, 100u);
}
