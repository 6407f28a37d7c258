// Bounded calls: a sound library can hold a call for half a minute inside a
// sound server's client (a frozen PulseAudio or PipeWire server answers
// nothing, and libpulse waits 30 s for each reply) with every signal
// ignored. Such calls run one at a time on a thread kept for them, while the
// caller waits for each with a bound, watching for the user's interrupt. A
// call that outlives the wait is abandoned: it finishes, if ever, on that
// thread, which then runs the call's cleanup instead of the caller, and
// takes no further calls.
#ifndef QUORLIX_CAPTURE_BOUNDED_CALL_H_
#define QUORLIX_CAPTURE_BOUNDED_CALL_H_

#include <chrono>
#include <functional>
#include <memory>

namespace quorlix {

enum class CallOutcome { kFinished, kTimedOut, kInterrupted };

struct CallThread;

// Throws what std::thread throws when no thread can be had.
std::shared_ptr<CallThread> StartCallThread();

// Runs call on the thread and waits for it at most limit; with
// watchInterrupt, also no more than 100 ms past a user's interrupt. Unless
// the outcome is kFinished, cleanup runs on the thread once the call
// returns. A thread still held by an abandoned call times out at once and
// runs neither.
CallOutcome CallWithBound(CallThread& thread, std::function<void()> call,
                          std::function<void()> cleanup, std::chrono::milliseconds limit,
                          bool watchInterrupt);

// Lets the thread end once it is free; never waits for it.
void StopCallThread(CallThread& thread);

}  // namespace quorlix

#endif  // QUORLIX_CAPTURE_BOUNDED_CALL_H_
