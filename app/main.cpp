// tarvex: runs a two-dimensional program of many pointers and shows every tick in a window.
// The one place the process ends: every path below returns its status here.
#include <cstdio>
#include <cstdlib>

#include "app/sequence.h"

int main(int argc, char** argv) {
  const tarvex::exitrequest ending = tarvex::runsequence(argc, argv);
  if (!ending.message.empty()) {
    std::fputs(ending.message.c_str(), stderr);
    std::fflush(stderr);
  }
  std::exit(ending.status);
}
