// How much of this process's memory is resident, for tests that bound what a
// long capture holds. One implementation per platform.
#ifndef QUORLIX_TESTS_SUPPORT_RESIDENT_MEMORY_H_
#define QUORLIX_TESTS_SUPPORT_RESIDENT_MEMORY_H_

#include <cstddef>

namespace quorlix::testing {

std::size_t ResidentBytes();

}  // namespace quorlix::testing

#endif  // QUORLIX_TESTS_SUPPORT_RESIDENT_MEMORY_H_
