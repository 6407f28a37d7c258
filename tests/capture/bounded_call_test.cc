// Bounded calls: a call that returns in time, and one that is held past its
// bound, whose cleanup then runs on its own thread once it lets go.
#include "capture/bounded_call.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>

namespace quorlix {
namespace {

using std::chrono::milliseconds;

TEST(BoundedCall, FinishedCallsRunInTurnAndAHeldCallIsAbandonedToItsCleanup) {
  std::shared_ptr<CallThread> thread = StartCallThread();
  int calls = 0;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(CallWithBound(*thread, [&] { ++calls; }, [] { FAIL() << "cleanup of a finished call"; },
                            milliseconds(60000), false),
              CallOutcome::kFinished);
  }
  EXPECT_EQ(calls, 3);

  std::promise<void> release;
  std::shared_future<void> held = release.get_future().share();
  std::promise<void> cleaned;
  std::future<void> cleanedUp = cleaned.get_future();
  EXPECT_EQ(CallWithBound(*thread, [held] { held.wait(); }, [&cleaned] { cleaned.set_value(); },
                          milliseconds(50), false),
            CallOutcome::kTimedOut);
  // The thread is still held: the next call is refused at once, never queued.
  EXPECT_EQ(CallWithBound(*thread, [&] { ++calls; }, nullptr, milliseconds(60000), false),
            CallOutcome::kTimedOut);
  EXPECT_EQ(cleanedUp.wait_for(milliseconds(0)), std::future_status::timeout);
  release.set_value();
  EXPECT_EQ(cleanedUp.wait_for(std::chrono::seconds(60)), std::future_status::ready);
  EXPECT_EQ(calls, 3);
  StopCallThread(*thread);
}

}  // namespace
}  // namespace quorlix
