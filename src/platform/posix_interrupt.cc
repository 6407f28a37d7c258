#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <utility>

#include "platform/files.h"
#include "platform/interrupt.h"

namespace quorlix {
namespace {

volatile sig_atomic_t interrupted = 0;
// The thread that makes and reads the run's files; 0 until the handlers are
// installed. Set, like ignoredAtStart, before any handler can run.
pid_t mainThread = 0;
bool ignoredAtStart[NSIG] = {};

// Ctrl-C, a termination request, a closed terminal or a lost ssh session,
// and Ctrl-\ all end the run through its teardown.
constexpr int kInterruptSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
// Whatever else would end the process (a timer or user signal nobody
// handles, a CPU or file-size limit) still takes the raw and mid files with
// it.
constexpr int kEndingSignals[] = {SIGXCPU, SIGXFSZ,   SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM,
                                  SIGPROF, SIGPOLL, SIGSTKFLT, SIGPWR};
// So do an assertion in the audio stack and a crash. These strike the
// thread that faulted, whatever it blocks, so no thread blocks them.
constexpr int kFaultSignals[] = {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS};

// Only the main thread knows what the run is doing with its files. A signal
// that lands on another thread (a fault there, or a signal sent to that
// thread alone) is passed on to the main thread, whose handler does the work.
bool PassedToMainThread(int signalNumber) {
  return mainThread != 0 && gettid() != mainThread &&
         tgkill(getpid(), mainThread, signalNumber) == 0;
}

// Deletes the files the run still has and ends the process by the signal it
// got, so whoever started it sees the truth. Only async-signal-safe calls.
void EndNow(int signalNumber) {
  DeleteMadeFilesNow();
  signal(signalNumber, SIG_DFL);
  // Blocked while the handler runs: the signal strikes as it returns.
  raise(signalNumber);
}

void EndOnSignal(int signalNumber, siginfo_t* info, void*) {
  // A fault signal that was ignored at start stays ignored when another
  // process sends it; a fault of this process still ends it.
  if (ignoredAtStart[signalNumber] && info->si_code <= 0 && info->si_pid != getpid()) return;
  if (PassedToMainThread(signalNumber)) {
    // The main thread ends the process within moments; returning to a fault
    // would only fault again. It holds signals back only while it makes a
    // file, so if it has not answered by then, this thread ends the process.
    struct timespec wait = {2, 0};
    while (nanosleep(&wait, &wait) != 0) {
    }
  }
  EndNow(signalNumber);
}

// The first request ends the run through its teardown; a second one, when the
// teardown or a device that does not answer takes too long, ends it at once.
void NoteInterrupt(int signalNumber) {
  if (PassedToMainThread(signalNumber)) return;
  if (interrupted != 0) EndNow(signalNumber);
  interrupted = 1;
}

bool IgnoredNow(int signalNumber) {
  struct sigaction current = {};
  return sigaction(signalNumber, nullptr, &current) == 0 && (current.sa_flags & SA_SIGINFO) == 0 &&
         current.sa_handler == SIG_IGN;
}

// A core file of this process would hold the captures' bits, and so would a
// debugger that attaches to it uninvited.
void KeepMemoryPrivate() {
  const struct rlimit noCore = {0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
  prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

// Held while a thread is created, which starts with its creator's mask.
struct SignalsBlockedForNewThread {
  SignalsBlockedForNewThread() {
    sigset_t blocked;
    sigfillset(&blocked);
    for (int signalNumber : kFaultSignals) sigdelset(&blocked, signalNumber);
    pthread_sigmask(SIG_BLOCK, &blocked, &previous);
  }
  ~SignalsBlockedForNewThread() { pthread_sigmask(SIG_SETMASK, &previous, nullptr); }
  SignalsBlockedForNewThread(const SignalsBlockedForNewThread&) = delete;
  SignalsBlockedForNewThread& operator=(const SignalsBlockedForNewThread&) = delete;
  sigset_t previous;
};

}  // namespace

void InstallInterruptHandler() {
  KeepMemoryPrivate();
  mainThread = gettid();
  // A signal ignored at start stays ignored: nohup's SIGHUP, the SIGINT and
  // SIGQUIT of a background job, SIGXFSZ (a write past the file-size limit
  // then fails with EFBIG, and the run with it).
  for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
    ignoredAtStart[signalNumber] = IgnoredNow(signalNumber);
  }

  struct sigaction action = {};
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a capture blocked in the sound driver wakes with EINTR and
  // sees the flag at once.
  action.sa_handler = NoteInterrupt;
  for (int signalNumber : kInterruptSignals) {
    if (!ignoredAtStart[signalNumber]) sigaction(signalNumber, &action, nullptr);
  }
  action.sa_sigaction = EndOnSignal;
  action.sa_flags = SA_SIGINFO;
  for (int signalNumber : kEndingSignals) {
    if (!ignoredAtStart[signalNumber]) sigaction(signalNumber, &action, nullptr);
  }
  // Ignoring these never keeps a faulting process alive, so they are
  // handled whatever their disposition, to take the files with it.
  for (int signalNumber : kFaultSignals) sigaction(signalNumber, &action, nullptr);
  // A capture device that writes through a pipe (ALSA can) must not kill the
  // run when the pipe's reader goes: the write fails, and so does the
  // capture, through the teardown.
  signal(SIGPIPE, SIG_IGN);
}

bool InterruptRequested() { return interrupted != 0; }

std::thread StartWorkerThread(std::function<void()> body) {
  SignalsBlockedForNewThread blocked;
  return std::thread(std::move(body));
}

void SleepMilliseconds(unsigned milliseconds) {
  struct timespec pause = {static_cast<time_t>(milliseconds / 1000),
                           static_cast<long>(milliseconds % 1000) * 1000000L};
  nanosleep(&pause, nullptr);
}

}  // namespace quorlix
