// The endings of the process and the exit-time actions that run at each of them.
#include "app/endings.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace tarvex {

namespace {

std::vector<exitaction>& exitactions() {
  // Never destroyed: the actions are run from an atexit hook, after static destructors of
  // objects made later than the first registration have already run.
  static auto* actions = new std::vector<exitaction>();
  return *actions;
}

void runexitactions() {
  std::vector<exitaction>& actions = exitactions();
  // Each action leaves the list before it runs, so an ending started inside one of them
  // does not run it a second time.
  while (!actions.empty()) {
    exitaction action = actions.back();
    actions.pop_back();
    action();
  }
}

} // namespace

void addexitaction(exitaction action) {
  static bool hooked = (std::atexit(runexitactions), true);
  (void)hooked;
  exitactions().push_back(action);
}

} // namespace tarvex
