// Vector forms of the two folds for x86-64. SSE2 is part of x86-64 itself;
// AVX2 and AVX-512BW are chosen at run time. Each form runs byte by byte up
// to an aligned target address, so that no vector load or store of the
// target straddles two cache lines, and finishes the last partial vector
// byte by byte. Every vector value stays in a register: GCC for Windows
// cannot align the stack beyond 16 bytes, so a spilled wider value could
// fault there.
#include <immintrin.h>

#include <array>
#include <cstdint>

#include "combine/xor_kernel_forms.h"
#include "combine/xor_kernels.h"

namespace quorlix {
namespace {

// How many bytes to handle one at a time before target reaches a multiple
// of alignment (a power of two).
std::size_t HeadLength(const std::uint8_t* target, std::size_t alignment, std::size_t length) {
  const std::size_t offset = reinterpret_cast<std::uintptr_t>(target) & (alignment - 1);
  const std::size_t head = offset == 0 ? 0 : alignment - offset;
  return head < length ? head : length;
}

// Rotation works on 16-bit lanes, each holding an even byte (low half) and
// the odd byte after it (high half). A lane's constants depend on the phase
// of the group's first byte; the pattern repeats every eight bytes, so four
// lanes packed into a 64-bit word, repeated, serve vectors of any width.
struct RotatePhase {
  std::uint64_t evenMultipliers;  // 0x0101 << rotation of the even byte
  std::uint64_t oddMultipliers;   // 0x0101 << rotation of the odd byte
  std::uint64_t evenRightShifts;  // 8 - rotation of the even byte
  std::uint64_t oddLeftShifts;    // rotation of the odd byte
};

constexpr std::array<RotatePhase, 8> kRotatePhases = [] {
  std::array<RotatePhase, 8> table{};
  for (unsigned phase = 0; phase < 8; ++phase) {
    for (unsigned lane = 0; lane < 4; ++lane) {
      const unsigned even = (phase + 2 * lane) & 7u;
      const unsigned odd = (even + 1) & 7u;
      const unsigned shift = 16 * lane;
      table[phase].evenMultipliers |= std::uint64_t{0x0101u << even} << shift;
      table[phase].oddMultipliers |= std::uint64_t{0x0101u << odd} << shift;
      table[phase].evenRightShifts |= std::uint64_t{8 - even} << shift;
      table[phase].oddLeftShifts |= std::uint64_t{odd} << shift;
    }
  }
  return table;
}();

// The byte indexes that put, in every 16-byte lane of a shuffle, each even
// (or odd) byte into both halves of its 16-bit lane.
constexpr std::array<std::uint8_t, 64> DoublingIndexes(unsigned odd) {
  std::array<std::uint8_t, 64> indexes{};
  for (unsigned k = 0; k < 64; ++k) indexes[k] = static_cast<std::uint8_t>((k & 14u) | odd);
  return indexes;
}
constexpr std::array<std::uint8_t, 64> kDoubleEven = DoublingIndexes(0);
constexpr std::array<std::uint8_t, 64> kDoubleOdd = DoublingIndexes(1);

__m128i Repeat128(std::uint64_t lanes) { return _mm_set1_epi64x(static_cast<long long>(lanes)); }

void XorIntoSse2(std::uint8_t* target, const std::uint8_t* source, std::size_t length) {
  std::size_t i = HeadLength(target, 16, length);
  XorIntoScalar(target, source, i);
  for (; i + 16 <= length; i += 16) {
    auto* t = reinterpret_cast<__m128i*>(target + i);
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
    _mm_store_si128(t, _mm_xor_si128(_mm_load_si128(t), s));
  }
  XorIntoScalar(target + i, source + i, length - i);
}

[[gnu::target("avx2")]] void XorIntoAvx2(std::uint8_t* target, const std::uint8_t* source,
                                         std::size_t length) {
  std::size_t i = HeadLength(target, 32, length);
  XorIntoScalar(target, source, i);
  for (; i + 32 <= length; i += 32) {
    auto* t = reinterpret_cast<__m256i*>(target + i);
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + i));
    _mm256_store_si256(t, _mm256_xor_si256(_mm256_load_si256(t), s));
  }
  XorIntoScalar(target + i, source + i, length - i);
}

// A byte s times 0x0101 is s in both halves of a 16-bit lane, and shifting
// that left by r leaves s rotated left by r in the high half; multiplying by
// 0x0101 << r does both at once, with its own r in every lane. The even byte
// is cut out before the multiply and moved down after it; the odd byte is
// moved down before and its lane's low half cleared after.
__m128i RotateLanesSse2(__m128i bytes, __m128i evenMultipliers, __m128i oddMultipliers) {
  const __m128i lowHalves = _mm_set1_epi16(0x00FF);
  const __m128i even =
      _mm_srli_epi16(_mm_mullo_epi16(_mm_and_si128(bytes, lowHalves), evenMultipliers), 8);
  const __m128i odd =
      _mm_andnot_si128(lowHalves, _mm_mullo_epi16(_mm_srli_epi16(bytes, 8), oddMultipliers));
  return _mm_or_si128(even, odd);
}

[[gnu::target("avx2")]] __m256i RotateLanesAvx2(__m256i bytes, __m256i evenMultipliers,
                                                __m256i oddMultipliers) {
  const __m256i lowHalves = _mm256_set1_epi16(0x00FF);
  const __m256i even = _mm256_srli_epi16(
      _mm256_mullo_epi16(_mm256_and_si256(bytes, lowHalves), evenMultipliers), 8);
  const __m256i odd = _mm256_andnot_si256(
      lowHalves, _mm256_mullo_epi16(_mm256_srli_epi16(bytes, 8), oddMultipliers));
  return _mm256_or_si256(even, odd);
}

// In the vector loops every group's length is a multiple of eight, so each
// group starts at the phase the head left and the counter does not move
// until the tail.
void RotateXorIntoSse2(std::uint8_t* result, const std::uint8_t* source, std::size_t length) {
  std::size_t i = HeadLength(result, 16, length);
  RotateXorIntoScalar(result, source, i);
  const RotatePhase& phase = kRotatePhases[RotationCounter & 7u];
  const __m128i evenMultipliers = Repeat128(phase.evenMultipliers);
  const __m128i oddMultipliers = Repeat128(phase.oddMultipliers);
  for (; i + 16 <= length; i += 16) {
    auto* r = reinterpret_cast<__m128i*>(result + i);
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
    _mm_store_si128(r, _mm_xor_si128(_mm_load_si128(r),
                                     RotateLanesSse2(s, evenMultipliers, oddMultipliers)));
  }
  RotateXorIntoScalar(result + i, source + i, length - i);
}

[[gnu::target("avx2")]] void RotateXorIntoAvx2(std::uint8_t* result, const std::uint8_t* source,
                                               std::size_t length) {
  std::size_t i = HeadLength(result, 32, length);
  RotateXorIntoScalar(result, source, i);
  const RotatePhase& phase = kRotatePhases[RotationCounter & 7u];
  const __m256i evenMultipliers = _mm256_set1_epi64x(static_cast<long long>(phase.evenMultipliers));
  const __m256i oddMultipliers = _mm256_set1_epi64x(static_cast<long long>(phase.oddMultipliers));
  for (; i + 32 <= length; i += 32) {
    auto* r = reinterpret_cast<__m256i*>(result + i);
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + i));
    _mm256_store_si256(r, _mm256_xor_si256(_mm256_load_si256(r),
                                           RotateLanesAvx2(s, evenMultipliers, oddMultipliers)));
  }
  RotateXorIntoScalar(result + i, source + i, length - i);
}

// AVX-512BW shifts each 16-bit lane by its own count, so no multiply is
// needed: a byte shuffle puts every byte into both halves of a lane, a right
// shift by 8 - r then leaves an even byte rotated in the low half, a left
// shift by r an odd byte rotated in the high half, and a byte blend takes
// each from its own half.
[[gnu::target("avx512bw")]] void RotateXorIntoAvx512bw(std::uint8_t* result,
                                                       const std::uint8_t* source,
                                                       std::size_t length) {
  std::size_t i = HeadLength(result, 64, length);
  RotateXorIntoScalar(result, source, i);
  const RotatePhase& phase = kRotatePhases[RotationCounter & 7u];
  const __m512i evenShifts = _mm512_set1_epi64(static_cast<long long>(phase.evenRightShifts));
  const __m512i oddShifts = _mm512_set1_epi64(static_cast<long long>(phase.oddLeftShifts));
  const __m512i doubleEven = _mm512_loadu_si512(kDoubleEven.data());
  const __m512i doubleOdd = _mm512_loadu_si512(kDoubleOdd.data());
  const __mmask64 oddBytes = 0xAAAAAAAAAAAAAAAAu;
  for (; i + 64 <= length; i += 64) {
    const __m512i s = _mm512_loadu_si512(source + i);
    const __m512i even = _mm512_srlv_epi16(_mm512_shuffle_epi8(s, doubleEven), evenShifts);
    const __m512i odd = _mm512_sllv_epi16(_mm512_shuffle_epi8(s, doubleOdd), oddShifts);
    const __m512i rotated = _mm512_mask_blend_epi8(oddBytes, even, odd);
    _mm512_store_si512(result + i, _mm512_xor_si512(_mm512_load_si512(result + i), rotated));
  }
  RotateXorIntoScalar(result + i, source + i, length - i);
}

// The feature bits are filled in by a libgcc constructor, which may not have
// run yet when these are first asked.
bool HasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
}

bool HasAvx512bw() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512bw") != 0;
}

}  // namespace

void XorInto(std::uint8_t* target, const std::uint8_t* source, std::size_t length) {
  static const FoldFunction best = HasAvx2() ? XorIntoAvx2 : XorIntoSse2;
  best(target, source, length);
}

void RotateXorInto(std::uint8_t* result, const std::uint8_t* source, std::size_t length) {
  static const FoldFunction best = HasAvx512bw() ? RotateXorIntoAvx512bw
                                   : HasAvx2()   ? RotateXorIntoAvx2
                                                 : RotateXorIntoSse2;
  best(result, source, length);
}

std::vector<FoldForm> XorIntoForms() {
  return {{"Words", XorIntoWords, true},
          {"Sse2", XorIntoSse2, true},
          {"Avx2", XorIntoAvx2, HasAvx2()}};
}

std::vector<FoldForm> RotateXorIntoForms() {
  return {{"Words", RotateXorIntoWords, true},
          {"Sse2", RotateXorIntoSse2, true},
          {"Avx2", RotateXorIntoAvx2, HasAvx2()},
          {"Avx512bw", RotateXorIntoAvx512bw, HasAvx512bw()}};
}

}  // namespace quorlix
