#include "capture/capture_watch.h"

#include "driver/failure.h"
#include "driver/interruption.h"

namespace quorlix {

void NoteCaptureProgress(CaptureWatch& watch) {
  watch.lastProgress = std::chrono::steady_clock::now();
}

void CheckCapture(const CaptureWatch& watch) {
  FailIfInterrupted();
  if (std::chrono::steady_clock::now() - watch.lastProgress > kCaptureStallLimit) {
    Fail("Capture timed out");
  }
}

}  // namespace quorlix
