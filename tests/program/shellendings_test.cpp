// The hard endings of the program as a shell sees them: standard output closed or full, memory
// running out in a split storm, the memory budget, and the signals that stop a run (the
// pointer limit is in the golden cases). Each keeps what was written before it and ends with
// its own line and status.
#include <gtest/gtest.h>

#include "tests/support/process.h"

using namespace tarvex::testing;

namespace {

TEST(shellendings, each_hard_ending_keeps_the_output_says_why_and_has_its_status) {
  tempdir dir;
  const std::string tarvex = TARVEX_BIN, storm = dir.file("storm.txt", "%##\n ##\n"),
                    loop = dir.file("loop.txt", "%>v\n ^<\n"), hello = dir.file("hi.txt", "%.@"),
                    printer = dir.file("printer.txt", "%>.v\n ^ <\n"), status = dir.path() + "/st",
                    six = dir.file("six.txt", std::string("##%\0##", 6));
  const std::string head = "Executing program..\r\n\r\n";
  struct row {
    std::string shell; // run by /bin/sh with $T the program
    int status;
    std::string out, err;
    bool sanitized = true;   // false: address space limits and the sanitizers do not mix
    std::string errend = ""; // the end of standard error, after a count that may vary
  } rows[] = {
      {"$T --batch " + hello + " >&-", 255, "", "Error writing to stream"},
      {"$T --batch " + hello + " >/dev/full", 255, "", "Error writing to stream"},
      // The reader goes after the opening lines; the program's next write ends the run.
      {"{ $T --headless --delay 5 --ticks 300 " + printer + "; echo $? >" + status +
           "; } | head -c 23; exit $(cat " + status + ")",
       255, head, "Error writing to stream"},
      {"ulimit -v 1048576; $T --batch " + storm, 3, head, "tarvex: out of memory after 1 ticks (",
       false},
      // A storm that never ends its first tick, stopped by the budget inside it; 0 turns the
      // budget off, also after one was given, so the pointer limit ends the storm instead.
      {"$T --batch --max-memory 64 " + six, 3, head, "tarvex: stopped at ", true,
       " live pointers after 0 ticks: the memory budget of 64 MiB is used up (see --max-memory)\n"},
      {"$T --batch --max-memory=64 --max-memory 0 --max-pointers 2000000 " + six, 3, head,
       "tarvex: stopped at 2000002 live pointers after 0 ticks\n"},
      {"$T --batch " + loop + " & sleep 0.5; kill -TERM $!; wait $!", 128 + 15, head, ""},
      {"$T --batch " + loop + " & sleep 0.5; kill -HUP $!; wait $!", 128 + 1, head, ""},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.shell);
#ifdef TARVEX_SANITIZED
    if (!r.sanitized) continue;
#endif
    outcome o = run({.program = "/bin/sh", .args = {"-c", "T=" + tarvex + "; " + r.shell}});
    EXPECT_EQ(o.status, r.status);
    EXPECT_EQ(o.out, r.out);
    EXPECT_EQ(o.err.substr(0, r.err.size()), r.err);
    EXPECT_EQ(o.err.empty(), r.err.empty());
    EXPECT_TRUE(o.err.ends_with(r.errend)) << o.err;
  }
}

} // namespace
