// The debug adapter: requests of the Debug Adapter Protocol in, responses and events out,
// over one session. Every pointer is a thread (id = pointer id + 1), with one frame on the
// cell it stands on. The adapter only maps requests to session calls and session state to
// answers: running, endings and history are the session's.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "runtime/nocopy.h"

namespace tarvex {

class session;

struct adapterhooks {
  // Loads the program into a fresh run; by default the session reads the file by name.
  std::function<bool(session& run, const std::string& path)> load;
  // The bytes of a file given as `inputFile`; nothing when it cannot be read.
  std::function<std::optional<std::string>(const std::string& path)> readfile;
  // Shows the run's frame in a window, for a launch with `window`: after every slice of a
  // running program and at every stop. Without it such a launch says it has no window.
  std::function<void(const session& run)> show;
};

class adapter : nocopy {
public:
  // `send` gets each outgoing message body (JSON); `log` a line for standard error.
  adapter(std::function<void(const std::string&)> send, std::function<void(const std::string&)> log,
          adapterhooks hooks = {});
  ~adapter();

  // One message body. False, with the reason in `error`, when it is not the protocol (JSON
  // that does not parse, a request without a command): the host then ends.
  bool receive(const std::string& body, std::string& error);
  // Whether the run wants advance() called: it runs, or a step is under way and not waiting
  // for input.
  bool busy() const;
  // Runs on for a short slice (one tick when a delay is set), then returns so that the host
  // can read requests such as `pause`.
  void advance();
  // The pause the launch asked for between ticks while running.
  int64_t delayms() const;
  // The client has disconnected.
  bool done() const;

private:
  struct state;
  std::unique_ptr<state> _s;
};

} // namespace tarvex
