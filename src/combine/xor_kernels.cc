// The byte-by-byte references and the word-wide forms, which every build
// carries; which form XorInto and RotateXorInto use is decided in the
// processor-specific file beside this one.
#include "combine/xor_kernels.h"

#include <array>
#include <bit>
#include <cstring>

#include "combine/xor_kernel_forms.h"

namespace quorlix {

unsigned RotationCounter = 0;

namespace {

std::uint64_t Load64(const std::uint8_t* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

void Store64(std::uint8_t* p, std::uint64_t word) { std::memcpy(p, &word, sizeof word); }

// RotateXorInto works on eight bytes at once, each rotated by its own
// amount, as a barrel shifter: steps of 1, 2 and 4 bits, each applied only
// to the byte lanes whose rotation has that bit set. A word is loaded in
// native byte order, yet every shift is masked so that no bit crosses into
// another byte, and the lane masks are laid out in memory order too, so
// the result is the same on either byte order.
struct RotateStep {
  std::uint64_t keep;  // lanes this step leaves alone
  std::uint64_t high;  // in rotated lanes, the bits the left shift fills
  std::uint64_t low;   // in rotated lanes, the bits that wrap around
};
using PhaseSteps = std::array<RotateStep, 3>;

constexpr std::uint64_t EveryByte(unsigned byte) { return byte * 0x0101010101010101u; }

// Byte lane j of a group that starts at rotation phase p is rotated by
// (p + j) mod 8.
constexpr std::uint64_t LanesWithRotationBit(unsigned phase, unsigned bit) {
  std::array<std::uint8_t, 8> lanes{};
  for (unsigned j = 0; j < 8; ++j) lanes[j] = ((phase + j) & bit) != 0 ? 0xFF : 0x00;
  return std::bit_cast<std::uint64_t>(lanes);
}

constexpr std::array<PhaseSteps, 8> kPhaseSteps = [] {
  std::array<PhaseSteps, 8> table{};
  for (unsigned phase = 0; phase < 8; ++phase) {
    for (unsigned step = 0; step < 3; ++step) {
      const unsigned shift = 1u << step;
      const std::uint64_t lanes = LanesWithRotationBit(phase, shift);
      const std::uint64_t high = EveryByte((0xFFu << shift) & 0xFFu);
      table[phase][step] = {~lanes, high & lanes, ~high & lanes};
    }
  }
  return table;
}();

std::uint64_t RotateLanes(std::uint64_t word, const PhaseSteps& steps) {
  for (unsigned step = 0; step < 3; ++step) {
    const unsigned shift = 1u << step;
    word = (word & steps[step].keep) | ((word << shift) & steps[step].high) |
           ((word >> (8 - shift)) & steps[step].low);
  }
  return word;
}

}  // namespace

void XorIntoScalar(std::uint8_t* target, const std::uint8_t* source, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) target[i] = static_cast<std::uint8_t>(target[i] ^ source[i]);
}

void XorIntoWords(std::uint8_t* target, const std::uint8_t* source, std::size_t length) {
  std::size_t i = 0;
  // Four words per round give the compiler a whole vector's worth to fold.
  for (; i + 32 <= length; i += 32) {
    for (std::size_t w = i; w < i + 32; w += 8)
      Store64(target + w, Load64(target + w) ^ Load64(source + w));
  }
  for (; i + 8 <= length; i += 8) Store64(target + i, Load64(target + i) ^ Load64(source + i));
  XorIntoScalar(target + i, source + i, length - i);
}

void RotateXorIntoScalar(std::uint8_t* result, const std::uint8_t* source, std::size_t length) {
  // The counter lives in a local while the loop runs: a store through
  // result could alias the global, so the compiler would have to reload it
  // after every byte.
  unsigned r = RotationCounter;
  for (std::size_t i = 0; i < length; ++i) {
    unsigned s = source[i];
    result[i] = static_cast<std::uint8_t>(result[i] ^ ((s << r) | (s >> (8 - r))));
    r = (r + 1) & 7u;
  }
  RotationCounter = r;
}

void RotateXorIntoWords(std::uint8_t* result, const std::uint8_t* source, std::size_t length) {
  // Each whole group of eight bytes starts at the phase the call starts at
  // and leaves the counter there, so only the tail moves it.
  const PhaseSteps& steps = kPhaseSteps[RotationCounter & 7u];
  std::size_t i = 0;
  for (; i + 8 <= length; i += 8) {
    Store64(result + i, Load64(result + i) ^ RotateLanes(Load64(source + i), steps));
  }
  RotateXorIntoScalar(result + i, source + i, length - i);
}

}  // namespace quorlix
