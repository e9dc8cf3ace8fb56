// Start-up: the process values (program file and directory, title), the
// working directory, the fault handlers and the standard console.
#include "app/startup.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "app/faultreport.h"
#include "runtime/console.h"
#include "runtime/streamnames.h"

namespace tarvex {

namespace {

struct processvalues {
  Text programfile;
  Text programdir;
  Text startdir;
  bool moved = false; // the working directory is the program's own
  Text apptitle = u"Tarvex Application";
};

processvalues& values() {
  static processvalues process;
  return process;
}

std::string executablepath() {
  std::string path(256, '\0');
  for (;;) {
    ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length < 0) return {};
    if (static_cast<size_t>(length) < path.size()) {
      path.resize(static_cast<size_t>(length));
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::string workingdirectory() {
  std::string path(256, '\0');
  while (!getcwd(path.data(), path.size())) {
    if (errno != ERANGE) return {};
    path.resize(path.size() * 2);
  }
  path.resize(std::strlen(path.c_str()));
  return path;
}

// The console flushes after every write, so what the program wrote is out already; nothing
// else needs to run, and nothing more is said.
void onstop(int signal) {
  _exit(128 + signal);
}

} // namespace

void guardstandarddescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    int filler = open("/dev/null", fd == 2 ? O_WRONLY : O_RDONLY);
    if (filler >= 0 && filler != fd) {
      dup2(filler, fd);
      close(filler);
    }
  }
}

void recordprocess() {
  processvalues& process = values();
  process.programfile = forwardslashes(fromutf8name(executablepath()));
  // The directory part: up to the last "/", none when that is the first character.
  const size_t last = process.programfile.rfind(u'/');
  process.programdir = last == Text::npos ? Text() : process.programfile.substr(0, last);
  process.startdir = fromutf8name(workingdirectory());
  installstreamfactories();
}

void startup() {
  // A reader that has gone must surface as a refused write with its error text, not as a
  // silent death by signal.
  signal(SIGPIPE, SIG_IGN);
  installfaulthandlers();
  for (int stop : {SIGINT, SIGTERM, SIGHUP})
    signal(stop, onstop);

  recordprocess();
  processvalues& process = values();
  // When the change fails, relative names resolve in the directory the user started from.
  process.moved = !process.programdir.empty() && chdir(utf8name(process.programdir).c_str()) == 0;
  stdconsole();
}

const Text& startdir() {
  return values().startdir;
}

Text fromstartdir(const Text& path) {
  if (startdir().empty() || (!path.empty() && (path[0] == u'/' || path[0] == u'\\'))) return path;
  return startdir() + u"/" + path;
}

Text shippedfile(const Text& name) {
  // Once start-up has moved to the program's directory, a bare name is beside it.
  const Text& dir = values().programdir;
  const Text beside = values().moved || dir.empty() ? name : dir + u"/" + name;
  struct stat status {};
  if (stat(utf8name(beside).c_str(), &status) == 0) return beside;
  if (dir.empty()) return {};
  Text installed = dir + u"/../share/tarvex/" + name;
  return stat(utf8name(installed).c_str(), &status) == 0 ? installed : Text();
}

Text datafile(const Text& name) {
  Text found = shippedfile(name);
  return found.empty() ? name : found;
}
const Text& apptitle() {
  return values().apptitle;
}

} // namespace tarvex
