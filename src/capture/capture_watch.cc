#include "capture/capture_watch.h"

#include "driver/failure.h"
#include "driver/interruption.h"

namespace quorlix {

void NoteCaptureProgress(CaptureWatch& watch) {
  NoteCaptureProgress(watch, std::chrono::steady_clock::now());
}

void CheckCapture(const CaptureWatch& watch) { CheckCapture(watch, std::chrono::steady_clock::now()); }

void NoteCaptureProgress(CaptureWatch& watch, std::chrono::steady_clock::time_point now) {
  watch.lastProgress = now;
}

void CheckCapture(const CaptureWatch& watch, std::chrono::steady_clock::time_point now) {
  FailIfInterrupted();
  if (now - watch.lastProgress > kCaptureStallLimit) Fail("Capture timed out");
}

}  // namespace quorlix
