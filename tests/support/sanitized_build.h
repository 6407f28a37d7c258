// Whether this build instruments the tool and its tests with
// AddressSanitizer: the sanitizer then manages the tool's memory, reserves
// address space far beyond any limit a test may set, and keeps valgrind from
// running the tool.
#ifndef QUORLIX_TESTS_SUPPORT_SANITIZED_BUILD_H_
#define QUORLIX_TESTS_SUPPORT_SANITIZED_BUILD_H_

namespace quorlix::testing {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitizedBuild = true;
#else
inline constexpr bool kSanitizedBuild = false;
#endif

}  // namespace quorlix::testing

#endif  // QUORLIX_TESTS_SUPPORT_SANITIZED_BUILD_H_
