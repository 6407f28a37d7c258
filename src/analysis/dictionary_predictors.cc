// The MultiMMC and LZ78Y prediction estimates for binary samples. Both
// predict the next bit from counts of what followed each recent context of
// 1 to 16 bits; with two values a context's counts are a pair, so every
// context length gets a table indexed directly by the context's bits (the
// most recent bit lowest). Both dictionaries are capped as the reference
// tool caps them, which matters: a random string holds more 16-bit contexts
// than either cap.
#include <array>
#include <cstdint>
#include <vector>

#include "analysis/min_entropy_estimators.h"

namespace quorlix {

namespace {

constexpr int kLongestContext = 16;

// Count pairs for every context of 1 to 16 bits; the pair of the length-m
// context c sits at 2 * (2^m - 2 + c).
struct ContextCounts {
  std::vector<std::uint32_t> counts = std::vector<std::uint32_t>(std::size_t{4} << kLongestContext);

  std::uint32_t* Pair(int length, std::uint32_t history) {
    const std::uint32_t context = history & ((1u << length) - 1);
    return &counts[2 * ((std::size_t{1} << length) - 2 + context)];
  }
};

struct PredictionRecord {
  std::int64_t correct = 0, run = 0, longestRun = 0;

  void Right() {
    ++correct;
    if (++run > longestRun) longestRun = run;
  }
  void Wrong() { run = 0; }
};

// The more frequent follower, 1 on a tie; its count is 0 for an unseen context.
struct Guess {
  unsigned bit;
  std::uint32_t count;
};

Guess GuessFrom(const std::uint32_t* pair) {
  return pair[0] > pair[1] ? Guess{0, pair[0]} : Guess{1, pair[1]};
}

}  // namespace

// One model per context length (1 to 16 bits), each predicting the follower
// it saw most after the current context; a model whose context was never
// seen makes no guess, and neither do the longer ones. The model with the
// best score leads (the latest to reach it on a tie). Each model holds at
// most 100,000 (context, follower) entries.
double MultiMarkovModelWithCountingEstimate(const NoiseBitString& s) {
  constexpr std::uint32_t kMaxEntries = 100000;
  const std::size_t n = s.count;
  if (n < kLongestContext + 2) return -1;
  ContextCounts table;
  std::array<std::uint32_t, kLongestContext> entries{};
  std::array<std::int64_t, kLongestContext> scores{};
  std::uint32_t history = 0;
  for (int d = 0; d < kLongestContext; ++d) {
    history = (history << 1) | s.bits[static_cast<std::size_t>(d)];
    table.Pair(d + 1, history)[s.bits[static_cast<std::size_t>(d) + 1]] = 1;
    entries[static_cast<std::size_t>(d)] = 1;
  }
  std::size_t leader = 0;
  PredictionRecord record;
  history = s.bits[0];
  for (std::size_t i = 2; i < n; ++i) {
    history = (history << 1) | s.bits[i - 1];
    const unsigned bit = s.bits[i];
    const std::size_t followed = leader;
    bool seen = false;
    for (std::size_t d = 0; d < kLongestContext && d + 2 <= i; ++d) {
      std::uint32_t* pair = table.Pair(static_cast<int>(d) + 1, history);
      Guess guess{};
      if (d == 0 || seen) {
        guess = GuessFrom(pair);
        seen = guess.count > 0;
      }
      if (seen) {
        if (guess.bit == bit) {
          if (++scores[d] >= scores[leader]) leader = d;
          if (d == followed) record.Right();
        } else if (d == followed) {
          record.Wrong();
        }
        if (pair[bit] != 0) {
          ++pair[bit];
        } else if (entries[d] < kMaxEntries) {
          pair[bit] = 1;
          ++entries[d];
        }
      } else if (entries[d] < kMaxEntries) {
        pair[bit] = 1;
        ++entries[d];
      }
    }
  }
  return PredictionEstimate(record.correct, static_cast<std::int64_t>(n - 2), record.longestRun, 2);
}

// One dictionary of contexts of 1 to 16 bits: the guess is the follower
// with the highest count over all contexts now seen, the longest context
// winning a tie. Every seen context counts the actual follower; an unseen
// one is added while the dictionary holds fewer than 65,536 contexts.
double Lz78yEstimate(const NoiseBitString& s) {
  constexpr std::uint32_t kMaxContexts = 65536;
  const std::size_t n = s.count;
  if (n < kLongestContext + 3) return -1;
  ContextCounts table;
  std::uint32_t contexts = 0;
  std::uint32_t history = 0;
  for (std::size_t i = 0; i < kLongestContext; ++i) history = (history << 1) | s.bits[i];
  for (int length = 1; length <= kLongestContext; ++length) {
    table.Pair(length, history)[s.bits[kLongestContext]] = 1;
    ++contexts;
  }
  PredictionRecord record;
  for (std::size_t i = kLongestContext + 1; i < n; ++i) {
    history = (history << 1) | s.bits[i - 1];
    const unsigned bit = s.bits[i];
    bool guessed = false;
    unsigned prediction = 0;
    std::uint32_t bestCount = 0;
    for (int length = kLongestContext; length > 0; --length) {
      std::uint32_t* pair = table.Pair(length, history);
      const Guess guess = GuessFrom(pair);
      if (guess.count > 0) {
        if (guess.count > bestCount) {
          bestCount = guess.count;
          prediction = guess.bit;
          guessed = true;
        }
        ++pair[bit];
      } else if (contexts < kMaxContexts) {
        pair[bit] = 1;
        ++contexts;
      }
    }
    if (guessed && prediction == bit) record.Right();
    else record.Wrong();
  }
  return PredictionEstimate(record.correct, static_cast<std::int64_t>(n - kLongestContext - 1),
                            record.longestRun, 2);
}

}  // namespace quorlix
