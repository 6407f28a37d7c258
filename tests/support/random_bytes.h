// Reproducible random bytes for the kernel tests: the same count and seed
// give the same bytes on every run.
#ifndef QUORLIX_TESTS_SUPPORT_RANDOM_BYTES_H_
#define QUORLIX_TESTS_SUPPORT_RANDOM_BYTES_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorlix::testing {

std::vector<std::uint8_t> RandomBytes(std::size_t count, unsigned seed);

}  // namespace quorlix::testing

#endif  // QUORLIX_TESTS_SUPPORT_RANDOM_BYTES_H_
