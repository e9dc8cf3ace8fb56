// A test-only program: runs single runtime operations from the process level, so tests can
// check the bytes, the error text and the exit status of each ending.
//
//   tarvex_testdriver WORD [ARGS] [WORD [ARGS]...]   runs the words in order, after startup:
//     actions          registers three exit-time actions that write [1], [2], [3] to stdout
//     where            writes cwd=, dir=, file=, count= and arg0.. lines (raw bytes)
//     print TEXT       printline
//     prompt TEXT      promptline, then the line read as [line]
//     read             consoleread, then the text read as [text]
//     readbytes FILE   ReadByte while not Eof, each byte as "n ", then one ReadByte more
//     end STATUS       endprogram
//     error TEXT       runtimeerrorexit
//     fault CODE       faultreport of the hexadecimal code
//     divzero | segv | stackoverflow   a real platform fault
// A runtime error that nothing catches ends the process like it ends the program.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/console.h"
#include "runtime/endings.h"
#include "runtime/faultreport.h"
#include "runtime/numtext.h"
#include "runtime/startup.h"
#include "runtime/streamnames.h"

using namespace tarvex;

namespace {

void writeraw(const std::string& bytes) {
  std::fputs(bytes.c_str(), stdout);
  std::fflush(stdout);
}

void action1() {
  writeraw("[1]");
}
void action2() {
  writeraw("[2]");
}
void action3() {
  writeraw("[3]");
}

void where() {
  char cwd[4096];
  std::string lines = std::string("cwd=") + (getcwd(cwd, sizeof cwd) ? cwd : "") + "\n";
  lines += "dir=" + lowbytes(programdir()) + "\n";
  lines += "file=" + lowbytes(programfile()) + "\n";
  lines += "count=" + std::to_string(arglist().size()) + "\n";
  for (size_t i = 0; i < arglist().size(); ++i)
    lines += "arg" + std::to_string(i) + "=" + lowbytes(arglist()[i]) + "\n";
  writeraw(lines);
}

void readbytes(const char* file) {
  std::unique_ptr<TStream> stream = openforread(fromcstring(file));
  if (!stream) endprogram(3);
  while (!stream->Eof())
    consolewrite(decimaltext(stream->ReadByte()) + u" ");
  stream->ReadByte();
}

// Real faults, hidden from the undefined-behaviour checks so the platform signal happens.
// Volatile operands keep the compiler from replacing the division or dropping the store.
__attribute__((no_sanitize_undefined, noinline)) int divide(int a, int b) {
  volatile int dividend = a, divisor = b;
  return dividend / divisor;
}

volatile uintptr_t unmapped = 16;

__attribute__((no_sanitize_undefined, no_sanitize_address, noinline)) void writeunmapped() {
  *reinterpret_cast<volatile int*>(unmapped) = 1;
}

volatile bool deeper = true;

__attribute__((noinline)) int recurse(int depth) {
  volatile char block[4096];
  block[0] = static_cast<char>(depth);
  return (deeper ? recurse(depth + 1) : 0) + block[0];
}

int run(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string word = argv[i];
    const char* next = i + 1 < argc ? argv[i + 1] : "";
    if (word == "actions") {
      addexitaction(action1);
      addexitaction(action2);
      addexitaction(action3);
    } else if (word == "where") {
      // The words after it are the arguments being shown.
      where();
      return 0;
    } else if (word == "print") {
      printline(fromcstring(next)), ++i;
    } else if (word == "prompt") {
      consolewrite(u"[" + promptline(fromcstring(next)) + u"]"), ++i;
    } else if (word == "read") {
      consolewrite(u"[" + consoleread() + u"]");
    } else if (word == "readbytes") {
      readbytes(next), ++i;
    } else if (word == "end") {
      endprogram(std::atoi(next));
    } else if (word == "error") {
      runtimeerrorexit(fromcstring(next));
    } else if (word == "fault") {
      faultreport(static_cast<uint32_t>(std::strtoul(next, nullptr, 16)));
    } else if (word == "divzero") {
      volatile int zero = 0;
      return divide(1, zero);
    } else if (word == "segv") {
      writeunmapped();
    } else if (word == "stackoverflow") {
      return recurse(0);
    } else {
      std::fprintf(stderr, "unknown word %s\n", word.c_str());
      return 64;
    }
  }
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  startup(argc, argv);
  try {
    endprogram(run(argc, argv));
  } catch (const TRuntimeException& e) {
    runtimeerrorexit(e.error);
  }
}
