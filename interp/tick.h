// The tick without its pause and its frame: stepping every pointer once, and how the run
// stands afterwards.
//
// A host runs, per tick: steppass; show the frame (this tick's moves, not its writes); endtick.
#pragma once
#include <cstdint>

#include "interp/machine.h"

namespace tarvex {

// The cores this process may run on (its affinity), at most MOSTTHREADS: how many threads a
// pass in parts may use by default. 1 where there are no threads to share a pass among.
int usablecores();

enum class tickstate {
  going,       // pointers are left and nothing stopped them
  finished,    // the pointer list is empty
  halted,      // "@" stopped the program
  fault,       // a step faulted; the pass stopped there
  overcap,     // more pointers than the machine's limit came alive; the pass stopped there
  overmemory,  // the run came to hold more than its memory budget; the pass stopped there
  interrupted, // the host's poll stopped the pass
};

struct tickoutcome {
  tickstate state = tickstate::going;
  uint32_t fault = 0; // the fault's code when state is `fault`
};

// One pass over the pointer list in list order: each pointer steps, then every other stepped
// pointer at its cell with its direction is removed (also when the stepping pointer removed
// itself). A fault, the pointer limit, the memory budget or the host's poll ends the pass
// early. Removed records
// are released once the pass is over; m.tick counts the pass.
tickoutcome steppass(machine& m);

// The same pass taken one pointer step at a time, for a host that stops inside a tick (to
// show the partial pass, or to wait for input the next step reads). Stepping a pass to its
// end leaves the machine exactly as steppass would, with no poll. Nothing else may step or
// load the machine while one is open, and finish() must be called before endtick.
class passstepper {
public:
  explicit passstepper(machine& m); // begins the pass: m.tick counts it from here
  // The pointer that steps next; null when the pass has nothing more to step.
  const ip* upcoming() const;
  // One pointer step; false once the pass has nothing more to step (the list is done, or a
  // fault or the pointer limit stopped it).
  bool step();
  // Up to `steps` pointer steps at the pace of a whole pass, with no look ahead between them;
  // false once the pass has nothing more to step.
  bool run(int64_t steps);
  // As run, but stops before a step that reads a console line, which stays upcoming, for a
  // host that must first see that the line is there; true when it stopped there.
  bool runtoread(int64_t steps);
  // Ends the pass where it stands, as the host's poll would: nothing more steps.
  void interrupt();
  // Steps whatever is left, then ends the pass as steppass does and returns its outcome.
  tickoutcome finish();

private:
  machine& _m;
  plist<ip>::pass _pass;
  bool _ended = false;
};

// The end of a tick once its frame is shown: the writes queued in it go into the grid when
// the run goes on; those of the tick that ends the run are never applied.
void endtick(machine& m, const tickoutcome& outcome);

// How the run stands: a fault first, then the pointer limit, the memory budget, an
// interruption, a halt, and an empty list.
tickoutcome currentoutcome(const machine& m);

// The ticks a run completed: a pass that was cut short is not one.
inline int64_t completedticks(const machine& m) {
  return m.tick - (m.passing ? 1 : 0);
}

} // namespace tarvex
