// A console over memory for hosts without a terminal (the page, the debug adapter, tests):
// input handed over as bytes, a line at a time or all at once, and the output collected until
// the host takes it.
#pragma once
#include <cstdio>
#include <memory>
#include <string>

#include "runtime/console.h"
#include "runtime/nocopy.h"

namespace tarvex {

class typedinput : nocopy {
public:
  typedinput();
  ~typedinput();

  console& con() { return *_con; }
  // More input, in order; the run may read it as soon as a whole line is there.
  void feed(const std::string& bytes);
  // No more input comes: reads take what is left, then the end of input.
  void endinput();
  bool ended() const { return _ended; }
  // Whether a read of one line can be answered now.
  bool lineready() const;
  // The console bytes written since the last call.
  std::string takeoutput();

private:
  static ssize_t readinput(void* self, char* buffer, size_t size);
  static ssize_t writeoutput(void* self, const char* buffer, size_t size);

  std::string _input;
  size_t _read = 0; // bytes of _input the run has consumed
  bool _ended = false;
  std::string _output;
  std::FILE* _in;
  std::FILE* _out;
  std::unique_ptr<console> _con;
};

} // namespace tarvex
