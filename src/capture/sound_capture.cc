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

// The same short name for the same input, from every build of the tool:
// 64-bit FNV-1a.
std::string LockName(const std::string& input) {
  std::uint64_t hash = 0xcbf29ce484222325u;
  for (const char c : input) {
    hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
  }
  std::string name(16, '0');
  for (std::size_t i = 16; i-- > 0; hash >>= 4) name[i] = "0123456789abcdef"[hash & 0xF];
  return name;
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
  // A second run on the same input would record the same samples and make
  // the same key: it ends here, before it records.
  if (!opening.input.empty() && !LockInput(LockName(opening.input), capture.inputLock)) {
    Fail("Another run is recording from this input");
  }
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
  UnlockInput(capture.inputLock);
}

}  // namespace quorlix
