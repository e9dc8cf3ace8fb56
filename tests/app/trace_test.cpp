// The state trace on a file that stops taking bytes. The lines' bytes are pinned by the golden
// cases trace_*.
#include "app/trace.h"

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <nlohmann/json.hpp>

#include "tests/support/process.h"
#include "tests/support/rig.h"

namespace tarvex {
namespace {

// The bytes of the "out" string: one character a byte.
std::string out(const std::string& line) {
  return lowbytes(fromutf8name(nlohmann::json::parse(line)["out"].get<std::string>()));
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
    EXPECT_EQ(out(kept.substr(at, kept.find('\n', at) - at)), std::string(3000, 'x'))
        << "a line cut short";
}

} // namespace
} // namespace tarvex
