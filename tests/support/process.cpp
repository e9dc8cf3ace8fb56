// Child processes for the process-level tests: pipes for all three standard streams, a poll
// loop that feeds input and drains output together, and a time limit.
#include "tests/support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tarvex::testing {

namespace {

void setnonblocking(int fd) {
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

} // namespace

outcome run(const invocation& call) {
  int in[2], out[2], err[2];
  if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) throw std::runtime_error("pipe failed");
  signal(SIGPIPE, SIG_IGN);
  // The reader goes before the child exists, so its very first write meets a pipe with no
  // reader (closing fd 1 instead would test a bad descriptor, not a broken pipe).
  if (call.closedoutput) close(out[0]), out[0] = -1;

  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
      if (fd >= 0) close(fd);
    if (!call.workdir.empty() && chdir(call.workdir.c_str()) != 0) _exit(126);
    if (call.headless) unsetenv("DISPLAY"), unsetenv("WAYLAND_DISPLAY");
    for (const std::string& e : call.env)
      putenv(const_cast<char*>(e.c_str()));
    signal(SIGPIPE, SIG_DFL);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(call.program.c_str()));
    for (const std::string& a : call.args)
      argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(call.program.c_str(), argv.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  setnonblocking(in[1]);

  outcome result;
  size_t written = 0;
  int infd = in[1];
  if (call.input.empty() && call.closeinput) close(infd), infd = -1;
  auto deadline = std::chrono::steady_clock::now() +
                  std::chrono::milliseconds(static_cast<long>(call.timeoutseconds * 1000));
  int outfd = out[0], errfd = err[0];
  while (outfd >= 0 || errfd >= 0) {
    pollfd fds[3];
    int nfds = 0;
    int slot_in = -1, slot_out = -1, slot_err = -1;
    if (infd >= 0 && written < call.input.size()) slot_in = nfds, fds[nfds++] = {infd, POLLOUT, 0};
    if (outfd >= 0) slot_out = nfds, fds[nfds++] = {outfd, POLLIN, 0};
    if (errfd >= 0) slot_err = nfds, fds[nfds++] = {errfd, POLLIN, 0};
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (left <= 0) {
      kill(pid, SIGKILL);
      result.timedout = true;
      break;
    }
    if (poll(fds, nfds, static_cast<int>(std::min<long>(left, 100))) < 0) continue;
    if (slot_in >= 0 && (fds[slot_in].revents & (POLLOUT | POLLERR | POLLHUP))) {
      ssize_t n = write(infd, call.input.data() + written, call.input.size() - written);
      if (n > 0) written += static_cast<size_t>(n);
      if (n < 0 || written == call.input.size()) {
        if (call.closeinput) close(infd), infd = -1;
      }
    }
    char chunk[65536];
    for (auto [slot, fd, sink] :
         {std::tuple{slot_out, &outfd, &result.out}, std::tuple{slot_err, &errfd, &result.err}}) {
      if (slot < 0 || !(fds[slot].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      ssize_t n = read(*fd, chunk, sizeof chunk);
      if (n > 0)
        sink->append(chunk, static_cast<size_t>(n));
      else
        close(*fd), *fd = -1;
    }
  }
  if (infd >= 0) close(infd);
  if (outfd >= 0) close(outfd);
  if (errfd >= 0) close(errfd);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}

tempdir::tempdir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tarvex-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  _path = pattern;
}

tempdir::~tempdir() {
  std::error_code ignored;
  std::filesystem::remove_all(_path, ignored);
}

std::string tempdir::file(const std::string& name, const std::string& content) const {
  std::string path = _path + "/" + name;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

std::string readfile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

} // namespace tarvex::testing
