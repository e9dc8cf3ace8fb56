// Xvfb for the real-window tests, the Xlib calls they need (loaded at run time), the xwd
// picture format and the xdotool key helpers.
#include "tests/support/xserver.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "tests/support/process.h"

// Last: Xlib's macros (None, Bool, Status...) would clash with names in the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace tarvex::testing {

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

bool eventually(const std::function<bool()>& ready, double seconds) {
  auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(long(seconds * 1000));
  while (!ready()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// ---- xconnection

struct xconnection::api {
  void* library = nullptr;
  Display* display = nullptr;
  Display* (*open)(const char*) = nullptr;
  int (*close)(Display*) = nullptr;
  Atom (*atom)(Display*, const char*, Bool) = nullptr;
  Status (*send)(Display*, Window, Bool, long, XEvent*) = nullptr;
  int (*flush)(Display*) = nullptr;
  Status (*hints)(Display*, Window, XSizeHints*, long*) = nullptr;
  Window (*root)(Display*) = nullptr;
  Status (*tree)(Display*, Window, Window*, Window*, Window**, unsigned int*) = nullptr;
  int (*property)(Display*, Window, Atom, long, long, Bool, Atom, Atom*, int*, unsigned long*,
                  unsigned long*, unsigned char**) = nullptr;
  Status (*attributes)(Display*, Window, XWindowAttributes*) = nullptr;
  int (*free)(void*) = nullptr;
  int (*sync)(Display*, Bool) = nullptr;
  XErrorHandler (*onerror)(XErrorHandler) = nullptr;

  template <class F> bool load(F& function, const char* name) {
    function = reinterpret_cast<F>(dlsym(library, name));
    return function != nullptr;
  }

  // A property's raw items, when it is there in the given item size.
  bool read(Window window, const char* name, int wantformat, std::string& bytes,
            std::vector<long>& items) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool found = property(display, window, atom(display, name, False), 0, 1024, False,
                          AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
                 data && format == wantformat;
    if (found && format == 8) bytes.assign(reinterpret_cast<const char*>(data), count);
    // Xlib hands 32-bit items over as longs.
    if (found && format == 32)
      items.assign(reinterpret_cast<const long*>(data),
                   reinterpret_cast<const long*>(data) + count);
    if (data) free(data);
    return found;
  }

  // A window that goes away between two requests is a normal event here, not a reason for
  // Xlib's default handler to end the test. The handler is the process's, which a window
  // layer in the same process may have set too, so it is ours only during our own requests;
  // those all wait for their replies, so their errors arrive before it is given back.
  struct quiet {
    explicit quiet(api& x) : _x(x), _old(x.onerror(ignore)) {}
    ~quiet() { _x.onerror(_old); }
    quiet(const quiet&) = delete;
    quiet& operator=(const quiet&) = delete;
    static int ignore(Display*, XErrorEvent*) { return 0; }
    api& _x;
    XErrorHandler _old;
  };

  // A text property of any encoding, as its bytes.
  std::string text(Window window, const char* name) {
    std::string bytes;
    std::vector<long> unused;
    read(window, name, 8, bytes, unused);
    return bytes;
  }
};

xconnection::xconnection(const std::string& display) : _x(std::make_unique<api>()) {
  _x->library = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
  if (!_x->library) return;
  bool all = _x->load(_x->open, "XOpenDisplay") && _x->load(_x->close, "XCloseDisplay") &&
             _x->load(_x->atom, "XInternAtom") && _x->load(_x->send, "XSendEvent") &&
             _x->load(_x->flush, "XFlush") && _x->load(_x->hints, "XGetWMNormalHints") &&
             _x->load(_x->root, "XDefaultRootWindow") && _x->load(_x->tree, "XQueryTree") &&
             _x->load(_x->property, "XGetWindowProperty") &&
             _x->load(_x->attributes, "XGetWindowAttributes") && _x->load(_x->free, "XFree") &&
             _x->load(_x->sync, "XSync") && _x->load(_x->onerror, "XSetErrorHandler");
  if (all) _x->display = _x->open(display.c_str());
}

xconnection::~xconnection() {
  if (_x->display) _x->close(_x->display);
  if (_x->library) dlclose(_x->library);
}

bool xconnection::ready() const {
  return _x->display != nullptr;
}

unsigned long xconnection::findwindow(const std::string& title, pid_t owner) {
  api::quiet guard(*_x);
  Window root = _x->root(_x->display), parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!_x->tree(_x->display, root, &root, &parent, &children, &count)) return 0;
  unsigned long found = 0;
  for (unsigned int i = 0; i < count && !found; ++i) {
    XWindowAttributes attributes{};
    if (!_x->attributes(_x->display, children[i], &attributes) ||
        attributes.map_state != IsViewable)
      continue;
    if (_x->text(children[i], "WM_NAME") != title || _x->text(children[i], "_NET_WM_NAME") != title)
      continue;
    if (owner == 0 || windowowner(children[i]) == owner) found = children[i];
  }
  if (children) _x->free(children);
  return found;
}

pid_t xconnection::windowowner(unsigned long window) {
  api::quiet guard(*_x);
  std::string unused;
  std::vector<long> items;
  if (!_x->read(window, "_NET_WM_PID", 32, unused, items) || items.empty()) return 0;
  return pid_t(items[0]);
}

bool xconnection::clientsize(unsigned long window, int& width, int& height) {
  api::quiet guard(*_x);
  XWindowAttributes attributes{};
  if (!_x->attributes(_x->display, window, &attributes)) return false;
  width = attributes.width;
  height = attributes.height;
  return true;
}

bool xconnection::sizehints(unsigned long window, sizelimits& limits) {
  api::quiet guard(*_x);
  XSizeHints hints{};
  long supplied = 0;
  if (!_x->hints(_x->display, window, &hints, &supplied)) return false;
  limits.hasminimum = (hints.flags & PMinSize) != 0;
  limits.hasmaximum = (hints.flags & PMaxSize) != 0;
  limits.minwidth = hints.min_width;
  limits.minheight = hints.min_height;
  limits.maxwidth = hints.max_width;
  limits.maxheight = hints.max_height;
  return true;
}

void xconnection::requestclose(unsigned long window) {
  api::quiet guard(*_x);
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = _x->atom(_x->display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = long(_x->atom(_x->display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  _x->send(_x->display, window, False, NoEventMask, &event);
  // Delivered, not merely queued, when this returns, and any error is in before the guard
  // goes.
  _x->sync(_x->display, False);
}

// ---- screenshot

bool screenshot::parse(const std::string& file, screenshot& shot) {
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
      uint32_t p =
          byteorder == 0
              ? uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24
              : uint32_t(b[3]) | uint32_t(b[2]) << 8 | uint32_t(b[1]) << 16 | uint32_t(b[0]) << 24;
      shot.pixels[size_t(y) * width + x] =
          channel(p, redmask) << 16 | channel(p, greenmask) << 8 | channel(p, bluemask);
    }
  return true;
}

// ---- xserver

namespace {

// Runs an X tool against `display`, failing fast rather than hanging a test.
outcome runtool(const std::string& display, const char* name, std::vector<std::string> args) {
  invocation call;
  call.program = findtool(name);
  if (call.program.empty()) return outcome{.out = "", .err = std::string(name) + " is missing"};
  call.args = std::move(args);
  call.headless = false;
  call.env = {"DISPLAY=" + display};
  call.timeoutseconds = 10;
  return run(call);
}

} // namespace

bool xserver::start() {
  std::string program = findtool("Xvfb");
  if (program.empty()) return fail("Xvfb is not installed");
  int ready[2];
  if (pipe(ready) != 0) return fail("pipe failed");
  _pid = fork();
  if (_pid < 0) return fail("fork failed");
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
  // Xvfb picks a free display itself and writes its number once it accepts connections.
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
  _haddisplay = old != nullptr;
  setenv("DISPLAY", display.c_str(), 1);
  unsetenv("WAYLAND_DISPLAY");
  x = std::make_unique<xconnection>(display);
  if (!x->ready()) return fail("libX11 cannot reach " + display);
  return true;
}

xserver::~xserver() {
  x.reset();
  if (_pid > 0) {
    kill(_pid, SIGTERM);
    waitpid(_pid, nullptr, 0);
  }
  if (_haddisplay)
    setenv("DISPLAY", _olddisplay.c_str(), 1);
  else if (!display.empty())
    unsetenv("DISPLAY");
}

bool xserver::fail(const std::string& why) {
  problem = why;
  return false;
}

std::string xserver::tool(const char* name, std::vector<std::string> args) const {
  outcome result = runtool(display, name, std::move(args));
  return result.status == 0 ? result.out : "";
}

bool xserver::capture(unsigned long window, screenshot& shot) const {
  outcome result = runtool(display, "xwd", {"-id", std::to_string(window), "-silent"});
  return result.status == 0 && screenshot::parse(result.out, shot);
}

bool xserver::focus(unsigned long window) const {
  return runtool(display, "xdotool", {"windowfocus", "--sync", std::to_string(window)}).status == 0;
}

bool xserver::keydown(const std::string& key) const {
  return runtool(display, "xdotool", {"keydown", key}).status == 0;
}

bool xserver::keyup(const std::string& key) const {
  return runtool(display, "xdotool", {"keyup", key}).status == 0;
}

bool xserver::key(unsigned long window, const std::string& key) const {
  return runtool(display, "xdotool", {"key", "--window", std::to_string(window), key}).status == 0;
}

} // namespace tarvex::testing
