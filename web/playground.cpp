// The browser's host of one run: the run sequence of the terminal program, cut into calls
// that return.
#include "web/playground.h"

#include <algorithm>
#include <cinttypes>

#include "display/frame.h"
#include "interp/loader.h"
#include "interp/update.h"
#include "runtime/faultnames.h"
#include "runtime/memstream.h"

namespace tarvex::web {

namespace {

// Steps between two looks at the clock: a look costs a call out to the page, a step far less.
constexpr int64_t CLOCKSTEPS = 1024;

std::FILE* overmemory(void* self, const char* mode, cookie_io_functions_t calls) {
  std::FILE* file = fopencookie(self, mode, calls);
  // Unbuffered, so the input the console has read is exactly what left _input: a read that
  // ran ahead could take bytes of a line the run has not reached.
  if (file) std::setvbuf(file, nullptr, _IONBF, 0);
  return file;
}

} // namespace

playground::playground(const std::string& source, size_t maxpointers)
    : _in(overmemory(this, "r", {readinput, nullptr, nullptr, nullptr})),
      _out(overmemory(this, "w", {nullptr, writeoutput, nullptr, nullptr})), _con(_in, _out),
      _machine(_con) {
  _machine.maxpointers = maxpointers;
  TMemoryStream stream(source);
  loadgrid(_machine, stream);
  openinglines(_con);
  // The "%" cells alone can start more pointers than the cap allows.
  if (_machine.overcap) limitreached();
}

playground::~playground() {
  std::fclose(_in);
  std::fclose(_out);
}

ssize_t playground::readinput(void* self, char* buffer, size_t size) {
  auto* run = static_cast<playground*>(self);
  const size_t moved = std::min(size, run->_input.size() - run->_read);
  run->_input.copy(buffer, moved, run->_read);
  run->_read += moved;
  return static_cast<ssize_t>(moved);
}

ssize_t playground::writeoutput(void* self, const char* buffer, size_t size) {
  static_cast<playground*>(self)->_output.append(buffer, size);
  return static_cast<ssize_t>(size);
}

void playground::feed(const std::string& bytes) {
  _input += bytes;
}

void playground::endinput() {
  _inputended = true;
}

bool playground::lineready() const {
  // A read never goes past the first line feed, so one waiting line feed is enough.
  return _inputended || _input.find('\n', _read) != std::string::npos;
}

std::string playground::takeoutput() {
  std::string taken;
  taken.swap(_output);
  return taken;
}

int playground::status() const {
  switch (_end) {
  case ending::fault: return 2;
  case ending::overcap: return 3;
  default: return 0;
  }
}

void playground::limitreached() {
  const int64_t ticks = completedticks(_machine);
  char line[96];
  std::snprintf(line, sizeof line, "tarvex: stopped at %zu live pointers after %" PRId64 " ticks",
                _machine.overcap, ticks);
  _message = line;
  _end = ending::overcap;
}

void playground::conclude(const tickoutcome& outcome) {
  switch (outcome.state) {
  case tickstate::finished:
  case tickstate::halted:
    closinglines(_con);
    _end = ending::complete;
    break;
  case tickstate::fault:
    _message = faultname(outcome.fault);
    _end = ending::fault;
    break;
  case tickstate::overcap: limitreached(); break;
  // No poll and no memory budget are set, so no pass is interrupted or stopped by them; and
  // a run that goes on has not ended.
  case tickstate::interrupted:
  case tickstate::overmemory:
  case tickstate::going: break;
  }
}

progress playground::advance(int64_t ticks, double budgetms, double (*now)()) {
  double from = now();
  const double deadline = from + budgetms;
  int64_t taken = 0;
  int64_t sincelook = 0;
  // Leaving inside a pass keeps the time it took so far for the estimate of the next.
  auto leave = [&](progress why) {
    _passms += now() - from;
    return why;
  };
  while (_end == ending::none) {
    if (!_pass) {
      if (taken >= ticks) return progress::ticked;
      if (taken > 0 && now() + _lastpassms >= deadline) return progress::busy;
      // The writes of the tick before were held back for its frame.
      if (_writesdue) endtick(_machine, tickoutcome{});
      _writesdue = false;
      from = now();
      _passms = 0;
      _pass.emplace(_machine);
    }
    while (const ip* next = _pass->upcoming()) {
      if (!lineready() && readsinput(_machine, *next)) return leave(progress::waiting);
      _pass->step();
      if (++sincelook == CLOCKSTEPS) {
        sincelook = 0;
        if (now() >= deadline) return leave(progress::busy);
      }
    }
    const tickoutcome outcome = _pass->finish();
    _pass.reset();
    _lastpassms = _passms + (now() - from);
    ++taken;
    if (outcome.state == tickstate::going)
      _writesdue = true;
    else
      conclude(outcome);
  }
  return progress::ended;
}

void playground::paint(canvas& surface, image& atlas) const {
  paintframe(surface, atlas, _machine);
}

} // namespace tarvex::web
