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
#include <utility>
#include <vector>

#include "analysis/min_entropy_estimators.h"

namespace quorlix {

namespace {

constexpr int kLongestContext = 16;

// The counts of one context: followers 0 and 1 in the low and high half;
// 0 for a context never seen.
using CountPair = std::uint64_t;
constexpr CountPair kFollowerOne = CountPair{1} << 32;

std::uint32_t Zeros(CountPair pair) { return static_cast<std::uint32_t>(pair); }
std::uint32_t Ones(CountPair pair) { return static_cast<std::uint32_t>(pair >> 32); }

// The context of up to 16 bits that ends just before bit i, the most recent
// bit lowest; bits before the string's start read as 0.
std::uint32_t HistoryBefore(const NoiseBitString& s, std::size_t i) {
  if (i >= kLongestContext) {
    return static_cast<std::uint32_t>(OrderedWindow(s, i - kLongestContext) >> (64 - kLongestContext));
  }
  std::uint32_t history = 0;
  for (std::size_t j = 0; j < i; ++j) history = (history << 1) | s.bits[j];
  return history;
}

}  // namespace

// One model per context length (1 to 16 bits), each predicting the follower
// it saw most after the current context (1 on a tie); a model whose context
// was never seen makes no guess. The model with the best score leads, the
// latest to reach it on a tie. Each model holds at most 100,000 (context,
// follower) entries, a cap only the 16-bit model reaches.
//
// The string is taken 64 bits at a time. The models do not depend on one
// another: each runs through the block on its own counts, four side by side,
// leaving its guesses as bit words, and the scoreboard then reads the words.
namespace {

// All a model of up to 15 bits needs of a context's counts: 0 when it was
// never seen, else 2 (ones - zeros) + 1, which is odd, and positive when
// the model guesses 1.
using Lead = std::int32_t;

// The 16-bit model also needs, for its cap, which followers a context has
// had: a lead in the low 30 bits, offset by 2^29, and a flag for each
// follower above them; 0 for a context never seen.
using CappedLead = std::uint32_t;
constexpr CappedLead kLeadOffset = CappedLead{1} << 29;
constexpr CappedLead kLeadBits = (CappedLead{1} << 30) - 1;

CappedLead FollowerFlag(unsigned bit) { return CappedLead{1} << (30 + bit); }

struct ContextModels {
  // The length-m model's context c at 2^m - 2 + c, for m up to 15.
  std::vector<Lead> leads = std::vector<Lead>(std::size_t{1} << kLongestContext);
  std::vector<CappedLead> longest = std::vector<CappedLead>(std::size_t{1} << kLongestContext);
  std::uint32_t longestEntries = 1;  // the string's first context and its follower
};

// Bit t of each word: position t of the block; model m at index m - 1.
struct BlockGuesses {
  std::array<std::uint64_t, kLongestContext> guessed{}, guess{};
};

// One model's guesses through a block, gathered in the order of the bits:
// the latest lowest, the cheapest way to gather them.
struct GuessWords {
  std::uint64_t guessed = 0, guess = 0;

  void Add(bool made, bool one) {
    guessed = 2 * guessed + made;
    guess = 2 * guess + one;
  }
};

// Puts words gathered over the bits [begin, end) of a block in the block's
// order.
std::uint64_t InBlockOrder(std::uint64_t gathered, std::size_t begin, std::size_t end) {
  return ReverseBits(gathered) >> (64 - (end - begin) - begin % 64);
}

template <int kLength>
void StepModel(ContextModels& models, std::uint32_t history, unsigned bit, Lead step,
               std::uint32_t& longestEntries, GuessWords& words) {
  if constexpr (kLength < kLongestContext) {
    constexpr std::uint32_t kMask = (1u << kLength) - 1;
    Lead& lead = models.leads[(std::size_t{1} << kLength) - 2 + (history & kMask)];
    words.Add(lead != 0, lead > 0);
    lead = (lead | 1) + step;
  } else {
    // A new follower, and a context never seen (a new follower of nothing),
    // count against the cap.
    constexpr std::uint32_t kMaxEntries = 100000;
    CappedLead& capped = models.longest[history & 0xFFFFu];
    const Lead lead =
          capped != 0 ? static_cast<Lead>(capped & kLeadBits) - static_cast<Lead>(kLeadOffset) : 0;
    words.Add(capped != 0, lead > 0);
    const bool fresh = (capped & FollowerFlag(bit)) == 0;
    const bool count = !fresh || longestEntries < kMaxEntries;
    longestEntries += fresh && count;
    const auto counted = static_cast<CappedLead>((lead | 1) + step) + kLeadOffset;
    if (count) capped = (capped & ~kLeadBits) | FollowerFlag(bit) | counted;
  }
}

// The models of kFirst, kFirst + 4, kFirst + 8 and kFirst + 12 bits through
// bits [begin, end) of one block. Each one's next guess waits on its own
// count just updated, and four such chains keep the processor busy where one
// would not. The model of m bits guesses from bit m + 1 on.
template <int kFirst, bool kStarting>
void RunFourModels(const NoiseBitString& s, ContextModels& models, std::size_t begin,
                   std::size_t end, BlockGuesses& block) {
  std::array<GuessWords, 4> words;
  std::uint32_t longestEntries = models.longestEntries;
  std::uint32_t history = HistoryBefore(s, begin);
  for (std::size_t i = begin; i < end; ++i) {
    const unsigned bit = s.bits[i];
    const Lead step = bit != 0 ? 2 : -2;
    const auto run = [&]<int kLength>(GuessWords& modelWords) {
      if (!kStarting || i >= kLength + 1) {
        StepModel<kLength>(models, history, bit, step, longestEntries, modelWords);
      } else {
        modelWords.Add(false, false);
      }
    };
    run.template operator()<kFirst>(words[0]);
    run.template operator()<kFirst + 4>(words[1]);
    run.template operator()<kFirst + 8>(words[2]);
    run.template operator()<kFirst + 12>(words[3]);
    history = (history << 1) | bit;
  }
  models.longestEntries = longestEntries;
  for (std::size_t m = 0; m < 4; ++m) {
    block.guessed[kFirst - 1 + 4 * m] = InBlockOrder(words[m].guessed, begin, end);
    block.guess[kFirst - 1 + 4 * m] = InBlockOrder(words[m].guess, begin, end);
  }
}

template <bool kStarting>
void RunAllModels(const NoiseBitString& s, ContextModels& models, std::size_t begin,
                  std::size_t end, BlockGuesses& block) {
  RunFourModels<1, kStarting>(s, models, begin, end, block);
  RunFourModels<2, kStarting>(s, models, begin, end, block);
  RunFourModels<3, kStarting>(s, models, begin, end, block);
  RunFourModels<4, kStarting>(s, models, begin, end, block);
}

}  // namespace

double MultiMarkovModelWithCountingEstimate(const NoiseBitString& s) {
  const std::size_t n = s.count;
  if (n < kLongestContext + 2) return -1;
  ContextModels models;
  // Each model starts from the string's own first context of its length and
  // the follower of it.
  for (int length = 1; length <= kLongestContext; ++length) {
    const std::uint32_t first = HistoryBefore(s, static_cast<std::size_t>(length));
    const unsigned follower = s.bits[static_cast<std::size_t>(length)];
    if (length < kLongestContext) {
      models.leads[(std::size_t{1} << length) - 2 + first] = follower != 0 ? 3 : -1;
    } else {
      models.longest[first] =
            FollowerFlag(follower) | (static_cast<CappedLead>(follower != 0 ? 1 : -1) + kLeadOffset);
    }
  }

  // The leader always holds the best score, and only a model within one of
  // it can take the lead; so 64 bits at a time, models more than 65 behind
  // at the start just add up their right guesses, while the others step
  // through the rule bit by bit.
  std::array<std::int64_t, kLongestContext> scores{};
  std::size_t leader = 0;
  PredictionRecord record;
  std::array<std::size_t, kLongestContext> close{};
  for (std::size_t word = 0; word <= (n - 1) / 64; ++word) {
    const std::size_t first = std::max<std::size_t>(word * 64, 2);
    const std::size_t end = std::min(word * 64 + 64, n);
    BlockGuesses block;
    if (word == 0) {
      RunAllModels<true>(s, models, first, end, block);
    } else {
      RunAllModels<false>(s, models, first, end, block);
    }
    std::array<std::uint64_t, kLongestContext> right{};
    for (std::size_t d = 0; d < kLongestContext; ++d) {
      right[d] = block.guessed[d] & ~(block.guess[d] ^ s.words[word]);
    }
    const std::int64_t best = scores[leader];
    std::size_t closeCount = 0;
    for (std::size_t d = 0; d < kLongestContext; ++d) {
      if (scores[d] >= best - 65) close[closeCount++] = d;
      else scores[d] += std::popcount(right[d]);
    }
    for (std::size_t i = first; i < end; ++i) {
      const unsigned t = i % 64;
      if ((block.guessed[leader] >> t) & 1) record.Add((right[leader] >> t) & 1);
      for (std::size_t c = 0; c < closeCount; ++c) {
        const std::size_t d = close[c];
        if (((right[d] >> t) & 1) && ++scores[d] >= scores[leader]) leader = d;
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
// Of two seen contexts that end at the same bit, the longer one was added no
// earlier than the shorter one (which ends it): contexts are tried from the
// longest down, and once the dictionary is full nothing is added. So every
// time the longer one counted a follower, the shorter one did too, and its
// counts are at least as high. The highest count is therefore the shortest
// seen context's, and the guess is that of the longest seen context whose
// highest count still equals it: going up from the shortest, the first
// context with a lower count ends the search. On noise that is the second
// one, so once the dictionary is full the work per bit is that short search
// and the counting of the follower in all 16 contexts.
namespace {

// Contexts of length m sit at 2^m - 2 + context.
struct Dictionary {
  std::vector<CountPair> pairs = std::vector<CountPair>(std::size_t{2} << kLongestContext);

  CountPair& Pair(int length, std::uint32_t history) {
    return pairs[(std::size_t{1} << length) - 2 + (history & ((1u << length) - 1))];
  }

  template <int kLength>
  void Count(std::uint32_t history, CountPair follower) {
    constexpr std::uint32_t kMask = (1u << kLength) - 1;
    CountPair& pair = pairs[(std::size_t{1} << kLength) - 2 + (history & kMask)];
    pair += pair != 0 ? follower : 0;
  }

  template <int... kLengths>
  void CountAll(std::uint32_t history, CountPair follower, std::integer_sequence<int, kLengths...>) {
    (Count<kLengths + 1>(history, follower), ...);
  }
};

// Count, length and guess packed in that order, so that the largest is the
// guess to follow; 0 for an unseen context.
std::uint64_t PackedGuess(CountPair pair, int length) {
  const std::uint32_t count = std::max(Zeros(pair), Ones(pair));
  const std::uint64_t packed = (std::uint64_t{count} << 6) |
                               (static_cast<unsigned>(length) << 1) |
                               (Ones(pair) >= Zeros(pair) ? 1u : 0u);
  return count != 0 ? packed : 0;
}

// The guess for the bit after history, or -1 for none, by the search above.
int FollowedGuess(Dictionary& dictionary, std::uint32_t history) {
  int guess = -1;
  std::uint32_t highest = 0;
  for (int length = 1; length <= kLongestContext; ++length) {
    const CountPair pair = dictionary.Pair(length, history);
    if (pair == 0) continue;
    const std::uint32_t count = std::max(Zeros(pair), Ones(pair));
    if (guess >= 0 && count < highest) break;
    highest = count;
    guess = Ones(pair) >= Zeros(pair) ? 1 : 0;
  }
  return guess;
}

}  // namespace

double Lz78yEstimate(const NoiseBitString& s) {
  constexpr std::uint32_t kMaxContexts = 65536;
  const std::size_t n = s.count;
  if (n < kLongestContext + 3) return -1;
  Dictionary dictionary;
  std::uint32_t contexts = 0;
  std::uint32_t history = 0;
  for (std::size_t i = 0; i < kLongestContext; ++i) history = (history << 1) | s.bits[i];
  for (int length = 1; length <= kLongestContext; ++length) {
    dictionary.Pair(length, history) = s.bits[kLongestContext] ? kFollowerOne : 1;
    ++contexts;
  }
  PredictionRecord record;
  std::size_t i = kLongestContext + 1;
  for (; i < n && contexts < kMaxContexts; ++i) {
    history = (history << 1) | s.bits[i - 1];
    const unsigned bit = s.bits[i];
    std::uint64_t best = 0;
    for (int length = kLongestContext; length > 0; --length) {
      CountPair& pair = dictionary.Pair(length, history);
      const std::uint64_t guess = PackedGuess(pair, length);
      best = std::max(best, guess);
      const bool room = contexts < kMaxContexts;
      contexts += guess == 0 && room;
      if (guess != 0 || room) pair += bit ? kFollowerOne : 1;
    }
    record.Add(best != 0 && (best & 1) == bit);
  }
  for (; i < n; ++i) {
    history = (history << 1) | s.bits[i - 1];
    const unsigned bit = s.bits[i];
    record.Add(FollowedGuess(dictionary, history) == static_cast<int>(bit));
    dictionary.CountAll(history, bit ? kFollowerOne : 1,
                        std::make_integer_sequence<int, kLongestContext>());
  }
  return PredictionEstimate(record.correct, static_cast<std::int64_t>(n - kLongestContext - 1),
                            record.longestRun, 2);
}

}  // namespace quorlix
