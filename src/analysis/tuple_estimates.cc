// The t-Tuple and Longest Repeated Substring estimates. Both read, for every
// length W, how often W-bit substrings repeat: the count of the most common
// one (t-Tuple) and the number of equal pairs (LRS). In the suffixes' sorted
// order the suffixes that share a W-bit prefix sit together, so both come
// out of one pass over the common-prefix lengths of sorted neighbours.
//
// Noise rarely repeats itself over 64 bits or more, so suffixes are first
// sorted by their first 64 bits alone, as integers (a radix pass on the top
// 16 bits, then each bucket); that order is exact for every length up to 64.
// Only when two neighbours agree on all 64 bits is the full suffix array
// built (SortSuffixes).
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "analysis/min_entropy_estimators.h"
#include "analysis/suffix_sort.h"

namespace quorlix {

namespace {

// For each length W from 1 to the longest repeat: the count of the most
// common W-bit substring, and the number of pairs of equal ones.
struct RepeatCounts {
  std::size_t longest = 0;
  std::vector<std::int64_t> mostCommon;  // indexed by W
  std::vector<std::uint64_t> equalPairs;
};

// Takes the common prefix lengths of sorted neighbours in order (the i-th
// and (i-1)-th suffix, for i from 1); a group of suffixes sharing W bits is a
// run of lengths at least W. The groups nest, so one stack pass visits each:
// a group of `size` suffixes whose own common length is `depth` and whose
// enclosing group's is `outer` is the group for every W in (outer, depth].
class RepeatCounter {
 public:
  void Add(std::uint32_t depth) {
    ++seen_;
    Close(depth);
  }

  RepeatCounts Finish() {
    ++seen_;
    Close(0);
    RepeatCounts r;
    r.longest = longest_;
    r.mostCommon.assign(longest_ + 2, 1);
    r.equalPairs.assign(longest_ + 2, 0);
    largestAtDepth_.resize(longest_ + 2, 1);
    pairsFrom_.resize(longest_ + 2, 0);
    std::int64_t largest = 1;
    for (std::size_t w = longest_; w >= 1; --w) {
      largest = std::max(largest, largestAtDepth_[w]);
      r.mostCommon[w] = largest;
    }
    std::int64_t pairs = 0;
    for (std::size_t w = 1; w <= longest_; ++w) {
      pairs += pairsFrom_[w];
      r.equalPairs[w] = static_cast<std::uint64_t>(pairs);
    }
    return r;
  }

 private:
  struct Open {
    std::uint32_t depth;
    std::size_t first;
  };

  void Close(std::uint32_t depth) {
    const std::size_t i = seen_;  // the entry just taken is the i-th
    std::size_t first = i - 1;
    while (depth < stack_.back().depth) {
      const Open group = stack_.back();
      stack_.pop_back();
      const auto size = static_cast<std::int64_t>(i - group.first);
      const std::uint32_t outer = std::max(depth, stack_.back().depth);
      if (group.depth + 2 > largestAtDepth_.size()) {
        largestAtDepth_.resize(group.depth + 2, 1);
        pairsFrom_.resize(group.depth + 2, 0);
      }
      largestAtDepth_[group.depth] = std::max(largestAtDepth_[group.depth], size);
      pairsFrom_[outer + 1] += size * (size - 1) / 2;
      pairsFrom_[group.depth + 1] -= size * (size - 1) / 2;
      first = group.first;
    }
    if (depth > stack_.back().depth) stack_.push_back({depth, first});
    longest_ = std::max<std::size_t>(longest_, depth);
  }

  std::size_t seen_ = 0;
  std::size_t longest_ = 0;
  std::vector<Open> stack_{{0, 0}};
  std::vector<std::int64_t> largestAtDepth_;
  std::vector<std::int64_t> pairsFrom_;  // differences over W
};

// Counts from sorting by the first 64 bits; false if two
// neighbours agree on all 64 and both go on, so the order may be wrong.
// Positions are spread into buckets by their top 16 bits; each bucket is
// then sorted on its own with its windows at hand, and its neighbours
// measured while they are.
bool CountWithin64(const NoiseBitString& s, RepeatCounter& counter) {
  const std::size_t n = s.count;
  std::vector<std::uint32_t> bucketStart((1 << 16) + 1, 0);
  for (std::size_t i = 0; i < n; ++i) ++bucketStart[(OrderedWindow(s, i) >> 48) + 1];
  for (std::size_t b = 1; b < bucketStart.size(); ++b) bucketStart[b] += bucketStart[b - 1];
  std::vector<std::uint32_t> bucketed(n);
  std::vector<std::uint32_t> next(bucketStart.begin(), bucketStart.end() - 1);
  for (std::size_t i = 0; i < n; ++i) bucketed[next[OrderedWindow(s, i) >> 48]++] = static_cast<std::uint32_t>(i);

  struct Suffix {
    std::uint64_t window;
    std::uint32_t first;
  };
  // A shorter suffix sorts before a longer one with the same padded window:
  // it is a prefix of it.
  const auto before = [](const Suffix& a, const Suffix& b) {
    return a.window != b.window ? a.window < b.window : a.first > b.first;
  };
  std::vector<Suffix> bucket;
  Suffix previous{0, 0};
  for (std::size_t b = 0; b + 1 < bucketStart.size(); ++b) {
    bucket.clear();
    for (std::size_t k = bucketStart[b]; k < bucketStart[b + 1]; ++k)
      bucket.push_back({OrderedWindow(s, bucketed[k]), bucketed[k]});
    std::sort(bucket.begin(), bucket.end(), before);
    for (std::size_t k = 0; k < bucket.size(); ++k) {
      const std::size_t rank = bucketStart[b] + k;
      const Suffix& current = bucket[k];
      if (rank > 0) {
        const std::size_t shorter = n - std::max(previous.first, current.first);
        if (previous.window == current.window && shorter > 64) return false;
        const auto agree = static_cast<std::size_t>(std::countl_zero(previous.window ^ current.window));
        counter.Add(static_cast<std::uint32_t>(std::min(agree, shorter)));
      }
      previous = current;
    }
  }
  return true;
}

// Counts over the full suffix array, its neighbour lengths by Kasai's
// linear pass.
RepeatCounts CountFromSuffixArray(const NoiseBitString& s) {
  const std::size_t n = s.count;
  const std::vector<std::int32_t> order = SortSuffixes(s);
  std::vector<std::uint32_t> rank(n);
  for (std::size_t i = 0; i < n; ++i) rank[static_cast<std::size_t>(order[i])] = static_cast<std::uint32_t>(i);
  std::vector<std::uint32_t> neighbours(n, 0);
  std::size_t common = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (rank[i] == 0) {
      common = 0;
      continue;
    }
    const auto before = static_cast<std::size_t>(order[rank[i] - 1]);
    while (i + common < n && before + common < n && s.bits[i + common] == s.bits[before + common]) ++common;
    neighbours[rank[i]] = static_cast<std::uint32_t>(common);
    if (common > 0) --common;
  }
  RepeatCounter counter;
  for (std::size_t i = 1; i < n; ++i) counter.Add(neighbours[i]);
  return counter.Finish();
}

double UpperBoundEstimate(long double p, std::size_t n) {
  long double upper = p + 2.575829303548900384158L * std::sqrt(p * (1.0L - p) / static_cast<long double>(n - 1));
  return static_cast<double>(-std::log2(std::min(upper, 1.0L)));
}

}  // namespace

TupleEstimates EstimateFromTuples(const NoiseBitString& s) {
  TupleEstimates e;
  const std::size_t n = s.count;
  if (n < 2) return e;
  RepeatCounter counter;
  const RepeatCounts r = CountWithin64(s, counter) ? counter.Finish() : CountFromSuffixArray(s);

  // t: the longest length whose most common substring occurs 35 times.
  std::size_t t = 0;
  while (t + 1 <= r.longest && r.mostCommon[t + 1] >= 35) ++t;
  if (t >= 1) {
    long double best = 0;
    for (std::size_t w = 1; w <= t; ++w) {
      const long double share = static_cast<long double>(r.mostCommon[w]) / static_cast<long double>(n - w + 1);
      best = std::max(best, std::pow(share, 1.0L / static_cast<long double>(w)));
    }
    e.tTuple = UpperBoundEstimate(best, n);
  }
  if (r.longest >= t + 1) {
    long double best = 0;
    for (std::size_t w = t + 1; w <= r.longest; ++w) {
      const long double pairs = static_cast<long double>(n - w) * static_cast<long double>(n - w + 1) / 2;
      best = std::max(best, std::pow(static_cast<long double>(r.equalPairs[w]) / pairs,
                                     1.0L / static_cast<long double>(w)));
    }
    e.longestRepeatedSubstring = UpperBoundEstimate(best, n);
  }
  return e;
}

}  // namespace quorlix
