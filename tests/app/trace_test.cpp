// The state trace read back: on random programs, every line rebuilds the pointers, the queued
// writes and the console bytes of its tick, and the grid follows from the first state and
// the writes applied after each line. A file that stops taking bytes keeps whole lines only.
#include "app/trace.h"

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <random>
#include <variant>

#include "interp/grid.h"
#include "interp/tick.h"
#include "tests/interp/rig.h"
#include "tests/support/process.h"

namespace tarvex {
namespace {

// Just enough JSON for the trace: objects, arrays, whole numbers and strings.
struct json {
  std::variant<long long, Text, std::vector<json>, std::vector<std::pair<std::string, json>>> v;
  const json& operator[](const std::string& key) const {
    for (const auto& [k, value] : std::get<3>(v))
      if (k == key) return value;
    throw std::runtime_error("no key " + key);
  }
};

json parse(const std::string& s, size_t& i) {
  auto text = [&] {
    Text t;
    for (++i; s[i] != '"'; ++i) {
      if (s[i] != '\\') {
        t.push_back(static_cast<unsigned char>(s[i]));
      } else if (s[++i] == 'u') {
        t.push_back(static_cast<char16_t>(std::stoi(s.substr(i + 1, 4), nullptr, 16)));
        i += 4;
      } else {
        t.push_back(static_cast<unsigned char>(s[i]));
      }
    }
    ++i;
    return t;
  };
  if (s[i] == '"') return {text()};
  if (s[i] == '[' || s[i] == '{') {
    const bool object = s[i] == '{';
    std::vector<json> items;
    std::vector<std::pair<std::string, json>> fields;
    for (++i; s[i] != ']' && s[i] != '}'; i += s[i] == ',') {
      if (!object) {
        items.push_back(parse(s, i));
        continue;
      }
      Text key = text();
      ++i; // ':'
      fields.emplace_back(lowbytes(key), parse(s, i));
    }
    ++i;
    if (object) return {fields};
    return {items};
  }
  size_t used = 0;
  long long n = std::stoll(s.substr(i, 24), &used);
  i += used;
  return {n};
}

std::vector<json> lines(const std::string& file) {
  std::vector<json> all;
  for (size_t at = 0, end; (end = file.find('\n', at)) != std::string::npos; at = end + 1) {
    size_t i = at;
    all.push_back(parse(file, i));
    EXPECT_EQ(i, end);
  }
  return all;
}

long long num(const json& j) {
  return std::get<long long>(j.v);
}
const std::vector<json>& list(const json& j) {
  return std::get<std::vector<json>>(j.v);
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
    const codegrid loaded = r.m.grid;
    tracewriter trace;
    ASSERT_TRUE(trace.open(dir.path() + "/t"));
    ASSERT_TRUE(trace.header(u"prog", r.m));
    std::string out;
    r.con.settap(&out);
    std::vector<std::string> states, printed;
    std::vector<codegrid> grids;
    for (tickstate state = tickstate::going; state == tickstate::going && r.m.tick < 30;) {
      if (!states.empty() || r.m.tick > 0) state = steppass(r.m).state;
      grids.push_back(r.m.grid);
      states.push_back(testing::pointers(r.m) + testing::queued(r.m));
      printed.push_back(out);
      ASSERT_TRUE(trace.state(r.m, out));
      out.clear();
      endtick(r.m, {state});
    }
    std::vector<json> read = lines(testing::readfile(dir.path() + "/t"));
    ASSERT_EQ(read.size(), states.size() + 1);
    EXPECT_EQ(num(read[0]["lines"]), loaded.linecount);
    EXPECT_EQ(num(read[0]["longest"]), loaded.maxlen);
    codegrid rebuilt = loaded;
    for (size_t t = 0; t < states.size(); ++t) {
      const json& line = read[t + 1];
      EXPECT_EQ(num(line["tick"]), long(t));
      testing::rig back;
      for (const json& p : list(line["pointers"])) {
        const std::vector<json>& f = list(p);
        ip& q = back.m.ips.append();
        q.id = num(f[0]), q.x = int32_t(num(f[1])), q.y = int32_t(num(f[2]));
        q.dir = int32_t(num(f[3])), q.val[0] = uint8_t(num(f[4])), q.val[1] = uint8_t(num(f[5]));
        q.on = int32_t(num(f[6])), q.printing = uint8_t(num(f[7]));
        q.remafter = uint8_t(num(f[8])), q.wait = uint8_t(num(f[9])), q.n = int32_t(num(f[10]));
      }
      for (const json& w : list(line["writes"])) {
        const std::vector<json>& f = list(w);
        buf& b = back.m.writes.append();
        b.x = int32_t(num(f[0])), b.y = int32_t(num(f[1])), b.rep = chartext(num(f[2]));
      }
      EXPECT_EQ(testing::pointers(back.m) + testing::queued(back.m), states[t]) << "tick " << t;
      EXPECT_EQ(lowbytes(std::get<Text>(line["out"].v)), printed[t]) << "tick " << t;
      for (const json& l : list(line["lengths"])) {
        Text& grown = rebuilt.lines[size_t(num(list(l)[0]))];
        grown.resize(size_t(num(list(l)[1])), u' ');
      }
      // The grid a tick shows is the one before its own writes.
      EXPECT_EQ(rebuilt.lines, grids[t].lines) << "tick " << t;
      std::vector<std::pair<int32_t, int32_t>> done;
      back.m.writes.each([&](const buf& b) {
        if (std::find(done.begin(), done.end(), std::pair{b.x, b.y}) != done.end()) return;
        done.emplace_back(b.x, b.y);
        writecell(rebuilt, b.x, b.y, b.rep);
      });
    }
  }
}

TEST(trace, a_full_disk_leaves_whole_lines_and_says_why) {
  testing::tempdir dir;
  if (mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=16k") != 0)
    GTEST_SKIP() << "no tmpfs can be mounted here";
  testing::rig r;
  r.load("%#\n" + std::string(2000, ' ') + "\n");
  tracewriter trace;
  ASSERT_TRUE(trace.open(dir.path() + "/t"));
  bool written = trace.header(u"prog", r.m);
  while (written)
    written = trace.state(r.m, std::string(3000, 'x'));
  EXPECT_EQ(trace.reason(), "No space left on device");
  std::string kept = testing::readfile(dir.path() + "/t");
  EXPECT_EQ(kept.back(), '\n');
  EXPECT_GE(lines(kept).size(), 2u); // each one whole, as parsing shows
  umount(dir.path().c_str());
}

} // namespace
} // namespace tarvex
