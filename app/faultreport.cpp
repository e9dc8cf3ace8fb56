// The fault report: platform fault signals mapped to the fault names and shown to the user.
#include "app/faultreport.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "session/statuses.h"

namespace tarvex {

namespace {

faultbox installedbox = nullptr;
volatile sig_atomic_t reporting = 0;

// The lowest address of the main thread's stack and the span below it that counts as the
// guard region; measured when the handlers are installed, since the handler may not ask.
uintptr_t stacklow = 0;
constexpr uintptr_t GUARDSPAN = uintptr_t{1} << 20;

void writeall(int fd, const char* bytes, size_t n) {
  while (n > 0) {
    ssize_t written = ::write(fd, bytes, n);
    if (written <= 0) return;
    bytes += written;
    n -= static_cast<size_t>(written);
  }
}

uint32_t fpecode(int sicode) {
  switch (sicode) {
  case FPE_INTDIV: return faultcode::INT_DIVIDE_BY_ZERO;
  case FPE_INTOVF: return faultcode::INT_OVERFLOW;
  case FPE_FLTDIV: return faultcode::FLT_DIVIDE_BY_ZERO;
  case FPE_FLTOVF: return faultcode::FLT_OVERFLOW;
  case FPE_FLTUND: return faultcode::FLT_UNDERFLOW;
  case FPE_FLTRES: return faultcode::FLT_INEXACT_RESULT;
  case FPE_FLTINV: return faultcode::FLT_INVALID_OPERATION;
  case FPE_FLTSUB: return faultcode::ARRAY_BOUNDS_EXCEEDED;
  default: return 0;
  }
}

bool inguardregion(const void* address) {
  auto at = reinterpret_cast<uintptr_t>(address);
  return stacklow > GUARDSPAN && at < stacklow + 4096 && at >= stacklow - GUARDSPAN;
}

uint32_t signalcode(int signal, const siginfo_t* info) {
  switch (signal) {
  case SIGFPE: return fpecode(info->si_code);
  case SIGSEGV:
    return inguardregion(info->si_addr) ? faultcode::STACK_OVERFLOW : faultcode::ACCESS_VIOLATION;
  case SIGILL:
    return info->si_code == ILL_PRVOPC || info->si_code == ILL_PRVREG
               ? faultcode::PRIV_INSTRUCTION
               : faultcode::ILLEGAL_INSTRUCTION;
  case SIGBUS:
    return info->si_code == BUS_ADRALN ? faultcode::DATATYPE_MISALIGNMENT
                                       : faultcode::IN_PAGE_ERROR;
  case SIGTRAP: return info->si_code == TRAP_TRACE ? faultcode::SINGLE_STEP : faultcode::BREAKPOINT;
  default: return 0;
  }
}

constexpr int FAULTSIGNALS[] = {SIGFPE, SIGSEGV, SIGILL, SIGBUS, SIGTRAP};

void onfault(int signal, siginfo_t* info, void*) {
  // A fault while the report or the exit-time actions run cannot be reported again.
  if (reporting) _exit(EXIT_FAULT);
  // The faulting signal stays blocked while its handler runs; unblock the fault signals so a
  // fault in an exit-time action reaches the guard above instead of killing the process.
  sigset_t faults;
  sigemptyset(&faults);
  for (int s : FAULTSIGNALS)
    sigaddset(&faults, s);
  sigprocmask(SIG_UNBLOCK, &faults, nullptr);
  reporting = 1;
  const uint32_t code = signalcode(signal, info);
  if (!showfault(code)) {
    // Plain writes: the fault may have struck inside the C library's stream code.
    const char* name = faultname(code);
    writeall(2, name, std::strlen(name));
    writeall(2, "\n", 1);
  }
  // The console flushed every byte as it was written; nothing else may run in a process
  // that faulted.
  _exit(EXIT_FAULT);
}

void measurestack() {
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) != 0) return;
  void* low = nullptr;
  size_t size = 0;
  if (pthread_attr_getstack(&attributes, &low, &size) == 0)
    stacklow = reinterpret_cast<uintptr_t>(low);
  pthread_attr_destroy(&attributes);
}

} // namespace

void setfaultbox(faultbox box) {
  installedbox = box;
}

bool showfault(uint32_t code) {
  return installedbox && installedbox(faultname(code));
}

void installfaulthandlers() {
  // The handler needs a stack of its own to report a stack overflow, and room enough for
  // the exit-time actions that run from it.
  static constexpr size_t ALTSTACK = 256 * 1024;
  static char* altstack = new char[ALTSTACK];
  stack_t alternate{};
  alternate.ss_sp = altstack;
  alternate.ss_size = ALTSTACK;
  sigaltstack(&alternate, nullptr);

  measurestack();

  struct sigaction action {};
  action.sa_sigaction = onfault;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (int s : FAULTSIGNALS)
    sigaction(s, &action, nullptr);
}

} // namespace tarvex
