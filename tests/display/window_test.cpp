// The window layer without a window system: frame pacing on a scripted clock, the input state
// fed with synthetic events, and a start with no display at all.
#include "display/backend/window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "display/backend/canvas.h"

namespace tarvex {
namespace {

// A clock that moves only when slept on or pushed by the test.
struct scriptedclock final : pacingclock {
  int64_t time = 5000;
  std::vector<int64_t> sleeps;
  int64_t now() override { return time; }
  void sleep(int64_t ms) override { sleeps.push_back(ms), time += ms; }
};

TEST(pacer, each_frame_sleeps_only_for_what_is_left_of_its_period_and_lateness_is_not_made_up) {
  scriptedclock clock;
  pacer p(60, clock);
  // Milliseconds of work before each frame. Frame 4 is due just then and frames 5 and 7 are
  // late: none of them sleeps, and the next is a whole period after them, not less. 60 Hz pays
  // 40/60 ms a frame on top of 16, so frames 2, 3, 5, 6 and 8 last 17 ms.
  for (int64_t work : {0, 0, 5, 16, 37, 0, 500, 0}) {
    clock.time += work;
    p.wait();
  }
  EXPECT_EQ(clock.sleeps, (std::vector<int64_t>{16, 17, 12, 17, 17}));
  int64_t start = clock.time;
  for (int frame = 0; frame < 60; ++frame)
    p.wait();
  EXPECT_EQ(clock.time - start, 1000) << "sixty frames";
}

// Events waiting in the window system's queue until a query drains them.
struct queuedevents final : eventsource, std::deque<inputevent> {
  bool nextevent(inputevent& event) override {
    if (empty()) return false;
    event = front(), pop_front();
    return true;
  }
};

TEST(input, keys_are_down_as_seen_at_each_query_close_requests_answer_once_focus_clears_keys) {
  inputstate state;
  queuedevents events;
  // The answer to a query of `key` (0: a close request) once `arrived` is queued.
  auto query = [&](std::initializer_list<inputevent> arrived, int key) {
    events.insert(events.end(), arrived);
    return key ? state.KeyDown(key, events) : state.AppTerminate(events);
  };
  using k = inputkind;
  EXPECT_EQ(query({{k::KeyDown, 27}, {k::KeyUp, 27}}, 27), 0) << "pressed, released in between";
  EXPECT_EQ(query({{k::KeyDown, 27}}, 27), 1);
  EXPECT_EQ(query({{k::KeyRepeat, 27}, {k::KeyRepeat, 27}}, 27), 1) << "held through auto-repeat";
  EXPECT_EQ(query({}, 27), 1);
  EXPECT_EQ(query({{k::KeyUp, 27}, {k::AppTerminate}, {k::AppTerminate}}, 27), 0);
  EXPECT_EQ(query({}, 0), 1) << "two close requests answer once";
  EXPECT_EQ(query({}, 0), 0);
  EXPECT_EQ(query({{k::KeyDown, 27}, {k::AppSuspend}}, 27), 0) << "the focus lost";
  EXPECT_EQ(query({{k::KeyDown, 65}, {k::AppResume}}, 65), 0) << "the focus regained";
}

TEST(window, without_a_display_the_program_goes_on_headless_after_one_line_on_stderr) {
  for (auto [name, value] :
       {std::pair{"", ""}, {"DISPLAY", ":65531"}, {"SDL_VIDEODRIVER", "offscreen"}}) {
    SCOPED_TRACE(std::string(name) + "=" + value);
    // Every variable a video driver looks at is cleared; the test process ends after its tests.
    for (const char* cleared : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"})
      unsetenv(cleared);
    if (*name) setenv(name, value, 1);
    canvas cv;
    ::testing::internal::CaptureStderr();
    window& w = OpenGraphics(cv, 720, 512, 0, 60, 0);
    EXPECT_TRUE(w.headless());
    cv.SetColor(10, 20, 30);
    cv.DrawRect(0, 0, 720, 512);
    EXPECT_EQ(cv.pixel(719, 511), 0x0A141Eu);
    EXPECT_EQ(w.KeyDown(27) + w.AppTerminate(), 0);
    CloseGraphics();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "tarvex: no display available; running without a window\n");
  }
}

} // namespace
} // namespace tarvex
