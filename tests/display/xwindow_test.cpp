// The window on a real X server: each test starts its own Xvfb, opens the window through the
// layer in this process and looks at it from outside with xdotool and xwd: caption, size and
// place, the picture pixel for pixel, held keys, a close request, and the fault box.
#include "display/backend/window.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>

#include "display/backend/canvas.h"
#include "runtime/faultreport.h"
#include "tests/support/process.h"

// Last: Xlib's macros (None, Bool, Status...) would clash with names in the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace tarvex {
namespace {

using clocktime = std::chrono::steady_clock;

std::string findtool(const char* name) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

// Asks `ready` again every 20 ms until it holds or `seconds` have passed.
bool eventually(const std::function<bool()>& ready, double seconds = 5) {
  auto deadline = clocktime::now() + std::chrono::milliseconds(long(seconds * 1000));
  while (!ready()) {
    if (clocktime::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// The Xlib calls the tools cannot make: finding a window by a UTF-8 title, a close request
// as a window manager sends it, and the size hints. libX11 is loaded at run time, since only
// the window layer links SDL.
class xlib {
public:
  explicit xlib(const std::string& display) {
    _library = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (!_library) return;
    bool all = load(_open, "XOpenDisplay") && load(_close, "XCloseDisplay") &&
               load(_atom, "XInternAtom") && load(_send, "XSendEvent") && load(_flush, "XFlush") &&
               load(_hints, "XGetWMNormalHints") && load(_root, "XDefaultRootWindow") &&
               load(_tree, "XQueryTree") && load(_property, "XGetWindowProperty") &&
               load(_attributes, "XGetWindowAttributes") && load(_free, "XFree");
    if (all) _display = _open(display.c_str());
  }
  ~xlib() {
    if (_display) _close(_display);
    if (_library) dlclose(_library);
  }
  xlib(const xlib&) = delete;
  xlib& operator=(const xlib&) = delete;
  bool ready() const { return _display != nullptr; }

  // The mapped top-level window whose WM_NAME and _NET_WM_NAME are both `title`; 0 for none.
  unsigned long findwindow(const std::string& title) {
    Window root = _root(_display), parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!_tree(_display, root, &root, &parent, &children, &count)) return 0;
    unsigned long found = 0;
    for (unsigned int i = 0; i < count && !found; ++i) {
      XWindowAttributes attributes{};
      if (!_attributes(_display, children[i], &attributes) || attributes.map_state != IsViewable)
        continue;
      if (text(children[i], "WM_NAME") == title && text(children[i], "_NET_WM_NAME") == title)
        found = children[i];
    }
    if (children) _free(children);
    return found;
  }

  void requestclose(unsigned long window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = _atom(_display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(_atom(_display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    _send(_display, window, False, NoEventMask, &event);
    _flush(_display);
  }

  bool sizehints(unsigned long window, XSizeHints& hints) {
    long supplied = 0;
    return _hints(_display, window, &hints, &supplied) != 0;
  }

private:
  template <class F> bool load(F& function, const char* name) {
    function = reinterpret_cast<F>(dlsym(_library, name));
    return function != nullptr;
  }

  // A text property of any encoding, as its bytes.
  std::string text(Window window, const char* name) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string value;
    if (_property(_display, window, _atom(_display, name, False), 0, 1024, False, AnyPropertyType,
                  &type, &format, &count, &after, &data) == Success &&
        data && format == 8)
      value.assign(reinterpret_cast<const char*>(data), count);
    if (data) _free(data);
    return value;
  }

  void* _library = nullptr;
  Display* _display = nullptr;
  Display* (*_open)(const char*) = nullptr;
  int (*_close)(Display*) = nullptr;
  Atom (*_atom)(Display*, const char*, Bool) = nullptr;
  Status (*_send)(Display*, Window, Bool, long, XEvent*) = nullptr;
  int (*_flush)(Display*) = nullptr;
  Status (*_hints)(Display*, Window, XSizeHints*, long*) = nullptr;
  Window (*_root)(Display*) = nullptr;
  Status (*_tree)(Display*, Window, Window*, Window*, Window**, unsigned int*) = nullptr;
  int (*_property)(Display*, Window, Atom, long, long, Bool, Atom, Atom*, int*, unsigned long*,
                   unsigned long*, unsigned char**) = nullptr;
  Status (*_attributes)(Display*, Window, XWindowAttributes*) = nullptr;
  int (*_free)(void*) = nullptr;
};

// An Xvfb of its own on a display number it picks itself, stopped with the object; DISPLAY
// points at it meanwhile.
class xserver {
public:
  // False when it could not start; why is in `problem`.
  bool start() {
    std::string program = findtool("Xvfb");
    if (program.empty()) return fail("Xvfb is not installed");
    int ready[2];
    if (pipe(ready) != 0) return fail("pipe failed");
    _pid = fork();
    if (_pid == 0) {
      // The server goes with the test even when the test dies first.
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      int quiet = open("/dev/null", O_RDWR);
      dup2(quiet, 0);
      dup2(quiet, 1);
      dup2(quiet, 2);
      close(ready[0]);
      std::string fd = std::to_string(ready[1]);
      execl(program.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24",
            "-nolisten", "tcp", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(ready[1]);
    std::string number;
    pollfd wait{ready[0], POLLIN, 0};
    char c = 0;
    while (poll(&wait, 1, 10000) > 0 && read(ready[0], &c, 1) == 1 && c != '\n')
      number += c;
    close(ready[0]);
    if (number.empty()) return fail("Xvfb did not report a display");
    display = ":" + number;
    const char* old = std::getenv("DISPLAY");
    _olddisplay = old ? old : "";
    _hadDisplay = old != nullptr;
    setenv("DISPLAY", display.c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    x = std::make_unique<xlib>(display);
    if (!x->ready()) return fail("libX11 cannot reach " + display);
    return true;
  }

  ~xserver() {
    x.reset();
    if (_pid > 0) {
      kill(_pid, SIGTERM);
      waitpid(_pid, nullptr, 0);
    }
    if (_hadDisplay)
      setenv("DISPLAY", _olddisplay.c_str(), 1);
    else
      unsetenv("DISPLAY");
  }

  // Runs an X tool against this server; its standard output, empty when it failed.
  std::string tool(const char* name, std::vector<std::string> args) const {
    testing::invocation call;
    call.program = findtool(name);
    if (call.program.empty()) return "";
    call.args = std::move(args);
    call.headless = false;
    call.env = {"DISPLAY=" + display};
    call.timeoutseconds = 10;
    testing::outcome result = testing::run(call);
    return result.status == 0 ? result.out : "";
  }

  std::string display;
  std::string problem;
  std::unique_ptr<xlib> x; // a connection of the test's own

private:
  bool fail(const std::string& why) {
    problem = why;
    return false;
  }
  pid_t _pid = -1;
  std::string _olddisplay;
  bool _hadDisplay = false;
};

// A window's picture as xwd writes it: a big-endian header, a colour map and ZPixmap rows.
struct screenshot {
  int width = 0, height = 0, x = 0, y = 0;
  std::vector<uint32_t> pixels; // 0x00RRGGBB, row by row

  static bool parse(const std::string& file, screenshot& shot) {
    auto field = [&](int i) {
      size_t at = size_t(i) * 4;
      return uint32_t(uint8_t(file[at])) << 24 | uint32_t(uint8_t(file[at + 1])) << 16 |
             uint32_t(uint8_t(file[at + 2])) << 8 | uint32_t(uint8_t(file[at + 3]));
    };
    if (file.size() < 100) return false;
    uint32_t headersize = field(0), format = field(2), width = field(4), height = field(5),
             byteorder = field(7), bitsperpixel = field(11), bytesperline = field(12),
             redmask = field(14), greenmask = field(15), bluemask = field(16), ncolors = field(19);
    if (format != 2 || bitsperpixel != 32) return false; // ZPixmap of 32-bit pixels
    size_t data = headersize + size_t(ncolors) * 12;
    if (file.size() < data + size_t(bytesperline) * height) return false;
    auto channel = [](uint32_t p, uint32_t mask) {
      if (mask == 0) return 0u;
      while (!(mask & 1))
        mask >>= 1, p >>= 1;
      return p & 0xFF;
    };
    shot.width = int(width);
    shot.height = int(height);
    shot.x = int32_t(field(22));
    shot.y = int32_t(field(23));
    shot.pixels.resize(size_t(width) * height);
    for (uint32_t y = 0; y < height; ++y)
      for (uint32_t x = 0; x < width; ++x) {
        const auto* b =
            reinterpret_cast<const uint8_t*>(file.data() + data + y * bytesperline + x * 4);
        uint32_t p = byteorder == 0 ? uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                                          uint32_t(b[3]) << 24
                                    : uint32_t(b[3]) | uint32_t(b[2]) << 8 | uint32_t(b[1]) << 16 |
                                          uint32_t(b[0]) << 24;
        shot.pixels[size_t(y) * width + x] =
            channel(p, redmask) << 16 | channel(p, greenmask) << 8 | channel(p, bluemask);
      }
    return true;
  }
};

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
    if (server.start()) return;
    if (server.problem == "Xvfb is not installed")
      GTEST_SKIP() << "Xvfb is not installed; tools/deps.sh installs it";
    FAIL() << server.problem;
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
  auto take = [&] {
    std::string file = server.tool("xwd", {"-id", std::to_string(id), "-silent"});
    return screenshot::parse(file, shot);
  };
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
  XSizeHints hints{};
  ASSERT_TRUE(server.x->sizehints(id, hints));
  EXPECT_TRUE((hints.flags & PMinSize) && (hints.flags & PMaxSize));
  EXPECT_EQ(hints.min_width, 720);
  EXPECT_EQ(hints.max_width, 720);
  EXPECT_EQ(hints.min_height, 512);
  EXPECT_EQ(hints.max_height, 512);

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
  server.tool("xdotool", {"windowfocus", "--sync", std::to_string(id)});
  EXPECT_EQ(w->KeyDown(27), 0);

  server.tool("xdotool", {"keydown", "Escape"});
  ASSERT_TRUE(eventually([&] { return w->KeyDown(27) == 1; })) << "Escape never came down";
  // Held past the server's auto-repeat delay, it stays down at every query.
  for (int i = 0; i < 8; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(w->KeyDown(27), 1) << "query " << i;
  }
  EXPECT_EQ(w->input().keyhits(27), 1) << "auto-repeat is not a new stroke";
  server.tool("xdotool", {"keyup", "Escape"});
  EXPECT_TRUE(eventually([&] { return w->KeyDown(27) == 0; })) << "Escape never came up";

  // Letters, digits, space and Enter have their Windows key codes.
  struct row {
    const char* key;
    int code;
  };
  for (row r : {row{"a", 65}, row{"z", 90}, row{"1", 49}, row{"space", 32}, row{"Return", 13}}) {
    server.tool("xdotool", {"keydown", r.key});
    EXPECT_TRUE(eventually([&] { return w->KeyDown(r.code) == 1; })) << r.key;
    server.tool("xdotool", {"keyup", r.key});
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
    server.tool("xdotool", {"key", "--window", std::to_string(box), "Return"});
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
