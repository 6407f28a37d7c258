// The ten estimators behind EstimateMinEntropy, one function each, grouped in
// files by family, and the bound that the four predictors share. Each takes
// the whole string and returns min-entropy per bit, or -1 when the string is
// too short for the estimator to say anything (as the reference tool does).
#ifndef QUORLIX_ANALYSIS_MIN_ENTROPY_ESTIMATORS_H_
#define QUORLIX_ANALYSIS_MIN_ENTROPY_ESTIMATORS_H_

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "analysis/noise_bit_string.h"

namespace quorlix {

// The upper 99% point of the standard normal, as the reference tool has it.
constexpr double kZAlpha = 2.5758293035489008;

double MostCommonValueEstimate(const NoiseBitString& s);
double CollisionEstimate(const NoiseBitString& s);
double MarkovEstimate(const NoiseBitString& s);
double CompressionEstimate(const NoiseBitString& s);

struct TupleEstimates {
  double tTuple = -1;
  double longestRepeatedSubstring = -1;
};
TupleEstimates EstimateFromTuples(const NoiseBitString& s);

double MultiMostCommonInWindowEstimate(const NoiseBitString& s);
double LagEstimate(const NoiseBitString& s);
double MultiMarkovModelWithCountingEstimate(const NoiseBitString& s);
double Lz78yEstimate(const NoiseBitString& s);

// The followed predictor's right and wrong guesses, as PredictionEstimate
// reads them, kept without branching on the guesses, which are as
// unpredictable as the bits.
struct PredictionRecord {
  std::int64_t correct = 0, run = 0, longestRun = 0;

  void Add(bool right) {
    correct += right;
    run = right ? run + 1 : 0;
    longestRun = std::max(longestRun, run);
  }

  // The guesses of bits 0 to length - 1 of right at once, bit 0 first.
  void AddWord(std::uint64_t right, unsigned length) {
    const std::uint64_t all = length == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << length) - 1;
    right &= all;
    correct += CountOnes(right);
    if (right == all) {
      run += length;
      longestRun = std::max(longestRun, run);
      return;
    }
    longestRun = std::max(longestRun, run + std::countr_one(right));
    // The longest run inside the word: each step shortens every run by one.
    std::int64_t inside = 0;
    for (std::uint64_t x = right; x != 0; x &= x >> 1) ++inside;
    longestRun = std::max(longestRun, inside);
    run = std::countl_one(right << (64 - length));
  }
};

// The scores of a set of predictors, where the followed one (the leader)
// is the last to reach the best score, worked through a block of up to 64
// bits at a time: hits[d] has bit t set where predictor d was right at the
// block's bit t. Only a predictor within 65 of the leader at the block's
// start can take the lead within it, so the others just add up their hits,
// while these step through the rule bit by bit.
template <std::size_t kPredictors>
struct Scoreboard {
  std::array<std::int64_t, kPredictors> scores{};
  std::size_t leader = 0;
  std::array<std::size_t, kPredictors> close{};
  std::size_t closeCount = 0;
  std::int64_t leaderScore = 0;

  // Before the block's first bit, with every hits[d] of the block in place.
  void StartBlock(const std::array<std::uint64_t, kPredictors>& hits) {
    const std::int64_t best = scores[leader];
    closeCount = 0;
    for (std::size_t d = 0; d < kPredictors; ++d) {
      if (scores[d] >= best - 65) close[closeCount++] = d;
      else scores[d] += CountOnes(hits[d]);
    }
    leaderScore = scores[leader];
  }

  // After the leader's guess of bit t. Hits are as unpredictable as the
  // bits, so the rule is applied without branching on them.
  // The leader and its score are kept in locals, which the writes to the
  // scores cannot be taken to change.
  void Step(const std::array<std::uint64_t, kPredictors>& hits, unsigned t) {
    std::size_t newLeader = leader;
    std::int64_t newLeaderScore = leaderScore;
    for (std::size_t c = 0; c < closeCount; ++c) {
      const std::size_t d = close[c];
      const auto hit = static_cast<std::int64_t>((hits[d] >> t) & 1);
      const std::int64_t score = scores[d] + hit;
      scores[d] = score;
      const bool lead = hit != 0 && score >= newLeaderScore;
      newLeader = lead ? d : newLeader;
      newLeaderScore = lead ? score : newLeaderScore;
    }
    leader = newLeader;
    leaderScore = newLeaderScore;
  }
};

// Min-entropy from a predictor's record over `predictions` guesses of a
// k-valued sample: `correct` right guesses, the longest run of them
// `longestRun`. The larger of the global bound (the share of right guesses at
// 99% confidence) and the local one (the probability under which a run that
// long has a 99% chance not to occur) decides.
double PredictionEstimate(std::int64_t correct, std::int64_t predictions, std::int64_t longestRun,
                          int k);

}  // namespace quorlix

#endif  // QUORLIX_ANALYSIS_MIN_ENTROPY_ESTIMATORS_H_
