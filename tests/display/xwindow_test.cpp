// The window on a real X server: each test starts its own Xvfb, opens the window through the
// layer in this process and looks at it from outside: caption, size, the picture
// pixel for pixel, a held key and a close request.
#include "display/backend/window.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "display/backend/canvas.h"
#include "tests/support/xserver.h"

namespace tarvex {
namespace {

using testing::eventually;

// The window open on the test's own server. Standard output stays empty: it is the program's.
class xwindow : public ::testing::Test {
protected:
  void SetUp() override {
    if (std::string why = testing::missingxtools(); !why.empty()) GTEST_SKIP() << why;
    ASSERT_TRUE(server.start()) << server.problem;
    ::testing::internal::CaptureStdout();
    w = &OpenGraphics(cv, 720, 512, 0, 60, 0);
    ASSERT_FALSE(w->headless());
    ASSERT_TRUE(eventually([&] { return (id = server.find("Tarvex Application")) != 0; }))
        << "no window captioned \"Tarvex Application\"";
  }
  void TearDown() override {
    CloseGraphics();
    std::string printed = w ? ::testing::internal::GetCapturedStdout() : "";
    EXPECT_TRUE(printed.empty() || HasFailure()) << printed; // gtest's own reports land there
  }
  testing::xserver server;
  canvas cv;
  window* w = nullptr;
  unsigned long id = 0;
};

TEST_F(xwindow, shows_the_canvas_pixel_for_pixel_at_720_by_512) {
  // A value of its own in nearly every pixel, so a shifted, scaled or mis-ordered copy fails.
  pixmap gradient = cv.MakePixmap(720, 512, 6, 4);
  for (int y = 0; y < 512; ++y)
    for (int x = 0; x < 720; ++x)
      cv.WritePixel(gradient, x, y,
                    0xFF000000u | uint32_t(x & 255) << 16 | uint32_t(y & 255) << 8 |
                        uint32_t((x * 3 + y * 5) & 255));
  cv.DrawPixmap(gradient, 0, 0);
  cv.SetBlend(3);
  cv.SetColor(0, 255, 0);
  cv.SetAlpha(0.5f);
  cv.DrawRect(50, 30, 100, 60);
  w->Flip(cv, -1);
  long wrong = -1;
  EXPECT_TRUE(eventually([&] { return (wrong = server.differences(id, 720, cv.pixels())) == 0; }))
      << wrong << " pixels differ from the canvas (-1: no 720 by 512 picture)";
}

TEST_F(xwindow, a_held_key_is_down_until_released) {
  ASSERT_TRUE(server.xdotool({"windowfocus", "--sync", std::to_string(id)}));
  EXPECT_EQ(w->KeyDown(27), 0);
  server.xdotool({"keydown", "Escape"});
  ASSERT_TRUE(eventually([&] { return w->KeyDown(27) == 1; })) << "Escape never came down";
  // Past the server's auto-repeat delay it is still down, and still one stroke.
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  EXPECT_EQ(w->KeyDown(27), 1);
  EXPECT_EQ(w->input().keyhits(27), 1);
  server.xdotool({"keyup", "Escape"});
  EXPECT_TRUE(eventually([&] { return w->KeyDown(27) == 0; })) << "Escape never came up";
}

TEST_F(xwindow, a_close_request_answers_once_and_leaves_the_window_open) {
  EXPECT_EQ(w->AppTerminate(), 0);
  ASSERT_TRUE(server.requestclose(id));
  EXPECT_TRUE(eventually([&] { return w->AppTerminate() == 1; })) << "no close request arrived";
  EXPECT_EQ(w->AppTerminate(), 0);
  EXPECT_EQ(server.find("Tarvex Application"), id) << "only the program closes it";
}

} // namespace
} // namespace tarvex
