// The window on an X server of the test's own: the presses as the window system reports them.
// That none opens without a display, on one that is not there or on a driver that draws into
// memory is in the golden cases no_window_*.
#include "display/backend/window.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/xserver.h"

namespace tarvex {
namespace {

using testing::eventually;

// Escape, the caption and the close request are seen from outside in the program's own window
// tests; here, what only the host reads: the character typed and the mouse in canvas pixels.
TEST(xwindow, presses_reach_the_host_with_the_character_typed_and_the_mouse_in_canvas_pixels) {
  if (std::string why = testing::missingxtools(); !why.empty()) GTEST_SKIP() << why;
  testing::xserver server;
  ASSERT_TRUE(server.start()) << server.problem;
  std::unique_ptr<window> w = window::open(720, 512, u"Tarvex Application");
  ASSERT_TRUE(w);
  unsigned long id = 0;
  ASSERT_TRUE(eventually([&] { return (id = server.find("Tarvex Application")) != 0; }));
  EXPECT_TRUE(server.xdotool({"windowfocus", "--sync", std::to_string(id)}));
  std::string seen;
  // Waits until `event` ("kind:key:text@x,y") has come, after all that came before it.
  auto until = [&](const std::string& event) {
    return eventually([&] {
      for (inputevent e{inputkind::KeyUp}; w->NextInput(e);)
        seen += std::to_string(int(e.kind)) + ":" + std::to_string(e.key) + ":" +
                std::to_string(e.text) + "@" + std::to_string(e.x) + "," + std::to_string(e.y) +
                " ";
      return seen.find(event) != std::string::npos;
    });
  };
  server.xdotool({"mousemove", "--window", std::to_string(id), "100", "50"});
  EXPECT_TRUE(until("6:0:0@100,50")) << seen;
  server.xdotool({"click", "1"});
  EXPECT_TRUE(until("7:1:0@100,50")) << seen;
  server.xdotool({"key", "shift+slash"});
  EXPECT_TRUE(until("0:0:63@")) << seen;
}

} // namespace
} // namespace tarvex
