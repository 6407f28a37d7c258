// How much unpredictability a string of noise bits carries: the ten
// min-entropy estimates of NIST SP 800-90B's track for sources that are not
// assumed independent (section 6.3), in their forms for binary samples, and
// the assessed value, the least of them. Each estimate is in bits of
// min-entropy per noise bit, between 0 and 1; the values follow the
// published reference assessment tool's conventions so that the two can be
// compared to the sixth decimal. Like that tool, an estimator that the
// string is too short for reports -1 and sits out the assessment: MultiMCW
// needs 4,096 bits, Compression 6,006, t-Tuple a bit value seen 35 times,
// the rest a few dozen bits. The assessment is meant for 1,000,000 bits.
#ifndef QUORLIX_ANALYSIS_MIN_ENTROPY_H_
#define QUORLIX_ANALYSIS_MIN_ENTROPY_H_

#include <cstddef>
#include <cstdint>

namespace quorlix {

struct MinEntropyEstimates {
  double mostCommonValue = 0, collision = 0, markov = 0, compression = 0, tTuple = 0,
         longestRepeatedSubstring = 0, multiMostCommonInWindow = 0, lag = 0,
         multiMarkovModelWithCounting = 0, lz78y = 0;
};

// bits: packed eight to a byte, the first bit in the least significant position
// (the raw files' form); the first bitCount bits are assessed.
MinEntropyEstimates EstimateMinEntropy(const std::uint8_t* bits, std::size_t bitCount);

// With no estimate made at all, value is 0 and estimator "none".
struct AssessedMinEntropy {
  double value;           // the least of the ten
  const char* estimator;  // which set it, as its field name above, e.g. "compression"
};

AssessedMinEntropy AssessMinEntropy(const MinEntropyEstimates& estimates);

}  // namespace quorlix

#endif  // QUORLIX_ANALYSIS_MIN_ENTROPY_H_
