// The state trace on a file that stops taking bytes. The lines' bytes are pinned by the golden
// cases trace_*.
#include "app/trace.h"

#include <gtest/gtest.h>
#include <sys/mount.h>

#include "tests/support/process.h"
#include "tests/support/rig.h"

namespace tarvex {
namespace {

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
  // Each state line ends with its whole "out" string.
  for (size_t end = kept.find('\n', kept.find("{\"tick\"")); end != std::string::npos;
       end = kept.find('\n', end + 1))
    EXPECT_EQ(kept.substr(end - 3002, 3002), std::string(3000, 'x') + "\"}") << "a line cut short";
}

} // namespace
} // namespace tarvex
