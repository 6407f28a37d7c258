#include "support/random_bytes.h"

#include <random>

namespace quorlix::testing {

std::vector<std::uint8_t> RandomBytes(std::size_t count, unsigned seed) {
  std::mt19937 generator(seed);
  std::uniform_int_distribution<int> byte(0, 255);
  std::vector<std::uint8_t> bytes(count);
  for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(byte(generator));
  return bytes;
}

}  // namespace quorlix::testing
