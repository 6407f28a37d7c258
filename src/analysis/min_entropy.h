// How much unpredictability a string of noise bits carries: the ten
// min-entropy estimates of NIST SP 800-90B's track for sources that are not
// assumed independent (section 6.3), in their forms for binary samples, and
// the assessed value, the least of them. Each estimate is in bits of
// min-entropy per noise bit, between 0 and 1; the values follow the
// published reference assessment tool's conventions so that the two can be
// compared to the sixth decimal.
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

struct AssessedMinEntropy {
  double value;           // the least of the ten
  const char* estimator;  // which set it, as its field name above, e.g. "compression"
};

AssessedMinEntropy AssessMinEntropy(const MinEntropyEstimates& estimates);

}  // namespace quorlix

#endif  // QUORLIX_ANALYSIS_MIN_ENTROPY_H_
