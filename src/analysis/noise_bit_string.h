// The noise bits under assessment in the forms the estimators read them:
// packed 64 to a word for word-wide counting and windows, the same words
// with their bits reversed for windows whose integer order is the strings'
// order, and one bit per byte for the estimators that step through the
// string one bit at a time. The packed form keeps the raw files' order (the
// first bit in the least significant position); both packed forms end with
// two zero words, so that a 64-bit window may start at any bit without
// reading past the end.
#ifndef QUORLIX_ANALYSIS_NOISE_BIT_STRING_H_
#define QUORLIX_ANALYSIS_NOISE_BIT_STRING_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace quorlix {

struct NoiseBitString {
  std::size_t count = 0;
  std::vector<std::uint64_t> words;
  std::vector<std::uint64_t> reversedWords;  // bit i at 63 - i % 64 of word i / 64
  std::unique_ptr<std::uint8_t[]> bits;  // 0 or 1, count of them
};

NoiseBitString MakeNoiseBitString(const std::uint8_t* packed, std::size_t bitCount);

// The number of bits set in x, in the form compilers turn into one
// instruction where the processor has one; std::popcount would otherwise
// be a library call.
inline int CountOnes(std::uint64_t x) {
  x -= (x >> 1) & 0x5555555555555555u;
  x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
  return static_cast<int>((x * 0x0101010101010101u) >> 56);
}

// x with its bit order turned round: bit i goes to 63 - i.
inline std::uint64_t ReverseBits(std::uint64_t x) {
  x = ((x >> 1) & 0x5555555555555555u) | ((x & 0x5555555555555555u) << 1);
  x = ((x >> 2) & 0x3333333333333333u) | ((x & 0x3333333333333333u) << 2);
  x = ((x >> 4) & 0x0F0F0F0F0F0F0F0Fu) | ((x & 0x0F0F0F0F0F0F0F0Fu) << 4);
  x = ((x >> 8) & 0x00FF00FF00FF00FFu) | ((x & 0x00FF00FF00FF00FFu) << 8);
  x = ((x >> 16) & 0x0000FFFF0000FFFFu) | ((x & 0x0000FFFF0000FFFFu) << 16);
  return (x >> 32) | (x << 32);
}

// Bits first .. first + 63, bit first in the least significant position;
// bits past the end read as 0.
inline std::uint64_t BitWindow(const NoiseBitString& s, std::size_t first) {
  const std::size_t word = first / 64;
  const unsigned shift = static_cast<unsigned>(first % 64);
  if (shift == 0) return s.words[word];
  return (s.words[word] >> shift) | (s.words[word + 1] << (64 - shift));
}

// The same 64 bits with bit first highest, so that comparing two windows as
// integers compares the bit strings.
inline std::uint64_t OrderedWindow(const NoiseBitString& s, std::size_t first) {
  const std::size_t word = first / 64;
  const unsigned shift = static_cast<unsigned>(first % 64);
  if (shift == 0) return s.reversedWords[word];
  return (s.reversedWords[word] << shift) | (s.reversedWords[word + 1] >> (64 - shift));
}

}  // namespace quorlix

#endif  // QUORLIX_ANALYSIS_NOISE_BIT_STRING_H_
