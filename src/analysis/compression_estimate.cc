// The Compression estimate for binary samples: 6-bit blocks, the distance
// of each block back to its last occurrence (a Maurer-style universal
// statistic), and the block-probability p whose expected statistic matches
// the observed mean lowered to its 99% bound.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "analysis/min_entropy_estimators.h"

namespace quorlix {

namespace {

constexpr int kBlockBits = 6;
constexpr int kBlockValues = 1 << kBlockBits;
constexpr std::int64_t kDictionaryBlocks = 1000;

struct CompressionModel {
  std::int64_t blocks;  // the string's whole blocks
  std::vector<double> log2Of;  // log2(u) for the u the sums reach most often
};

double Log2Of(const CompressionModel& m, std::int64_t u) {
  return u < static_cast<std::int64_t>(m.log2Of.size()) ? m.log2Of[static_cast<std::size_t>(u)]
                                                         : std::log2(static_cast<double>(u));
}

// The expected statistic of one block value of probability z, summed over
// the tested blocks t: sum over u < t of log2(u) z^2 (1-z)^(u-1) plus
// log2(t) z (1-z)^(t-1). Swapping the sums, log2(u) z^2 (1-z)^(u-1) counts
// once for every tested t above u. Terms stop when (1-z)^(u-1) can no longer
// move the sums.
double ExpectedPerValue(const CompressionModel& m, double z) {
  const std::int64_t blocks = m.blocks;
  const double keep = 1.0 - z;
  long double weighted = 0;  // sum of log2(u) (1-z)^(u-1) (tested t above u)
  long double tail = 0;      // sum over tested t of log2(t) (1-z)^(t-1)
  long double power = keep;  // (1-z)^(u-1), starting at u = 2
  for (std::int64_t u = 2; u <= blocks; ++u) {
    const long double term = Log2Of(m, u) * power;
    if (u < blocks) weighted += term * static_cast<long double>(blocks - std::max(u, kDictionaryBlocks));
    if (u > kDictionaryBlocks) tail += term;
    power *= keep;
    if (power < 1e-30L) break;
  }
  const double tested = static_cast<double>(blocks - kDictionaryBlocks);
  return static_cast<double>(z * (z * weighted + tail)) / tested;
}

double ExpectedStatistic(const CompressionModel& m, double p) {
  const double q = (1.0 - p) / (kBlockValues - 1);
  return ExpectedPerValue(m, p) + (kBlockValues - 1) * ExpectedPerValue(m, q);
}

}  // namespace

double CompressionEstimate(const NoiseBitString& s) {
  CompressionModel m;
  m.blocks = static_cast<std::int64_t>(s.count / kBlockBits);
  if (m.blocks <= kDictionaryBlocks) return -1;
  m.log2Of.resize(static_cast<std::size_t>(std::min<std::int64_t>(m.blocks + 1, 1 << 15)));
  for (std::size_t u = 1; u < m.log2Of.size(); ++u) m.log2Of[u] = std::log2(static_cast<double>(u));

  std::int64_t lastSeen[kBlockValues] = {};  // 1-based block index, 0 for never
  for (std::int64_t i = 0; i < kDictionaryBlocks; ++i)
    lastSeen[BitWindow(s, static_cast<std::size_t>(i) * kBlockBits) & (kBlockValues - 1)] = i + 1;
  long double sum = 0, sumOfSquares = 0;
  for (std::int64_t i = kDictionaryBlocks; i < m.blocks; ++i) {
    std::int64_t& last = lastSeen[BitWindow(s, static_cast<std::size_t>(i) * kBlockBits) & (kBlockValues - 1)];
    const double distance = Log2Of(m, i + 1 - last);
    sum += distance;
    sumOfSquares += static_cast<long double>(distance) * distance;
    last = i + 1;
  }
  const double tested = static_cast<double>(m.blocks - kDictionaryBlocks);
  const double mean = static_cast<double>(sum) / tested;
  const double deviation =
      0.5907 * std::sqrt(static_cast<double>(sumOfSquares) / (tested - 1.0) - mean * mean);
  const double bound = mean - kZAlpha * deviation / std::sqrt(tested);

  // The expected statistic falls as p rises from uniform blocks to one value.
  double low = 1.0 / kBlockValues;
  if (!(ExpectedStatistic(m, low) > bound)) return 1.0;
  double high = 1.0;
  for (int step = 0; step < 200 && high - low > 1e-17; ++step) {
    const double middle = (low + high) / 2;
    if (middle <= low || middle >= high) break;
    if (ExpectedStatistic(m, middle) > bound) low = middle;
    else high = middle;
  }
  const double p = (low + high) / 2;
  return p > 1.0 / kBlockValues ? -std::log2(p) / kBlockBits : 1.0;
}

}  // namespace quorlix
