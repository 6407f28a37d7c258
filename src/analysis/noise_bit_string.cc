#include "analysis/noise_bit_string.h"

#include <cstring>

namespace quorlix {

NoiseBitString MakeNoiseBitString(const std::uint8_t* packed, std::size_t bitCount) {
  NoiseBitString s;
  s.count = bitCount;
  const std::size_t bytes = (bitCount + 7) / 8;
  s.words.assign(bitCount / 64 + 3, 0);
  // Little-endian bytes in a word keep the raw files' bit order.
  for (std::size_t i = 0; i < bytes; ++i)
    s.words[i / 8] |= static_cast<std::uint64_t>(packed[i]) << (8 * (i % 8));
  if (bitCount % 64 != 0) s.words[bitCount / 64] &= (std::uint64_t{1} << (bitCount % 64)) - 1;
  s.reversedWords.resize(s.words.size());
  for (std::size_t i = 0; i < s.words.size(); ++i) s.reversedWords[i] = ReverseBits(s.words[i]);
  s.bits.resize(bitCount);
  for (std::size_t i = 0; i < bitCount; ++i)
    s.bits[i] = static_cast<std::uint8_t>((packed[i / 8] >> (i % 8)) & 1);
  return s;
}

}  // namespace quorlix
