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
#include <string>

#include "platform/input_lock.h"

namespace quorlix {

struct RunPlan;
struct RunResources;

// The platform's handle on the capture device, and what it records through.
// Each backend defines both.
struct CaptureObject;
struct CaptureBuffer;

// Receives each piece of a capture in order: whole frames of 16-bit little-endian stereo.
using SampleSink = void (*)(void* context, const std::uint8_t* samples, std::size_t bytes);

// What opening a capture device came to.
enum class DeviceOutcome {
  kOpened,
  kNoSuchDevice,     // nothing the sound system knows goes by the name
  kSeveralDevices,   // the name fits more than one device; reason lists them
  kCannotOpen,       // the device is known (or the default) but cannot be had
};

struct DeviceOpening {
  DeviceOutcome outcome = DeviceOutcome::kCannotOpen;
  // Set only with kOpened.
  CaptureObject* object = nullptr;
  // The device as opened: the exact name that chooses it again (an ALSA PCM
  // name, a DirectSound device's GUID) and, where the sound system gives
  // one, its description. Tells one input from another.
  std::string name;
  std::string description;
  // What the device records from, as far as the sound system tells: two
  // openings with the same input deliver the same samples. Empty when it
  // tells nothing.
  std::string input;
  // Why the device could not be had, in the sound system's own words; may
  // be empty.
  std::string reason;
};

// What the capture loop needs of a sound-card interface. Every operation
// that can fail throws the tool's own text for it.
struct CaptureBackend {
  // name is the device asked for, empty for the system's default capture
  // device: at most kMaxDeviceNameBytes (capture_devices.h) bytes of any
  // value. Throws only "Interrupted".
  DeviceOpening (*openDevice)(const std::string& name);
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
  // The opened device's name and description, as DeviceOpening has them.
  std::string deviceName;
  std::string deviceDescription;
  // Held from the open to the release: no other run records this input.
  InputLock inputLock;
};

// How a device that is there but cannot be opened is reported: by quorlix's
// fixed text alone, or followed by the sound system's own reason.
enum class OpenFailureText { kFixed, kWithReason };

// Opens the capture device called deviceName (empty: the default one) for
// captures of captureBytes bytes. Throws "Unknown capture device - " or
// "Ambiguous capture device - " with the name, "Unable to create
// DirectSoundCapture8 interface" (with kWithReason followed by " - " and the
// reason), "Another run is recording from this input", "Unable to create
// buffer" or "Interrupted".
void OpenSoundCapture(SoundCapture& capture, std::uint32_t captureBytes,
                      const std::string& deviceName, OpenFailureText failureText);

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
