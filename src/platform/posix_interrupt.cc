#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <time.h>

#include <initializer_list>

#include "platform/files.h"
#include "platform/interrupt.h"

namespace quorlix {
namespace {

volatile sig_atomic_t interrupted = 0;

// Deletes the files the run still has and ends the process by the signal it
// got, so whoever started it sees the truth. Only async-signal-safe calls.
void EndNow(int signalNumber) {
  DeleteMadeFilesNow();
  signal(signalNumber, SIG_DFL);
  // Blocked while the handler runs: the signal strikes as it returns.
  raise(signalNumber);
}

// The first request ends the run through its teardown; a second one, when the
// teardown or a device that does not answer takes too long, ends it at once.
void NoteInterrupt(int signalNumber) {
  if (interrupted != 0) EndNow(signalNumber);
  interrupted = 1;
}

// A core file of this process would hold the captures' bits, and so would a
// debugger that attaches to it uninvited.
void KeepMemoryPrivate() {
  const struct rlimit noCore = {0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
  prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

}  // namespace

void InstallInterruptHandler() {
  KeepMemoryPrivate();
  struct sigaction action = {};
  action.sa_handler = NoteInterrupt;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a capture blocked in the sound driver wakes with EINTR and
  // sees the flag at once.
  action.sa_flags = 0;
  // Ctrl-C, a termination request, a closed terminal or a lost ssh session,
  // and Ctrl-\ all end the run through its teardown.
  for (int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaction(signalNumber, &action, nullptr);
  // Whatever else would end the process (an assertion in the audio stack, a
  // crash, a timer or user signal nobody handles) still takes the raw and mid
  // files with it.
  action.sa_handler = EndNow;
  for (int signalNumber : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS, SIGXCPU,
                           SIGXFSZ, SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGPOLL,
                           SIGSTKFLT, SIGPWR}) {
    sigaction(signalNumber, &action, nullptr);
  }
  // A capture device that writes through a pipe (ALSA can) must not kill the
  // run when the pipe's reader goes: the write fails, and so does the
  // capture, through the teardown.
  signal(SIGPIPE, SIG_IGN);
}

bool InterruptRequested() { return interrupted != 0; }

void SleepMilliseconds(unsigned milliseconds) {
  struct timespec pause = {static_cast<time_t>(milliseconds / 1000),
                           static_cast<long>(milliseconds % 1000) * 1000000L};
  nanosleep(&pause, nullptr);
}

}  // namespace quorlix
