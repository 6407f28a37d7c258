// One run per input: two runs recording one input at the same time get the
// same samples and make the same key. A run holds a lock named after its
// input while its capture device is open, and a second run that finds the
// lock held does not record. The system lets go of the lock when the process
// ends, however it ends, so a run that dies never locks out the next. The
// lock is seen by every user of the machine (on Linux, of its network
// namespace). One implementation per platform.
#ifndef QUORLIX_PLATFORM_INPUT_LOCK_H_
#define QUORLIX_PLATFORM_INPUT_LOCK_H_

#include <cstdint>
#include <string>

namespace quorlix {

struct InputLock {
  std::intptr_t handle = -1;
};

// Takes the lock called name (letters, digits and '-', at most 64 of them)
// into lock. False only when another process holds it; a lock the system
// cannot give at all is gone without, as it would be for every run.
bool LockInput(const std::string& name, InputLock& lock);

void UnlockInput(InputLock& lock);

}  // namespace quorlix

#endif  // QUORLIX_PLATFORM_INPUT_LOCK_H_
