// Ctrl-C and termination requests. A run of many captures can last hours;
// when the user stops it, the run must still end through its teardown so no
// intermediate file is left behind. The first request only raises a flag,
// which the capture loop and the merges look at between steps; a second one
// ends the process at once. Signals that would kill the process outright (an
// abort, a crash) delete the run's files first; where signals reach threads
// (POSIX), that work is done on the main thread, the only one that makes and
// reads the run's files, so nothing is deleted while the run can still make
// or read one. The process never leaves a core file of its key material.
#ifndef QUORLIX_PLATFORM_INTERRUPT_H_
#define QUORLIX_PLATFORM_INTERRUPT_H_

#include <functional>
#include <thread>

namespace quorlix {

// Called on the main thread before any other thread starts. A signal that
// was ignored when the process started stays ignored.
void InstallInterruptHandler();
bool InterruptRequested();

// Starts a thread that takes none of the signals the main thread handles,
// save those a fault raises in the thread itself. Throws what std::thread
// throws.
std::thread StartWorkerThread(std::function<void()> body);

// Pauses the calling thread; returns early on platforms where an interrupt
// cuts a sleep short.
void SleepMilliseconds(unsigned milliseconds);

}  // namespace quorlix

#endif  // QUORLIX_PLATFORM_INTERRUPT_H_
