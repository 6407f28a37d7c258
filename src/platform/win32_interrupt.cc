// Windows console interrupts: Ctrl-C, Ctrl-Break and closing the console
// window, logging off or shutting down. The first only raises the flag the
// run looks at between steps, so an interrupted run still deletes its
// intermediate files; a second Ctrl-C or Ctrl-Break, when the teardown or a
// device that does not answer takes too long, deletes them and ends the
// process at once.
#include <windows.h>

#include <atomic>
#include <csignal>
#include <utility>

#include "platform/files.h"
#include "platform/interrupt.h"

namespace quorlix {
namespace {

// Windows calls the handler on a thread of its own.
std::atomic<bool> interrupted{false};

// Ends the process as Windows does for a Ctrl-C nobody handles, without the
// library shutdown that a service holding a call could stall or bring down.
void EndNow() {
  DeleteMadeFilesNow();
  TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
}

BOOL WINAPI NoteInterrupt(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      if (interrupted.exchange(true)) EndNow();
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      // For these Windows ends the process as soon as the handler returns.
      // Holding on here gives the run its grace period to go through its
      // teardown; the process ends when the run returns from main.
      interrupted = true;
      Sleep(INFINITE);
      return TRUE;
    default:
      return FALSE;
  }
}

// An abort (an assertion in a driver or the runtime) takes the run's files
// with it, then ends the process as it would have.
void EndOnAbort(int signalNumber) {
  DeleteMadeFilesNow();
  std::signal(signalNumber, SIG_DFL);
  std::raise(signalNumber);
}

}  // namespace

void InstallInterruptHandler() {
  SetConsoleCtrlHandler(NoteInterrupt, TRUE);
  std::signal(SIGABRT, EndOnAbort);
}

bool InterruptRequested() { return interrupted; }

// Windows has no signals to block: console events come on a thread of their
// own, and an abort is raised on the thread that called it.
std::thread StartWorkerThread(std::function<void()> body) { return std::thread(std::move(body)); }

void SleepMilliseconds(unsigned milliseconds) { Sleep(milliseconds); }

}  // namespace quorlix
