// Parsing the command line and the texts of --help and --version.
#include "app/options.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <iterator>

#include "interp/tick.h"
#include "session/studio.h"

namespace tarvex {

namespace {

// MiB a budget can name without its bytes passing 63 bits.
constexpr int64_t MAXMIB = INT64_MAX >> 20;

// A quarter of the physical memory, in MiB: a run that would pass it would make the machine
// thrash or be killed anyway. 0 (no budget) where the system does not say.
int64_t quarterofmemory() {
  const long pages = sysconf(_SC_PHYS_PAGES), pagesize = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || pagesize <= 0) return 0;
  return std::max<int64_t>(1, static_cast<int64_t>(pages) / 4 * pagesize >> 20);
}

// A whole decimal number from `low` to `high`, or nothing.
std::optional<int64_t> number(const Text& text, int64_t low, int64_t high) {
  const std::string digits = utf8name(text);
  int64_t value = 0;
  auto [end, fault] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || fault != std::errc() || end != digits.data() + digits.size() ||
      value < low || value > high)
    return std::nullopt;
  return value;
}

// --help; the window keys stand where "%s" is.
constexpr const char* usagehead =
    "Usage: tarvex [OPTIONS] [SOURCE]\n"
    "Runs the program in SOURCE (default code.txt, the demo) and shows every tick in a\n"
    "window. A relative SOURCE is looked up in the current directory, then beside\n"
    "tarvex, then in ../share/tarvex/ from its directory.\n"
    "\n"
    "Options:\n"
    "  --help            show this text and exit\n"
    "  --version         show the version and exit\n"
    "  --headless        run without a window, silently\n"
    "  --dap             serve the Debug Adapter Protocol on standard input and output\n"
    "  --delay MS        pause MS milliseconds between ticks, 0 to 60000 (default 128)\n"
    "  --ticks N         stop a run that is still going after N ticks (status 3)\n"
    "  --max-pointers N  stop a run once more than N pointers are alive (status 3)\n"
    "  --max-memory MIB  stop a run once it holds more than MIB MiB (status 3; default a\n"
    "                    quarter of the physical memory, 0: no limit)\n"
    "  --threads N       step big ticks with N threads, 1 to 1024 (default: the cores\n"
    "                    this process may use)\n"
    "  --no-prompt       end after \"Execution complete.\" without the \">\" prompt\n"
    "  --batch           as --headless --delay 0 --no-prompt, and no frames drawn\n"
    "  --stats[=json]    one line of run statistics on standard error at the end\n"
    "  --trace FILE      write every state of the run to FILE as JSON lines\n"
    "  --frames DIR      write frames as DIR/frame-NNNNNN.png (the first, every K-th, the "
    "last)\n"
    "  --every K         keep the frame of every K-th tick (default 1)\n"
    "  --gif FILE        write the same frames as one looping animated GIF\n"
    "  --screenshot FILE\n"
    "                    write the last frame drawn as a PNG at the end of the run\n"
    "  --scale N         show the window N times enlarged, 1 to 4 (pictures stay 1x)\n"
    "  --break X,Y       pause the window after a tick in which a pointer steps onto\n"
    "                    column X, line Y (as in the trace); may be repeated\n"
    "  --break-output    pause the window after a tick that wrote to the console\n"
    "  --history MIB     memory for stepping back in the window (default 256, 0: off)\n"
    "  --                what follows is SOURCE even if it starts with --\n"
    "\n"
    "Window keys (nothing changes until one is used):\n"
    "%s"
    "\n"
    "Exit statuses:\n"
    "  0      the run completed, or Escape or the close button ended it\n"
    "  1      the source or the font file could not be opened\n"
    "  2      a fault, such as a division by zero\n"
    "  3      a limit stopped the run: --ticks, --max-pointers, --max-memory, or memory\n"
    "         ran out\n"
    "  64     bad usage\n"
    "  128+N  signal N (SIGINT, SIGTERM, SIGHUP) ended the run\n"
    "  255    a stream error: standard output refused bytes, the font could not be read, or\n"
    "         the trace or a picture could not be written\n";

} // namespace

parsed parseoptions(const std::vector<Text>& words) {
  parsed result;
  options& o = result.opts;
  o.maxmemorymib = quarterofmemory();
  o.threads = usablecores();
  auto fail = [&](const std::string& what) {
    result.error = what;
    return result;
  };
  bool optionsend = false;
  for (size_t i = 0; i < words.size(); ++i) {
    const Text& word = words[i];
    if (optionsend || word.size() < 2 || word[0] != u'-' || word[1] != u'-') {
      if (!o.source) o.source = word;
      continue;
    }
    if (word.size() == 2) {
      optionsend = true;
      continue;
    }
    const size_t equals = word.find(u'=');
    const std::string name = utf8name(word.substr(0, equals));
    std::optional<Text> inlinevalue;
    if (equals != Text::npos) inlinevalue = word.substr(equals + 1);

    // Options without a value refuse one given with "=".
    auto flag = [&](bool& field, bool value) -> bool {
      if (inlinevalue) return false;
      field = value;
      return true;
    };
    // Options with a value take it from "=V" or the next argument.
    auto value = [&]() -> std::optional<Text> {
      if (inlinevalue) return inlinevalue;
      if (i + 1 < words.size()) return words[++i];
      return std::nullopt;
    };

    // The options that only set a switch.
    struct flagoption {
      const char* name;
      bool options::*field;
      bool value;
    };
    static constexpr flagoption FLAGS[] = {
        {"--help", &options::help, true},         {"--version", &options::version, true},
        {"--headless", &options::headless, true}, {"--dap", &options::dap, true},
        {"--no-prompt", &options::prompt, false}, {"--break-output", &options::breakoutput, true},
    };
    const auto* flagged = std::find_if(std::begin(FLAGS), std::end(FLAGS),
                                       [&](const flagoption& f) { return name == f.name; });

    bool unwanted = false;
    if (flagged != std::end(FLAGS)) {
      unwanted = !flag(o.*(flagged->field), flagged->value);
    } else if (name == "--break") {
      std::optional<Text> given = value();
      if (!given) return fail("--break needs a cell X,Y");
      const size_t comma = given->find(u',');
      std::optional<int64_t> x, y;
      if (comma != Text::npos) {
        x = number(given->substr(0, comma), INT32_MIN, INT32_MAX);
        y = number(given->substr(comma + 1), INT32_MIN, INT32_MAX);
      }
      if (!x || !y)
        return fail("--break takes a cell as column,line (for example 3,0), not '" +
                    utf8name(*given) + "'");
      o.breaks.emplace_back(*x, *y);
    } else if (name == "--history") {
      std::optional<Text> given = value();
      if (!given) return fail("--history needs a value");
      std::optional<int64_t> n = number(*given, 0, 1 << 20);
      if (!n)
        return fail("--history takes a whole number of MiB from 0 to 1048576, not '" +
                    utf8name(*given) + "'");
      o.historymib = *n;
    } else if (name == "--threads") {
      std::optional<Text> given = value();
      if (!given) return fail("--threads needs a value");
      std::optional<int64_t> n = number(*given, 1, machine::MOSTTHREADS);
      if (!n)
        return fail("--threads takes a whole number of threads from 1 to 1024, not '" +
                    utf8name(*given) + "'");
      o.threads = *n;
    } else if (name == "--max-memory") {
      std::optional<Text> given = value();
      if (!given) return fail("--max-memory needs a value");
      std::optional<int64_t> n = number(*given, 0, MAXMIB);
      if (!n)
        return fail("--max-memory takes a whole number of MiB from 0 (no limit), not '" +
                    utf8name(*given) + "'");
      o.maxmemorymib = *n;
    } else if (name == "--batch") {
      if (inlinevalue) {
        unwanted = true;
      } else {
        o.headless = true, o.delayms = 0, o.prompt = false, o.frames = false;
      }
    } else if (name == "--stats") {
      if (!inlinevalue) {
        o.stats = statsform::text;
      } else if (*inlinevalue == u"json") {
        o.stats = statsform::json;
      } else {
        return fail("--stats takes no value or =json, not '" + utf8name(*inlinevalue) + "'");
      }
    } else if (name == "--delay" || name == "--ticks" || name == "--max-pointers") {
      std::optional<Text> given = value();
      if (!given) return fail(name + " needs a value");
      const bool delay = name == "--delay";
      std::optional<int64_t> n =
          delay ? number(*given, 0, LONGESTDELAYMS) : number(*given, 1, INT64_MAX);
      if (!n)
        return fail(name + " takes " +
                    (delay               ? "a whole number of milliseconds from 0 to 60000"
                     : name == "--ticks" ? "a whole number of ticks from 1"
                                         : "a whole number of pointers from 1") +
                    ", not '" + utf8name(*given) + "'");
      (delay ? o.delayms : name == "--ticks" ? o.maxticks : o.maxpointers) = *n;
    } else if (name == "--trace" || name == "--frames" || name == "--gif" ||
               name == "--screenshot") {
      std::optional<Text> given = value();
      if (!given || given->empty())
        return fail(name + (name == "--frames" ? " needs a folder name" : " needs a file name"));
      (name == "--trace"    ? o.trace
       : name == "--frames" ? o.framesdir
       : name == "--gif"    ? o.gif
                            : o.screenshot) = *given;
    } else if (name == "--every" || name == "--scale") {
      std::optional<Text> given = value();
      if (!given) return fail(name + " needs a value");
      const bool every = name == "--every";
      std::optional<int64_t> n = every ? number(*given, 1, INT32_MAX) : number(*given, 1, 4);
      if (!n)
        return fail(name + " takes " +
                    (every ? "a whole number of ticks from 1" : "a whole number from 1 to 4") +
                    ", not '" + utf8name(*given) + "'");
      (every ? o.every : o.scale) = *n;
    } else {
      return fail("unknown option " + utf8name(word.substr(0, equals)));
    }
    if (unwanted) return fail(name + " takes no value");
  }
  return result;
}

const char* usagetext() {
  static const std::string text = [] {
    std::string keys;
    for (const Text& line : studiokeys())
      keys += "  " + utf8name(line) + "\n";
    std::string all = usagehead;
    all.replace(all.find("%s"), 2, keys);
    return all;
  }();
  return text.c_str();
}

const char* versiontext() {
  return "tarvex " TARVEX_VERSION;
}

} // namespace tarvex
