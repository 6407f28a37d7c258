// Ctrl-C and termination requests. A run of many captures can last hours;
// when the user stops it, the run must still end through its teardown so no
// intermediate file is left behind. The first request only raises a flag,
// which the capture loop and the merges look at between steps; a second one
// ends the process at once. Signals that would kill the process outright (an
// abort, a crash) delete the run's files first. The process never leaves a
// core file of its key material.
#ifndef QUORLIX_PLATFORM_INTERRUPT_H_
#define QUORLIX_PLATFORM_INTERRUPT_H_

namespace quorlix {

void InstallInterruptHandler();
bool InterruptRequested();

// Pauses the calling thread; returns early on platforms where an interrupt
// cuts a sleep short.
void SleepMilliseconds(unsigned milliseconds);

}  // namespace quorlix

#endif  // QUORLIX_PLATFORM_INTERRUPT_H_
