// The whole program: the command line, start-up, the window, the font, the run and its ending,
// turned into the status and the last words that main ends the process with.
#pragma once
#include <string>

namespace tarvex {

struct exitrequest {
  int status = 0;
  std::string message; // written to standard error as it stands before the process ends
};

exitrequest runsequence(int argc, char** argv);

} // namespace tarvex
