// Noise bit extraction: one bit per 16-bit sample, bit 0 XOR bit 8, packed
// eight to a byte with the first sample in the least significant bit. Both
// channels count alike, in memory order. The output block must be zeroed by
// the caller: bits are ORed in, and when sampleBytes is not a multiple of 16
// the higher bits of the last byte stay as they were. A trailing odd byte is
// not read.
#ifndef QUORLIX_CAPTURE_NOISE_BITS_H_
#define QUORLIX_CAPTURE_NOISE_BITS_H_

#include <cstddef>
#include <cstdint>

namespace quorlix {

// The fastest form this processor supports.
void ExtractNoiseBits(std::uint8_t* out, const std::uint8_t* samples, std::size_t sampleBytes);

// One sample at a time; the reference the fast forms are checked against.
void ExtractNoiseBitsScalar(std::uint8_t* out, const std::uint8_t* samples,
                            std::size_t sampleBytes);

}  // namespace quorlix

#endif  // QUORLIX_CAPTURE_NOISE_BITS_H_
