// The polled input state fed with synthetic events.
#include "display/backend/input.h"

#include <gtest/gtest.h>

#include <deque>

namespace tarvex {
namespace {

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

} // namespace
} // namespace tarvex
