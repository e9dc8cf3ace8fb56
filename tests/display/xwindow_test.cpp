// The window on a real X server: the test starts its own Xvfb, opens the window through the
// layer in this process and looks at it from outside: caption, size, the picture pixel for
// pixel, a held key and a close request.
#include "display/backend/window.h"

#include <gtest/gtest.h>

#include <string>

#include "display/backend/canvas.h"
#include "tests/support/xserver.h"

namespace tarvex {
namespace {

using testing::eventually;

TEST(xwindow, shows_the_canvas_at_720_by_512_and_answers_a_held_key_and_a_close_request_once) {
  if (std::string why = testing::missingxtools(); !why.empty()) GTEST_SKIP() << why;
  testing::xserver server;
  ASSERT_TRUE(server.start()) << server.problem;
  canvas cv;
  window& w = OpenGraphics(cv, 720, 512, 0, 60, 0);
  unsigned long id = 0;
  EXPECT_TRUE(eventually([&] { return (id = server.find("Tarvex Application")) != 0; }))
      << "no window captioned \"Tarvex Application\"";
  // A value of its own in every pixel, so a shifted, scaled or mis-ordered copy fails.
  pixmap picture = cv.MakePixmap(720, 512, 6, 4);
  for (uint32_t i = 0; i < 720 * 512; ++i)
    cv.WritePixel(picture, int(i % 720), int(i / 720), 0xFF000000u | (i * 40503u & 0xFFFFFF));
  cv.DrawPixmap(picture, 0, 0);
  w.Flip(cv, -1);
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
  CloseGraphics();
}

} // namespace
} // namespace tarvex
