// Reading a capture from a ring: a device that records without end into a
// buffer of fixed size (DirectSound's looping capture buffer) and tells only
// how far round the ring it has got. The reader follows that position every
// few tens of milliseconds and hands each newly written region on, in whole
// frames, until the capture has its bytes; memory stays that of the ring,
// however long the capture. The positions say nothing of whole laps, so the
// time between two looks is what shows that the device may have gone round
// the ring and overwritten samples not yet read: such a capture fails rather
// than pass those samples on. The device's side is a handful of plain
// function pointers, so that a fake ring drives the same code faster than
// real time.
#ifndef QUORLIX_CAPTURE_RING_READER_H_
#define QUORLIX_CAPTURE_RING_READER_H_

#include <chrono>
#include <cstdint>

#include "capture/sound_capture.h"

namespace quorlix {

// Two seconds of samples: room for a tool that the system leaves waiting for
// most of a second, and still nothing beside the captures' bits.
inline constexpr std::uint32_t kCaptureRingBytes = 2 * 176400;

struct CaptureRing {
  void* device;
  // A whole number of frames.
  std::uint32_t bytes;
  // The end of what the device has written and may be read, as an offset
  // into the ring. Throws the device's failure.
  std::uint32_t (*position)(void* device);
  // Hands the ring's bytes [offset, offset + length) to sink; the region
  // never runs past the ring's end. Throws the device's failure.
  void (*read)(void* device, std::uint32_t offset, std::uint32_t length, SampleSink sink,
               void* context);
  std::chrono::steady_clock::time_point (*now)(void* device);
  void (*pause)(void* device, unsigned milliseconds);
};

// Hands captureBytes bytes (whole frames) written after the call began to sink,
// piece by piece, and returns them. Throws the device's failures,
// "Interrupted", "Capture timed out" after ten seconds without a new frame,
// and "Capture overrun" when the device may have overwritten samples before
// they were read.
std::uint32_t ReadCaptureRing(const CaptureRing& ring, std::uint32_t captureBytes, SampleSink sink,
                              void* context);

}  // namespace quorlix

#endif  // QUORLIX_CAPTURE_RING_READER_H_
