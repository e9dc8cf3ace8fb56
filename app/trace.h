// The state trace: the run as JSON lines. A header names the program, then one line gives the
// state after loading (tick 0) and one the state after each tick's pass, which is what that
// tick's frame shows: every live pointer, the writes queued in the tick, the console bytes it
// wrote, and the lines whose length changed since the last state (a pointer beyond the end
// of a short line lengthens it with spaces, which the writes alone would not tell).
#pragma once
#include <string>
#include <vector>

#include "interp/machine.h"
#include "runtime/nocopy.h"
#include "session/edit.h"

namespace tarvex {

class tracewriter : nocopy {
public:
  tracewriter() = default;
  ~tracewriter();

  // Creates or empties the file. Each call returns false when the file cannot be written;
  // reason() then says why, failure() gives the whole message, and every line written before
  // is still whole.
  bool open(const std::string& path);
  bool header(const Text& source, const machine& m);
  bool state(const machine& m, const std::string& out);
  // A person's edit, made to the state of tick `m.tick` after that tick's writes landed.
  bool edited(const edit& e, const machine& m);
  const std::string& reason() const { return _reason; }
  Text failure() const;

private:
  bool writeline(std::string& line);

  std::string _path;
  int _fd = -1;
  long long _size = 0; // bytes of whole lines in the file
  std::string _reason;
  std::string _line;            // kept between ticks so a large state does not allocate each time
  std::vector<size_t> _lengths; // each grid line's length at the last state written
};

// The JSON string of `text`: printable ASCII as itself, every other code as \uXXXX.
void appendjsonstring(std::string& json, const Text& text);

} // namespace tarvex
