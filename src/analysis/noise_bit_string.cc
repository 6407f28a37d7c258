#include "analysis/noise_bit_string.h"

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
  s.bits.reset(new std::uint8_t[bitCount]);
  // Eight at a time: bit k of a byte goes to byte k of a word, which is then
  // brought to 0 or 1.
  const std::size_t whole = bitCount / 8;
  for (std::size_t i = 0; i < whole; ++i) {
    const std::uint64_t spread = (packed[i] * 0x0101010101010101u) & 0x8040201008040201u;
    const std::uint64_t ones = ((spread + 0x7F7F7F7F7F7F7F7Fu) >> 7) & 0x0101010101010101u;
    for (unsigned k = 0; k < 8; ++k) s.bits[8 * i + k] = static_cast<std::uint8_t>(ones >> (8 * k));
  }
  for (std::size_t i = 8 * whole; i < bitCount; ++i)
    s.bits[i] = static_cast<std::uint8_t>((packed[i / 8] >> (i % 8)) & 1);
  return s;
}

}  // namespace quorlix
