// Reads and writes that a signal cuts short, as on a FUSE or NFS folder,
// where a signal makes a waiting transfer fail with EINTR: without an
// interrupt of the run, the transfer goes on to the end. x86-only: under
// qemu (the arm64 build in scripts/test) /proc shows the host's system call
// numbers, so the wait this test looks for cannot be seen there.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"

namespace quorlix {
namespace {

volatile sig_atomic_t signalsSeen = 0;

void CountSignal(int) { signalsSeen = signalsSeen + 1; }

// Whether thread tid of this process waits in the system call number.
bool WaitsIn(pid_t tid, long number) {
  std::ifstream syscall("/proc/self/task/" + std::to_string(tid) + "/syscall");
  long current = -1;
  return static_cast<bool>(syscall >> current) && current == number;
}

TEST(PosixFiles, ReadAndWriteGoOnAfterASignalCutsThemShort) {
  // No SA_RESTART, like the tool's own handlers: the waiting call fails with
  // EINTR instead of being restarted by the kernel.
  struct sigaction action = {};
  struct sigaction previous = {};
  action.sa_handler = CountSignal;
  sigemptyset(&action.sa_mask);
  ASSERT_EQ(sigaction(SIGALRM, &action, &previous), 0);
  const struct {
    const char* transfer;
    long waitsIn;
  } cases[] = {{"write", SYS_write}, {"read", SYS_read}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.transfer);
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
    const bool writing = c.waitsIn == SYS_write;
    // A full pipe makes the write wait; an empty one, the read.
    const int pipeSize = fcntl(ends[1], F_GETPIPE_SZ);
    ASSERT_GT(pipeSize, 0);
    std::vector<std::uint8_t> filler(static_cast<std::size_t>(pipeSize), 0xA5);
    if (writing) {
      ASSERT_EQ(write(ends[1], filler.data(), filler.size()), pipeSize);
    }
    std::vector<std::uint8_t> bytes(1000, 0x3C);
    signalsSeen = 0;
    const pid_t self = static_cast<pid_t>(syscall(SYS_gettid));
    const pthread_t selfThread = pthread_self();
    bool sawWait = false;
    std::thread other([&] {
      for (int tries = 0; tries < 4000 && !sawWait; ++tries) {
        sawWait = WaitsIn(self, c.waitsIn);
        if (!sawWait) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      pthread_kill(selfThread, SIGALRM);
      // Only once the signal has cut the wait short does the pipe move.
      for (int tries = 0; tries < 4000 && signalsSeen == 0; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      if (writing) {
        std::vector<std::uint8_t> drained(filler.size() + bytes.size());
        std::size_t got = 0;
        while (got < drained.size()) {
          ssize_t n = read(ends[0], drained.data() + got, drained.size() - got);
          if (n <= 0) break;
          got += static_cast<std::size_t>(n);
        }
      } else {
        EXPECT_EQ(write(ends[1], bytes.data(), bytes.size()), 1000);
      }
    });
    OpenFile file{writing ? ends[1] : ends[0]};
    std::vector<std::uint8_t> received(bytes.size());
    const bool done = writing ? WriteWholeFile(file, bytes.data(), bytes.size())
                              : ReadWholeFile(file, received.data(), received.size());
    // The drain ends at the end of what was written, however much that is.
    if (writing) close(ends[1]);
    other.join();
    close(ends[0]);
    if (!writing) close(ends[1]);
    if (!sawWait && !std::ifstream("/proc/self/syscall")) {
      GTEST_SKIP() << "this kernel does not show where a thread waits";
    }
    EXPECT_TRUE(sawWait);
    EXPECT_EQ(signalsSeen, 1);
    EXPECT_TRUE(done);
    if (!writing) {
      EXPECT_EQ(received, bytes);
    }
  }
  sigaction(SIGALRM, &previous, nullptr);
}

}  // namespace
}  // namespace quorlix
