#include <signal.h>
#include <time.h>

#include "platform/interrupt.h"

namespace quorlix {
namespace {

volatile sig_atomic_t interrupted = 0;

void NoteInterrupt(int) { interrupted = 1; }

}  // namespace

void InstallInterruptHandler() {
  struct sigaction action = {};
  action.sa_handler = NoteInterrupt;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a capture blocked in the sound driver wakes with EINTR and
  // sees the flag at once.
  action.sa_flags = 0;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
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
