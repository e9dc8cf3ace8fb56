// Runs a built program as a child process with given arguments and standard input, and
// captures its standard output, standard error and exit status.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "runtime/nocopy.h"

namespace tarvex::testing {

struct outcome {
  std::string out;
  std::string err;
  int status = -1;       // exit status, or -1 when the child did not exit normally
  bool timedout = false; // killed after the time limit
};

struct invocation {
  std::string program; // a bare name is looked up on PATH
  std::vector<std::string> args{};
  std::string input{};                                    // standard input, which ends after it
  std::string workdir{};                                  // empty: the current directory
  bool headless = true;                                   // unset DISPLAY so no window can open
  std::vector<std::pair<std::string, std::string>> env{}; // set in the child's environment
  double timeoutseconds = 60;
};

outcome run(const invocation& call);

// A fresh directory under the system's temporary directory, removed with the object.
class tempdir : nocopy {
public:
  tempdir();
  ~tempdir();
  const std::string& path() const { return _path; }
  std::string file(const std::string& name, const std::string& content) const;

private:
  std::string _path;
};

std::string readfile(const std::string& path);

} // namespace tarvex::testing
