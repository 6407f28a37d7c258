// The watch every capture backend keeps over a capture in progress: a user's
// interrupt ends the wait at once, and a device that delivers nothing for ten
// seconds (stalled, unplugged) ends it with a failure instead of a hang.
#ifndef QUORLIX_CAPTURE_CAPTURE_WATCH_H_
#define QUORLIX_CAPTURE_CAPTURE_WATCH_H_

#include <chrono>

namespace quorlix {

inline constexpr std::chrono::seconds kCaptureStallLimit{10};

struct CaptureWatch {
  std::chrono::steady_clock::time_point lastProgress = std::chrono::steady_clock::now();
};

void NoteCaptureProgress(CaptureWatch& watch);

// Throws "Interrupted" or "Capture timed out".
void CheckCapture(const CaptureWatch& watch);

// The same at a given time, for a capture that keeps its own clock.
void NoteCaptureProgress(CaptureWatch& watch, std::chrono::steady_clock::time_point now);
void CheckCapture(const CaptureWatch& watch, std::chrono::steady_clock::time_point now);

}  // namespace quorlix

#endif  // QUORLIX_CAPTURE_CAPTURE_WATCH_H_
