#include <cstdint>

#include "capture/sound_capture.h"
#include "driver/run_limits.h"
#include "probe/probe_noise.h"

namespace quorlix {
namespace {

void CollectFrames(void* context, const std::uint8_t* samples, std::size_t bytes) {
  AddFrames(*static_cast<ProbeNoise*>(context), samples, bytes);
}

// The device is let go however the recording ends, as quorlix's teardown does.
struct CaptureRelease {
  SoundCapture& capture;
  ~CaptureRelease() { ReleaseSoundCapture(capture); }
};

}  // namespace

ProbeNoise RecordNoise(std::int32_t seconds, const std::string& deviceName) {
  SoundCapture capture;
  capture.backend = &PlatformCaptureBackend();
  CaptureRelease release{capture};
  const std::uint32_t captureBytes = static_cast<std::uint32_t>(seconds) * kCaptureBytesPerSecond;
  OpenSoundCapture(capture, captureBytes, deviceName, OpenFailureText::kWithReason);
  ProbeNoise noise;
  noise.fromSamples = true;
  noise.defaultDevice = deviceName.empty();
  noise.deviceName = capture.deviceName;
  noise.deviceDescription = capture.deviceDescription;
  RecordCapture(capture, captureBytes, CollectFrames, &noise);
  FinishFrames(noise);
  return noise;
}

}  // namespace quorlix
