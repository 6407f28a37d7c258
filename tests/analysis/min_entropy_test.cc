#include "analysis/min_entropy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
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

}  // namespace
}  // namespace quorlix
