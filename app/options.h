// The command line: tarvex [OPTIONS] [SOURCE], parsed into one plain record that the run
// driver reads. Nothing below app/ knows of options.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "runtime/text.h"
#include "session/speed.h"

namespace tarvex {

enum class statsform { none, text, json };

// The pause between ticks when none is asked for, and the one the studio goes back to.

struct options {
  bool help = false;
  bool version = false;
  bool headless = false;          // no window even where a display exists
  bool dap = false;               // serve the debug protocol on stdin and stdout instead
  int64_t delayms = PLAINDELAYMS; // the pause between ticks
  int64_t maxticks = 0;           // a run still going after this many ticks stops; 0: no limit
  int64_t maxpointers = 0;        // a run with more live pointers than this stops; 0: no limit
  // A run that comes to hold more than this many MiB stops; 0: no budget. parseoptions
  // starts it at a quarter of the machine's physical memory.
  int64_t maxmemorymib = 0;
  // The step pass's threads; parseoptions starts it at the cores the process may use.
  int64_t threads = 1;
  bool prompt = true; // the closing ">" prompt
  bool frames = true; // false: no frame is painted at all
  statsform stats = statsform::none;
  std::optional<Text> trace;      // the state trace's file, as given
  std::optional<Text> framesdir;  // the folder of PNG frames
  std::optional<Text> gif;        // the animated GIF
  std::optional<Text> screenshot; // the PNG of the last frame
  int64_t every = 1;              // keep the frame of every K-th tick
  int64_t scale = 1;              // the window shows the canvas this many times enlarged
  std::optional<Text> source;     // the first argument that is no option
  // The window's studio: cells (column, line, as in the trace) to pause after a pointer steps
  // onto, pausing after a tick that wrote to the console, and the memory for going back.
  std::vector<std::pair<int64_t, int64_t>> breaks;
  bool breakoutput = false;
  int64_t historymib = 256;
};

// The outcome of parsing: the options, or what is wrong with the command line.
struct parsed {
  options opts;
  std::string error; // empty when the command line is good
};

// Reads the words after the program's name. An argument that starts with "--" is an option
// wherever it stands, until a lone "--"; the first other one is the source, later ones are
// ignored. A value follows as "--opt=V" or as the next argument.
parsed parseoptions(const std::vector<Text>& words);

// The usage text of --help, with the exit statuses.
const char* usagetext();
// "tarvex X.Y.Z".
const char* versiontext();

} // namespace tarvex
