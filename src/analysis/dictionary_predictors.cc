// The MultiMMC and LZ78Y prediction estimates for binary samples. Both
// predict the next bit from counts of what followed each recent context of
// 1 to 16 bits; with two values a context's counts are a pair, so every
// context length gets a table indexed directly by the context's bits (the
// most recent bit lowest). Both dictionaries are capped as the reference
// tool caps them, which matters: a random string holds more 16-bit contexts
// than either cap.
#include <algorithm>
#include <array>
#include <bit>
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

  // The same with the length fixed when compiled, for the inner loops.
  template <int kLength>
  std::uint32_t* Pair(std::uint32_t history) {
    constexpr std::uint32_t kMask = (1u << kLength) - 1;
    constexpr std::size_t kFirst = (std::size_t{1} << kLength) - 2;
    return &counts[2 * (kFirst + (history & kMask))];
  }
};

}  // namespace

// One model per context length (1 to 16 bits), each predicting the follower
// it saw most after the current context (1 on a tie); a model whose context
// was never seen makes no guess, and neither do the longer ones (whose
// contexts end in it, so they were never seen either). The model with the
// best score leads, the latest to reach it on a tie. Each model holds at most
// 100,000 (context, follower) entries, a cap only the 16-bit model reaches.
//
// The models do not depend on one another, so each runs through the string
// on its own, with a table small enough to stay in cache, and leaves its
// guesses as bit words; the scoreboard then reads the words.
namespace {

struct ModelGuesses {
  std::vector<std::uint64_t> guessed, right;  // bit i: at bit i
};

// One model's state while it runs through the string: its guesses and
// whether it made them, a bit per bit of the string, gathered a word at a
// time; whether a guess was right is read off the string's own word then.
struct ContextModel {
  std::uint32_t entries = 1;  // the string's first context and its follower
  std::uint64_t guessedWord = 0, guessWord = 0;
  ModelGuesses* out = nullptr;

  void Flush(const NoiseBitString& s, std::size_t i) {
    out->guessed[i / 64] |= guessedWord;
    out->right[i / 64] |= guessedWord & ~(guessWord ^ s.words[i / 64]);
    guessedWord = guessWord = 0;
  }
};

// The model of kLength bits at bit i, which follows the context that
// history ends with.
template <int kLength>
void StepModel(const NoiseBitString& s, ContextModel& model, ContextCounts& table,
               std::uint32_t history, std::size_t i, unsigned bit) {
  std::uint32_t* pair = table.Pair<kLength>(history);
  model.guessedWord |= std::uint64_t{(pair[0] | pair[1]) != 0} << (i % 64);
  model.guessWord |= std::uint64_t{pair[1] >= pair[0]} << (i % 64);
  if (i % 64 == 63) model.Flush(s, i);
  if constexpr (kLength == kLongestContext) {
    // A new follower, and a context never seen (a new follower of nothing),
    // count against the cap, which only this model can reach.
    constexpr std::uint32_t kMaxEntries = 100000;
    const bool fresh = pair[bit] == 0;
    const bool count = !fresh || model.entries < kMaxEntries;
    model.entries += fresh && count;
    pair[bit] += count;
  } else {
    ++pair[bit];
  }
}

// Runs the models of kFirst, kFirst + 4, kFirst + 8 and kFirst + 12 bits
// side by side: each one's next guess waits on its own count just updated,
// and four such chains keep the processor busy where one would not.
template <int kFirst>
void RunContextModels(const NoiseBitString& s, ContextCounts& table,
                      std::array<ModelGuesses, kLongestContext>& guesses) {
  const std::size_t n = s.count;
  std::array<ContextModel, 4> models;
  for (int m = 0; m < 4; ++m) {
    const int length = kFirst + 4 * m;
    ContextModel& model = models[static_cast<std::size_t>(m)];
    model.out = &guesses[static_cast<std::size_t>(length - 1)];
    model.out->guessed.assign(n / 64 + 1, 0);
    model.out->right.assign(n / 64 + 1, 0);
    // The string's own first context of this length, and its follower.
    std::uint32_t first = 0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(length); ++i) first = (first << 1) | s.bits[i];
    table.Pair(length, first)[s.bits[static_cast<std::size_t>(length)]] = 1;
  }
  // The model of m bits guesses from bit m + 1 on.
  const auto step = [&](std::uint32_t history, std::size_t i, bool all) {
    const unsigned bit = s.bits[i];
    if (all || i >= kFirst + 1) StepModel<kFirst>(s, models[0], table, history, i, bit);
    if (all || i >= kFirst + 5) StepModel<kFirst + 4>(s, models[1], table, history, i, bit);
    if (all || i >= kFirst + 9) StepModel<kFirst + 8>(s, models[2], table, history, i, bit);
    if (all || i >= kFirst + 13) StepModel<kFirst + 12>(s, models[3], table, history, i, bit);
  };
  std::uint32_t history = s.bits[0];
  std::size_t i = 2;
  for (; i < n && i <= kLongestContext; ++i) {
    history = (history << 1) | s.bits[i - 1];
    step(history, i, false);
  }
  for (; i < n; ++i) {
    history = (history << 1) | s.bits[i - 1];
    step(history, i, true);
  }
  for (ContextModel& model : models) model.Flush(s, n - 1);
}

}  // namespace

double MultiMarkovModelWithCountingEstimate(const NoiseBitString& s) {
  const std::size_t n = s.count;
  if (n < kLongestContext + 2) return -1;
  ContextCounts table;
  std::array<ModelGuesses, kLongestContext> models;
  RunContextModels<1>(s, table, models);
  RunContextModels<2>(s, table, models);
  RunContextModels<3>(s, table, models);
  RunContextModels<4>(s, table, models);

  // The leader always holds the best score, and only a model within one of
  // it can take the lead; so 64 bits at a time, models more than 65 behind
  // at the start just add up their right guesses, while the others step
  // through the rule bit by bit.
  std::array<std::int64_t, kLongestContext> scores{};
  std::size_t leader = 0;
  PredictionRecord record;
  std::array<std::size_t, kLongestContext> close{};
  for (std::size_t word = 0; word <= (n - 1) / 64; ++word) {
    const std::int64_t best = scores[leader];
    std::size_t closeCount = 0;
    for (std::size_t d = 0; d < kLongestContext; ++d) {
      if (scores[d] >= best - 65) close[closeCount++] = d;
      else scores[d] += std::popcount(models[d].right[word]);
    }
    const std::size_t first = std::max<std::size_t>(word * 64, 2);
    const std::size_t end = std::min(word * 64 + 64, n);
    for (std::size_t i = first; i < end; ++i) {
      const unsigned t = i % 64;
      if ((models[leader].guessed[word] >> t) & 1) record.Add((models[leader].right[word] >> t) & 1);
      for (std::size_t c = 0; c < closeCount; ++c) {
        const std::size_t d = close[c];
        if (((models[d].right[word] >> t) & 1) && ++scores[d] >= scores[leader]) leader = d;
      }
    }
  }
  return PredictionEstimate(record.correct, static_cast<std::int64_t>(n - 2), record.longestRun, 2);
}

// One dictionary of contexts of 1 to 16 bits: the guess is the follower
// with the highest count over all contexts now seen, the longest context
// winning a tie. Every seen context counts the actual follower; an unseen
// one is added while the dictionary holds fewer than 65,536 contexts.
//
// Until the dictionary is full the lengths depend on one another through
// that cap, and the bits are taken one at a time. Once it is full no context
// is added any more, and each length runs through a stretch of bits on its
// own, leaving its best guess per bit to be compared afterwards.
namespace {

// Count, length and guess packed in that order, so that the largest is the
// guess to follow; 0 for an unseen context.
std::uint64_t PackedGuess(const std::uint32_t* pair, int length) {
  const std::uint32_t count = std::max(pair[0], pair[1]);
  const std::uint64_t packed = (std::uint64_t{count} << 6) | (static_cast<unsigned>(length) << 1) |
                               (pair[1] >= pair[0] ? 1u : 0u);
  return count != 0 ? packed : 0;
}

// One stretch of bits [start, end) through the lengths kLongest down to
// kLongest - 3, history being the bits before start; best[j - start] keeps
// the best guess at bit j so far.
template <int kLength>
std::uint64_t CountFollower(ContextCounts& table, std::uint32_t history, unsigned bit) {
  std::uint32_t* pair = table.Pair<kLength>(history);
  const std::uint64_t guess = PackedGuess(pair, kLength);
  pair[bit] += guess != 0;
  return guess;
}

template <int kLongest>
void CountStretch(const NoiseBitString& s, ContextCounts& table, std::uint32_t history,
                  std::size_t start, std::size_t end, std::uint64_t* best) {
  for (std::size_t j = start; j < end; ++j) {
    history = (history << 1) | s.bits[j - 1];
    const unsigned bit = s.bits[j];
    const std::uint64_t a = CountFollower<kLongest>(table, history, bit);
    const std::uint64_t b = CountFollower<kLongest - 1>(table, history, bit);
    const std::uint64_t c = CountFollower<kLongest - 2>(table, history, bit);
    const std::uint64_t d = CountFollower<kLongest - 3>(table, history, bit);
    best[j - start] = std::max({best[j - start], a, b, c, d});
  }
}

}  // namespace

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
  std::size_t i = kLongestContext + 1;
  for (; i < n && contexts < kMaxContexts; ++i) {
    history = (history << 1) | s.bits[i - 1];
    const unsigned bit = s.bits[i];
    std::uint64_t best = 0;
    for (int length = kLongestContext; length > 0; --length) {
      std::uint32_t* pair = table.Pair(length, history);
      const std::uint64_t guess = PackedGuess(pair, length);
      best = std::max(best, guess);
      const bool room = contexts < kMaxContexts;
      contexts += guess == 0 && room;
      pair[bit] += guess != 0 || room;
    }
    record.Add(best != 0 && (best & 1) == bit);
  }

  // Four lengths side by side per pass over a stretch, for the same reason
  // as the context models above.
  constexpr std::size_t kStretch = 8192;
  std::vector<std::uint64_t> best(kStretch);
  for (std::size_t start = i; start < n; start += kStretch) {
    const std::size_t end = std::min(n, start + kStretch);
    std::fill(best.begin(), best.end(), 0);
    CountStretch<16>(s, table, history, start, end, best.data());
    CountStretch<12>(s, table, history, start, end, best.data());
    CountStretch<8>(s, table, history, start, end, best.data());
    CountStretch<4>(s, table, history, start, end, best.data());
    for (std::size_t j = start; j < end; ++j) {
      history = (history << 1) | s.bits[j - 1];
      record.Add(best[j - start] != 0 && (best[j - start] & 1) == s.bits[j]);
    }
  }
  return PredictionEstimate(record.correct, static_cast<std::int64_t>(n - kLongestContext - 1),
                            record.longestRun, 2);
}

}  // namespace quorlix
