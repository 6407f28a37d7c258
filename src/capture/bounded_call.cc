#include "capture/bounded_call.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <utility>

#include "platform/interrupt.h"

namespace quorlix {

// Shared by the caller and the thread; whichever of them is last frees it,
// so an abandoned call never touches the caller's memory.
struct CallThread {
  std::mutex mutex;
  std::condition_variable wake;
  std::condition_variable finished;
  std::function<void()> call;
  std::function<void()> cleanup;
  bool busy = false;
  bool abandoned = false;
  bool stopping = false;
};

namespace {

constexpr std::chrono::milliseconds kInterruptCheck{100};

void ServeCalls(const std::shared_ptr<CallThread>& thread) {
  std::unique_lock<std::mutex> lock(thread->mutex);
  for (;;) {
    thread->wake.wait(lock, [&] { return thread->busy || thread->stopping; });
    if (!thread->busy) return;
    std::function<void()> call = std::move(thread->call);
    lock.unlock();
    call();
    lock.lock();
    if (thread->abandoned) {
      std::function<void()> cleanup = std::move(thread->cleanup);
      lock.unlock();
      if (cleanup) cleanup();
      return;
    }
    thread->busy = false;
    thread->finished.notify_all();
  }
}

}  // namespace

std::shared_ptr<CallThread> StartCallThread() {
  auto thread = std::make_shared<CallThread>();
  // Detached at once: a thread stuck in a library must never hold up the
  // caller, nor the end of the process.
  StartWorkerThread([thread] { ServeCalls(thread); }).detach();
  return thread;
}

CallOutcome CallWithBound(CallThread& thread, std::function<void()> call,
                          std::function<void()> cleanup, std::chrono::milliseconds limit,
                          bool watchInterrupt) {
  std::unique_lock<std::mutex> lock(thread.mutex);
  if (thread.abandoned || thread.stopping) return CallOutcome::kTimedOut;
  thread.call = std::move(call);
  thread.cleanup = std::move(cleanup);
  thread.busy = true;
  thread.wake.notify_all();

  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (thread.busy) {
    const auto now = std::chrono::steady_clock::now();
    CallOutcome outcome = CallOutcome::kFinished;
    if (watchInterrupt && InterruptRequested()) {
      outcome = CallOutcome::kInterrupted;
    } else if (now >= deadline) {
      outcome = CallOutcome::kTimedOut;
    }
    if (outcome != CallOutcome::kFinished) {
      thread.abandoned = true;
      return outcome;
    }
    thread.finished.wait_for(
        lock, std::min<std::chrono::steady_clock::duration>(kInterruptCheck, deadline - now));
  }
  thread.cleanup = nullptr;
  return CallOutcome::kFinished;
}

void StopCallThread(CallThread& thread) {
  std::lock_guard<std::mutex> lock(thread.mutex);
  thread.stopping = true;
  thread.wake.notify_all();
}

}  // namespace quorlix
