#include "support/tool_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace quorlix::testing {
namespace {

std::vector<char*> PointersTo(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

[[noreturn]] void ExecChild(const ToolInvocation& invocation, int outPipe, int errPipe) {
  dup2(outPipe, STDOUT_FILENO);
  dup2(errPipe, STDERR_FILENO);
  int devNull = open("/dev/null", O_RDONLY);
  dup2(devNull, STDIN_FILENO);
  std::vector<std::string> argv = {invocation.binary};
  argv.insert(argv.end(), invocation.args.begin(), invocation.args.end());
  std::vector<std::string> env = {"HOME=" + invocation.home, "PATH=/usr/bin:/bin", "LANG=C"};
  // A sanitizer build's settings reach the tool too.
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
    if (const char* value = getenv(name)) env.push_back(std::string(name) + "=" + value);
  }
  execve(invocation.binary.c_str(), PointersTo(argv).data(), PointersTo(env).data());
  _exit(127);
}

// Appends what is ready on fd to text; false once the pipe is closed.
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

ToolResult RunTool(const ToolInvocation& invocation) {
  int outPipe[2];
  int errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) ExecChild(invocation, outPipe[1], errPipe[1]);
  close(outPipe[1]);
  close(errPipe[1]);

  ToolResult result;
  struct pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  int open = 2;
  while (open > 0) {
    if (poll(fds, 2, -1) < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      if (!Drain(fds[i].fd, i == 0 ? result.out : result.err)) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
    if (invocation.signalNumber != 0 && !result.signalSent &&
        result.out.find(invocation.signalWhenOutputHas) != std::string::npos) {
      kill(child, invocation.signalNumber);
      result.signalSent = true;
    }
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.killedBySignal = WTERMSIG(status);
  return result;
}

std::string QuorlixBinary() { return QUORLIX_BINARY; }

std::string SourceDir() { return QUORLIX_SOURCE_DIR; }

ToolResult RunQuorlixBinary(const std::vector<std::string>& args, const std::string& home) {
  ToolInvocation invocation;
  invocation.binary = QuorlixBinary();
  invocation.args = args;
  invocation.home = home;
  return RunTool(invocation);
}

}  // namespace quorlix::testing
