// The descriptor redirect of `hushed`.
#include "app/hushed.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace tarvex {

hushed::hushed() {
  // What the program wrote before must reach its own streams first.
  std::fflush(stdout);
  std::fflush(stderr);
  int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (nowhere < 0) return;
  for (int i = 0; i < 2; ++i) {
    _saved[i] = dup(i + 1);
    if (_saved[i] >= 0) dup2(nowhere, i + 1);
  }
  close(nowhere);
}

hushed::~hushed() {
  for (int i = 0; i < 2; ++i) {
    if (_saved[i] < 0) continue;
    dup2(_saved[i], i + 1);
    close(_saved[i]);
  }
}

} // namespace tarvex
