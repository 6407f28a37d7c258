// Continuous health tests on a capture's noise bits (NIST SP 800-90B, 4.4),
// so that a muted or unplugged input is never passed off as random. The bits
// are taken in the order ExtractNoiseBits produces them: bytes in order, each
// from bit 0 up to bit 7. The cutoffs assume 0.5 bit of entropy per bit and a
// false-alarm rate of 2^-20. The Repetition Count Test fails on a run of 41
// identical bits. The Adaptive Proportion Test splits the stream into windows
// of 1024 bits, starting at the first bit fed after a reset, and fails when
// 793 bits of a window, its first bit included, equal that first bit. A
// trailing window cut short by the end of the stream is counted as far as it
// goes: it fails once it holds 793 matching bits, which is exactly when every
// possible rest of the window would make it fail too. A stream may be fed in
// chunks of any byte count; runs and windows carry over from chunk to chunk,
// and a failure stays until the next reset. The combined output has a guard
// of its own with a longer run cutoff (PassesOutputHealthTests).
#ifndef QUORLIX_ANALYSIS_HEALTH_TESTS_H_
#define QUORLIX_ANALYSIS_HEALTH_TESTS_H_

#include <cstddef>
#include <cstdint>

namespace quorlix {

// Value-initialised, it is the state before the first bit.
struct HealthTestState {
  std::uint64_t runLength = 0;  // of the run the last bit ends; 0 before the first bit
  unsigned runBit = 0;
  unsigned windowBits = 0;  // bits of the current window seen; 0 starts a new one
  unsigned windowMatches = 0;
  unsigned windowReference = 0;
  bool failed = false;
};

void ResetHealthTests(HealthTestState& state);

void FeedHealthTests(HealthTestState& state, const std::uint8_t* bits, std::size_t bytes);

bool HealthTestsFailed(const HealthTestState& state);

// Both tests on one whole stream.
bool PassesHealthTests(const std::uint8_t* bits, std::size_t bytes);

// The guard on a run's combined output, which should hold a full bit of
// entropy per bit: the same tests, but the Repetition Count Test fails only on
// a run of 61 identical bits (2^-60 per bit), so that truly random output of
// the largest size (2^31 bits) fails by chance about once in 2^30 runs. The
// proportion cutoff of 793 already fails such output far less often.
bool PassesOutputHealthTests(const std::uint8_t* bits, std::size_t bytes);

}  // namespace quorlix

#endif  // QUORLIX_ANALYSIS_HEALTH_TESTS_H_
