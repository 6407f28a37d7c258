#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

#include "platform/input_lock.h"

namespace quorlix {

// A socket bound to a name in the abstract namespace: the name is the lock,
// there is no file to leave behind, and it is free again once the socket's
// last descriptor closes. Not inherited across exec, so a server that a
// sound library spawns never holds it.
bool LockInput(const std::string& name, InputLock& lock) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return true;
  struct sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  const std::string abstractName = "quorlix-input-" + name;
  if (abstractName.size() + 1 > sizeof address.sun_path) {
    close(fd);
    return true;
  }
  // The leading NUL puts the name in the abstract namespace.
  std::memcpy(address.sun_path + 1, abstractName.data(), abstractName.size());
  const auto size =
      static_cast<socklen_t>(offsetof(struct sockaddr_un, sun_path) + 1 + abstractName.size());
  if (bind(fd, reinterpret_cast<const struct sockaddr*>(&address), size) == 0) {
    lock.handle = fd;
    return true;
  }
  const bool held = errno == EADDRINUSE;
  close(fd);
  return !held;
}

void UnlockInput(InputLock& lock) {
  if (lock.handle < 0) return;
  close(static_cast<int>(lock.handle));
  lock.handle = -1;
}

}  // namespace quorlix
