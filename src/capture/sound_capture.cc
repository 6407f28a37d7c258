#include "capture/sound_capture.h"

#include "capture/capture_devices.h"
#include "driver/console_text.h"
#include "driver/failure.h"
#include "driver/interruption.h"

namespace quorlix {
namespace {

constexpr std::uint32_t kFrameBytes = 4;

// Stands between a backend and the caller's sink, so that whatever a
// backend hands over, the sink sees whole frames and never more than the
// capture asked for.
struct BoundedSink {
  SampleSink sink;
  void* context;
  std::uint32_t left;
};

void PassBounded(void* context, const std::uint8_t* samples, std::size_t bytes) {
  BoundedSink& bounded = *static_cast<BoundedSink*>(context);
  if (bytes > bounded.left) bytes = bounded.left;
  bytes -= bytes % kFrameBytes;
  if (bytes == 0) return;
  bounded.left -= static_cast<std::uint32_t>(bytes);
  bounded.sink(bounded.context, samples, bytes);
}

}  // namespace

void OpenSoundCapture(SoundCapture& capture, std::uint32_t captureBytes,
                      const std::string& deviceName, OpenFailureText failureText) {
  if (deviceName.size() > kMaxDeviceNameBytes) {
    Fail(ComposeMessage("Unknown capture device - ", PrintableLine(deviceName).c_str()));
  }
  DeviceOpening opening = capture.backend->openDevice(deviceName);
  switch (opening.outcome) {
    case DeviceOutcome::kOpened:
      break;
    case DeviceOutcome::kNoSuchDevice:
      Fail(ComposeMessage("Unknown capture device - ", PrintableLine(deviceName).c_str()));
    case DeviceOutcome::kSeveralDevices:
      Fail(ComposeMessage("Ambiguous capture device - ",
                          (PrintableLine(deviceName) + " matches " +
                           PrintableLine(opening.reason, 4 * kMaxDeviceNameBytes))
                                .c_str()));
    case DeviceOutcome::kCannotOpen:
      if (failureText == OpenFailureText::kWithReason && !opening.reason.empty()) {
        Fail(ComposeMessage("Unable to create DirectSoundCapture8 interface - ",
                            PrintableLine(opening.reason).c_str()));
      }
      Fail("Unable to create DirectSoundCapture8 interface");
  }
  capture.object = opening.object;
  capture.deviceName = std::move(opening.name);
  capture.deviceDescription = std::move(opening.description);
  capture.buffer = capture.backend->createBuffer(capture.object, captureBytes);
  if (capture.buffer == nullptr) Fail("Unable to create buffer");
}

std::uint32_t RecordCapture(SoundCapture& capture, std::uint32_t captureBytes, SampleSink sink,
                            void* context) {
  const std::uint32_t wholeFrames = captureBytes - captureBytes % kFrameBytes;
  BoundedSink bounded = {sink, context, wholeFrames};
  capture.backend->record(capture.object, capture.buffer, wholeFrames, PassBounded, &bounded);
  // A signal can cut a device's read short without the device saying so;
  // such a capture is not what the source made and must never be judged.
  FailIfInterrupted();
  return wholeFrames - bounded.left;
}

void ReleaseSoundCapture(SoundCapture& capture) {
  if (capture.buffer != nullptr) capture.backend->releaseBuffer(capture.buffer);
  capture.buffer = nullptr;
  if (capture.object != nullptr) capture.backend->releaseObject(capture.object);
  capture.object = nullptr;
}

}  // namespace quorlix
