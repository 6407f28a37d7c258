#include <time.h>
#include <unistd.h>

#include "platform/terminal.h"

namespace quorlix {

bool StandardOutputIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

std::uint64_t MonotonicMilliseconds() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000 +
         static_cast<std::uint64_t>(now.tv_nsec) / 1000000;
}

}  // namespace quorlix
