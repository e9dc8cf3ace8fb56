// The window on a real X server: each test starts its own Xvfb, opens the window through the
// layer in this process and looks at it from outside with xdotool and xwd: caption, size and
// place, the picture pixel for pixel, held keys, a close request, and the fault box.
#include "display/backend/window.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "display/backend/canvas.h"
#include "runtime/faultreport.h"
#include "tests/support/xserver.h"

namespace tarvex {
namespace {

using testing::eventually;
using testing::screenshot;
using testing::xserver;

// A picture with a value of its own in nearly every pixel, so a shifted, scaled or
// mis-ordered copy cannot pass: a gradient, blended rectangles and glyph-like frames.
void drawknownpicture(canvas& cv) {
  pixmap gradient = cv.MakePixmap(720, 512, 6, 4);
  for (int y = 0; y < 512; ++y)
    for (int x = 0; x < 720; ++x)
      cv.WritePixel(gradient, x, y,
                    0xFF000000u | uint32_t(x & 255) << 16 | uint32_t(y & 255) << 8 |
                        uint32_t((x * 3 + y * 5) & 255));
  cv.DrawPixmap(gradient, 0, 0);
  cv.SetBlend(3);
  cv.SetColor(255, 0, 0);
  cv.DrawRect(0, 0, 100, 60);
  cv.SetColor(0, 255, 0);
  cv.SetAlpha(0.5f);
  cv.DrawRect(50, 30, 100, 60);
  cv.SetAlpha(1);
  cv.SetColor(0, 0, 255);
  cv.DrawRect(715, 507, 5, 5);
  image img = cv.MakeImage(8, 12, 1, 0);
  cv.GrabFrame(img, 300, 200, 0);
  cv.SetColor(192, 12, 0);
  for (int i = 0; i < 40; ++i)
    cv.DrawImageFrame(img, float(8 * i), 480, 0);
}

// Each test on a server of its own; skipped when Xvfb is not installed.
class xdisplay : public ::testing::Test {
protected:
  void SetUp() override {
    if (!testing::installed("Xvfb"))
      GTEST_SKIP() << "Xvfb is not installed; tools/deps.sh installs it";
    if (!server.start()) FAIL() << server.problem;
  }
  xserver server;
};

// The window open on the test's server. Standard output must stay empty meanwhile: it is the
// program's alone.
class xwindow : public xdisplay {
protected:
  void SetUp() override {
    xdisplay::SetUp();
    if (IsSkipped() || HasFailure()) return;
    ::testing::internal::CaptureStdout();
    capturing = true;
    w = &OpenGraphics(cv, 720, 512, 0, 60, 0);
    ASSERT_FALSE(w->headless());
    ASSERT_TRUE(eventually([&] { return (id = server.x->findwindow("Tarvex Application")) != 0; }))
        << "no window titled \"Tarvex Application\"";
  }
  void TearDown() override {
    CloseGraphics();
    if (capturing) {
      EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    }
  }
  canvas cv;
  window* w = nullptr;
  unsigned long id = 0;
  bool capturing = false;
};

TEST_F(xwindow, shows_the_canvas_pixel_for_pixel_at_its_size_and_place) {

  // Black right after opening.
  screenshot shot;
  auto take = [&] { return server.capture(id, shot); };
  ASSERT_TRUE(eventually([&] {
    if (!take()) return false;
    for (uint32_t p : shot.pixels)
      if (p != 0) return false;
    return true;
  })) << "the window does not show black after opening";
  EXPECT_EQ(shot.width, 720);
  EXPECT_EQ(shot.height, 512);
  EXPECT_EQ(shot.x, 1024 / 2 - 720 / 2) << "centred";
  EXPECT_EQ(shot.y, 768 / 2 - 512 / 2) << "centred";

  // Neither resizable nor maximisable: the size hints pin it to 720 by 512.
  testing::sizelimits hints;
  ASSERT_TRUE(server.x->sizehints(id, hints));
  EXPECT_TRUE(hints.hasminimum && hints.hasmaximum);
  EXPECT_EQ(hints.minwidth, 720);
  EXPECT_EQ(hints.maxwidth, 720);
  EXPECT_EQ(hints.minheight, 512);
  EXPECT_EQ(hints.maxheight, 512);

  drawknownpicture(cv);
  w->Flip(cv, -1);
  long wrong = 0;
  bool same = eventually([&] {
    if (!take() || shot.width != 720 || shot.height != 512) return false;
    wrong = 0;
    for (size_t i = 0; i < shot.pixels.size(); ++i)
      wrong += shot.pixels[i] != cv.pixels()[i];
    return wrong == 0;
  });
  EXPECT_TRUE(same) << wrong << " pixels differ from the canvas";
}

TEST_F(xwindow, held_keys_are_down_until_released) {
  server.focus(id);
  EXPECT_EQ(w->KeyDown(27), 0);

  server.keydown("Escape");
  ASSERT_TRUE(eventually([&] { return w->KeyDown(27) == 1; })) << "Escape never came down";
  // Held past the server's auto-repeat delay, it stays down at every query.
  for (int i = 0; i < 8; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(w->KeyDown(27), 1) << "query " << i;
  }
  EXPECT_EQ(w->input().keyhits(27), 1) << "auto-repeat is not a new stroke";
  server.keyup("Escape");
  EXPECT_TRUE(eventually([&] { return w->KeyDown(27) == 0; })) << "Escape never came up";

  // Letters, digits, space and Enter have their Windows key codes.
  struct row {
    const char* key;
    int code;
  };
  for (row r : {row{"a", 65}, row{"z", 90}, row{"1", 49}, row{"space", 32}, row{"Return", 13}}) {
    server.keydown(r.key);
    EXPECT_TRUE(eventually([&] { return w->KeyDown(r.code) == 1; })) << r.key;
    server.keyup(r.key);
    EXPECT_TRUE(eventually([&] { return w->KeyDown(r.code) == 0; })) << r.key;
  }
  EXPECT_EQ(w->AppTerminate(), 0);
}

TEST_F(xwindow, a_close_request_answers_once_and_leaves_the_window_open) {
  EXPECT_EQ(w->AppTerminate(), 0);
  server.x->requestclose(id);
  EXPECT_TRUE(eventually([&] { return w->AppTerminate() == 1; })) << "no close request arrived";
  EXPECT_EQ(w->AppTerminate(), 0);
  EXPECT_NE(server.x->findwindow("Tarvex Application"), 0u) << "only the program closes it";
  CloseGraphics();
  EXPECT_TRUE(eventually([&] { return server.x->findwindow("Tarvex Application") == 0; }));
}

TEST_F(xdisplay, a_fault_shows_a_box_over_the_window_and_ends_after_ok) {
  int errors[2];
  ASSERT_EQ(pipe(errors), 0);
  std::fflush(nullptr);
  pid_t child = fork();
  if (child == 0) {
    // A group of its own, so whatever it starts for the box ends with it.
    setpgid(0, 0);
    close(errors[0]);
    dup2(errors[1], 2);
    canvas cv;
    OpenGraphics(cv, 720, 512, 0, 60, 0);
    faultreport(faultcode::INT_DIVIDE_BY_ZERO);
  }
  close(errors[1]);
  unsigned long box = 0;
  EXPECT_TRUE(eventually([&] { return (box = server.x->findwindow("Windows exception")) != 0; }))
      << "no box captioned \"Windows exception\"";
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  int status = 0;
  EXPECT_EQ(waitpid(child, &status, WNOHANG), 0) << "the box waits for OK";
  if (box) {
    server.key(box, "Return");
  }
  bool ended = eventually([&] { return waitpid(child, &status, WNOHANG) == child; });
  kill(-child, SIGKILL);
  if (!ended) waitpid(child, &status, 0);
  EXPECT_TRUE(ended) << "the process did not end after OK";
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
  std::string err;
  char chunk[256];
  pollfd readable{errors[0], POLLIN, 0};
  while (poll(&readable, 1, 1000) > 0) {
    ssize_t n = read(errors[0], chunk, sizeof chunk);
    if (n <= 0) break;
    err.append(chunk, size_t(n));
  }
  close(errors[0]);
  EXPECT_EQ(err, "") << "the name goes into the box, not to standard error";
}

} // namespace
} // namespace tarvex
