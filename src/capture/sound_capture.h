// Sound capture: the sound card's side of a run. A small backend (ALSA on
// Linux, DirectSound on Windows) records 16-bit stereo 44100 Hz PCM and hands
// each capture over in pieces as they arrive; the capture loop reduces each
// piece to one bit per sample at once and stores each capture's bits as a
// raw file. The open, record and release entry points stand apart from the
// run driver, so quorlix-probe records through exactly the same code.
#ifndef QUORLIX_CAPTURE_SOUND_CAPTURE_H_
#define QUORLIX_CAPTURE_SOUND_CAPTURE_H_

#include <cstddef>
#include <cstdint>

namespace quorlix {

struct RunPlan;
struct RunResources;

// The platform's handle on the capture device, and what it records through.
// Each backend defines both.
struct CaptureObject;
struct CaptureBuffer;

// Receives each piece of a capture in order: whole frames of 16-bit little-endian stereo.
using SampleSink = void (*)(void* context, const std::uint8_t* samples, std::size_t bytes);

// What the capture loop needs of a sound-card interface. Every operation
// that can fail throws the tool's own text for it.
struct CaptureBackend {
  // Null when there is no usable capture device.
  CaptureObject* (*openDevice)();
  // Null when the device cannot capture 16-bit stereo at exactly 44100 Hz
  // or what it records through cannot be had.
  CaptureBuffer* (*createBuffer)(CaptureObject* object, std::uint32_t captureBytes);
  // Records one capture of fresh samples, handing them to sink piece by
  // piece, and returns the bytes handed over. Throws "Capture failed",
  // "GetStatus failed", "Unable to lock buffer", "Unable to unlock buffer",
  // "Capture timed out" or "Interrupted".
  std::uint32_t (*record)(CaptureObject* object, CaptureBuffer* buffer,
                          std::uint32_t captureBytes, SampleSink sink, void* context);
  void (*releaseBuffer)(CaptureBuffer* buffer);
  void (*releaseObject)(CaptureObject* object);
};

const CaptureBackend& PlatformCaptureBackend();

struct SoundCapture {
  const CaptureBackend* backend = nullptr;
  CaptureObject* object = nullptr;
  CaptureBuffer* buffer = nullptr;
};

// Opens the default capture device for captures of captureBytes bytes. Throws
// "Unable to create DirectSoundCapture8 interface" or "Unable to create buffer".
void OpenSoundCapture(SoundCapture& capture, std::uint32_t captureBytes);

// Records one capture of captureBytes bytes of fresh samples, handing them to sink
// piece by piece; returns the bytes delivered (fewer on a device that stops, never more).
// Throws the capture failures, "Capture timed out" and "Interrupted".
std::uint32_t RecordCapture(SoundCapture& capture, std::uint32_t captureBytes, SampleSink sink, void* context);

// Records plan.totalCaptures captures, each into a listed "cap" raw file,
// with a countdown on one console line.
void RecordRawFiles(const RunPlan& plan, RunResources& resources);

// Releases the buffer, then the device, each only if it was made.
void ReleaseSoundCapture(SoundCapture& capture);

}  // namespace quorlix

#endif  // QUORLIX_CAPTURE_SOUND_CAPTURE_H_
