// The run sequence: start-up, window, font, loading, the ticks, the closing lines.
#include "interp/run.h"

#include "runtime/console.h"
#include "runtime/endings.h"
#include "runtime/startup.h"

namespace tarvex {

void runsequence(int argc, char** argv) {
  startup(argc, argv);
  printline(u"Executing program..");
  printline(u"");
  endprogram(0);
}

} // namespace tarvex
