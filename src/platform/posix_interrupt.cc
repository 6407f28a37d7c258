#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <time.h>

#include <initializer_list>

#include "platform/interrupt.h"

namespace quorlix {
namespace {

volatile sig_atomic_t interrupted = 0;

void NoteInterrupt(int) { interrupted = 1; }

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
