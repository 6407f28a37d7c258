#include "capture/noise_bits.h"

#include <algorithm>
#include <cstring>

namespace quorlix {

void ExtractNoiseBitsScalar(std::uint8_t* out, const std::uint8_t* samples,
                            std::size_t sampleBytes) {
  unsigned shift = 0;
  for (std::size_t i = 0; i + 1 < sampleBytes; i += 2) {
    unsigned bit = (samples[i] ^ samples[i + 1]) & 1u;
    *out = static_cast<std::uint8_t>(*out | (bit << shift));
    if (shift == 7) {
      ++out;
      shift = 0;
    } else {
      ++shift;
    }
  }
}

// Sixteen sample bytes make one byte of bits.
void PackNoiseBits(NoiseBitsPacker& packer, const std::uint8_t* samples, std::size_t sampleBytes) {
  constexpr std::size_t kByteOfSamples = sizeof packer.carry;
  if (packer.carryBytes > 0) {
    const std::size_t taken = std::min(sampleBytes, kByteOfSamples - packer.carryBytes);
    std::memcpy(packer.carry + packer.carryBytes, samples, taken);
    packer.carryBytes += taken;
    samples += taken;
    sampleBytes -= taken;
    if (packer.carryBytes < kByteOfSamples) return;
    ExtractNoiseBits(packer.out++, packer.carry, kByteOfSamples);
    packer.carryBytes = 0;
  }
  const std::size_t whole = sampleBytes - sampleBytes % kByteOfSamples;
  ExtractNoiseBits(packer.out, samples, whole);
  packer.out += whole / kByteOfSamples;
  packer.carryBytes = sampleBytes - whole;
  std::memcpy(packer.carry, samples + whole, packer.carryBytes);
}

void FinishNoiseBits(NoiseBitsPacker& packer) {
  ExtractNoiseBits(packer.out, packer.carry, packer.carryBytes);
  packer.carryBytes = 0;
}

}  // namespace quorlix
