// Child processes for the process-level tests. Input and output go through anonymous files, so
// nothing has to feed or drain pipes while the child runs; a time limit ends one that hangs.
#include "tests/support/process.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace tarvex::testing {

outcome run(const invocation& call) {
  // All close-on-exec, so a child started meanwhile from another thread holds none of them.
  int in = memfd_create("input", MFD_CLOEXEC), out = memfd_create("output", MFD_CLOEXEC),
      err = memfd_create("errors", MFD_CLOEXEC);
  if (in < 0 || out < 0 || err < 0 ||
      write(in, call.input.data(), call.input.size()) != ssize_t(call.input.size()) ||
      lseek(in, 0, SEEK_SET) != 0)
    throw std::runtime_error("cannot set up the child's streams");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (!call.workdir.empty() && chdir(call.workdir.c_str()) != 0) _exit(126);
    if (call.headless) unsetenv("DISPLAY"), unsetenv("WAYLAND_DISPLAY");
    for (const auto& [name, value] : call.env)
      setenv(name.c_str(), value.c_str(), 1);
    signal(SIGPIPE, SIG_DFL);
    std::vector<char*> argv{const_cast<char*>(call.program.c_str())};
    for (const std::string& a : call.args)
      argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(call.program.c_str(), argv.data());
    _exit(127);
  }

  outcome result;
  int status = 0;
  auto deadline = std::chrono::steady_clock::now() +
                  std::chrono::milliseconds(static_cast<long>(call.timeoutseconds * 1000));
  while (waitpid(pid, &status, WNOHANG) == 0)
    if (std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    else
      result.timedout = kill(pid, SIGKILL) == 0;
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  // Through /proc the files open afresh, at their start.
  result.out = readfile("/proc/self/fd/" + std::to_string(out));
  result.err = readfile("/proc/self/fd/" + std::to_string(err));
  for (int fd : {in, out, err})
    close(fd);
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
