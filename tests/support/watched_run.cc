// The child process of a watched run and the loop that collects its output,
// runs the hook and enforces the deadline.
#include "support/watched_run.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

#include "support/file_gate.h"

namespace quorlix::testing {
namespace {

std::vector<char*> PointersTo(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

[[noreturn]] void ExecChild(const WatchedInvocation& invocation, int outPipe, int errPipe) {
  dup2(outPipe, STDOUT_FILENO);
  dup2(errPipe, STDERR_FILENO);
  int devNull = open("/dev/null", O_RDONLY);
  dup2(devNull, STDIN_FILENO);
  // Whatever else the test process holds open must not show up as the
  // tool's own descriptors.
  close_range(3, ~0U, 0);
  if (!invocation.workingFolder.empty() && chdir(invocation.workingFolder.c_str()) != 0) _exit(126);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) signal(signalNumber, SIG_DFL);
  for (int signalNumber : invocation.ignoredSignals) signal(signalNumber, SIG_IGN);
  if (invocation.fileSizeLimit != RLIM_INFINITY) {
    const struct rlimit limit = {invocation.fileSizeLimit, invocation.fileSizeLimit};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
  }
  std::vector<std::string> argv = {invocation.binary};
  argv.insert(argv.end(), invocation.args.begin(), invocation.args.end());
  std::vector<std::string> env = {"HOME=" + invocation.home, "PATH=/usr/bin:/bin", "LANG=C"};
  env.insert(env.end(), invocation.environment.begin(), invocation.environment.end());
  // A sanitizer build's settings reach the tool too.
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
    if (const char* value = getenv(name)) env.push_back(std::string(name) + "=" + value);
  }
  execve(invocation.binary.c_str(), PointersTo(argv).data(), PointersTo(env).data());
  _exit(127);
}

// Appends what is ready on fd to text; false once the pipe is closed, or
// once the terminal has no process left on its other side (EIO).
bool Drain(int fd, std::string& text) {
  char chunk[65536];
  ssize_t got = read(fd, chunk, sizeof chunk);
  if (got > 0) {
    text.append(chunk, static_cast<std::size_t>(got));
    return true;
  }
  return got < 0 && errno == EINTR;
}

}  // namespace

WatchedResult RunWatched(const WatchedInvocation& invocation) {
  int outPipe[2];
  int errPipe[2];
  if (invocation.terminal) {
    struct termios raw = {};
    cfmakeraw(&raw);
    if (openpty(&outPipe[0], &outPipe[1], nullptr, &raw, nullptr) != 0) {
      throw std::runtime_error("openpty failed");
    }
    fcntl(outPipe[0], F_SETFD, FD_CLOEXEC);
    fcntl(outPipe[1], F_SETFD, FD_CLOEXEC);
  } else if (pipe2(outPipe, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  if (pipe2(errPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  const auto deadline = std::chrono::steady_clock::now() + invocation.deadline;
  pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) ExecChild(invocation, outPipe[1], errPipe[1]);
  close(outPipe[1]);
  close(errPipe[1]);

  WatchedResult result;
  struct pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  int open = 2;
  while (open > 0) {
    if (!result.killedAtDeadline && std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      result.killedAtDeadline = true;
    }
    if (poll(fds, 2, 1000) < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      if (!Drain(fds[i].fd, i == 0 ? result.tool.out : result.tool.err)) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
    if (invocation.hook && !result.hookRan &&
        result.tool.out.find(invocation.hookWhenOutputHas) != std::string::npos) {
      result.hookRan = true;
      invocation.hook(child);
    }
  }
  int status = 0;
  struct rusage usage = {};
  while (wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.tool.exitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.tool.killedBySignal = WTERMSIG(status);
  result.peakResidentKiB = usage.ru_maxrss;
  return result;
}

OverlappingRuns RunDuringTheFirstFile(const WatchedInvocation& first,
                                      const std::string& firstFolder,
                                      const WatchedInvocation& second) {
  OverlappingRuns runs;
  bool secondRan = false;
  FileGate gate([&](const GatedAccess&) {
    if (!secondRan) runs.second = RunWatched(second);
    secondRan = true;
    return true;
  });
  runs.gated = gate.WatchOpensIn(firstFolder);
  if (runs.gated) runs.first = RunWatched(first);
  return runs;
}

}  // namespace quorlix::testing
