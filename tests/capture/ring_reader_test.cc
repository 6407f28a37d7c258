// The ring reader over a fake capture device that writes a known stream into
// its ring as fake time passes, far faster than real time: whatever the
// ring's size, where the capture starts and how far the device gets between
// looks, a capture's bits are those of the stream it wrote; a ring that may
// have lapped and a device that stalls end the capture; and the longest
// captures hold little beyond their bits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "capture/noise_bits.h"
#include "capture/ring_reader.h"
#include "driver/block.h"
#include "driver/failure.h"
#include "support/random_bytes.h"
#include "support/reference_run.h"
#include "support/resident_memory.h"

namespace quorlix {
namespace {

using std::chrono::milliseconds;
using testing::Bytes;

// What the device does while the reader pauses: bytes written and time passed.
struct Step {
  std::uint32_t bytes;
  milliseconds time;
};

// Writes byte x of its stream, pattern[x % pattern.size()], at ring offset
// x % ring.size(), taking the steps of its schedule in turn, the last one
// for ever.
struct FakeDevice {
  const Bytes& pattern;
  Bytes ring;
  std::vector<Step> schedule;
  std::uint64_t written = 0;
  std::size_t steps = 0;
  std::chrono::steady_clock::time_point time{};
  bool watchMemory = false;
  std::size_t peakResident = 0;
};

void NoteResident(FakeDevice& device) {
  device.peakResident = std::max(device.peakResident, testing::ResidentBytes());
}

void Write(FakeDevice& device, std::uint64_t bytes) {
  const std::uint64_t end = device.written + bytes;
  while (device.written < end) {
    const std::size_t at = device.written % device.ring.size();
    const std::size_t from = device.written % device.pattern.size();
    const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(
        {end - device.written, device.ring.size() - at, device.pattern.size() - from}));
    std::memcpy(device.ring.data() + at, device.pattern.data() + from, piece);
    device.written += piece;
  }
}

std::uint32_t Position(void* context) {
  const FakeDevice& device = *static_cast<FakeDevice*>(context);
  return static_cast<std::uint32_t>(device.written % device.ring.size());
}

void Read(void* context, std::uint32_t offset, std::uint32_t length, SampleSink sink,
          void* sinkContext) {
  FakeDevice& device = *static_cast<FakeDevice*>(context);
  ASSERT_LE(std::uint64_t{offset} + length, device.ring.size());
  sink(sinkContext, device.ring.data() + offset, length);
}

std::chrono::steady_clock::time_point Now(void* context) {
  return static_cast<FakeDevice*>(context)->time;
}

void Pause(void* context, unsigned) {
  FakeDevice& device = *static_cast<FakeDevice*>(context);
  const Step& step = device.schedule[std::min(device.steps++, device.schedule.size() - 1)];
  device.time += step.time;
  Write(device, step.bytes);
  // Every 16 pauses (8 s of samples in the long captures): memory a capture
  // holds on to still shows, and asking costs little beside the samples.
  if (device.watchMemory && device.steps % 16 == 0) NoteResident(device);
}

CaptureRing RingOf(FakeDevice& device) {
  return {&device, static_cast<std::uint32_t>(device.ring.size()), Position, Read, Now, Pause};
}

void Pack(void* context, const std::uint8_t* samples, std::size_t bytes) {
  PackNoiseBits(*static_cast<NoiseBitsPacker*>(context), samples, bytes);
}

// Reads one capture from the device, which has already written startBytes;
// returns the capture's bits, or the failure's text.
struct Capture {
  Bytes bits;
  std::uint32_t read = 0;
  std::string failure;
};

Capture CaptureFrom(FakeDevice& device, std::uint64_t startBytes, std::uint32_t captureBytes) {
  Write(device, startBytes);
  Capture capture;
  capture.bits.assign(captureBytes / 16 + 1, 0);
  NoiseBitsPacker packer = {capture.bits.data()};
  try {
    capture.read = ReadCaptureRing(RingOf(device), captureBytes, Pack, &packer);
    FinishNoiseBits(packer);
  } catch (const FailureMessage& failure) {
    capture.failure = failure.text;
  }
  return capture;
}

// The bits of the stream's bytes [from, from + bytes).
Bytes StreamBits(const Bytes& pattern, std::uint64_t from, std::uint32_t bytes) {
  Bytes samples(bytes);
  for (std::uint32_t i = 0; i < bytes; ++i) samples[i] = pattern[(from + i) % pattern.size()];
  Bytes bits = testing::ReferenceBits(samples.data(), samples.size());
  bits.resize(bytes / 16 + 1, 0);
  return bits;
}

TEST(RingReader, HandsOnEveryFrameOnceWhereverTheRingWraps) {
  // A ring of 16 frames whose position moves by odd amounts, partial frames
  // among them, so that the capture's start and every wrap fall at every
  // offset. A capture begins at the frame being written.
  const Bytes pattern = testing::RandomBytes(4099, 3);
  std::vector<Step> schedule;
  for (int round = 0; round < 100; ++round) {
    for (std::uint32_t bytes : {7u, 13u, 1u, 57u, 0u, 24u, 3u}) {
      schedule.push_back({bytes, milliseconds(0)});
    }
  }
  for (std::uint32_t start = 0; start < 64; ++start) {
    SCOPED_TRACE("start " + std::to_string(start));
    FakeDevice device{pattern, Bytes(64), schedule};
    const Capture capture = CaptureFrom(device, start, 4000);
    ASSERT_EQ(capture.failure, "");
    EXPECT_EQ(capture.read, 4000u);
    ASSERT_TRUE(capture.bits == StreamBits(pattern, start - start % 4, 4000));
  }
}

TEST(RingReader, EndsACaptureThatMayHaveLostSamplesOrGetsNone) {
  // A two-second ring read every 20 ms, but for one longer wait. Up to three
  // quarters of the ring's time between looks is safe; beyond that the
  // device may have overwritten what was not read yet, even when its
  // position does not show it. A device that writes nothing is waited for
  // ten seconds.
  const Bytes pattern = testing::RandomBytes(4099, 5);
  const Step poll = {3528, milliseconds(20)};
  const Step idle = {0, milliseconds(20)};
  std::vector<Step> idleThenPolls(499, idle);
  idleThenPolls.push_back(poll);
  const struct {
    const char* name;
    std::vector<Step> schedule;
    const char* failure;
  } cases[] = {
      {"a wait of 1.2 s", {poll, poll, poll, {211680, milliseconds(1200)}, poll}, ""},
      {"a wait of 1.6 s", {poll, poll, poll, {282240, milliseconds(1600)}, poll},
       "Capture overrun"},
      {"a lap and a bit", {poll, poll, poll, {kCaptureRingBytes + 1764, milliseconds(2010)}, poll},
       "Capture overrun"},
      {"exactly one lap", {poll, poll, poll, {kCaptureRingBytes, milliseconds(2000)}, poll},
       "Capture overrun"},
      {"nothing for 9.98 s, then samples", idleThenPolls, ""},
      {"nothing at all", {poll, idle}, "Capture timed out"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDevice device{pattern, Bytes(kCaptureRingBytes), c.schedule};
    const Capture capture = CaptureFrom(device, 0, 4 * 176400);
    EXPECT_EQ(capture.failure, c.failure);
    if (*c.failure == '\0') {
      EXPECT_TRUE(capture.bits == StreamBits(pattern, 0, 4 * 176400));
    }
  }
}

TEST(RingReader, LongestCapturesHoldLittleBeyondTheirBits) {
  // Half a second of samples between looks, so a capture of hours takes a
  // few seconds. The bits block is outputSize bytes; a run may hold two such
  // blocks and 12 MiB beside. The stream repeats every 65537 bytes of bits,
  // a period no ring position shares, so a lost, repeated or misplaced
  // region shows in the bits.
  const Bytes pattern = testing::RandomBytes(16 * 65537, 9);
  const Bytes patternBits = testing::ReferenceBits(pattern.data(), pattern.size());
  for (std::uint32_t seconds : {3600u, 24347u}) {
    SCOPED_TRACE(std::to_string(seconds) + " s");
    const std::uint32_t captureBytes = seconds * 176400;
    const std::size_t outputSize = captureBytes / 16;
    FakeDevice device{pattern, Bytes(kCaptureRingBytes), {{88200, milliseconds(500)}}};
    device.watchMemory = true;
    const std::size_t baseline = testing::ResidentBytes();
    ASSERT_GT(baseline, 0u);

    Block bits = AllocateZeroedBlock(outputSize);
    NoiseBitsPacker packer = {bits.get()};
    EXPECT_EQ(ReadCaptureRing(RingOf(device), captureBytes, Pack, &packer), captureBytes);
    FinishNoiseBits(packer);
    NoteResident(device);

    EXPECT_LE(device.peakResident - std::min(baseline, device.peakResident),
              2 * outputSize + (std::size_t{12} << 20));
    std::size_t mismatches = 0;
    for (std::size_t at = 0; at < outputSize; at += patternBits.size()) {
      const std::size_t length = std::min(patternBits.size(), outputSize - at);
      mismatches += std::memcmp(bits.get() + at, patternBits.data(), length) != 0;
    }
    EXPECT_EQ(mismatches, 0u);
  }
}

}  // namespace
}  // namespace quorlix
