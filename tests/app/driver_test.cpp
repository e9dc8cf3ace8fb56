// The window's host: key presses and mouse events become session calls, and what the window
// shows is the session's frame of the same state and view, pixel for pixel. Escape and a close
// request stop the run before anything more is shown.
#include "app/driver.h"

#include <gtest/gtest.h>

#include <deque>

#include "tests/support/clock.h"
#include "tests/support/painter.h"
#include "tests/support/process.h"
#include "tests/support/rig.h"

namespace tarvex {
namespace {

// A window whose Escape key, close requests and presses the test sets; it keeps what it was
// shown and its caption. When the presses run out, Escape goes down and the test has control.
struct fakescreen final : screen {
  bool held = false, asked = false; // Escape, a close request
  int closequeries = 0;
  std::vector<std::vector<uint32_t>> shown;
  std::deque<inputevent> presses;
  Text title;
  void Flip(const canvas& surface) override { shown.push_back(surface.pixels()); }
  int KeyDown(int key) override { return key == 27 && held; }
  int AppTerminate() override { return ++closequeries, asked; }
  bool NextInput(inputevent& e) override {
    if (presses.empty()) return held = true, false;
    e = presses.front(), presses.pop_front();
    return true;
  }
  void SetTitle(const Text& text) override { title = text; }
};

struct host {
  explicit host(bool studio = true)
      : driver{opts, io.con, paint.surface, paint.font.atlas, view, clock, studio} {}
  bool load(const std::string& source) {
    const Text path = fromcstring(dir.file("prog.txt", source).c_str());
    return driver.load(path, path);
  }
  testing::tempdir dir;
  testing::rig io;
  testing::painter paint;
  fakescreen view;
  testing::scriptedclock clock;
  options opts;
  rundriver driver;
};

using k = inputkind;
const inputevent SPACE{k::KeyDown, 32}, RIGHT{k::KeyDown, 39}, LEFT{k::KeyDown, 37},
    DOT{k::KeyDown, 0, U'.'}, WHEELUP{k::Wheel, 1, 0, 360, 256};
inputevent mouse(inputkind kind, int x, int y, int button = 0) {
  return {kind, button, 0, x, y};
}

// The same presses through the window and as session calls: the window shows the session's
// frame of that state and view, on a grid of 300 by 200 cells.
TEST(driver, keys_and_mouse_drive_the_session_and_the_window_shows_its_frame) {
  std::string wide;
  for (int line = 0; line < 200; ++line)
    wide += (line % 7 == 0 ? "%" : "") + std::string(299, line % 2 ? '-' : '+') + "\n";
  struct row {
    const char* what;
    std::vector<inputevent> presses;
    const char* caption;
  } rows[] = {
      {"pause", {SPACE}, "paused - tick 0 - 128 ms"},
      {"step", {RIGHT, RIGHT}, "paused - tick 2 - 128 ms"},
      {"pointer step", {DOT, DOT}, "paused - tick 3 - 128 ms"},
      {"finish and back", {RIGHT, LEFT}, "paused - tick 2 (history) - 128 ms"},
      {"hover", {mouse(k::MouseMove, 30, 30)}, nullptr},
      {"click a breakpoint",
       {mouse(k::MouseDown, 50, 40, 1), mouse(k::MouseUp, 50, 40, 1)},
       nullptr},
      {"drag",
       {mouse(k::MouseDown, 400, 300, 1), mouse(k::MouseMove, 240, 180),
        mouse(k::MouseUp, 240, 180, 1)},
       nullptr},
      {"zoom", {WHEELUP, WHEELUP}, nullptr},
  };
  host h;
  ASSERT_TRUE(h.load(wide));
  ASSERT_TRUE(h.driver.show());
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    h.view.held = false;
    h.view.presses.assign(r.presses.begin(), r.presses.end());
    do {
      h.view.held = false;
      h.driver.tick();
    } while (!h.view.presses.empty());
    ASSERT_FALSE(h.view.shown.empty());
    EXPECT_EQ(h.view.shown.back(), testing::painter().of(h.driver.run()));
    if (r.caption) {
      EXPECT_EQ(utf8name(h.view.title), std::string("Tarvex Application - ") + r.caption);
    }
  }
  const studioview& v = h.driver.run().view();
  EXPECT_TRUE(h.driver.run().breaksat({50 / 8, 40 / 12}));
  // Dragging the grid up and to the left scrolls the view right and down: 20 columns, 10 lines.
  EXPECT_EQ(v.zoom, 3);
  EXPECT_EQ(cellat(v, 360, 256), (cellpos{20 + 45, 10 + 21}));
}

TEST(driver, escape_or_a_close_request_stops_the_run_and_nothing_more_is_shown) {
  for (auto [held, asked] : {std::pair{true, true}, {false, true}, {true, false}}) {
    host h(false);
    ASSERT_TRUE(h.load("%>v\n ^<\n"));
    h.view.held = held, h.view.asked = asked;
    EXPECT_FALSE(h.driver.show());
    EXPECT_FALSE(h.driver.tick());
    EXPECT_TRUE(h.driver.userstopped());
    EXPECT_TRUE(h.view.shown.empty());
    // A close request that comes while Escape is down stays pending.
    EXPECT_EQ(h.view.closequeries, held ? 0 : 2);
  }
}

} // namespace
} // namespace tarvex
