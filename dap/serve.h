// The adapter as a process speaks it: DAP messages read from one descriptor and written to
// another, log lines on standard error.
#pragma once
#include "dap/adapter.h"

namespace tarvex {

// Serves until the client disconnects or its input ends (status 0), or until a message is
// not the protocol or the output cannot be written (status 1, with the reason logged).
int servedap(int in, int out, adapterhooks hooks = {});

} // namespace tarvex
