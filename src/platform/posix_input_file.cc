#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "platform/input_file.h"
#include "platform/interrupt.h"

namespace quorlix {
namespace {

// How long a read waits for a pipe before it looks for an interrupt again:
// a signal that lands just before the wait is seen this much later.
constexpr int kWaitMilliseconds = 100;

}  // namespace

InputRead OpenInputFile(const char* name, InputFile& file) {
  // Without O_NONBLOCK the open of a named pipe waits for its writer, and a
  // signal that lands just before that wait would not end it. Reads wait in
  // poll instead, so the descriptor goes back to blocking.
  const int descriptor = open(name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (descriptor < 0) return InputRead::kFailed;
  file.handle = descriptor;
  const int flags = fcntl(descriptor, F_GETFL);
  if (flags < 0 || fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) < 0) return InputRead::kFailed;
  return InputRead::kData;
}

InputRead ReadInputFile(InputFile& file, std::uint8_t* data, std::size_t size, std::size_t& got) {
  const int descriptor = static_cast<int>(file.handle);
  for (;;) {
    if (InterruptRequested()) return InputRead::kInterrupted;
    // Only read once there is something to read (or the end), so that read
    // itself never blocks: a signal that lands before a blocking read would
    // not wake it.
    pollfd ready = {descriptor, POLLIN, 0};
    const int waiting = poll(&ready, 1, kWaitMilliseconds);
    if (waiting == 0 || (waiting < 0 && errno == EINTR)) continue;
    if (waiting < 0) return InputRead::kFailed;
    const ssize_t count = read(descriptor, data, size);
    if (count > 0) {
      got = static_cast<std::size_t>(count);
      return InputRead::kData;
    }
    if (count == 0) return InputRead::kEnd;
    if (errno != EINTR && errno != EAGAIN) return InputRead::kFailed;
  }
}

void CloseInputFile(InputFile& file) {
  if (file.handle >= 0) close(static_cast<int>(file.handle));
  file.handle = -1;
}

}  // namespace quorlix
