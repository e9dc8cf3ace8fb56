// The tick without display: the step pass with its duplicate sweep, the stop test, and the
// proof that the indexed sweep and write set act exactly as their plain quadratic forms.
#include "interp/tick.h"

#include <gtest/gtest.h>

#include <random>

#include "interp/update.h"
#include "interp/writes.h"
#include "session/edit.h"
#include "tests/support/quadratic.h"
#include "tests/support/rig.h"

using namespace tarvex;
using namespace tarvex::testing;

// "@" and a fault stop the pass where they happen: no pointer after them prints, and the
// writes of the tick that halts are dropped.
TEST(tick, halt_and_fault_stop_the_pass) {
  const std::pair<std::vector<std::string>, std::vector<ip>> cases[] = {
      {{"/   ", "@   ", ".   "}, {at(0, 0, RIGHT), at(0, 1, RIGHT), at(0, 2, RIGHT, 5)}},
      {{" d. "}, {at(1, 0, RIGHT), at(2, 0, RIGHT)}}};
  for (const auto& [lines, ips] : cases) {
    rig r;
    r.lines(lines);
    for (const ip& p : ips)
      r.put(p);
    EXPECT_NE(r.run(9).state, tickstate::going);
    EXPECT_EQ(r.output(), "");
    for (size_t y = 0; y < lines.size(); ++y)
      EXPECT_EQ(r.line(y), lines[y]);
  }
}

// Far past the longest line, where only a jump can take a pointer, the sweep still finds the
// pointer already there.
TEST(tick, a_jump_far_past_the_longest_line_still_sweeps) {
  rig r;
  r.lines({"$$ "});
  r.put(at(0, 0, RIGHT, 200));
  r.put(at(1, 0, RIGHT, 200));
  steppass(r.m);
  ASSERT_EQ(r.m.ips.count(), 1u);
  ip survivor = at(200, 0, RIGHT, 200);
  survivor.n = 0;
  r.m.ips.each([&](const ip& p) { EXPECT_EQ(fields(p), fields(survivor)); });
}

// The budget stops a split storm inside the tick it never ends, soon after passing it, and
// counts what the host holds: a run that fits goes on until the host's part tips it over,
// and then the next pass stops before any pointer steps.
TEST(tick, the_memory_budget_stops_a_pass_and_counts_the_hosts_part) {
  constexpr size_t MIB = 1 << 20;
  rig storm;
  storm.load(std::string("##%\0##", 6));
  storm.m.maxbytes = MIB;
  EXPECT_EQ(steppass(storm.m).state, tickstate::overmemory);
  EXPECT_EQ(completedticks(storm.m), 0);
  EXPECT_LT(storm.m.overmemory, 2 * MIB);

  rig circle;
  circle.load("o%O\nO o\n");
  circle.m.maxbytes = MIB;
  EXPECT_EQ(circle.run(50).state, tickstate::going);
  circle.m.hostbytes = MIB;
  const int64_t steps = circle.m.steps;
  EXPECT_EQ(circle.run(1).state, tickstate::overmemory);
  EXPECT_EQ(circle.m.steps, steps);
}

// Whether the next step reads input: it moves (or holds) onto ":" outside string mode.
TEST(tick, readsinput_looks_one_step_ahead) {
  auto held = [](ip p, uint8_t wait) { return p.wait = wait, p; };
  auto quoting = [](ip p) { return p.printing = 1, p; };
  const std::tuple<ip, bool> cases[] = {{at(0, 0, RIGHT), true},
                                        {at(1, 0, RIGHT), false},
                                        {held(at(0, 0, RIGHT), 1), true},
                                        {held(at(0, 0, RIGHT), 2), false},
                                        {held(at(1, 0, UP), 2), true},
                                        {quoting(at(0, 0, RIGHT)), false},
                                        {at(1, 1, UP), true},
                                        {at(2, 0, LEFT), true},
                                        {at(3, 0, RIGHT), false},
                                        {at(1, 1, DOWN), false}};
  rig r;
  r.lines({":  ", ":"});
  for (const auto& [p, reads] : cases)
    EXPECT_EQ(readsinput(r.m, p), reads) << ::testing::PrintToString(fields(p));
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

// Everything a run shows: the machine and the output.
std::string state(rig& r) {
  return everything(r.m) + "|" + r.output();
}

TEST(tick, indexed_sweep_and_write_set_act_exactly_as_the_quadratic_forms) {
  std::mt19937 random(2024);
  int halts = 0;
  size_t mostpointers = 0;
  for (int program = 0; program < 400; ++program) {
    std::string source = randomprogram(random);
    // Every fourth program moved down and right across many tile edges of the index, in a box
    // widened and lengthened past the size kept as one array, so its pointers cross tile
    // edges in any place.
    if (program % 4 == 3) {
      const std::string left(random() % 400, ' ');
      std::string moved(random() % 80, '\n');
      for (size_t from = 0, end; (end = source.find('\n', from)) != std::string::npos;
           from = end + 1)
        moved += left + source.substr(from, end + 1 - from);
      source = moved + std::string(300, '\n') + std::string(4000 + random() % 3000, ' ') + "x\n";
    }
    SCOPED_TRACE(source);
    rig fast, plain, pointerwise;
    // The fast form shares every pass between two threads when it can.
    fast.m.threads = 2;
    fast.m.parallelfrom = 0;
    fast.load(source);
    plain.load(source);
    pointerwise.load(source);
    for (int tick = 1; tick <= 40; ++tick) {
      steppass(fast.m);
      quadraticsteppass(plain.m);
      ASSERT_EQ(state(fast), state(plain)) << "tick " << tick;
      // The same pass a pointer at a time, finished from a different point each tick.
      passstepper stepper(pointerwise.m);
      for (int i = 0; i < tick % 5 && stepper.step(); ++i) {
      }
      stepper.finish();
      ASSERT_EQ(state(pointerwise), state(fast)) << "tick " << tick;
      if (currentoutcome(fast.m).state == tickstate::going) applywrites(pointerwise.m);
      mostpointers = std::max(mostpointers, fast.m.ips.count());
      if (currentoutcome(fast.m).state != tickstate::going) break;
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

// Tiles of random cells walled by "Z" above and below and "I" at the sides, each started by
// one "%", so most pointers stay in their own tile and parts of the list step apart; a few
// walls are open and a few cells jump, so some cross into the tiles of other parts. Cells that
// print, read, write, split, halt or fault come one in `rare` (never when 0).
std::string tiledprogram(std::mt19937& random, int across, int down, int rare) {
  const std::string own = "     oO><^vNZIx?!}{8Jj+-~=0&|X`t*'UDLR";
  const std::string shared = "/\\.,;:#@dMnu()\"";
  std::string source;
  auto cell = [&](char wall) {
    if (wall == '%' || (wall != ' ' && random() % 200 != 0)) return wall;
    if (random() % 6000 == 0) return '$';
    if (rare != 0 && static_cast<int>(random() % static_cast<unsigned>(rare)) == 0)
      return shared[random() % shared.size()];
    return own[random() % own.size()];
  };
  for (int row = 0; row < down; ++row)
    for (int y = 0; y < 5; ++y, source += '\n')
      for (int tile = 0; tile < across; ++tile)
        for (int x = 0; x < 7; ++x)
          source += cell(y == 0 || y == 4   ? 'Z'
                         : x == 0 || x == 6 ? 'I'
                         : y == 2 && x == 3 ? '%'
                                            : ' ');
  return source;
}

// The pass in parts gives exactly what one loop gives: tens of thousands of pointers that
// split, write, print, read and collide, on one, two and three threads, with the same
// pointers, queued writes, grid, output and ending after every tick, also when a host edits
// cells and pointers between ticks.
TEST(tick, big_random_programs_step_alike_on_one_two_and_three_threads) {
  std::mt19937 random(30);
  int64_t inparts = 0;
  size_t mostpointers = 0;
  for (const int rare : {0, 0, 40000, 3000, 300}) {
    const std::string source = tiledprogram(random, 80, 90, rare);
    rig runs[3] = {rig("7\n0\n300\n"), rig("7\n0\n300\n"), rig("7\n0\n300\n")};
    for (int k = 0; k < 3; ++k) {
      runs[k].m.threads = k + 1;
      runs[k].load(source);
    }
    mostpointers = std::max(mostpointers, runs[0].m.ips.count());
    // A cell at the end of a middle line, where no pointer goes, comes to print.
    const cellpos printer = {runs[0].m.grid.maxlen, runs[0].m.grid.linecount / 2};
    for (rig& r : runs)
      applyedit(r.m, edit::cell(printer, u'.'));
    int edits = 0;
    for (int tick = 1; tick <= 24; ++tick) {
      tickoutcome outcomes[3];
      for (int k = 0; k < 3; ++k)
        outcomes[k] = steppass(runs[k].m);
      for (int k = 1; k < 3; ++k) {
        ASSERT_EQ(outcomes[k].state, outcomes[0].state) << "tick " << tick;
        ASSERT_EQ(state(runs[k]), state(runs[0])) << "tick " << tick << ", threads " << k + 1;
        ASSERT_EQ(std::pair(runs[k].m.steps, runs[k].m.peak),
                  std::pair(runs[0].m.steps, runs[0].m.peak));
      }
      for (int k = 0; k < 3; ++k)
        endtick(runs[k].m, outcomes[k]);
      if (outcomes[0].state != tickstate::going) break;
      // A host's edits between ticks, each right after a pass in parts that surveyed the
      // next one, which must not outlive them: the first pointer is moved to just before the
      // printing cell, and the next time the cell it steps onto next becomes a halt.
      if (edits < 2 && !runs[2].m.parts.foreseen.empty() && runs[2].m.parts.foreseenready) {
        const ip& p = *runs[0].m.ips.begin_pass().next();
        const int32_t dx = DX[p.dir & 3], dy = DY[p.dir & 3];
        const edit e = edits++ == 0 ? edit::move(p.id, {printer.x - dx, printer.y - dy})
                                    : edit::cell({p.x + dx, p.y + dy}, u'@');
        for (rig& r : runs)
          if (editrefusal(r.m, e).empty()) applyedit(r.m, e);
      }
    }
    inparts += runs[1].m.parts.passes + runs[2].m.parts.passes;
  }
  // Meaningful only if tens of thousands of pointers ran and many passes went in parts.
  EXPECT_GT(mostpointers, 20000u);
  EXPECT_GT(inparts, 10);
}

// A pointer from the part before steps onto the cell another pointer is about to leave, and
// is turned to that pointer's direction: one loop, stepping it first, sweeps the other away,
// so the parts must meet on that cell. The part before is long and the pointer comes last in
// it, while the other leads the part after, so two threads step the two apart in the wrong
// order unless the survey noted the cell the second one leaves.
TEST(tick, a_step_onto_the_cell_a_later_part_leaves_joins_the_parts) {
  constexpr int PARTSIZE = 400, PARTS = 16, CX = 5, CY = 36;
  std::vector<std::string> grid;
  for (int y = 0; y < 80; ++y) { // pointers bouncing in "N N" segments, a hundred a line
    std::string segments;
    for (int s = 0; s < 100; ++s)
      segments += "N N";
    grid.push_back(y >= CY - 4 && y <= CY + 1 ? std::string(10, ' ') : segments);
  }
  grid[CY][CX - 1] = '>';
  rig loop, parts;
  parts.m.threads = 2;
  parts.m.parallelfrom = 0;
  for (rig* r : {&loop, &parts}) {
    r->lines(grid);
    int filler = 0;
    auto fill = [&](int count) {
      for (int k = 0; k < count; ++k, ++filler)
        r->put(at(3 * (filler % 100) + 2, filler / 100 + (filler >= 3200 ? 10 : 0), RIGHT));
    };
    fill(PARTSIZE * PARTS / 2 - 1);
    r->put(at(CX, CY - 3, DOWN));  // last of its part: reaches the '>' on the third tick
    r->put(at(CX - 2, CY, RIGHT)); // first of the next: turned there on the second tick
    fill(PARTSIZE * PARTS / 2 - 1);
  }
  for (int tick = 1; tick <= 4; ++tick) {
    loop.run(1), parts.run(1);
    ASSERT_EQ(everything(parts.m), everything(loop.m)) << "tick " << tick;
  }
  EXPECT_EQ(loop.m.ips.count(), static_cast<size_t>(PARTSIZE * PARTS - 1)); // one was swept
  EXPECT_EQ(parts.m.parts.passes, 4);
}
