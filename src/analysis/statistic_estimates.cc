// Most Common Value, Collision and Markov estimates for binary samples: each
// a count over the string and a closed form, so all three are word-wide.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "analysis/min_entropy_estimators.h"

namespace quorlix {

namespace {

// Pairs (bit i, bit i + 1) for i < count - 1, counted word by word:
// zeros = bit i is 0, zeroZero = both 0, oneZero = 1 then 0.
struct PairCounts {
  std::int64_t zeros = 0, zeroZero = 0, oneZero = 0;
};

PairCounts CountPairs(const NoiseBitString& s) {
  PairCounts c;
  const std::size_t pairs = s.count - 1;
  for (std::size_t first = 0; first < pairs; first += 64) {
    const std::uint64_t mask = pairs - first >= 64 ? ~std::uint64_t{0}
                                                   : (std::uint64_t{1} << (pairs - first)) - 1;
    const std::uint64_t bit = s.words[first / 64] & mask;
    const std::uint64_t next = BitWindow(s, first + 1) & mask;
    c.zeros += CountOnes(~bit & mask);
    c.zeroZero += CountOnes(~bit & ~next & mask);
    c.oneZero += CountOnes(bit & ~next);
  }
  return c;
}

std::int64_t OnesIn(const NoiseBitString& s) {
  std::int64_t ones = 0;
  for (const std::uint64_t word : s.words) ones += CountOnes(word);
  return ones;
}

}  // namespace

double MostCommonValueEstimate(const NoiseBitString& s) {
  if (s.count < 2) return -1;
  const double n = static_cast<double>(s.count);
  const std::int64_t ones = OnesIn(s);
  const double p = static_cast<double>(std::max(ones, static_cast<std::int64_t>(s.count) - ones)) / n;
  const double upper = std::min(1.0, p + kZAlpha * std::sqrt(p * (1.0 - p) / (n - 1.0)));
  return -std::log2(upper);
}

// Samples are cut into runs that end at the first repeated value: two bits
// if they are equal, else three (three bits always repeat one). The mean
// run length, lowered to its 99% bound, is 2 + 2p(1 - p) for the most likely
// value's probability p, which is solved for directly.
double CollisionEstimate(const NoiseBitString& s) {
  const std::size_t n = s.count;
  std::int64_t runs = 0, sum = 0, sumOfSquares = 0;
  std::size_t i = 0;
  while (i + 1 < n) {
    int run;
    if (s.bits[i] == s.bits[i + 1]) run = 2;
    else if (i + 2 < n) run = 3;
    else break;
    ++runs;
    sum += run;
    sumOfSquares += run * run;
    i += static_cast<std::size_t>(run);
  }
  if (runs < 2) return -1;
  const double v = static_cast<double>(runs);
  const double mean = static_cast<double>(sum) / v;
  const double deviation =
      std::sqrt((static_cast<double>(sumOfSquares) - static_cast<double>(sum) * mean) / (v - 1.0));
  const double bound = mean - kZAlpha * deviation / std::sqrt(v);
  if (bound >= 2.5) return 1.0;  // no bias the runs can tell from none
  const double p = std::min(1.0, (1.0 + std::sqrt(5.0 - 2.0 * bound)) / 2.0);
  return -std::log2(p);
}

// The likeliest of six 128-bit sequences under a first-order Markov model
// with the observed transition frequencies.
double MarkovEstimate(const NoiseBitString& s) {
  if (s.count < 2) return -1;
  const PairCounts c = CountPairs(s);
  const std::int64_t ones = static_cast<std::int64_t>(s.count) - 1 - c.zeros;
  double p00 = 0, p01 = 0, p10 = 0, p11 = 0;
  if (c.zeros > 0) {
    p00 = static_cast<double>(c.zeroZero) / static_cast<double>(c.zeros);
    p01 = 1.0 - p00;
  }
  if (ones > 0) {
    p10 = static_cast<double>(c.oneZero) / static_cast<double>(ones);
    p11 = 1.0 - p10;
  }
  const std::int64_t allZeros = c.zeros + (s.bits[s.count - 1] == 0 ? 1 : 0);
  const double p0 = static_cast<double>(allZeros) / static_cast<double>(s.count);
  const double p1 = 1.0 - p0;

  double leastBits = 128.0;  // -log2 of the likeliest sequence's probability
  const auto consider = [&](bool possible, double bits) {
    if (possible) leastBits = std::min(leastBits, bits);
  };
  consider(p00 > 0, -std::log2(p0) - 127.0 * std::log2(p00));
  consider(p01 > 0 && p10 > 0, -std::log2(p0) - 64.0 * std::log2(p01) - 63.0 * std::log2(p10));
  consider(p01 > 0 && p11 > 0, -std::log2(p0) - std::log2(p01) - 126.0 * std::log2(p11));
  consider(p10 > 0 && p00 > 0, -std::log2(p1) - std::log2(p10) - 126.0 * std::log2(p00));
  consider(p10 > 0 && p01 > 0, -std::log2(p1) - 64.0 * std::log2(p10) - 63.0 * std::log2(p01));
  consider(p11 > 0, -std::log2(p1) - 127.0 * std::log2(p11));
  return std::min(leastBits / 128.0, 1.0);
}

}  // namespace quorlix
