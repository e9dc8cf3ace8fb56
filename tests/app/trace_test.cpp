// The state trace read back: on random programs run by the built program, every line gives the
// pointers, the queued writes and the console bytes of its tick as the interpreter stepped by
// hand has them, and the grid follows from the loaded one, the lengths and the writes applied
// after each line. A file that stops taking bytes keeps whole lines only.
#include "app/trace.h"

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <nlohmann/json.hpp>

#include <random>
#include <set>
#include <sstream>

#include "interp/grid.h"
#include "interp/tick.h"
#include "tests/support/process.h"
#include "tests/support/rig.h"

namespace tarvex {
namespace {

using numbers = std::vector<long long>;
using nlohmann::json;

// The whole numbers of an array, however deeply nested, in order.
numbers flat(const json& array) {
  numbers all;
  for (const json& item : array)
    if (item.is_array())
      for (long long n : flat(item))
        all.push_back(n);
    else
      all.push_back(item.get<long long>());
  return all;
}

// The bytes of the "out" string: one character a byte.
std::string out(const json& line) {
  return lowbytes(fromutf8name(line["out"].get<std::string>()));
}

TEST(trace, each_line_rebuilds_its_tick_and_the_writes_rebuild_the_grid) {
  std::mt19937 random(7);
  const std::string alphabet = "%%%    ><^v/\\OoZIx?!8Jj+-~=0`.,;\"$*nu()#";
  for (int program = 0; program < 60; ++program) {
    std::string source;
    for (int y = 0, h = 1 + int(random() % 8); y < h; ++y, source += "\n")
      for (int x = 0, w = 2 + int(random() % 12); x < w; ++x)
        source += alphabet[random() % alphabet.size()];
    SCOPED_TRACE(source);
    testing::tempdir dir;
    testing::rig r;
    r.load(source);
    const testing::outcome run =
        testing::run({.program = TARVEX_BIN,
                      .args = {"--batch", "--ticks", "30", "--trace", dir.path() + "/t",
                               dir.file("prog.txt", source)},
                      // Every other program with every pass in parts, however small.
                      .env = {{"TARVEX_TEST_PARTS", program % 2 ? "3" : "1"}}});
    ASSERT_TRUE(run.status == 0 || run.status == 3) << run.err;
    std::istringstream file(testing::readfile(dir.path() + "/t"));
    std::string line, printed;
    ASSERT_TRUE(std::getline(file, line));
    const json header = json::parse(line);
    EXPECT_EQ(header["lines"], r.m.grid.linecount);
    EXPECT_EQ(header["longest"], r.m.grid.maxlen);
    codegrid rebuilt = r.m.grid;
    r.con.settap(&printed);
    tickstate state = tickstate::going;
    for (size_t t = 0; state == tickstate::going && r.m.tick < 30; ++t, endtick(r.m, {state})) {
      if (t > 0) state = steppass(r.m).state;
      ASSERT_TRUE(std::getline(file, line));
      const json traced = json::parse(line);
      EXPECT_EQ(traced["tick"], t);
      numbers ips, queued;
      r.m.ips.each([&](const ip& p) {
        ips.insert(ips.end(), {p.id, p.x, p.y, p.dir, p.val[0], p.val[1], p.on, p.printing,
                               p.remafter, p.wait, p.n});
      });
      r.m.writes.each([&](const buf& w) { queued.insert(queued.end(), {w.x, w.y, w.code}); });
      const numbers writes = flat(traced["writes"]), lengths = flat(traced["lengths"]);
      EXPECT_EQ(flat(traced["pointers"]), ips) << line;
      EXPECT_EQ(writes, queued) << line;
      EXPECT_EQ(out(traced), printed) << line;
      printed.clear();
      for (size_t i = 0; i < lengths.size(); i += 2)
        rebuilt.lines[size_t(lengths[i])].resize(size_t(lengths[i + 1]), u' ');
      // The grid a tick shows is the one before its own writes; the first write to a cell wins.
      EXPECT_EQ(rebuilt.lines, r.m.grid.lines) << line;
      std::set<std::pair<long long, long long>> done;
      for (size_t i = 0; i < writes.size(); i += 3)
        if (done.insert({writes[i], writes[i + 1]}).second)
          writecell(rebuilt, writes[i], writes[i + 1], static_cast<char16_t>(writes[i + 2]));
    }
    EXPECT_FALSE(std::getline(file, line));
  }
}

TEST(trace, a_full_disk_leaves_whole_lines_and_says_why) {
  testing::tempdir dir;
  if (mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=16k") != 0)
    GTEST_SKIP() << "no tmpfs can be mounted here";
  testing::rig r;
  r.load("%#\n");
  tracewriter trace;
  ASSERT_TRUE(trace.open(dir.path() + "/t"));
  bool written = trace.header(u"prog", r.m);
  while (written)
    written = trace.state(r.m, std::string(3000, 'x'));
  EXPECT_EQ(trace.reason(), "No space left on device");
  std::string kept = testing::readfile(dir.path() + "/t");
  umount(dir.path().c_str());
  ASSERT_FALSE(kept.empty());
  EXPECT_EQ(kept.back(), '\n');
  for (size_t at = kept.find("{\"tick\""); at != std::string::npos;
       at = kept.find("{\"tick\"", at + 1))
    EXPECT_EQ(out(json::parse(kept.substr(at, kept.find('\n', at) - at))), std::string(3000, 'x'))
        << "a line cut short";
}

} // namespace
} // namespace tarvex
