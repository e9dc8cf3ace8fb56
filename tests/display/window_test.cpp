// The window layer without a window system: frame pacing on a scripted clock, the input state
// fed with synthetic events, and a start with no display at all.
#include "display/backend/window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <vector>

#include "display/backend/canvas.h"
#include "display/backend/input.h"
#include "display/backend/pacer.h"
#include "runtime/faultreport.h"

namespace tarvex {
namespace {

// A clock that moves only when slept on or pushed by the test.
class scriptedclock final : public pacingclock {
public:
  int64_t time = 5000;
  std::vector<int64_t> sleeps;
  int64_t now() override { return time; }
  void sleep(int64_t milliseconds) override {
    sleeps.push_back(milliseconds);
    time += milliseconds;
  }
};

// ---- Pacing ----

TEST(pacer, sixty_hertz_has_period_16_and_fraction_40) {
  scriptedclock clock;
  pacer p(60, clock);
  EXPECT_TRUE(p.on());
  EXPECT_EQ(p.rate(), 60);
  EXPECT_EQ(p.period(), 16);
  EXPECT_EQ(p.fraction(), 40);
}

TEST(pacer, each_frame_sleeps_only_for_what_is_left_of_its_period) {
  struct row {
    const char* name;
    int64_t busy;  // milliseconds spent since the previous frame returned
    int64_t slept; // -1: no sleep
  };
  // The accumulator gains 40 a frame and pays 1 ms each time it reaches 60: frames 2, 3, 5, 6...
  // are 17 ms long, frames 1, 4, 7... 16 ms.
  const row rows[] = {
      {"first frame right away", 0, 16},
      {"second frame right away", 0, 17},
      {"third frame after 5 ms of work", 5, 12},
      {"fourth frame after exactly its period", 16, -1},
      {"fifth frame 20 ms late", 37, -1},
      {"sixth frame right after a late one counts from then", 0, 17},
  };
  scriptedclock clock;
  pacer p(60, clock);
  for (const row& r : rows) {
    clock.sleeps.clear();
    clock.time += r.busy;
    p.wait();
    if (r.slept < 0)
      EXPECT_TRUE(clock.sleeps.empty()) << r.name;
    else
      EXPECT_EQ(clock.sleeps, std::vector<int64_t>{r.slept}) << r.name;
  }
}

TEST(pacer, sixty_frames_take_one_second_in_steps_of_16_or_17) {
  scriptedclock clock;
  pacer p(60, clock);
  int64_t start = clock.time;
  for (int frame = 0; frame < 60; ++frame)
    p.wait();
  EXPECT_EQ(clock.time - start, 1000);
  for (int64_t step : clock.sleeps)
    EXPECT_TRUE(step == 16 || step == 17) << step;
  for (int frame = 0; frame < 60; ++frame)
    p.wait();
  EXPECT_EQ(clock.time - start, 2000);
}

TEST(pacer, a_late_frame_is_not_made_up_later) {
  scriptedclock clock;
  pacer p(60, clock);
  clock.time += 500; // half a second of work before the first frame
  p.wait();
  EXPECT_TRUE(clock.sleeps.empty());
  // Had the lost time been owed, the following frames would come without sleeping.
  for (int frame = 0; frame < 10; ++frame)
    p.wait();
  ASSERT_EQ(clock.sleeps.size(), 10u);
  for (int64_t step : clock.sleeps)
    EXPECT_TRUE(step == 16 || step == 17) << step;
}

TEST(pacer, rate_zero_never_sleeps) {
  scriptedclock clock;
  pacer p(0, clock);
  EXPECT_FALSE(p.on());
  for (int frame = 0; frame < 5; ++frame)
    p.wait();
  EXPECT_TRUE(clock.sleeps.empty());
}

// ---- Input ----

// Events waiting in the window system's queue until a query drains them.
class queuedevents final : public eventsource {
public:
  std::deque<inputevent> pending;
  bool nextevent(inputevent& event) override {
    if (pending.empty()) return false;
    event = pending.front();
    pending.pop_front();
    return true;
  }
  void post(inputkind kind, int key = 0) { pending.push_back({kind, key}); }
};

TEST(input, a_key_pressed_and_released_between_queries_is_never_seen_down) {
  inputstate state;
  queuedevents events;
  events.post(inputkind::KeyDown, 27);
  events.post(inputkind::KeyUp, 27);
  EXPECT_EQ(state.KeyDown(27, events), 0);
  EXPECT_EQ(state.keyhits(27), 1) << "the stroke is still counted";
}

TEST(input, a_held_key_is_down_at_every_query_until_released_and_repeats_change_nothing) {
  inputstate state;
  queuedevents events;
  events.post(inputkind::KeyDown, 27);
  EXPECT_EQ(state.KeyDown(27, events), 1);
  EXPECT_EQ(state.KeyDown(27, events), 1) << "a query does not clear the flag";
  for (int i = 0; i < 5; ++i)
    events.post(inputkind::KeyRepeat, 27);
  EXPECT_EQ(state.KeyDown(27, events), 1);
  EXPECT_EQ(state.keyhits(27), 1) << "repeats are not strokes";
  events.post(inputkind::KeyDown, 27); // a second press without a release
  EXPECT_EQ(state.KeyDown(27, events), 1);
  EXPECT_EQ(state.keyhits(27), 1);
  events.post(inputkind::KeyUp, 27);
  EXPECT_EQ(state.KeyDown(27, events), 0);
  EXPECT_EQ(state.KeyDown(65, events), 0) << "other keys were never down";
}

TEST(input, close_requests_between_queries_answer_once) {
  inputstate state;
  queuedevents events;
  events.post(inputkind::AppTerminate);
  events.post(inputkind::AppTerminate);
  EXPECT_EQ(state.AppTerminate(events), 1);
  EXPECT_EQ(state.AppTerminate(events), 0);
  events.post(inputkind::AppTerminate);
  EXPECT_EQ(state.KeyDown(27, events), 0) << "a key query takes the request in but keeps it";
  EXPECT_EQ(state.AppTerminate(events), 1);
}

TEST(input, losing_and_regaining_the_focus_clears_every_key) {
  struct row {
    inputkind focus;
    bool suspended;
  };
  for (row r : {row{inputkind::AppSuspend, true}, row{inputkind::AppResume, false}}) {
    inputstate state;
    queuedevents events;
    events.post(inputkind::KeyDown, 27);
    events.post(inputkind::KeyDown, 65);
    EXPECT_EQ(state.KeyDown(65, events), 1);
    events.post(r.focus);
    EXPECT_EQ(state.KeyDown(27, events), 0);
    EXPECT_EQ(state.KeyDown(65, events), 0);
    EXPECT_EQ(state.keyhits(27), 0);
    EXPECT_EQ(state.suspended(), r.suspended);
    // The key released in the other program's window is pressed afresh when it comes back.
    events.post(inputkind::KeyDown, 27);
    EXPECT_EQ(state.KeyDown(27, events), 1);
    EXPECT_EQ(state.keyhits(27), 1);
  }
}

TEST(input, key_codes_outside_1_to_255_are_never_down) {
  inputstate state;
  queuedevents events;
  for (int key : {0, -1, 256, 1000})
    events.post(inputkind::KeyDown, key);
  for (int key : {0, -1, 256, 1000, 255})
    EXPECT_EQ(state.KeyDown(key, events), 0) << key;
  events.post(inputkind::KeyDown, 255);
  EXPECT_EQ(state.KeyDown(255, events), 1);
}

// A source that asks a query while it is being drained, the way a handler inside the drain
// might.
class reenteringevents final : public eventsource {
public:
  inputstate* state = nullptr;
  std::deque<inputevent> pending;
  int inneranswer = -1;
  bool nextevent(inputevent& event) override {
    if (inneranswer < 0) inneranswer = state->KeyDown(27, *this);
    if (pending.empty()) return false;
    event = pending.front();
    pending.pop_front();
    return true;
  }
};

TEST(input, a_drain_never_nests) {
  inputstate state;
  reenteringevents events;
  events.state = &state;
  events.pending.push_back({inputkind::KeyDown, 27});
  EXPECT_EQ(state.KeyDown(27, events), 1);
  EXPECT_EQ(events.inneranswer, 0) << "the inner query took in nothing";
}

// ---- No display ----

// The environment of a machine without a usable display, restored afterwards. Each variable
// given is set, every other one the video drivers look at is unset.
class nodisplay {
public:
  explicit nodisplay(std::vector<std::pair<const char*, const char*>> settings = {}) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}) {
      const char* value = std::getenv(name);
      _saved.push_back({name, value ? value : "", value != nullptr});
      unsetenv(name);
    }
    for (auto [name, value] : settings)
      setenv(name, value, 1);
  }
  ~nodisplay() {
    for (const saved& s : _saved) {
      if (s.present)
        setenv(s.name, s.value.c_str(), 1);
      else
        unsetenv(s.name);
    }
  }

private:
  struct saved {
    const char* name;
    std::string value;
    bool present;
  };
  std::vector<saved> _saved;
};

TEST(window, without_a_display_the_program_goes_on_headless_after_one_line_on_stderr) {
  struct row {
    const char* name;
    std::vector<std::pair<const char*, const char*>> settings;
  };
  const row rows[] = {
      {"no display variable at all", {}},
      {"a display nobody serves", {{"DISPLAY", ":65531"}}},
      {"only the X11 driver, no display", {{"SDL_VIDEODRIVER", "x11"}}},
      {"a driver that draws into memory only", {{"SDL_VIDEODRIVER", "offscreen"}}},
  };
  for (const row& r : rows) {
    nodisplay none(r.settings);
    canvas cv;
    cv.SetBlend(3);
    cv.SetColor(1, 2, 3);
    cv.DrawRect(0, 0, 10, 10);
    uint32_t generation = cv.generation();

    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    window& w = OpenGraphics(cv, 720, 512, 0, 60, 0);
    std::string err = ::testing::internal::GetCapturedStderr();
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(err, "tarvex: no display available; running without a window\n") << r.name;
    EXPECT_EQ(out, "") << r.name;
    EXPECT_TRUE(w.headless()) << r.name;

    // The canvas is opened like a window's: new generation, fresh state, black.
    EXPECT_NE(cv.generation(), generation);
    EXPECT_EQ(cv.drawstate().blend, 1);
    EXPECT_EQ(cv.drawstate().red, 255);
    EXPECT_EQ(cv.pixel(0, 0), 0u);

    // Drawing goes on; presenting shows nothing and no key or close request ever arrives.
    cv.SetColor(10, 20, 30);
    cv.DrawRect(0, 0, 720, 512);
    EXPECT_EQ(cv.pixel(719, 511), 0x0A141Eu);
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    w.Flip(cv, -1);
    w.Flip(cv, 0);
    EXPECT_EQ(w.KeyDown(27), 0);
    EXPECT_EQ(w.AppTerminate(), 0);
    CloseGraphics();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << r.name;
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << r.name;
  }
}

TEST(window, without_a_display_a_fault_is_reported_on_stderr) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        nodisplay none;
        canvas cv;
        OpenGraphics(cv, 720, 512, 0, 60, 0);
        faultreport(faultcode::INT_DIVIDE_BY_ZERO);
      },
      ::testing::ExitedWithCode(2), "running without a window\nEXCEPTION_INT_DIVIDE_BY_ZERO\n");
}

TEST(window, closegraphics_without_a_window_does_nothing) {
  CloseGraphics();
  CloseGraphics();
}

} // namespace
} // namespace tarvex
