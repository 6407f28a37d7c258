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

#include "analysis/min_entropy_estimators.h"
#include "analysis/zeroed_table.h"

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
  ZeroedTable<Lead> leads{std::size_t{1} << kLongestContext};
  ZeroedTable<CappedLead> longest{std::size_t{1} << kLongestContext};
  std::uint32_t longestEntries = 1;  // the string's first context and its follower
  // How many contexts each model has seen; once a model has seen them all,
  // every guess it makes is a guess, and that need not be looked at.
  std::array<std::uint32_t, kLongestContext> seen{};
};

// Bit t of each word: position t of the block; model m at index m - 1.
struct BlockGuesses {
  std::array<std::uint64_t, kLongestContext> guessed{}, right{};
};

// One model's guesses through a block, gathered in the order of the bits,
// the latest lowest: whether it guessed, and whether the guess was wrong.
// A guess is right when the lead and the step the follower gives it have the
// same sign.
struct GuessWords {
  std::uint64_t guessed = 0, wrong = 0;

  void Add(bool made, Lead lead, Lead step) {
    guessed = 2 * guessed + made;
    wrong = 2 * wrong + (static_cast<std::uint32_t>(lead ^ step) >> 31);
  }
};

// Puts words gathered over the bits [begin, end) of a block in the block's
// order.
std::uint64_t InBlockOrder(std::uint64_t gathered, std::size_t begin, std::size_t end) {
  return ReverseBits(gathered) >> (64 - (end - begin) - begin % 64);
}

// The 16-bit model's entries, at most this many: below it by a block's
// worth, every new follower counts; at it, none does; near it, each is
// looked at.
constexpr std::uint32_t kMaxEntries = 100000;
enum class Cap { kRoom, kFull, kNear };

template <int kLength, bool kSeenAll, Cap kCap>
void StepModel(ContextModels& models, std::uint32_t history, unsigned bit, Lead step,
               std::uint32_t& longestEntries, GuessWords& words) {
  if constexpr (kLength < kLongestContext) {
    constexpr std::uint32_t kMask = (1u << kLength) - 1;
    Lead& lead = models.leads[(std::size_t{1} << kLength) - 2 + (history & kMask)];
    if constexpr (kSeenAll) {
      words.wrong = 2 * words.wrong + (static_cast<std::uint32_t>(lead ^ step) >> 31);
    } else {
      words.Add(lead != 0, lead, step);
      models.seen[kLength - 1] += lead == 0;
    }
    lead = (lead | 1) + step;
  } else {
    // A new follower, and a context never seen (a new follower of nothing),
    // count against the cap.
    CappedLead& capped = models.longest[history & 0xFFFFu];
    const Lead lead =
          capped != 0 ? static_cast<Lead>(capped & kLeadBits) - static_cast<Lead>(kLeadOffset) : 0;
    words.Add(capped != 0, lead, step);
    const bool fresh = (capped & FollowerFlag(bit)) == 0;
    const bool count = kCap == Cap::kRoom || !fresh || (kCap == Cap::kNear && longestEntries < kMaxEntries);
    if constexpr (kCap != Cap::kFull) longestEntries += fresh && count;
    const auto counted = static_cast<CappedLead>((lead | 1) + step) + kLeadOffset;
    if (count) capped = (capped & ~kLeadBits) | FollowerFlag(bit) | counted;
  }
}

// The models of kFirst to kFirst + 3 bits through bits [begin, end) of one
// block. Each one's next guess waits on its own count just updated, and
// four such chains keep the processor busy where one would not. The model
// of m bits guesses from bit m + 1 on. kSeenAll: all four have seen every
// context of theirs.
template <int kFirst, bool kStarting, bool kSeenAll, Cap kCap>
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
        StepModel<kLength, kSeenAll, kCap>(models, history, bit, step, longestEntries, modelWords);
      } else {
        modelWords.Add(false, 0, step);
      }
    };
    run.template operator()<kFirst>(words[0]);
    run.template operator()<kFirst + 1>(words[1]);
    run.template operator()<kFirst + 2>(words[2]);
    run.template operator()<kFirst + 3>(words[3]);
    history = (history << 1) | bit;
  }
  models.longestEntries = longestEntries;
  const std::uint64_t all = InBlockOrder(~std::uint64_t{0}, begin, end);
  for (std::size_t m = 0; m < 4; ++m) {
    const bool seenAll = kSeenAll && kFirst + static_cast<int>(m) < kLongestContext;
    const std::uint64_t guessed = seenAll ? all : InBlockOrder(words[m].guessed, begin, end);
    block.guessed[kFirst - 1 + m] = guessed;
    block.right[kFirst - 1 + m] = guessed & ~InBlockOrder(words[m].wrong, begin, end);
  }
}

// The models of 1 to 4 bits once they have seen every context, a block at
// a time: for each context, the bits it stands before as a mask. A model's
// guess after a context turns only when its lead crosses zero, and the lead
// moves by 2 each time the context comes; when it cannot cross within the
// block, every guess there is the same and the lead moves by twice the
// surplus of ones, both found by counting bits. Otherwise the context's
// bits are taken one by one.
void RunShortModelsByWord(const NoiseBitString& s, ContextModels& models, std::size_t begin,
                          std::size_t end, BlockGuesses& block) {
  constexpr int kShortest = 4;
  const std::size_t word = begin / 64;
  const std::uint64_t valid = InBlockOrder(~std::uint64_t{0}, begin, end);
  const std::uint64_t followers = s.words[word];
  std::array<std::uint64_t, kShortest> before;  // bit t: the bit k + 1 places before t
  for (std::size_t k = 0; k < kShortest; ++k) before[k] = BitWindow(s, begin - k - 1);
  // The masks of all contexts of 1 to 4 bits, the length-m ones at 2^m - 2.
  std::array<std::uint64_t, (2 << kShortest) - 2> masks;
  masks[0] = valid & ~before[0];
  masks[1] = valid & before[0];
  for (int length = 2; length <= kShortest; ++length) {
    const std::size_t shorter = (std::size_t{1} << (length - 1)) - 2;
    const std::size_t here = (std::size_t{1} << length) - 2;
    const std::uint64_t oldest = before[static_cast<std::size_t>(length - 1)];
    for (std::size_t context = 0; context < (std::size_t{1} << (length - 1)); ++context) {
      masks[here + context] = masks[shorter + context] & ~oldest;
      masks[here + context + (std::size_t{1} << (length - 1))] = masks[shorter + context] & oldest;
    }
  }
  for (int length = 1; length <= kShortest; ++length) {
    const std::size_t first = (std::size_t{1} << length) - 2;
    std::uint64_t guess = 0;
    for (std::size_t context = 0; context < (std::size_t{1} << length); ++context) {
      const std::uint64_t at = masks[first + context];
      if (at == 0) continue;
      Lead& lead = models.leads[first + context];
      const int times = CountOnes(at);
      if (lead >= 2 * times - 1) {
        guess |= at;
      } else if (lead > -(2 * times - 1)) {
        for (std::uint64_t rest = at; rest != 0; rest &= rest - 1) {
          const int t = std::countr_zero(rest);
          if (lead > 0) guess |= std::uint64_t{1} << t;
          lead += (followers >> t) & 1 ? 2 : -2;
        }
        continue;
      }
      lead += 2 * (2 * CountOnes(at & followers) - times);
    }
    const auto model = static_cast<std::size_t>(length - 1);
    block.guessed[model] = valid;
    block.right[model] = valid & ~(guess ^ followers);
  }
}

template <int kFirst>
void RunFourModels(const NoiseBitString& s, ContextModels& models, std::size_t begin,
                   std::size_t end, BlockGuesses& block) {
  // The 16-bit model never counts as having seen all: it looks at its cap.
  bool seenAll = true;
  for (int length = kFirst; length < std::min(kFirst + 4, kLongestContext) && seenAll; ++length) {
    seenAll = models.seen[static_cast<std::size_t>(length - 1)] == 1u << length;
  }
  if (begin < 64) {
    RunFourModels<kFirst, true, false, Cap::kNear>(s, models, begin, end, block);
  } else if (seenAll && kFirst == 1) {
    RunShortModelsByWord(s, models, begin, end, block);
  } else if (kFirst + 3 < kLongestContext) {
    if (seenAll) {
      RunFourModels<kFirst, false, true, Cap::kNear>(s, models, begin, end, block);
    } else {
      RunFourModels<kFirst, false, false, Cap::kNear>(s, models, begin, end, block);
    }
  } else {
    const auto withCap = [&]<bool kSeenAll>() {
      if (models.longestEntries + 64 <= kMaxEntries) {
        RunFourModels<kFirst, false, kSeenAll, Cap::kRoom>(s, models, begin, end, block);
      } else if (models.longestEntries >= kMaxEntries) {
        RunFourModels<kFirst, false, kSeenAll, Cap::kFull>(s, models, begin, end, block);
      } else {
        RunFourModels<kFirst, false, kSeenAll, Cap::kNear>(s, models, begin, end, block);
      }
    };
    if (seenAll) {
      withCap.template operator()<true>();
    } else {
      withCap.template operator()<false>();
    }
  }
}

void RunAllModels(const NoiseBitString& s, ContextModels& models, std::size_t begin,
                  std::size_t end, BlockGuesses& block) {
  RunFourModels<1>(s, models, begin, end, block);
  RunFourModels<5>(s, models, begin, end, block);
  RunFourModels<9>(s, models, begin, end, block);
  RunFourModels<13>(s, models, begin, end, block);
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
      models.seen[static_cast<std::size_t>(length - 1)] = 1;
    } else {
      models.longest[first] =
            FollowerFlag(follower) | (static_cast<CappedLead>(follower != 0 ? 1 : -1) + kLeadOffset);
    }
  }

  Scoreboard<kLongestContext> board;
  PredictionRecord record;
  for (std::size_t word = 0; word <= (n - 1) / 64; ++word) {
    const std::size_t first = std::max<std::size_t>(word * 64, 2);
    const std::size_t end = std::min(word * 64 + 64, n);
    BlockGuesses block;
    RunAllModels(s, models, first, end, block);
    board.StartBlock(block.right);
    for (std::size_t i = first; i < end; ++i) {
      const unsigned t = i % 64;
      const std::size_t leader = board.leader;
      if ((block.guessed[leader] >> t) & 1) record.Add((block.right[leader] >> t) & 1);
      board.Step(block.right, t);
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
  ZeroedTable<CountPair> pairs{std::size_t{2} << kLongestContext};

  CountPair& Pair(int length, std::uint32_t history) {
    return pairs[(std::size_t{1} << length) - 2 + (history & ((1u << length) - 1))];
  }

  template <int kLength>
  void Count(std::uint32_t history, CountPair follower) {
    constexpr std::uint32_t kMask = (1u << kLength) - 1;
    CountPair& pair = pairs[(std::size_t{1} << kLength) - 2 + (history & kMask)];
    pair += pair != 0 ? follower : 0;
  }

  // Where every context of a length is in the dictionary, the follower is
  // counted without looking.
  template <int kLength>
  void CountSeen(std::uint32_t history, CountPair follower) {
    constexpr std::uint32_t kMask = (1u << kLength) - 1;
    pairs[(std::size_t{1} << kLength) - 2 + (history & kMask)] += follower;
  }

  // The follower in every seen context of kFirst + 1 bits or more, those of
  // up to kAllSeen bits all being in the dictionary.
  template <int kFirst, int kAllSeen, int... kLengths>
  void CountFrom(std::uint32_t history, CountPair follower, std::integer_sequence<int, kLengths...>) {
    const auto count = [&]<int kLength>() {
      if constexpr (kLength <= kAllSeen) {
        CountSeen<kLength>(history, follower);
      } else {
        Count<kLength>(history, follower);
      }
    };
    (count.template operator()<kFirst + kLengths + 1>(), ...);
  }

  template <int kFirst, int kAllSeen = 0>
  void CountFrom(std::uint32_t history, CountPair follower) {
    CountFrom<kFirst, kAllSeen>(history, follower,
                                std::make_integer_sequence<int, kLongestContext - kFirst>());
  }

  bool AllSeen(int length) {
    for (std::size_t context = 0; context < std::size_t{1} << length; ++context) {
      if (Pair(length, static_cast<std::uint32_t>(context)) == 0) return false;
    }
    return true;
  }
};

// Contexts of up to this many bits are counted a block at a time.
constexpr int kShortContext = 4;

// The guesses for the bits of a block (those in valid) when the search
// above ends at the second seen context for every one of them, which the
// counts at the block's start can tell: a 2-bit context whose highest count
// is short of its 1-bit context's by at least the number of times it comes
// in the block cannot catch up. The guess is then the 1-bit context's, which
// is worked out as its counts change. False when that cannot be told.
bool GuessesFromTheLastBit(Dictionary& dictionary, const NoiseBitString& s, std::size_t first,
                           std::uint64_t valid, std::uint64_t& guesses) {
  const std::uint64_t last = BitWindow(s, first - 1), beforeLast = BitWindow(s, first - 2);
  const std::uint64_t followers = s.words[first / 64];
  guesses = 0;
  for (std::uint32_t v = 0; v < 2; ++v) {
    const std::uint64_t at = valid & (v != 0 ? last : ~last);
    if (at == 0) continue;
    const CountPair one = dictionary.Pair(1, v);
    if (one == 0) return false;
    const std::uint32_t highest = std::max(Zeros(one), Ones(one));
    for (std::uint32_t u = 0; u < 2; ++u) {
      const std::uint64_t atTwo = at & (u != 0 ? beforeLast : ~beforeLast);
      if (atTwo == 0) continue;
      const CountPair two = dictionary.Pair(2, v | u << 1);
      if (two == 0 || std::int64_t{std::max(Zeros(two), Ones(two))} + CountOnes(atTwo) > highest) {
        return false;
      }
    }
    // The guess is 1 while ones >= zeros; each time the context comes, the
    // lead moves by one.
    std::int64_t lead = std::int64_t{Ones(one)} - std::int64_t{Zeros(one)};
    const int times = CountOnes(at);
    if (lead >= times - 1) {
      guesses |= at;
    } else if (lead > -times) {
      for (std::uint64_t rest = at; rest != 0; rest &= rest - 1) {
        const int t = std::countr_zero(rest);
        if (lead >= 0) guesses |= std::uint64_t{1} << t;
        lead += (followers >> t) & 1 ? 1 : -1;
      }
    }
  }
  return true;
}

// Counts the followers of the block's bits (those in valid) in every seen
// context of up to kShortContext bits: for each 4-bit context, the bits it
// stands before as a mask, their ones and their number by counting bits,
// and the shorter contexts by adding up the longer ones that end in them.
void CountShortContexts(Dictionary& dictionary, const NoiseBitString& s, std::size_t word,
                        std::uint64_t valid) {
  constexpr std::size_t kContexts = std::size_t{1} << kShortContext;
  std::array<std::uint64_t, kShortContext> before;  // bit t: the bit k + 1 places before t
  for (std::size_t k = 0; k < kShortContext; ++k) before[k] = BitWindow(s, 64 * word - k - 1);
  const std::uint64_t followers = s.words[word];
  std::array<std::uint32_t, kContexts> ones, all;
  for (std::size_t context = 0; context < kContexts; ++context) {
    std::uint64_t mask = valid;
    for (std::size_t k = 0; k < kShortContext; ++k) {
      mask &= (context >> k) & 1 ? before[k] : ~before[k];
    }
    ones[context] = static_cast<std::uint32_t>(CountOnes(mask & followers));
    all[context] = static_cast<std::uint32_t>(CountOnes(mask));
  }
  for (int length = kShortContext; length >= 1; --length) {
    const std::size_t contexts = std::size_t{1} << length;
    for (std::size_t context = 0; context < contexts; ++context) {
      if (length < kShortContext) {
        ones[context] += ones[context + contexts];
        all[context] += all[context + contexts];
      }
      CountPair& pair = dictionary.Pair(length, static_cast<std::uint32_t>(context));
      if (pair != 0) pair += (CountPair{ones[context]} << 32) + (all[context] - ones[context]);
    }
  }
}

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
  // Bit by bit to the end of a block, then a block at a time where the
  // guesses follow the last bit.
  const auto stepBits = [&](std::size_t end) {
    for (; i < end; ++i) {
      history = (history << 1) | s.bits[i - 1];
      const unsigned bit = s.bits[i];
      record.Add(FollowedGuess(dictionary, history) == static_cast<int>(bit));
      dictionary.CountFrom<0>(history, bit ? kFollowerOne : 1);
    }
  };
  stepBits(std::min(n, (i + 63) / 64 * 64));
  // The dictionary no longer changes: on noise every context of up to 12
  // bits is in it by now.
  const auto byBlocks = [&]<int kAllSeen>() {
    for (; i < n;) {
      const std::size_t word = i / 64;
      const std::size_t end = std::min(n, i + 64);
      const std::uint64_t valid =
            end - i == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << (end - i)) - 1;
      std::uint64_t guesses;
      if (!GuessesFromTheLastBit(dictionary, s, i, valid, guesses)) {
        stepBits(end);
        continue;
      }
      record.AddWord(~(guesses ^ s.words[word]), static_cast<unsigned>(end - i));
      CountShortContexts(dictionary, s, word, valid);
      for (; i < end; ++i) {
        history = (history << 1) | s.bits[i - 1];
        dictionary.CountFrom<kShortContext, kAllSeen>(history, s.bits[i] ? kFollowerOne : 1);
      }
    }
  };
  bool allSeen = true;
  for (int length = kShortContext + 1; length <= 12 && allSeen; ++length) {
    allSeen = dictionary.AllSeen(length);
  }
  if (allSeen) {
    byBlocks.template operator()<12>();
  } else {
    byBlocks.template operator()<0>();
  }
  return PredictionEstimate(record.correct, static_cast<std::int64_t>(n - kLongestContext - 1),
                            record.longestRun, 2);
}

}  // namespace quorlix
