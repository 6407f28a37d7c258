// Vector forms of the extraction for x86-64. Shifting a 16-bit sample left
// by 15 and by 7 and XORing the two puts bit 0 XOR bit 8 into the sign bit;
// a signed-saturating pack keeps that sign in each byte, and movemask then
// gathers the signs with the first sample in the lowest bit, which is the
// output bit order. SSE2 is part of x86-64 itself; AVX2 is chosen at run
// time.
#include <immintrin.h>

#include <cstring>

#include "capture/noise_bits.h"
#include "capture/noise_bits_kernels.h"

namespace quorlix {
namespace {

// x86 is little-endian, so the mask's low bits land in the first byte.
void OrInto16(std::uint8_t* out, std::uint32_t bits) {
  std::uint16_t word;
  std::memcpy(&word, out, sizeof word);
  word = static_cast<std::uint16_t>(word | bits);
  std::memcpy(out, &word, sizeof word);
}

void OrInto32(std::uint8_t* out, std::uint32_t bits) {
  std::uint32_t word;
  std::memcpy(&word, out, sizeof word);
  word |= bits;
  std::memcpy(out, &word, sizeof word);
}

void ExtractNoiseBitsSse2(std::uint8_t* out, const std::uint8_t* samples, std::size_t sampleBytes) {
  std::size_t i = 0;
  for (; i + 32 <= sampleBytes; i += 32, out += 2) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + i));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + i + 16));
    a = _mm_xor_si128(_mm_slli_epi16(a, 15), _mm_slli_epi16(a, 7));
    b = _mm_xor_si128(_mm_slli_epi16(b, 15), _mm_slli_epi16(b, 7));
    OrInto16(out, static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(a, b))));
  }
  ExtractNoiseBitsScalar(out, samples + i, sampleBytes - i);
}

// Every vector value stays in a register: GCC for Windows cannot align the
// stack to 32 bytes, so a spilled 256-bit value could fault there.
[[gnu::target("avx2")]] void ExtractNoiseBitsAvx2(std::uint8_t* out, const std::uint8_t* samples,
                                                  std::size_t sampleBytes) {
  std::size_t i = 0;
  for (; i + 64 <= sampleBytes; i += 64, out += 4) {
    __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(samples + i));
    __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(samples + i + 32));
    a = _mm256_xor_si256(_mm256_slli_epi16(a, 15), _mm256_slli_epi16(a, 7));
    b = _mm256_xor_si256(_mm256_slli_epi16(b, 15), _mm256_slli_epi16(b, 7));
    // The pack works within each 128-bit half, leaving the 64-bit quarters
    // as a-low, b-low, a-high, b-high; the permute restores sample order.
    const __m256i packed =
        _mm256_permute4x64_epi64(_mm256_packs_epi16(a, b), _MM_SHUFFLE(3, 1, 2, 0));
    OrInto32(out, static_cast<std::uint32_t>(_mm256_movemask_epi8(packed)));
  }
  ExtractNoiseBitsSse2(out, samples + i, sampleBytes - i);
}

bool HasAvx2() {
  // The feature bits are filled in by a libgcc constructor, which may not
  // have run yet when this is first asked.
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
}

}  // namespace

void ExtractNoiseBits(std::uint8_t* out, const std::uint8_t* samples, std::size_t sampleBytes) {
  static const NoiseBitsFunction best = HasAvx2() ? ExtractNoiseBitsAvx2 : ExtractNoiseBitsSse2;
  best(out, samples, sampleBytes);
}

std::vector<NoiseBitsKernel> NoiseBitsKernels() {
  return {{"Sse2", ExtractNoiseBitsSse2, true}, {"Avx2", ExtractNoiseBitsAvx2, HasAvx2()}};
}

}  // namespace quorlix
