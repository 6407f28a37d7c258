#include "capture/ring_reader.h"

#include <algorithm>

#include "capture/capture_watch.h"
#include "driver/failure.h"

namespace quorlix {
namespace {

constexpr std::uint32_t kFrameBytes = 4;
constexpr std::uint64_t kBytesPerSecond = 176400;
constexpr unsigned kPollMilliseconds = 20;

// The longest that may pass from one look at the position to the end of
// reading what the next look showed: three quarters of the ring's time. The
// last quarter is for a device that writes ahead of the position it reports
// and for a device clock that runs fast against the system's.
std::chrono::microseconds OverrunLimit(std::uint32_t ringBytes) {
  return std::chrono::microseconds(ringBytes * std::uint64_t{750000} / kBytesPerSecond);
}

// A position inside a frame means that frame is still being written.
std::uint32_t FrameStart(std::uint32_t position, std::uint32_t ringBytes) {
  position %= ringBytes;
  return position - position % kFrameBytes;
}

}  // namespace

std::uint32_t ReadCaptureRing(const CaptureRing& ring, std::uint32_t captureBytes, SampleSink sink,
                              void* context) {
  const std::uint32_t wholeFrames = captureBytes - captureBytes % kFrameBytes;
  const std::chrono::microseconds overrunLimit = OverrunLimit(ring.bytes);
  CaptureWatch watch;
  // Taken before the position is asked for, so that any delay in the asking
  // counts against the limit.
  std::chrono::steady_clock::time_point looked = ring.now(ring.device);
  NoteCaptureProgress(watch, looked);
  std::uint32_t offset = FrameStart(ring.position(ring.device), ring.bytes);
  std::uint32_t done = 0;
  while (done < wholeFrames) {
    ring.pause(ring.device, kPollMilliseconds);
    const std::chrono::steady_clock::time_point lookedNow = ring.now(ring.device);
    const std::uint32_t end = FrameStart(ring.position(ring.device), ring.bytes);
    const std::uint32_t written = end >= offset ? end - offset : ring.bytes - offset + end;
    const std::uint32_t fresh = std::min(written, wholeFrames - done);
    if (fresh > 0) {
      const std::uint32_t untilEnd = std::min(fresh, ring.bytes - offset);
      ring.read(ring.device, offset, untilEnd, sink, context);
      if (fresh > untilEnd) ring.read(ring.device, 0, fresh - untilEnd, sink, context);
      offset = static_cast<std::uint32_t>((std::uint64_t{offset} + fresh) % ring.bytes);
      done += fresh;
      NoteCaptureProgress(watch, lookedNow);
    }
    const std::chrono::steady_clock::time_point readAt = ring.now(ring.device);
    if (readAt - looked >= overrunLimit) Fail("Capture overrun");
    looked = lookedNow;
    CheckCapture(watch, readAt);
  }
  return done;
}

}  // namespace quorlix
