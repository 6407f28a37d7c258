// Noise bit extraction: one bit per 16-bit sample, bit 0 XOR bit 8, packed
// eight to a byte with the first sample in the least significant bit. Both
// channels count alike, in memory order. The output block must be zeroed by
// the caller: bits are ORed in, and when sampleBytes is not a multiple of 16
// the higher bits of the last byte stay as they were. A trailing odd byte is
// not read. A capture handed over in pieces is packed through a
// NoiseBitsPacker, which gives the same bytes as one call over the whole.
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

// Packs the bits of a stream of samples that arrives in pieces of whole
// samples. The samples that do not fill a byte wait for the next piece, so
// every piece but the carry goes through the fast form at once. out must be
// zeroed and hold a bit for every sample the stream will bring.
struct NoiseBitsPacker {
  std::uint8_t* out;
  std::uint8_t carry[16] = {};
  std::size_t carryBytes = 0;
};

void PackNoiseBits(NoiseBitsPacker& packer, const std::uint8_t* samples, std::size_t sampleBytes);

// Stores the bits of the samples still carried into the last, partial byte.
void FinishNoiseBits(NoiseBitsPacker& packer);

}  // namespace quorlix

#endif  // QUORLIX_CAPTURE_NOISE_BITS_H_
