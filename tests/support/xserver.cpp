// Xvfb for the real-window tests; xdotool and xwd do the looking and the typing. Only the
// close request needs libX11 itself, loaded at run time so no test links against X.
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

namespace tarvex::testing {

namespace {

outcome tool(const char* name, std::vector<std::string> args) {
  return run({.program = name, .args = std::move(args), .headless = false, .timeoutseconds = 10});
}

} // namespace

std::string missingxtools() {
  for (std::string name : {"Xvfb", "xdotool", "xwd"})
    if (std::system(("command -v " + name + " >/dev/null").c_str()) != 0)
      return name + " is not installed; tools/deps.sh installs it";
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

bool xserver::start() {
  int ready[2];
  if (pipe2(ready, O_CLOEXEC) != 0 || (_pid = fork()) < 0) return problem = "no Xvfb", false;
  if (_pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    int quiet = open("/dev/null", O_RDWR);
    dup2(quiet, 0), dup2(ready[1], 1), dup2(quiet, 2);
    execlp("Xvfb", "Xvfb", "-displayfd", "1", "-screen", "0", "1600x1200x24", "-nolisten", "tcp",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(ready[1]);
  // Xvfb picks a free display itself and writes its number once it accepts connections.
  std::string number;
  // A server that neither reports nor exits within 10 s is given up on, not waited for.
  pollfd wait{ready[0], POLLIN, 0};
  for (char c = 0; poll(&wait, 1, 10000) == 1 && read(ready[0], &c, 1) == 1 && c != '\n';)
    number += c;
  close(ready[0]);
  if (number.empty()) return problem = "Xvfb did not report a display", false;
  setenv("DISPLAY", (":" + number).c_str(), 1);
  unsetenv("WAYLAND_DISPLAY");
  return true;
}

xserver::~xserver() {
  if (_pid > 0) kill(_pid, SIGTERM), waitpid(_pid, nullptr, 0);
}

bool xserver::xdotool(std::vector<std::string> args) const {
  return tool("xdotool", std::move(args)).status == 0;
}

// Not `search --name`: that cannot read a caption stored as UTF-8, as the fault box stores it.
unsigned long xserver::find(const std::string& title) const {
  std::istringstream ids(
      tool("xdotool", {"search", "--maxdepth", "1", "--onlyvisible", "--classname", "^"}).out);
  for (unsigned long id = 0; ids >> id;)
    if (xserver::title(id) == title) return id;
  return 0;
}

std::string xserver::title(unsigned long window) const {
  std::string name = tool("xdotool", {"getwindowname", std::to_string(window)}).out;
  if (!name.empty() && name.back() == '\n') name.pop_back();
  return name;
}

long xserver::differences(unsigned long window, int width,
                          const std::vector<uint32_t>& expected) const {
  std::string f = tool("xwd", {"-silent", "-id", std::to_string(window)}).out;
  auto field = [&](size_t at) { // big-endian, as xwd writes its header
    uint32_t v = 0;
    for (size_t b = 0; b < 4; ++b)
      v = v << 8 | uint8_t(f[at + b]);
    return v;
  };
  // Only what Xvfb at 24 bits gives: ZPixmap, 32 bits a pixel, 8 bits a channel.
  if (f.size() < 100 || field(8) != 2 || field(44) != 32 || field(56) != 0xFF0000 ||
      field(64) != 0xFF || field(16) != uint32_t(width) ||
      size_t{field(20)} * size_t(width) != expected.size())
    return -1;
  // The header, then a colour map of 12-byte entries, then the rows.
  size_t line = field(48), data = field(0) + field(76) * 12, wrong = 0;
  if (f.size() < data + line * field(20)) return -1;
  for (size_t i = 0; i < expected.size(); ++i) {
    uint32_t p = field(data + i / size_t(width) * line + i % size_t(width) * 4);
    wrong +=
        ((field(28) == 0 ? __builtin_bswap32(p) : p) & 0xFFFFFF) != expected[i]; // 0: LSB first
  }
  return long(wrong);
}

// No command-line tool sends this client message, and no window manager runs under Xvfb to
// turn some other request into it.
bool xserver::requestclose(unsigned long window) const {
  void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
  auto open = reinterpret_cast<decltype(&XOpenDisplay)>(x11 ? dlsym(x11, "XOpenDisplay") : nullptr);
  auto atom = reinterpret_cast<decltype(&XInternAtom)>(dlsym(x11, "XInternAtom"));
  auto send = reinterpret_cast<decltype(&XSendEvent)>(dlsym(x11, "XSendEvent"));
  auto sync = reinterpret_cast<decltype(&XSync)>(dlsym(x11, "XSync"));
  auto closedisplay = reinterpret_cast<decltype(&XCloseDisplay)>(dlsym(x11, "XCloseDisplay"));
  Display* display = open ? open(nullptr) : nullptr;
  if (!display) return false;
  XEvent event{};
  Atom protocols = atom(display, "WM_PROTOCOLS", False);
  event.xclient = {ClientMessage, 0, False, display, window, protocols, 32, {}};
  event.xclient.data.l[0] = long(atom(display, "WM_DELETE_WINDOW", False)); // at CurrentTime, 0
  bool sent = send(display, window, False, NoEventMask, &event) != 0;
  sync(display, False); // delivered, not merely queued
  closedisplay(display);
  dlclose(x11);
  return sent;
}

} // namespace tarvex::testing
