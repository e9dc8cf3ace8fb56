// A test-only program that runs single runtime operations after start-up, so tests can check
// the bytes, the error text and the exit status of each ending of the process:
//   actions         registers three exit-time actions that write [1], [2], [3]
//   where           writes the working directory
//   readbytes FILE  ReadByte while not Eof, each byte as "n ", then one ReadByte more
//   divzero         a real integer division by zero
//   segv            a write through a null pointer
//   overflow        recursion without end
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <string>

#include "app/endings.h"
#include "app/startup.h"
#include "runtime/console.h"
#include "runtime/numtext.h"
#include "runtime/streamnames.h"

using namespace tarvex;

// Hidden from the undefined-behaviour checks so the platform signal happens; the volatile
// operands keep the compiler from folding the division away.
__attribute__((no_sanitize_undefined, noinline)) static int divide(int a, int b) {
  volatile int dividend = a, divisor = b;
  return dividend / divisor;
}

// Out of the optimiser's sight, so the faults happen as written.
__attribute__((noinline)) static void* nowhere() {
  static void* volatile null = nullptr;
  return null;
}
// The sanitizers would report these themselves instead of letting the platform fault happen.
__attribute__((no_sanitize("address", "undefined"), noinline)) static void poke(volatile int* at) {
  *at = 1;
}
__attribute__((no_sanitize("address"), noinline)) static int recurse(int depth) {
  volatile char frame[256];
  frame[0] = static_cast<char>(depth);
  // Deep enough to pass any stack limit; the condition keeps the compiler from calling the
  // recursion endless and refusing it.
  return depth < (1 << 30) ? recurse(depth + 1) + frame[0] : frame[0];
}

static void run(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string word = argv[i];
    const char* next = i + 1 < argc ? argv[i + 1] : "";
    if (word == "actions") {
      addexitaction([] { stdconsole().consolewrite(u"[1]"); });
      addexitaction([] { stdconsole().consolewrite(u"[2]"); });
      addexitaction([] { stdconsole().consolewrite(u"[3]"); });
    } else if (word == "where") {
      char cwd[4096];
      stdconsole().consolewrite(fromcstring(getcwd(cwd, sizeof cwd) ? cwd : "") + u"\n");
    } else if (word == "readbytes") {
      std::unique_ptr<TStream> stream = openforread(fromcstring(next));
      while (stream && !stream->Eof())
        stdconsole().consolewrite(decimaltext(stream->ReadByte()) + u" ");
      if (stream) stream->ReadByte();
      ++i;
    } else if (word == "divzero") {
      std::exit(divide(1, 0));
    } else if (word == "segv") {
      poke(static_cast<volatile int*>(nowhere()));
    } else if (word == "overflow") {
      std::exit(recurse(1));
    } else {
      std::exit(64);
    }
  }
}

int main(int argc, char** argv) {
  startup();
  try {
    run(argc, argv);
    std::exit(0);
  } catch (const TRuntimeException& e) {
    std::fputs(lowbytes(e.error).c_str(), stderr);
    std::exit(255);
  }
}
