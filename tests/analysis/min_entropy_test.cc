#include "analysis/min_entropy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "analysis/min_entropy_estimators.h"
#include "support/random_bytes.h"

namespace quorlix {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kAssessedBits = 1000000;

Bytes ReadData(const std::string& name) {
  std::ifstream in(std::string(QUORLIX_ENTROPY_DATA_DIR) + "/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<double> InFieldOrder(const MinEntropyEstimates& e) {
  return {e.mostCommonValue, e.collision, e.markov, e.compression, e.tTuple,
          e.longestRepeatedSubstring, e.multiMostCommonInWindow, e.lag,
          e.multiMarkovModelWithCounting, e.lz78y};
}

Bytes PackBits(const std::vector<int>& bits) {
  Bytes packed((bits.size() + 7) / 8, 0);
  for (std::size_t i = 0; i < bits.size(); ++i)
    packed[i / 8] = static_cast<std::uint8_t>(packed[i / 8] | (bits[i] << (i % 8)));
  return packed;
}

// What the published reference tool (SP800-90B_EntropyAssessment 1.1.7,
// ea_non_iid -i -a -v, one bit per byte) prints for the three files in
// tests/analysis/data, to its six decimals, in the fields' order.
struct ReferenceCase {
  const char* file;
  std::vector<double> estimates;
  double assessed;
  const char* assessedBy;
};

TEST(MinEntropyTest, MatchesTheReferenceToolOnAllThreeFiles) {
  const ReferenceCase cases[] = {
      {"line-in-noise.bits",
       {0.994609, 0.900346, 0.998569, 0.873039, 0.919089, 0.993356, 0.997900, 0.999569, 0.998155,
        0.996414},
       0.873039, "compression"},
      {"biased-0.6.bits",
       {0.732734, 0.723554, 0.736208, 0.523679, 0.730169, 0.916060, 0.733338, 0.939265, 0.732747,
        0.732740},
       0.523679, "compression"},
      {"sticky-0.7.bits",
       {0.996156, 0.290999, 0.519069, 0.350886, 0.497791, 0.788125, 0.541112, 0.512908, 0.512910,
        0.512916},
       0.290999, "collision"},
  };
  for (const ReferenceCase& c : cases) {
    SCOPED_TRACE(c.file);
    const Bytes bits = ReadData(c.file);
    ASSERT_EQ(bits.size() * 8, kAssessedBits);
    const MinEntropyEstimates e = EstimateMinEntropy(bits.data(), kAssessedBits);
    const std::vector<double> ours = InFieldOrder(e);
    for (std::size_t i = 0; i < ours.size(); ++i)
      EXPECT_NEAR(ours[i], c.estimates[i], 5.1e-7) << "estimator " << i;
    const AssessedMinEntropy assessed = AssessMinEntropy(e);
    EXPECT_NEAR(assessed.value, c.assessed, 5.1e-7);
    EXPECT_STREQ(assessed.estimator, c.assessedBy);
  }
}

// Strings whose estimates follow from the formulas by hand: a constant
// string has no entropy by every estimator; an alternating one repeats
// nothing in two bits (Collision: full entropy), its only likely 128-bit
// Markov sequence is the alternation itself (1/128), and its ones are
// exactly half (Most Common Value: only the confidence term).
TEST(MinEntropyTest, GivesTheKnownAnswersOnConstantAndAlternatingStrings) {
  constexpr std::size_t n = 8192;
  const double halfWithConfidence = -std::log2(0.5 + kZAlpha * std::sqrt(0.25 / (n - 1)));
  struct Case {
    const char* name;
    int (*bit)(std::size_t);
    std::map<std::size_t, double> known;  // field index -> value
  } cases[] = {
      {"zeros", [](std::size_t) { return 0; },
       {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}, {7, 0}, {8, 0}, {9, 0}}},
      {"ones", [](std::size_t) { return 1; },
       {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}, {7, 0}, {8, 0}, {9, 0}}},
      {"alternating", [](std::size_t i) { return static_cast<int>(i % 2); },
       {{0, halfWithConfidence}, {1, 1.0}, {2, 1.0 / 128}, {3, 0}, {4, 0}, {5, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<int> bits(n);
    for (std::size_t i = 0; i < n; ++i) bits[i] = c.bit(i);
    const std::vector<double> ours = InFieldOrder(EstimateMinEntropy(PackBits(bits).data(), n));
    for (std::size_t i = 0; i < ours.size(); ++i) {
      EXPECT_TRUE(ours[i] >= 0 && ours[i] <= 1) << "estimator " << i << ": " << ours[i];
      if (c.known.count(i)) {
        EXPECT_NEAR(ours[i], c.known.at(i), 1e-9) << "estimator " << i;
      }
    }
  }
}

// Too short for some estimators: those report -1 and sit out the
// assessment; the rest still give a number in [0, 1], never NaN. 40 bits
// hold no 1-bit value 35 times (no t-Tuple), Compression wants 6,006 bits
// and MultiMCW 4,096.
TEST(MinEntropyTest, ShortStringsLeaveOutWhatTheyCannotSupport) {
  struct Case {
    std::size_t bits;
    std::size_t estimatesMade;
  } cases[] = {{0, 0}, {1, 0}, {40, 7}, {5000, 9}, {7000, 10}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bits);
    const Bytes packed = testing::RandomBytes(c.bits / 8 + 1, 14);
    const MinEntropyEstimates e = EstimateMinEntropy(packed.data(), c.bits);
    std::size_t made = 0;
    double least = 2;
    for (const double value : InFieldOrder(e)) {
      EXPECT_TRUE(value == -1 || (value >= 0 && value <= 1)) << value;
      if (value >= 0) {
        ++made;
        least = std::min(least, value);
      }
    }
    EXPECT_EQ(made, c.estimatesMade);
    const AssessedMinEntropy assessed = AssessMinEntropy(e);
    if (made == 0) {
      EXPECT_STREQ(assessed.estimator, "none");
    } else {
      EXPECT_EQ(assessed.value, least);
    }
  }
}

// t-Tuple and LRS against a plain count of every substring, on a random
// string (sorted by 64-bit windows) and on one holding a 300-bit repeat
// (which needs the full suffix array).
TupleEstimates CountedTupleEstimates(const std::vector<int>& bits) {
  const std::size_t n = bits.size();
  std::string text;
  for (const int bit : bits) text += static_cast<char>('0' + bit);
  std::vector<double> mostCommon{0}, pairs{0};
  for (std::size_t w = 1;; ++w) {
    std::map<std::string, double> counts;
    for (std::size_t i = 0; i + w <= n; ++i) ++counts[text.substr(i, w)];
    double most = 0, equal = 0;
    for (const auto& [substring, count] : counts) {
      most = std::max(most, count);
      equal += count * (count - 1) / 2;
    }
    if (most < 2) break;
    mostCommon.push_back(most);
    pairs.push_back(equal);
  }
  const std::size_t longest = mostCommon.size() - 1;
  std::size_t t = 0;
  while (t + 1 <= longest && mostCommon[t + 1] >= 35) ++t;
  const auto bound = [&](double p) {
    return -std::log2(std::min(1.0, p + kZAlpha * std::sqrt(p * (1 - p) / static_cast<double>(n - 1))));
  };
  TupleEstimates e;
  double best = 0;
  for (std::size_t w = 1; w <= t; ++w)
    best = std::max(best, std::pow(mostCommon[w] / static_cast<double>(n - w + 1), 1.0 / static_cast<double>(w)));
  e.tTuple = bound(best);
  best = 0;
  for (std::size_t w = t + 1; w <= longest; ++w) {
    const double all = static_cast<double>(n - w) * static_cast<double>(n - w + 1) / 2;
    best = std::max(best, std::pow(pairs[w] / all, 1.0 / static_cast<double>(w)));
  }
  e.longestRepeatedSubstring = bound(best);
  return e;
}

TEST(MinEntropyTest, TupleEstimatesAgreeWithCountingEverySubstring) {
  const Bytes random = testing::RandomBytes(200, 7);
  std::vector<int> bits(1500);
  for (std::size_t i = 0; i < bits.size(); ++i) bits[i] = (random[i / 8] >> (i % 8)) & 1;
  std::vector<int> repeating = bits;
  std::copy(bits.begin() + 100, bits.begin() + 400, repeating.begin() + 1000);
  for (const auto& string : {bits, repeating}) {
    const Bytes packed = PackBits(string);
    const TupleEstimates ours =
        EstimateFromTuples(MakeNoiseBitString(packed.data(), string.size()));
    const TupleEstimates counted = CountedTupleEstimates(string);
    EXPECT_NEAR(ours.tTuple, counted.tTuple, 1e-12);
    EXPECT_NEAR(ours.longestRepeatedSubstring, counted.longestRepeatedSubstring, 1e-12);
  }
}


// The three predictors whose work is done a block of bits at a time, each
// worked out here plainly, one bit and one model at a time, as the
// reference tool goes. Binary contexts are table indices, most recent bit
// lowest; the scoreboard gives the lead to the latest model to reach the
// best score.
struct PlainScoreboard {
  std::vector<std::int64_t> scores;
  std::size_t leader = 0;
  explicit PlainScoreboard(std::size_t models) : scores(models, 0) {}
  void Score(std::size_t model) {
    if (++scores[model] >= scores[leader]) leader = model;
  }
};

double PlainMultiMmc(const std::vector<int>& b) {
  const std::size_t n = b.size();
  if (n < 18) return -1;
  std::vector<std::vector<std::uint32_t>> pairs(17);
  std::uint32_t entries16 = 0;
  for (std::size_t m = 1; m <= 16; ++m) pairs[m].assign(std::size_t{2} << m, 0);
  const auto context = [&](std::size_t m, std::size_t end) {  // bits end - m .. end - 1
    std::uint32_t c = 0;
    for (std::size_t k = end - m; k < end; ++k) c = (c << 1) | static_cast<std::uint32_t>(b[k]);
    return c;
  };
  for (std::size_t m = 1; m <= 16; ++m) pairs[m][2 * context(m, m) + static_cast<std::size_t>(b[m])] = 1;
  entries16 = 1;
  PlainScoreboard board(16);
  PredictionRecord record;
  for (std::size_t i = 2; i < n; ++i) {
    std::vector<int> guess(17, -1);
    for (std::size_t m = 1; m <= 16 && m + 1 <= i; ++m) {
      std::uint32_t* pair = &pairs[m][2 * context(m, i)];
      if (pair[0] + pair[1] != 0) guess[m] = pair[1] >= pair[0];
      const auto bit = static_cast<std::size_t>(b[i]);
      if (m < 16) ++pair[bit];
      else if (pair[bit] != 0) ++pair[bit];
      else if (entries16 < 100000) pair[bit] = 1, ++entries16;
    }
    if (guess[board.leader + 1] >= 0) record.Add(guess[board.leader + 1] == b[i]);
    for (std::size_t m = 1; m <= 16; ++m)
      if (guess[m] == b[i]) board.Score(m - 1);
  }
  return PredictionEstimate(record.correct, static_cast<std::int64_t>(n - 2), record.longestRun, 2);
}

double PlainLz78y(const std::vector<int>& b) {
  const std::size_t n = b.size();
  if (n < 19) return -1;
  std::vector<std::vector<std::uint32_t>> pairs(17);
  for (std::size_t m = 1; m <= 16; ++m) pairs[m].assign(std::size_t{2} << m, 0);
  std::uint32_t contexts = 0;
  PredictionRecord record;
  for (std::size_t i = 16; i < n; ++i) {
    std::uint32_t bestCount = 0;
    int guess = -1;
    for (std::size_t m = 16; m >= 1; --m) {
      std::uint32_t c = 0;
      for (std::size_t k = i - m; k < i; ++k) c = (c << 1) | static_cast<std::uint32_t>(b[k]);
      std::uint32_t* pair = &pairs[m][2 * c];
      const std::uint32_t count = std::max(pair[0], pair[1]);
      if (count > bestCount) bestCount = count, guess = pair[1] >= pair[0];
      if (count != 0) ++pair[b[i]];
      else if (contexts < 65536) ++contexts, ++pair[b[i]];
    }
    if (i > 16) record.Add(guess == b[i]);
  }
  return PredictionEstimate(record.correct, static_cast<std::int64_t>(n - 17), record.longestRun, 2);
}

double PlainLag(const std::vector<int>& b) {
  const std::size_t n = b.size();
  if (n < 2) return -1;
  PlainScoreboard board(128);
  PredictionRecord record;
  for (std::size_t i = 1; i < n; ++i) {
    record.Add(b[i - board.leader - 1] == b[i]);
    for (std::size_t d = 0; d < 128 && d < i; ++d)
      if (b[i - d - 1] == b[i]) board.Score(d);
  }
  return PredictionEstimate(record.correct, static_cast<std::int64_t>(n - 1), record.longestRun, 2);
}

// Bit for bit the same, on lengths that end inside a block and a word. The
// biased string's right guesses, not its runs, set its estimates, so a
// guess gained or lost shows; the repeated block is guessed right for long
// runs, which set its estimates.
TEST(MinEntropyTest, BlockwisePredictorsAgreeWithPlainOnes) {
  const Bytes random = testing::RandomBytes(32000, 20);
  const Bytes biased = ReadData("biased-0.6.bits"), sticky = ReadData("sticky-0.7.bits");
  struct Case {
    const char* name;
    std::size_t bits;
    std::function<int(std::size_t)> bit;
  } cases[] = {
      {"random", 250001, [&](std::size_t i) { return (random[i / 8] >> (i % 8)) & 1; }},
      {"biased", 250001, [&](std::size_t i) { return (biased[i / 8] >> (i % 8)) & 1; }},
      {"sticky", 99999, [&](std::size_t i) { return (sticky[i / 8] >> (i % 8)) & 1; }},
      {"a 1,000-bit block repeated", 30017,
       [&](std::size_t i) { return (random[(i % 1000) / 8] >> (i % 1000 % 8)) & 1; }},
      {"zeros", 5003, [](std::size_t) { return 0; }},
      {"shortest", 19, [&](std::size_t i) { return (random[i / 8] >> (i % 8)) & 1; }},
      {"one bit more than a word", 65, [&](std::size_t i) { return (random[i / 8] >> (i % 8)) & 1; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<int> bits(c.bits);
    for (std::size_t i = 0; i < c.bits; ++i) bits[i] = c.bit(i);
    const Bytes packed = PackBits(bits);
    const NoiseBitString s = MakeNoiseBitString(packed.data(), bits.size());
    EXPECT_EQ(MultiMarkovModelWithCountingEstimate(s), PlainMultiMmc(bits));
    EXPECT_EQ(Lz78yEstimate(s), PlainLz78y(bits));
    EXPECT_EQ(LagEstimate(s), PlainLag(bits));
  }
}

}  // namespace
}  // namespace quorlix
