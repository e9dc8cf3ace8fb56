// The window: none without a display, and on an X server of the test's own, the presses as the
// window system reports them.
#include "display/backend/window.h"

#include <gtest/gtest.h>

#include <cstdlib>
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

TEST(window, none_opens_without_a_display_or_on_a_driver_that_draws_into_memory) {
  for (auto [name, value] :
       {std::pair{"", ""}, {"DISPLAY", ":65531"}, {"SDL_VIDEODRIVER", "offscreen"}}) {
    SCOPED_TRACE(std::string(name) + "=" + value);
    // Every variable a video driver looks at is cleared; the test process ends after its tests.
    for (const char* cleared : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"})
      unsetenv(cleared);
    if (*name) setenv(name, value, 1);
    EXPECT_FALSE(window::open(720, 512, u"Tarvex Application"));
  }
}

} // namespace
} // namespace tarvex
