#include "probe/probe_noise.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "capture/noise_bits.h"
#include "driver/console_text.h"
#include "driver/failure.h"
#include "driver/interruption.h"

namespace quorlix {
namespace {

// Sixteen bytes of samples make one byte of noise bits.
constexpr std::size_t kSampleBytesPerBitByte = 16;
constexpr std::size_t kReadChunk = std::size_t{1} << 16;

void PackWholeBytes(ProbeNoise& noise, const std::uint8_t* samples, std::size_t bytes) {
  const std::size_t start = noise.bits.size();
  noise.bits.resize(start + bytes / kSampleBytesPerBitByte);
  ExtractNoiseBits(noise.bits.data() + start, samples, bytes);
  noise.bitCount = std::uint64_t{noise.bits.size()} * 8;
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using OpenFile = std::unique_ptr<std::FILE, FileCloser>;

OpenFile OpenInput(const char* name) {
  OpenFile file(std::fopen(name, "rb"));
  if (!file) Fail(ComposeMessage("Unable to open input file - ", name));
  return file;
}

// Reads the whole file in chunks; consume is given every chunk and returns
// how many of its leading bytes it used, the rest starting the next chunk.
template <typename Consume>
void ReadInChunks(const char* name, Consume consume) {
  OpenFile file = OpenInput(name);
  std::vector<std::uint8_t> chunk(kReadChunk);
  std::size_t held = 0;
  for (;;) {
    FailIfInterrupted();
    const std::size_t got = std::fread(chunk.data() + held, 1, chunk.size() - held, file.get());
    if (std::ferror(file.get())) Fail(ComposeMessage("Unable to read input file - ", name));
    held += got;
    const std::size_t used = consume(chunk.data(), held);
    std::memmove(chunk.data(), chunk.data() + used, held - used);
    held -= used;
    if (got == 0) return;
  }
}

}  // namespace

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
  noise.bits.push_back(0);
  ExtractNoiseBits(&noise.bits.back(), noise.pendingSamples.data(), noise.pendingBytes);
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
    noise.bits.insert(noise.bits.end(), bytes, bytes + length);
    return length;
  });
  noise.bitCount = std::uint64_t{noise.bits.size()} * 8;
  return noise;
}

}  // namespace quorlix
