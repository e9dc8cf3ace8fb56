// The window: none without a display, and on an X server of the test's own, the key and close
// queries as the window system reports a key and a close button.
#include "display/backend/window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/xserver.h"

namespace tarvex {
namespace {

using testing::eventually;

TEST(xwindow, a_key_is_down_until_released_and_a_close_request_answers_once) {
  if (std::string why = testing::missingxtools(); !why.empty()) GTEST_SKIP() << why;
  testing::xserver server;
  ASSERT_TRUE(server.start()) << server.problem;
  std::unique_ptr<window> w = window::open(720, 512, u"Tarvex Application");
  ASSERT_TRUE(w);
  unsigned long id = 0;
  ASSERT_TRUE(eventually([&] { return (id = server.find("Tarvex Application")) != 0; }));
  EXPECT_TRUE(server.xdotool({"windowfocus", "--sync", std::to_string(id)}));
  server.xdotool({"keydown", "Escape"});
  EXPECT_TRUE(eventually([&] { return w->KeyDown(27) == 1; })) << "Escape never came down";
  server.xdotool({"keyup", "Escape"});
  EXPECT_TRUE(eventually([&] { return w->KeyDown(27) == 0; })) << "Escape never came up";
  // Presses reach the host with the character typed, the mouse in canvas pixels.
  server.xdotool({"key", "shift+slash"});
  server.xdotool({"mousemove", "--window", std::to_string(id), "100", "50", "click", "1"});
  std::string seen;
  EXPECT_TRUE(eventually([&] {
    for (inputevent e{inputkind::KeyUp}; w->NextInput(e);)
      seen += std::to_string(int(e.kind)) + ":" + std::to_string(e.key) + ":" +
              std::to_string(e.text) + "@" + std::to_string(e.x) + "," + std::to_string(e.y) + " ";
    return seen.find("7:1:0@100,50") != std::string::npos;
  })) << seen;
  EXPECT_NE(seen.find("0:0:63@"), std::string::npos) << seen;
  EXPECT_NE(seen.find("6:0:0@100,50"), std::string::npos) << seen;
  w->SetTitle(u"Tarvex Application - paused");
  EXPECT_TRUE(eventually([&] { return server.find("Tarvex Application - paused") != 0; }));
  EXPECT_TRUE(server.requestclose(id));
  EXPECT_TRUE(eventually([&] { return w->AppTerminate() == 1; })) << "no close request arrived";
  EXPECT_EQ(w->AppTerminate(), 0);
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
