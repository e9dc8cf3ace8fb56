// The window: none without a display, and on a real X server, which the test starts itself,
// looked at from outside: caption, size, the picture pixel for pixel, a held key and a close
// request.
#include "display/backend/window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "display/canvas.h"
#include "tests/support/xserver.h"

namespace tarvex {
namespace {

using testing::eventually;

TEST(xwindow, shows_the_canvas_at_720_by_512_and_answers_a_held_key_and_a_close_request_once) {
  if (std::string why = testing::missingxtools(); !why.empty()) GTEST_SKIP() << why;
  testing::xserver server;
  ASSERT_TRUE(server.start()) << server.problem;
  canvas cv;
  std::unique_ptr<window> opened = window::open(720, 512, u"Tarvex Application");
  ASSERT_TRUE(opened);
  window& w = *opened;
  unsigned long id = 0;
  EXPECT_TRUE(eventually([&] { return (id = server.find("Tarvex Application")) != 0; }))
      << "no window captioned \"Tarvex Application\"";
  // A value of its own in every pixel, so a shifted, scaled or mis-ordered copy fails.
  pixmap picture = cv.MakePixmap(720, 512, 6, 4);
  for (uint32_t i = 0; i < 720 * 512; ++i)
    cv.WritePixel(picture, int(i % 720), int(i / 720), 0xFF000000u | (i * 40503u & 0xFFFFFF));
  cv.DrawPixmap(picture, 0, 0);
  w.Flip(cv);
  long wrong = -1;
  EXPECT_TRUE(eventually([&] { return (wrong = server.differences(id, 720, cv.pixels())) == 0; }))
      << wrong << " pixels differ from the canvas (-1: no 720 by 512 picture)";
  EXPECT_TRUE(server.xdotool({"windowfocus", "--sync", std::to_string(id)}));
  server.xdotool({"keydown", "Escape"});
  EXPECT_TRUE(eventually([&] { return w.KeyDown(27) == 1; })) << "Escape never came down";
  server.xdotool({"keyup", "Escape"});
  EXPECT_TRUE(eventually([&] { return w.KeyDown(27) == 0; })) << "Escape never came up";
  // A close request is answered once and leaves the window open: only the program closes it.
  EXPECT_TRUE(server.requestclose(id));
  EXPECT_TRUE(eventually([&] { return w.AppTerminate() == 1; })) << "no close request arrived";
  EXPECT_EQ(w.AppTerminate(), 0);
  EXPECT_EQ(server.find("Tarvex Application"), id);
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
