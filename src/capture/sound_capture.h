// Sound capture: the sound card's side of a run. The portable capture loop
// records one whole buffer of 16-bit stereo 44100 Hz PCM per capture through
// a small backend (ALSA on Linux, DirectSound on Windows), reduces it to one
// bit per sample and stores the bits as a raw file.
#ifndef QUORLIX_CAPTURE_SOUND_CAPTURE_H_
#define QUORLIX_CAPTURE_SOUND_CAPTURE_H_

#include <cstdint>

namespace quorlix {

struct RunPlan;
struct RunResources;

// The platform's handle on the capture device, and its buffer that holds one
// whole capture. Each backend defines both.
struct CaptureObject;
struct CaptureBuffer;

struct CapturedBlock {
  const std::uint8_t* bytes;
  std::uint32_t length;
};

// What the capture loop needs of a sound-card interface. Every operation
// that can fail throws the tool's own text for it.
struct CaptureBackend {
  // Null when there is no usable capture device.
  CaptureObject* (*openDevice)();
  // Null when the device cannot capture 16-bit stereo at exactly 44100 Hz
  // or the buffer cannot be had.
  CaptureBuffer* (*createBuffer)(CaptureObject* object, std::uint32_t captureBytes);
  // Fills the buffer once with fresh samples. Throws "Capture failed",
  // "GetStatus failed", "Capture timed out" or "Interrupted".
  void (*record)(CaptureObject* object, CaptureBuffer* buffer);
  // The recorded bytes, valid until unlock. Throws "Unable to lock buffer".
  CapturedBlock (*lock)(CaptureBuffer* buffer);
  // Throws "Unable to unlock buffer".
  void (*unlock)(CaptureBuffer* buffer);
  void (*releaseBuffer)(CaptureBuffer* buffer);
  void (*releaseObject)(CaptureObject* object);
};

const CaptureBackend& PlatformCaptureBackend();

struct SoundCapture {
  const CaptureBackend* backend = nullptr;
  CaptureObject* object = nullptr;
  CaptureBuffer* buffer = nullptr;
};

// Opens the device, then a buffer of plan.captureBytes. Throws "Unable to
// create DirectSoundCapture8 interface" or "Unable to create buffer".
void OpenSoundCapture(const RunPlan& plan, RunResources& resources);

// Records plan.totalCaptures captures, each into a listed "cap" raw file,
// with a countdown on one console line.
void RecordRawFiles(const RunPlan& plan, RunResources& resources);

// Releases the buffer, then the device, each only if it was made.
void ReleaseSoundCapture(SoundCapture& capture);

}  // namespace quorlix

#endif  // QUORLIX_CAPTURE_SOUND_CAPTURE_H_
