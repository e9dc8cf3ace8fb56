// The browser's host of one run: the program's bytes, its console over memory, and the ticks
// taken a pointer step at a time so that the page's animation frames, not the run, own the
// clock. Nothing here waits: a step that would read a line nobody has typed yet, or a tick that
// outlasts its time, hands control back and is resumed by the next call.
#pragma once
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "display/canvas.h"
#include "interp/machine.h"
#include "interp/tick.h"
#include "runtime/console.h"

namespace tarvex::web {

// Where a call to advance left the run.
enum class progress : int {
  ticked = 1,  // every tick asked for was taken; the run goes on
  busy = 2,    // the time was spent first; call again to go on
  waiting = 3, // a step reads a line and no whole line has been typed
  ended = 4,   // the run is over; end() says how
};

// How a run ended, with the exit status the terminal program gives for it.
enum class ending : int {
  none = 0,     // still running
  complete = 1, // the pointers ran out or "@" halted: the closing lines, status 0
  fault = 2,    // a fault such as a zero divisor: its name, status 2
  overcap = 3,  // more live pointers than the cap: status 3
};

class playground {
public:
  // Loads `source` byte for byte (as the terminal program reads a plain file name) and writes
  // the opening lines. More than `maxpointers` live pointers end the run (0: no cap).
  playground(const std::string& source, size_t maxpointers);
  ~playground();
  playground(const playground&) = delete;
  playground& operator=(const playground&) = delete;

  // Input typed so far, in order; the run may read it as soon as a whole line is there.
  void feed(const std::string& bytes);
  // No more input comes: reads take what is left, then empty lines, as at the end of a file.
  void endinput();

  // Takes up to `ticks` ticks, until `now()` passes `budgetms` from the call's start. A call
  // always begins a tick; a further one only when the last whole tick would fit in the time
  // left, so the run stops between ticks, where its frame can be shown. A tick longer than the
  // whole time stops inside its pass and goes on at the next call.
  progress advance(int64_t ticks, double budgetms, double (*now)());

  // Paints the frame of the last whole tick, as the terminal program shows it: this tick's
  // moves, not its writes. Only between ticks (see between()).
  void paint(canvas& surface, image& atlas) const;
  // Whether the machine stands between two whole ticks, so its frame is one the terminal
  // program shows: not while a pass is open, nor after a fault or the cap cut one short, nor
  // when the "%" cells alone passed the cap.
  bool between() const { return !_pass && !_machine.passing && !_machine.overcap; }

  // The console bytes written since the last call.
  std::string takeoutput();

  const machine& state() const { return _machine; }
  ending end() const { return _end; }
  int status() const;
  // The fault's name or the limit's line, as the terminal program writes it to standard error.
  const std::string& message() const { return _message; }

private:
  static ssize_t readinput(void* self, char* buffer, size_t size);
  static ssize_t writeoutput(void* self, const char* buffer, size_t size);
  bool lineready() const;
  // Records how the tick `outcome` ended the run, writing what the terminal program writes.
  void conclude(const tickoutcome& outcome);
  void limitreached();

  std::string _input;
  size_t _read = 0; // bytes of _input the run has consumed
  bool _inputended = false;
  std::string _output;
  std::FILE* _in;
  std::FILE* _out;
  console _con;
  machine _machine;
  std::optional<passstepper> _pass;
  bool _writesdue = false; // the last tick went on and its writes wait for the next one
  double _passms = 0;      // the time the open pass has taken in calls before this one
  double _lastpassms = 0;  // the time the last whole pass took
  ending _end = ending::none;
  std::string _message;
};

} // namespace tarvex::web
