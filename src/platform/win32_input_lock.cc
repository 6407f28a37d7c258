#include <windows.h>

#include "platform/input_lock.h"

namespace quorlix {

// A named mutex in the global namespace, seen from every session: the name
// is the lock, and it goes when the last handle on it closes. Its owner is
// never waited for: that the mutex exists already means another run has it.
bool LockInput(const std::string& name, InputLock& lock) {
  const std::string globalName = "Global\\quorlix-input-" + name;
  HANDLE mutex = CreateMutexA(nullptr, FALSE, globalName.c_str());
  if (mutex == nullptr) {
    // Made by another user, whose run holds it.
    return GetLastError() != ERROR_ACCESS_DENIED;
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return false;
  }
  lock.handle = reinterpret_cast<std::intptr_t>(mutex);
  return true;
}

void UnlockInput(InputLock& lock) {
  if (lock.handle == -1) return;
  CloseHandle(reinterpret_cast<HANDLE>(lock.handle));
  lock.handle = -1;
}

}  // namespace quorlix
