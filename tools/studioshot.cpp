// Draws one studio frame into a PNG: a program driven through the studio's key and mouse map,
// as the window and the page drive it, then painted as the session shows it. It makes the
// README's studio picture and the frames the page's studio is compared with.
//
//   studioshot SOURCE OUT.png EVENT...
//
// EVENT: ticks:N (N ticks), key:CODE (a key by its window key code), char:C, move:X,Y,
// click:X,Y (the left button pressed and released), right:X,Y, drag:X,Y,X2,Y2, wheel:X,Y,STEPS,
// line:Y,TEXT (line Y read again as TEXT, as the page's program box reads a changed line),
// typeat:X,Y (the typing cursor on cell X,Y, where the page's box has its caret)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/picture.h"
#include "display/font.h"
#include "runtime/console.h"
#include "runtime/streamnames.h"
#include "session/session.h"
#include "session/studio.h"

namespace {

using namespace tarvex;

[[noreturn]] void usage(const char* why) {
  std::fprintf(stderr, "studioshot: %s\nusage: studioshot SOURCE OUT.png EVENT...\n", why);
  std::exit(64);
}

void apply(session& run, studio& keys, const std::string& event) {
  const size_t colon = event.find(':');
  if (colon == std::string::npos) usage(("no event: " + event).c_str());
  const std::string kind = event.substr(0, colon), args = event.substr(colon + 1);
  int a = 0, b = 0, c = 0, d = 0;
  const int n = std::sscanf(args.c_str(), "%d,%d,%d,%d", &a, &b, &c, &d);
  std::vector<inputevent> events;
  using k = inputkind;
  if (kind == "ticks") {
    for (int i = 0; i < a; ++i)
      run.tick();
    return;
  }
  if (kind == "line" && n >= 1) {
    const std::string text = args.substr(std::min(args.find(','), args.size() - 1) + 1);
    if (const std::string why = run.change(edit::lines(a, 1, {frombytes(text)})); !why.empty())
      usage(why.c_str());
    return;
  }
  if (kind == "typeat" && n == 2) return run.typeat({a, b});
  if (kind == "key" && n == 1)
    events = {{k::KeyDown, a}};
  else if (kind == "char" && !args.empty())
    events = {{k::KeyDown, 0, static_cast<char32_t>(args[0])}};
  else if (kind == "move" && n == 2)
    events = {{k::MouseMove, 0, 0, a, b}};
  else if (kind == "click" && n == 2)
    events = {{k::MouseDown, 1, 0, a, b}, {k::MouseUp, 1, 0, a, b}};
  else if (kind == "right" && n == 2)
    events = {{k::MouseDown, 3, 0, a, b}};
  else if (kind == "drag" && n == 4)
    events = {{k::MouseDown, 1, 0, a, b}, {k::MouseMove, 0, 0, c, d}, {k::MouseUp, 1, 0, c, d}};
  else if (kind == "wheel" && n == 3)
    events = {{k::Wheel, c, 0, a, b}};
  else
    usage(("bad event: " + event).c_str());
  for (const inputevent& e : events)
    switch (keys.handle(e, run)) {
    case studioaction::steptick: run.next(); break;
    case studioaction::steppointer: run.steppointer(); break;
    case studioaction::reload: run.reload(); break;
    default: break;
    }
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 3) usage("too few arguments");
  installstreamfactories();
  canvas surface;
  glyphfont font;
  if (!loadfont(font, fromcstring(TARVEX_SOURCE_DIR "/display/curses.bit"))) return 1;
  std::FILE* sink = std::fopen("/dev/null", "w");
  console con(stdin, sink);
  session run(con, {.historybytes = int64_t{64} << 20});
  if (!run.load(frombytes(argv[1]), frombytes(argv[1]))) usage("cannot open the source");
  studio keys;
  for (int i = 3; i < argc; ++i)
    apply(run, keys, argv[i]);
  run.paint(surface, font.atlas);
  pictureresult failed = writepng(argv[2], surface.pixels().data(), canvas::WIDTH, canvas::HEIGHT);
  if (failed) {
    std::fprintf(stderr, "studioshot: %s: %s\n", failed->path.c_str(), failed->reason.c_str());
    return 1;
  }
  return 0;
}
