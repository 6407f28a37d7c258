// The MultiMCW and Lag prediction estimates for binary samples. Both run a
// set of simple predictors side by side, keep a score of how often each was
// right, and follow the best so far; the estimate comes from how the
// followed predictor did (PredictionEstimate).
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "analysis/min_entropy_estimators.h"

namespace quorlix {

namespace {

constexpr std::array<std::size_t, 4> kWindows = {63, 255, 1023, 4095};
constexpr int kLags = 128;

}  // namespace

// Each window predicts the value in the majority over its last w bits (w is
// odd, so there is no tie). A predictor joins the scoreboard once its window
// is full, and the latest to reach the best score leads.
double MultiMostCommonInWindowEstimate(const NoiseBitString& s) {
  const std::size_t n = s.count;
  if (n < kWindows.back() + 1) return -1;
  std::array<std::size_t, 4> ones{};  // in bits [i - w, i) (from 0 while i < w)
  for (std::size_t i = 0; i < kWindows[0]; ++i)
    for (std::size_t& count : ones) count += s.bits[i];
  std::array<std::int64_t, 4> scores{};
  std::size_t leader = 0;
  PredictionRecord record;
  for (std::size_t i = kWindows[0]; i < n; ++i) {
    const unsigned bit = s.bits[i];
    std::array<unsigned, 4> guess{};
    for (std::size_t j = 0; j < 4; ++j) guess[j] = 2 * ones[j] > kWindows[j] ? 1u : 0u;
    record.Add(guess[leader] == bit);
    for (std::size_t j = 0; j < 4 && i >= kWindows[j]; ++j) {
      if (guess[j] == bit && ++scores[j] >= scores[leader]) leader = j;
    }
    for (std::size_t j = 0; j < 4; ++j) {
      ones[j] += bit;
      if (i >= kWindows[j]) ones[j] -= s.bits[i - kWindows[j]];
    }
  }
  return PredictionEstimate(record.correct, static_cast<std::int64_t>(n - kWindows[0]),
                            record.longestRun, 2);
}

// Lag d + 1 predicts that the bit repeats the one d + 1 places back. Going
// through 128 scores at every bit is most of the work, and nearly all of it
// cannot matter: a lag can only take the lead when its score comes within
// one of the best. So after the first 128 bits the string is taken 64 bits
// at a time; lags more than 65 behind the best at a block's start cannot
// catch up inside it and get their block's matches added by one popcount,
// while the others are stepped through bit by bit exactly as the rule goes.
double LagEstimate(const NoiseBitString& s) {
  const std::size_t n = s.count;
  if (n < 2) return -1;
  Scoreboard<kLags> board;
  std::array<std::int64_t, kLags>& scores = board.scores;
  std::size_t& leader = board.leader;
  PredictionRecord record;
  const auto step = [&](std::size_t i, auto matches) {
    record.Add(matches(leader));
    for (std::size_t d = 0; d < kLags && d < i; ++d) {
      if (matches(d) && ++scores[d] >= scores[leader]) leader = d;
    }
  };
  const std::size_t firstBlock = std::min<std::size_t>(n, kLags);
  for (std::size_t i = 1; i < firstBlock; ++i)
    step(i, [&](std::size_t d) { return s.bits[i - d - 1] == s.bits[i]; });

  std::array<std::uint64_t, kLags> matchWords{};
  // Blocks start at a whole word (kLags is a multiple of 64), so the bits
  // d + 1 places back are two words shifted together.
  static_assert(kLags == 128);
  for (std::size_t start = firstBlock; start < n; start += 64) {
    const std::size_t length = std::min<std::size_t>(64, n - start);
    const std::uint64_t mask = length == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << length) - 1;
    const std::uint64_t here = s.words[start / 64];
    const std::uint64_t back1 = s.words[start / 64 - 1], back2 = s.words[start / 64 - 2];
    for (unsigned k = 1; k < 64; ++k) matchWords[k - 1] = (back1 >> (64 - k)) | (here << k);
    matchWords[63] = back1;
    for (unsigned k = 65; k < 128; ++k) matchWords[k - 1] = (back2 >> (128 - k)) | (back1 << (k - 64));
    matchWords[127] = back2;
    for (std::uint64_t& word : matchWords) word = ~(here ^ word) & mask;
    board.StartBlock(matchWords);
    for (unsigned t = 0; t < length; ++t) {
      record.Add((matchWords[board.leader] >> t) & 1);
      board.Step(matchWords, t);
    }
  }
  return PredictionEstimate(record.correct, static_cast<std::int64_t>(n - 1), record.longestRun, 2);
}

}  // namespace quorlix
