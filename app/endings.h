// The exit-time actions that run at every ending of the process.
#pragma once
#include "runtime/text.h"

namespace tarvex {

// Exit-time actions run last-registered first when the process ends through exit().
using exitaction = void (*)();
void addexitaction(exitaction action);

} // namespace tarvex
