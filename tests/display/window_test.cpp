// The window layer without a window system: frame pacing on a scripted clock, the input state
// fed with synthetic events, and a start with no display at all.
#include "display/backend/window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "display/backend/canvas.h"
#include "display/backend/input.h"
#include "display/backend/pacer.h"

namespace tarvex {
namespace {

// A clock that moves only when slept on or pushed by the test.
class scriptedclock final : public pacingclock {
public:
  int64_t time = 5000;
  std::vector<int64_t> sleeps;
  int64_t now() override { return time; }
  void sleep(int64_t ms) override { sleeps.push_back(ms), time += ms; }
};

TEST(pacer, each_frame_sleeps_only_for_what_is_left_of_its_period_and_lateness_is_not_made_up) {
  // Per frame: milliseconds of work since the previous one returned, then the sleep (-1: none).
  // 60 Hz pays 40/60 ms a frame on top of 16, so frames 2, 3, 5, 6... are 17 ms long.
  const int64_t rows[][2] = {{0, 16},  {0, 17}, {5, 12},   {16, -1},
                             {37, -1}, {0, 17}, {500, -1}, {0, 17}};
  scriptedclock clock;
  pacer p(60, clock);
  for (const auto& r : rows) {
    clock.sleeps.clear();
    clock.time += r[0];
    p.wait();
    EXPECT_EQ(clock.sleeps, r[1] < 0 ? std::vector<int64_t>{} : std::vector<int64_t>{r[1]})
        << "after " << r[0] << " ms of work";
  }
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
  queuedevents& post(inputkind kind, int key = 0) { return push_back({kind, key}), *this; }
};

TEST(input, keys_are_down_as_seen_at_each_query_close_requests_answer_once_focus_clears_keys) {
  inputstate state;
  queuedevents events;
  events.post(inputkind::KeyDown, 27).post(inputkind::KeyUp, 27);
  EXPECT_EQ(state.KeyDown(27, events), 0) << "pressed and released between queries";
  events.post(inputkind::KeyDown, 27);
  EXPECT_EQ(state.KeyDown(27, events), 1);
  events.post(inputkind::KeyRepeat, 27).post(inputkind::KeyRepeat, 27);
  EXPECT_EQ(state.KeyDown(27, events), 1) << "held through auto-repeat";
  EXPECT_EQ(state.KeyDown(27, events), 1);
  events.post(inputkind::KeyUp, 27).post(inputkind::AppTerminate).post(inputkind::AppTerminate);
  EXPECT_EQ(state.KeyDown(27, events), 0);
  EXPECT_EQ(state.AppTerminate(events), 1);
  EXPECT_EQ(state.AppTerminate(events), 0);
  // Losing or regaining the focus clears every key.
  for (inputkind focus : {inputkind::AppSuspend, inputkind::AppResume}) {
    events.post(inputkind::KeyDown, 27).post(inputkind::KeyDown, 65);
    EXPECT_EQ(state.KeyDown(65, events), 1);
    events.post(focus);
    EXPECT_EQ(state.KeyDown(27, events) + state.KeyDown(65, events), 0);
    EXPECT_EQ(state.suspended(), focus == inputkind::AppSuspend);
  }
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
    w.Flip(cv, -1);
    EXPECT_EQ(w.KeyDown(27), 0);
    EXPECT_EQ(w.AppTerminate(), 0);
    CloseGraphics();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "tarvex: no display available; running without a window\n");
  }
}

} // namespace
} // namespace tarvex
