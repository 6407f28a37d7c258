// The vector form of the extraction for aarch64, where NEON is always
// present. A de-interleaving load splits 16 samples into their low and high
// bytes, so bit 0 of their XOR is each sample's noise bit; testing it gives
// a lane of all ones or zeros, which keeps only its own place value (1 to
// 128, repeating every eight lanes). Pairwise additions then sum each run
// of eight lanes into one output byte without carries, since the values are
// distinct powers of two. Lanes are stored in memory order, so the result
// does not depend on byte order.
#include <arm_neon.h>

#include "capture/noise_bits.h"
#include "capture/noise_bits_kernels.h"

namespace quorlix {
namespace {

constexpr std::uint8_t kPlaceValues[16] = {1, 2, 4, 8, 16, 32, 64, 128,
                                           1, 2, 4, 8, 16, 32, 64, 128};

// The 16 samples at samples, as their noise bits at their place values.
uint8x16_t WeightedBits(const std::uint8_t* samples, uint8x16_t placeValues) {
  const uint8x16x2_t halves = vld2q_u8(samples);
  const uint8x16_t set = vtstq_u8(veorq_u8(halves.val[0], halves.val[1]), vdupq_n_u8(1));
  return vandq_u8(set, placeValues);
}

void ExtractNoiseBitsNeon(std::uint8_t* out, const std::uint8_t* samples, std::size_t sampleBytes) {
  const uint8x16_t placeValues = vld1q_u8(kPlaceValues);
  std::size_t i = 0;
  // 64 samples, 128 bytes, give eight output bytes per round.
  for (; i + 128 <= sampleBytes; i += 128, out += 8) {
    const uint8x16_t a = WeightedBits(samples + i, placeValues);
    const uint8x16_t b = WeightedBits(samples + i + 32, placeValues);
    const uint8x16_t c = WeightedBits(samples + i + 64, placeValues);
    const uint8x16_t d = WeightedBits(samples + i + 96, placeValues);
    const uint8x16_t pairs = vpaddq_u8(vpaddq_u8(a, b), vpaddq_u8(c, d));
    const uint8x8_t bytes = vget_low_u8(vpaddq_u8(pairs, pairs));
    vst1_u8(out, vorr_u8(vld1_u8(out), bytes));
  }
  ExtractNoiseBitsScalar(out, samples + i, sampleBytes - i);
}

}  // namespace

void ExtractNoiseBits(std::uint8_t* out, const std::uint8_t* samples, std::size_t sampleBytes) {
  ExtractNoiseBitsNeon(out, samples, sampleBytes);
}

std::vector<NoiseBitsKernel> NoiseBitsKernels() { return {{"Neon", ExtractNoiseBitsNeon, true}}; }

}  // namespace quorlix
