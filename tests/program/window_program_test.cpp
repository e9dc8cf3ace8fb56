// The built program in a real window: each test starts an Xvfb of its own, runs tarvex on it
// and looks from outside: the caption and size, the first frame pixel for pixel against the
// frame the library paints for the same program, and the two ways the user stops a program
// that would run forever, Escape held down and the close button.
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <future>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "display/backend/canvas.h"
#include "display/font.h"
#include "display/frame.h"
#include "interp/loader.h"
#include "interp/machine.h"
#include "interp/tick.h"
#include "runtime/console.h"
#include "runtime/streamnames.h"
#include "tests/support/process.h"
#include "tests/support/xserver.h"

namespace tarvex {
namespace {

using testing::eventually;
using testing::outcome;
using testing::screenshot;

const std::string TITLE = "Tarvex Application";
const std::string STARTED = "Executing program..\r\n\r\n";

// Several lines of text and no start cell: one tick, then the closing lines and the ">" prompt,
// which waits on a standard input that stays open. Both frames it draws are the same, so the
// window keeps this picture until the process ends. Bytes above 127 and a line longer than the
// window are part of it.
const std::string TEXTONLY =
    "A grid of text and no start cell: the window keeps its first frame.\n"
    "  0123456789 abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ\n"
    "\n"
    "  ~!@#$^&*()_+{}|:\"<>?,./;'[]\\=-` \xb0\xb1\xb2\xdb \xc9\xcd\xbb \x01\x02\x03\n" +
    std::string(120, '=') + "\n" + "last line\n";

// Two start cells; the fourth pointer of the first reaches ":" in the first tick and waits
// there for a number, so the first frame, with all eight pointers on their start cells and
// their register values over the text above them, is the only one ever presented.
const std::string WAITINGPOINTERS = "Pointers wait while one of them reads a number.\n"
                                    "The values of the registers are drawn over this line.\n"
                                    "\n"
                                    "   %:      %\n"
                                    "\n"
                                    "the end\n";

// One pointer that goes round four cells for ever: ">" "v" "<" "^".
const std::string LOOP = "%>v\n ^<\n";

// The frame the library paints right after loading `path`, set up as the program sets it up.
canvas firstframe(const std::string& path) {
  installstreamfactories();
  canvas surface;
  surface.SetBlend(BLEND_ALPHA);
  pixmap sheet = surface.MakePixmap(128, 192, 1, 4);
  image atlas = surface.MakeImage(8, 12, 256, 0);
  auto font = openforread(frombytes(std::string(TARVEX_SOURCE_DIR) + "/display/curses.bit"));
  EXPECT_TRUE(font) << "no display/curses.bit";
  if (!font) return surface;
  loadfont(surface, sheet, atlas, *font);
  console con(stdin, stdout);
  machine m(con);
  auto source = openforread(frombytes(path));
  EXPECT_TRUE(source) << path;
  if (!source) return surface;
  loadgrid(m, *source);
  paintframe(surface, atlas, m);
  return surface;
}

// Whether the source keeps at least one pointer alive for `ticks` ticks, stepped through the
// library without pause or frame.
bool runsfor(const std::string& path, int ticks) {
  installstreamfactories();
  std::FILE* nothing = std::tmpfile();
  console con(nothing, nothing);
  machine m(con);
  auto source = openforread(frombytes(path));
  if (source) loadgrid(m, *source);
  bool alive = source && runticks(m, ticks) == ticks && !runover(m);
  std::fclose(nothing);
  return alive;
}

// Whether the process is blocked reading its standard input, as the kernel shows it; nothing
// when the kernel does not show it. A process between system calls reads "running".
std::optional<bool> readingstdin(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/syscall");
  std::string number, fd;
  if (!(file >> number)) return std::nullopt;
  file >> fd;
  return number == std::to_string(SYS_read) && fd == "0x0";
}

pid_t parentof(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string all((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  // The name in parentheses may hold spaces; the state and the parent follow the last ")".
  std::istringstream rest(all.substr(all.rfind(')') + 1));
  char state = 0;
  pid_t parent = 0;
  rest >> state >> parent;
  return parent;
}

// Shows control bytes so a mismatch in line ends is visible.
std::string visible(const std::string& bytes) {
  std::string shown;
  for (unsigned char c : bytes)
    if (c == '\r')
      shown += "\\r";
    else if (c == '\n')
      shown += "\\n";
    else
      shown += char(c);
  return shown;
}

// Each test on an Xvfb of its own, with tarvex started on it in the background.
class windowprogram : public ::testing::Test {
protected:
  void SetUp() override {
    if (!testing::installed("Xvfb"))
      GTEST_SKIP() << "Xvfb is not installed; tools/deps.sh installs it";
    if (!testing::installed("xdotool"))
      GTEST_SKIP() << "xdotool is not installed; tools/deps.sh installs it";
    ASSERT_TRUE(server.start()) << server.problem;
  }

  void TearDown() override {
    // A test that failed half-way leaves no program running.
    if (running.valid()) {
      if (child > 0 && running.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        kill(child, SIGKILL);
      running.get();
    }
  }

  // Runs tarvex on `source` with a standard input that stays open, and waits for its window.
  // False, with the reason recorded as a failure, when no window came.
  bool launch(const std::string& source) {
    path = files.file("prog.txt", source);
    testing::invocation call;
    call.program = TARVEX_BIN;
    call.args = {path};
    call.closeinput = false;
    call.headless = false;
    call.env = {"DISPLAY=" + server.display};
    call.timeoutseconds = 10; // a test that loses its program fails instead of hanging
    running = std::async(std::launch::async, testing::run, call);
    bool appeared = eventually(
        [&] {
          if (running.wait_for(std::chrono::seconds(0)) == std::future_status::ready) return true;
          return (id = server.x->findwindow(TITLE)) != 0;
        },
        10);
    if (!appeared || id == 0) {
      std::string why = "no window titled \"" + TITLE + "\"";
      if (running.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        outcome early = running.get();
        why += "; the program ended first with status " + std::to_string(early.status) +
               ", standard output \"" + visible(early.out) + "\", standard error \"" + early.err +
               "\"";
      }
      ADD_FAILURE() << why;
      return false;
    }
    // Signals go only to a process this test started.
    pid_t owner = server.x->windowowner(id);
    EXPECT_NE(owner, 0) << "the window does not name its process";
    EXPECT_EQ(owner > 0 ? parentof(owner) : 0, getpid())
        << "the window belongs to some other process";
    if (owner > 0 && parentof(owner) == getpid()) child = owner;
    return true;
  }

  // The program's outcome once it has ended by itself.
  outcome finish() {
    outcome result = running.get();
    EXPECT_FALSE(result.timedout) << "the program did not end";
    return result;
  }

  // Ends a program that waits for input, and its outcome.
  outcome stop() {
    if (child > 0) kill(child, SIGTERM);
    outcome result = running.get();
    EXPECT_EQ(result.signal, SIGTERM) << "the program was not running any more";
    return result;
  }

  // Waits until the program is blocked reading standard input. Where the kernel cannot tell,
  // a second is far beyond the few ticks the programs here run before they read.
  void awaitread() {
    if (!readingstdin(child).has_value()) {
      std::this_thread::sleep_for(std::chrono::seconds(1));
      return;
    }
    EXPECT_TRUE(eventually([&] { return readingstdin(child).value_or(false); }, 10))
        << "the program never came to read its standard input";
  }

  // Waits until the window shows something other than black, then until it shows something
  // else again: proof that ticks are being drawn.
  void awaitmoving() {
    screenshot first, later;
    ASSERT_TRUE(eventually([&] {
      if (!server.capture(id, first)) return false;
      for (uint32_t p : first.pixels)
        if (p != 0) return true;
      return false;
    })) << "the window never showed a frame";
    EXPECT_TRUE(eventually([&] {
      return server.capture(id, later) && later.pixels != first.pixels;
    })) << "the picture never changed: the program is not running";
  }

  testing::xserver server;
  testing::tempdir files;
  std::string path;
  std::future<outcome> running;
  unsigned long id = 0;
  pid_t child = 0;
};

TEST_F(windowprogram, opens_a_720_by_512_window_captioned_tarvex_application) {
  if (!launch(TEXTONLY)) return;
  int width = 0, height = 0;
  ASSERT_TRUE(server.x->clientsize(id, width, height));
  EXPECT_EQ(width, 720);
  EXPECT_EQ(height, 512);
  // findwindow has matched both the legacy and the UTF-8 caption; the window is the child's.
  EXPECT_EQ(server.x->findwindow(TITLE, child), id);
  stop();
}

struct stillframe {
  const char* name;
  const std::string* source;
  std::string output; // standard output while the picture stands still
};

void PrintTo(const stillframe& row, std::ostream* out) {
  *out << row.name;
}

class firstframes : public windowprogram, public ::testing::WithParamInterface<stillframe> {};

TEST_P(firstframes, window_shows_the_library_frame_pixel_for_pixel) {
  const stillframe& row = GetParam();
  if (!launch(*row.source)) return;
  canvas expected = firstframe(path);
  // Once the program reads, no frame is on its way: what the window shows now is final.
  awaitread();
  screenshot shot;
  long wrong = -1;
  bool same = eventually([&] {
    if (!server.capture(id, shot) || shot.width != 720 || shot.height != 512) return false;
    wrong = 0;
    for (size_t i = 0; i < shot.pixels.size(); ++i)
      wrong += shot.pixels[i] != expected.pixels()[i];
    return wrong == 0;
  });
  EXPECT_TRUE(same) << wrong << " pixels differ from the frame the library paints (screenshot "
                    << shot.width << "x" << shot.height << ")";
  outcome result = stop();
  EXPECT_EQ(visible(result.out), visible(row.output));
}

INSTANTIATE_TEST_SUITE_P(programs, firstframes,
                         ::testing::Values(stillframe{"text_waiting_at_the_prompt", &TEXTONLY,
                                                      STARTED + "\r\n\r\nExecution complete.\r\n>"},
                                           stillframe{"pointers_waiting_for_a_number",
                                                      &WAITINGPOINTERS, STARTED}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(windowprogram, escape_held_ends_a_running_program_with_status_0_and_no_closing_lines) {
  if (!launch(LOOP)) return;
  ASSERT_TRUE(runsfor(path, 200)) << "the program would end by itself";
  awaitmoving();
  ASSERT_TRUE(server.focus(id));
  ASSERT_TRUE(server.keydown("Escape"));
  outcome result = finish();
  server.keyup("Escape");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(visible(result.out), visible(STARTED)) << "no \"Execution complete.\", no prompt";
  EXPECT_EQ(result.err, "");
  EXPECT_TRUE(eventually([&] { return server.x->findwindow(TITLE) == 0; }))
      << "the window outlived the program";
}

TEST_F(windowprogram, close_button_ends_a_running_program_with_status_0_and_no_closing_lines) {
  if (!launch(LOOP)) return;
  ASSERT_TRUE(runsfor(path, 200)) << "the program would end by itself";
  awaitmoving();
  server.x->requestclose(id);
  outcome result = finish();
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(visible(result.out), visible(STARTED)) << "no \"Execution complete.\", no prompt";
  EXPECT_EQ(result.err, "");
  EXPECT_TRUE(eventually([&] { return server.x->findwindow(TITLE) == 0; }))
      << "the window outlived the program";
}

} // namespace
} // namespace tarvex
