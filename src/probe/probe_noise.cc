#include "probe/probe_noise.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "capture/noise_bits.h"
#include "driver/console_text.h"
#include "driver/failure.h"
#include "driver/interruption.h"
#include "platform/input_file.h"

namespace quorlix {
namespace {

// Sixteen bytes of samples make one byte of noise bits.
constexpr std::size_t kSampleBytesPerBitByte = 16;
constexpr std::size_t kReadChunk = std::size_t{1} << 16;

void PackWholeBytes(ProbeNoise& noise, const std::uint8_t* samples, std::size_t bytes) {
  noise.scratch.assign(bytes / kSampleBytesPerBitByte, 0);
  ExtractNoiseBits(noise.scratch.data(), samples, bytes);
  AddBitBytes(noise, noise.scratch.data(), noise.scratch.size());
}

// The bytes join the assessed bits while there is room for them.
void KeepForAssessment(ProbeNoise& noise, const std::uint8_t* bits, std::size_t bytes) {
  const std::size_t room = kAssessedBits / 8 - std::min<std::size_t>(noise.assessed.size(),
                                                                       kAssessedBits / 8);
  noise.assessed.insert(noise.assessed.end(), bits, bits + std::min(room, bytes));
}

// Eight bytes at a time: a long input passes through here whole.
std::uint64_t CountOnes(const std::uint8_t* bits, std::size_t bytes) {
  std::uint64_t ones = 0;
  std::size_t i = 0;
  for (; i + 8 <= bytes; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, bits + i, 8);
    ones += static_cast<std::uint64_t>(std::popcount(word));
  }
  for (; i < bytes; ++i) ones += static_cast<std::uint64_t>(std::popcount(bits[i]));
  return ones;
}

struct InputCloser {
  InputFile& file;
  ~InputCloser() { CloseInputFile(file); }
};

[[noreturn]] void FailReading(InputRead outcome, const char* prefix, const char* name) {
  if (outcome == InputRead::kInterrupted) Fail("Interrupted");
  Fail(ComposeMessage(prefix, name));
}

// Reads the whole file in chunks; consume is given every chunk and returns
// how many of its leading bytes it used, the rest starting the next chunk.
template <typename Consume>
void ReadInChunks(const char* name, Consume consume) {
  InputFile file;
  InputCloser closer{file};
  const InputRead opened = OpenInputFile(name, file);
  if (opened != InputRead::kData) FailReading(opened, "Unable to open input file - ", name);
  std::vector<std::uint8_t> chunk(kReadChunk);
  std::size_t held = 0;
  for (;;) {
    std::size_t got = 0;
    const InputRead outcome = ReadInputFile(file, chunk.data() + held, chunk.size() - held, got);
    if (outcome == InputRead::kEnd) return;
    if (outcome != InputRead::kData) FailReading(outcome, "Unable to read input file - ", name);
    held += got;
    const std::size_t used = consume(chunk.data(), held);
    std::memmove(chunk.data(), chunk.data() + used, held - used);
    held -= used;
  }
}

}  // namespace

void AddBitBytes(ProbeNoise& noise, const std::uint8_t* bits, std::size_t bytes) {
  KeepForAssessment(noise, bits, bytes);
  noise.ones += CountOnes(bits, bytes);
  FeedHealthTests(noise.health, bits, bytes);
  noise.bitCount += std::uint64_t{bytes} * 8;
}

void AddFrames(ProbeNoise& noise, const std::uint8_t* frames, std::size_t bytes) {
  noise.fromSamples = true;
  AddSamples(noise.sampleSums, frames, bytes);
  if (noise.pendingBytes > 0) {
    const std::size_t taken = std::min(kSampleBytesPerBitByte - noise.pendingBytes, bytes);
    std::memcpy(noise.pendingSamples.data() + noise.pendingBytes, frames, taken);
    noise.pendingBytes += taken;
    frames += taken;
    bytes -= taken;
    if (noise.pendingBytes < kSampleBytesPerBitByte) return;
    PackWholeBytes(noise, noise.pendingSamples.data(), kSampleBytesPerBitByte);
    noise.pendingBytes = 0;
  }
  const std::size_t whole = bytes - bytes % kSampleBytesPerBitByte;
  PackWholeBytes(noise, frames, whole);
  std::memcpy(noise.pendingSamples.data(), frames + whole, bytes - whole);
  noise.pendingBytes = bytes - whole;
}

void FinishFrames(ProbeNoise& noise) {
  if (noise.pendingBytes == 0) return;
  // Its padding is zero, so it adds no ones; quorlix tests whole bytes of
  // bits only, so it stays out of the health tests.
  std::uint8_t last = 0;
  ExtractNoiseBits(&last, noise.pendingSamples.data(), noise.pendingBytes);
  KeepForAssessment(noise, &last, 1);
  noise.ones += CountOnes(&last, 1);
  noise.bitCount += noise.pendingBytes / 2;
  noise.pendingBytes = 0;
}

ProbeNoise ReadPcmFile(const char* name) {
  ProbeNoise noise;
  noise.fromSamples = true;
  ReadInChunks(name, [&noise](const std::uint8_t* bytes, std::size_t length) {
    const std::size_t frames = length - length % 4;
    AddFrames(noise, bytes, frames);
    return frames;
  });
  FinishFrames(noise);
  return noise;
}

ProbeNoise ReadBitsFile(const char* name) {
  ProbeNoise noise;
  ReadInChunks(name, [&noise](const std::uint8_t* bytes, std::size_t length) {
    AddBitBytes(noise, bytes, length);
    return length;
  });
  return noise;
}

}  // namespace quorlix
