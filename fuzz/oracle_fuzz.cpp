// The fast tick side by side with the plain quadratic one of the tests, on arbitrary bytes as
// a program: after every tick the pointers, the queued writes, the output, the halt and the
// grid must agree. AddressSanitizer cannot see a stale record inside the pointer list's
// reused pool entries; a difference here can.
#include <cstdio>
#include <cstdlib>

#include "interp/loader.h"
#include "interp/tick.h"
#include "interp/writes.h"
#include "runtime/memstream.h"
#include "tests/support/quadratic.h"
#include "tests/support/rig.h"

using namespace tarvex;
using namespace tarvex::testing;

namespace {

// The plain sweep costs the square of the pointers; this keeps an input quick.
constexpr size_t MAXPOINTERS = 300;
constexpr int TICKS = 40;

std::string everything(rig& r) {
  return testing::everything(r.m) + "|" + r.output();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string program(reinterpret_cast<const char*>(data), size);
  // Whatever ":" reads, both read the same: the program's own bytes.
  rig fast(program), plain(program);
  fast.m.maxpointers = plain.m.maxpointers = MAXPOINTERS;
  TMemoryStream a(program), b(program);
  loadgrid(fast.m, a);
  loadgrid(plain.m, b);
  for (int tick = 0; tick < TICKS && currentoutcome(fast.m).state == tickstate::going; ++tick) {
    tickoutcome outcome = steppass(fast.m);
    quadraticsteppass(plain.m);
    if (everything(fast) != everything(plain)) {
      std::fprintf(stderr, "the ticks differ after tick %d\nfast:  %s\nplain: %s\n", tick + 1,
                   everything(fast).c_str(), everything(plain).c_str());
      std::abort();
    }
    if (outcome.state != tickstate::going) break;
    applywrites(fast.m);
    quadraticapplywrites(plain.m);
  }
  return 0;
}
