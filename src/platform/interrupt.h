// Ctrl-C and termination requests. A run of many captures can last hours;
// when the user stops it, the run must still end through its teardown so no
// intermediate file is left behind. The handler only raises a flag, which the
// capture loop and the merges look at between steps.
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
