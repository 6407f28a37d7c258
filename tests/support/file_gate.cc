// The gate's listener: a thread that answers the kernel's fanotify permission
// events one by one, as the test's decide function says.
#include "support/file_gate.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/fanotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <utility>

namespace quorlix::testing {
namespace {

std::string PathOf(int fd) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  char target[4096];
  ssize_t length = readlink(link, target, sizeof target);
  return length < 0 ? std::string() : std::string(target, static_cast<std::size_t>(length));
}

}  // namespace

FileGate::FileGate(std::function<bool(const GatedAccess&)> decide) : decide_(std::move(decide)) {
  notify_ = fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDONLY | O_LARGEFILE);
  if (notify_ < 0) return;
  stop_ = eventfd(0, EFD_CLOEXEC);
  listener_ = std::thread([this] { Listen(); });
}

FileGate::~FileGate() {
  if (notify_ < 0) return;
  const std::uint64_t one = 1;
  if (write(stop_, &one, sizeof one) != sizeof one) std::terminate();
  listener_.join();
  // Closing the group lets any access still waiting go ahead.
  close(notify_);
  close(stop_);
}

bool FileGate::WatchOpensIn(const std::string& folder) {
  return active() && fanotify_mark(notify_, FAN_MARK_ADD, FAN_OPEN_PERM | FAN_EVENT_ON_CHILD,
                                   AT_FDCWD, folder.c_str()) == 0;
}

bool FileGate::WatchReadsOf(const std::string& file) {
  return active() &&
         fanotify_mark(notify_, FAN_MARK_ADD, FAN_ACCESS_PERM, AT_FDCWD, file.c_str()) == 0;
}

void FileGate::Answer(int eventFd, bool isRead, pid_t pid) {
  bool allow = true;
  // The test's own accesses (listing the folder, reading back the output)
  // always go ahead and do not count.
  if (pid != getpid()) {
    GatedAccess access{pid, PathOf(eventFd), isRead, 0};
    access.count = ++counts_[{access.path, isRead}];
    allow = decide_(access);
  }
  struct fanotify_response response = {eventFd,
                                       allow ? std::uint32_t{FAN_ALLOW} : std::uint32_t{FAN_DENY}};
  if (write(notify_, &response, sizeof response) != sizeof response) std::terminate();
}

void FileGate::Listen() {
  struct pollfd fds[2] = {{notify_, POLLIN, 0}, {stop_, POLLIN, 0}};
  alignas(struct fanotify_event_metadata) char buffer[8192];
  while (true) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    ssize_t length = read(notify_, buffer, sizeof buffer);
    if (length <= 0) continue;
    auto* event = reinterpret_cast<struct fanotify_event_metadata*>(buffer);
    for (; FAN_EVENT_OK(event, length); event = FAN_EVENT_NEXT(event, length)) {
      if (event->fd < 0) continue;
      Answer(event->fd, (event->mask & FAN_ACCESS_PERM) != 0, event->pid);
      close(event->fd);
    }
  }
}

}  // namespace quorlix::testing
