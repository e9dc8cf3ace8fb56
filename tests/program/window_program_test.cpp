// The built program in a real window: each test starts an Xvfb of its own, runs tarvex on it
// and looks from outside: the caption, the studio's keys with the frame pixel for pixel against
// the frame the library paints, the two ways the user stops a program that would run forever,
// Escape held down and the close request; and the fault box.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "runtime/streamnames.h"
#include "tests/support/memconsole.h"
#include "tests/support/painter.h"
#include "tests/support/process.h"
#include "tests/support/xserver.h"

namespace tarvex {
namespace {

using testing::eventually;
using testing::outcome;

const std::string TITLE = "Tarvex Application";

// One pointer that goes round four cells for ever.
const std::string LOOP = "%>v\n ^<\n";

// The frame the library paints for tick `tick` of `path`, each pixel as a 2 by 2 block as
// --scale 2 shows it.
std::vector<uint32_t> doubledframe(const std::string& path, int64_t tick) {
  installstreamfactories();
  testing::memconsole io;
  session run(io.con, {});
  EXPECT_TRUE(run.load(frombytes(path), frombytes(path)));
  while (run.state().tick < tick)
    run.tick();
  const std::vector<uint32_t> frame = testing::painter().of(run);
  std::vector<uint32_t> doubled;
  for (int y = 0; y < 1024; ++y)
    for (int x = 0; x < 1440; ++x)
      doubled.push_back(frame[size_t(y / 2 * 720 + x / 2)]);
  return doubled;
}

class windowprogram : public ::testing::Test {
protected:
  void SetUp() override {
    if (std::string why = testing::missingxtools(); !why.empty()) GTEST_SKIP() << why;
    ASSERT_TRUE(server.start()) << server.problem;
  }

  // Runs tarvex on `source` and waits for its window.
  void launch(const std::string& source, std::vector<std::string> args = {}) {
    path = files.file("prog.txt", source);
    args.push_back(path);
    running = std::async(
        std::launch::async, testing::run,
        testing::invocation{
            .program = TARVEX_BIN, .args = args, .headless = false, .timeoutseconds = 10});
    eventually([&] { return (id = server.find(TITLE)) != 0 || !isrunning(); }, 10);
    ASSERT_NE(id, 0u) << "no window captioned " << TITLE
                      << (isrunning() ? "" : "; the program ended: " + running.get().err);
  }

  bool isrunning() {
    return running.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
  }

  testing::tempdir files;
  std::string path;
  // Declared before the server so the server stops first: a program left running loses its X.
  std::future<outcome> running;
  testing::xserver server;
  unsigned long id = 0;
};

// Both end a program that would run for ever at once, with status 0 and no closing lines, also
// in the middle of a tick that never ends: a ring of splitters, which the pointer limit would
// end with status 3 only seconds later.
TEST_F(windowprogram, escape_held_or_a_close_request_ends_the_program_with_status_0) {
  // The last row steps its long tick a pointer at a time, as breakpoints make it.
  for (auto [escape, stuck, breaks] : {std::tuple{true, false, false},
                                       {false, false, false},
                                       {true, true, false},
                                       {true, true, true}}) {
    SCOPED_TRACE(escape ? "Escape held" : "close request");
    SCOPED_TRACE(stuck ? "in one long tick" : "between ticks");
    if (stuck) {
      std::vector<std::string> args{"--max-pointers", "30000000"};
      if (breaks) args.insert(args.end(), {"--break", "9,9"});
      ASSERT_NO_FATAL_FAILURE(launch("%##\n ##\n", args));
      // Well into the second tick, the one that never ends.
      std::this_thread::sleep_for(std::chrono::milliseconds(800));
    } else {
      ASSERT_NO_FATAL_FAILURE(launch(LOOP));
    }
    if (escape)
      ASSERT_TRUE(server.xdotool({"windowfocus", "--sync", std::to_string(id)}) &&
                  server.xdotool({"keydown", "Escape"}));
    else
      ASSERT_TRUE(server.requestclose(id));
    outcome result = running.get();
    if (escape) server.xdotool({"keyup", "Escape"});
    EXPECT_FALSE(result.timedout);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "Executing program..\r\n\r\n") << "no \"Execution complete.\"";
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(eventually([&] { return server.find(TITLE) == 0; })) << "the window outlived it";
  }
}

TEST_F(windowprogram, a_fault_shows_a_box_that_waits_for_ok_then_ends_with_status_2) {
  ASSERT_NO_FATAL_FAILURE(launch("%d\n")); // divides by zero in the first tick
  unsigned long box = 0;
  ASSERT_TRUE(eventually([&] { return (box = server.find("Windows exception")) != 0; }))
      << "no box captioned \"Windows exception\"";
  EXPECT_NE(running.wait_for(std::chrono::milliseconds(200)), std::future_status::ready)
      << "the box waits for OK";
  server.xdotool({"key", "--window", std::to_string(box), "Return"});
  outcome result = running.get();
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "") << "the name goes into the box, not to standard error";
}

// The studio from outside: Space pauses, Right runs a tick, Left goes back to the tick before
// and the window shows exactly that tick's frame at scale 2, R reads the source again, Escape
// ends.
TEST_F(windowprogram, studio_keys_pause_step_go_back_reload_and_escape) {
  ASSERT_NO_FATAL_FAILURE(launch(LOOP, {"--scale", "2"}));
  ASSERT_TRUE(server.xdotool({"windowfocus", "--sync", std::to_string(id)}));
  const std::string paused = TITLE + " - paused - tick ";
  std::string caption;
  auto showing = [&](const std::string& start) {
    return eventually([&] { return (caption = server.title(id)).rfind(start, 0) == 0; });
  };
  server.xdotool({"key", "space"});
  ASSERT_TRUE(showing(paused)) << caption;
  const int64_t tick = std::stoll(caption.substr(paused.size()));
  server.xdotool({"key", "Right"});
  EXPECT_TRUE(showing(paused + std::to_string(tick + 1) + " - 128 ms")) << caption;
  server.xdotool({"key", "Left"});
  EXPECT_TRUE(showing(paused + std::to_string(tick) + " (history) - 128 ms")) << caption;
  const std::vector<uint32_t> expected = doubledframe(path, tick);
  long wrong = -1;
  EXPECT_TRUE(eventually([&] { return (wrong = server.differences(id, 1440, expected)) == 0; }))
      << wrong << " pixels differ from the frame of tick " << tick;
  server.xdotool({"key", "r"});
  EXPECT_TRUE(showing(paused + "0 - 128 ms")) << caption;
  server.xdotool({"keydown", "Escape"});
  outcome result = running.get();
  server.xdotool({"keyup", "Escape"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "Executing program..\r\n\r\nExecuting program..\r\n\r\n");
  EXPECT_EQ(result.err, "tarvex: reloaded " + path + "\n");
}

} // namespace
} // namespace tarvex
