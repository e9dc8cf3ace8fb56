// The adapter's loop: requests are read whenever they come, also while the run is going, so
// that `pause` is answered within a slice.
#include "dap/serve.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>

#include "dap/adapter.h"
#include "dap/wire.h"

namespace tarvex {

namespace {

void logline(const std::string& line) {
  std::fprintf(stderr, "tarvex: dap: %s\n", line.c_str());
  std::fflush(stderr);
}

bool writeall(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

} // namespace

int servedap(int in, int out, adapterhooks hooks) {
  // A client that goes away must end the adapter with a message, not with a signal.
  std::signal(SIGPIPE, SIG_IGN);
  bool writable = true;
  adapter dap(
      [&](const std::string& body) {
        if (writable && !writeall(out, framemessage(body))) writable = false;
      },
      logline, std::move(hooks));
  messagereader reader;
  char chunk[1 << 16];
  for (;;) {
    std::string body, error;
    for (;;) {
      const messagereader::result got = reader.next(body, error);
      if (got == messagereader::result::none) break;
      if (got == messagereader::result::broken || !dap.receive(body, error)) {
        logline(error);
        return 1;
      }
      if (!writable) {
        logline("the client's end of the output is closed");
        return 1;
      }
      if (dap.done()) return 0;
    }
    // While the run goes, requests are only looked for between slices (or ticks, with a
    // delay); otherwise the adapter waits for the next one.
    pollfd wait{in, POLLIN, 0};
    const int timeout = dap.busy() ? static_cast<int>(dap.delayms()) : -1;
    const int ready = poll(&wait, 1, timeout);
    if (ready < 0 && errno != EINTR) {
      logline("cannot read the input");
      return 1;
    }
    if (ready > 0) {
      const ssize_t n = ::read(in, chunk, sizeof chunk);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (n < 0) {
        logline("cannot read the input");
        return 1;
      }
      if (n == 0) {
        if (!reader.partial()) return 0;
        logline("the input ended inside a message");
        return 1;
      }
      reader.feed(chunk, static_cast<size_t>(n));
      continue;
    }
    if (dap.busy()) dap.advance();
    if (!writable) {
      logline("the client's end of the output is closed");
      return 1;
    }
  }
}

} // namespace tarvex
