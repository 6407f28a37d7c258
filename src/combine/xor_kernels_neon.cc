// Vector forms of the two folds for aarch64, where NEON is always present,
// so nothing is chosen at run time. Unaligned vector loads and stores cost
// little there, so the forms run straight from the first byte and finish
// the last partial vector byte by byte.
#include <arm_neon.h>

#include "combine/xor_kernel_forms.h"
#include "combine/xor_kernels.h"

namespace quorlix {
namespace {

void XorIntoNeon(std::uint8_t* target, const std::uint8_t* source, std::size_t length) {
  std::size_t i = 0;
  for (; i + 32 <= length; i += 32) {
    const uint8x16_t low = veorq_u8(vld1q_u8(target + i), vld1q_u8(source + i));
    const uint8x16_t high = veorq_u8(vld1q_u8(target + i + 16), vld1q_u8(source + i + 16));
    vst1q_u8(target + i, low);
    vst1q_u8(target + i + 16, high);
  }
  for (; i + 16 <= length; i += 16) {
    vst1q_u8(target + i, veorq_u8(vld1q_u8(target + i), vld1q_u8(source + i)));
  }
  XorIntoScalar(target + i, source + i, length - i);
}

constexpr std::int8_t kLaneIndexes[16] = {0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7};

// NEON shifts each byte by its own signed count, a negative one to the
// right, so a byte rotated left by r is its shift by r ORed with its shift
// by r - 8 (for r = 0 the second is a shift past every bit, giving zero).
// Byte j of a vector is rotated by (phase + j) mod 8; sixteen bytes are two
// whole rounds of the pattern, so every vector starts at the phase the call
// starts at and the counter moves only in the byte-by-byte tail.
void RotateXorIntoNeon(std::uint8_t* result, const std::uint8_t* source, std::size_t length) {
  const int8x16_t phase = vdupq_n_s8(static_cast<std::int8_t>(RotationCounter & 7u));
  const int8x16_t leftShifts = vandq_s8(vaddq_s8(vld1q_s8(kLaneIndexes), phase), vdupq_n_s8(7));
  const int8x16_t rightShifts = vsubq_s8(leftShifts, vdupq_n_s8(8));
  std::size_t i = 0;
  for (; i + 16 <= length; i += 16) {
    const uint8x16_t s = vld1q_u8(source + i);
    const uint8x16_t rotated = vorrq_u8(vshlq_u8(s, leftShifts), vshlq_u8(s, rightShifts));
    vst1q_u8(result + i, veorq_u8(vld1q_u8(result + i), rotated));
  }
  RotateXorIntoScalar(result + i, source + i, length - i);
}

}  // namespace

void XorInto(std::uint8_t* target, const std::uint8_t* source, std::size_t length) {
  XorIntoNeon(target, source, length);
}

void RotateXorInto(std::uint8_t* result, const std::uint8_t* source, std::size_t length) {
  RotateXorIntoNeon(result, source, length);
}

std::vector<FoldForm> XorIntoForms() {
  return {{"Words", XorIntoWords, true}, {"Neon", XorIntoNeon, true}};
}

std::vector<FoldForm> RotateXorIntoForms() {
  return {{"Words", RotateXorIntoWords, true}, {"Neon", RotateXorIntoNeon, true}};
}

}  // namespace quorlix
