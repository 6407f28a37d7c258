// The t-Tuple and Longest Repeated Substring estimates. Both read, for every
// length W, how often W-bit substrings repeat: the count of the most common
// one (t-Tuple) and the number of equal pairs (LRS). In the suffixes' sorted
// order the suffixes that share a W-bit prefix sit together, so both come
// out of one pass over the common-prefix lengths of sorted neighbours.
//
// Noise rarely repeats itself over 64 bits or more, so suffixes are first
// sorted by their first 64 bits alone, as integers (radix passes on the top
// 24 bits, then the few that still agree); that order is exact for every
// length up to 64.
// Only when two neighbours agree on all 64 bits is the full suffix array
// built (SortSuffixes).
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
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
    const std::size_t i = ++seen_;  // the entry just taken is the i-th
    // Nearly always the length only goes up or stays, which opens at most
    // one group; the groups a drop closes are counted out of line.
    if (depth < stack_[top_].depth) {
      Close(depth, i);
    } else if (depth > stack_[top_].depth) {
      Open(depth, i - 1);
    }
    if (depth > longest_) longest_ = depth;
  }

  RepeatCounts Finish() {
    ++seen_;
    Close(0, seen_);
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
  struct Group {
    std::uint32_t depth;
    std::size_t first;
  };

  void Open(std::uint32_t depth, std::size_t first) {
    if (++top_ == stack_.size()) stack_.emplace_back();
    stack_[top_] = {depth, first};
  }

  // Closes every group deeper than depth at the i-th entry; the group the
  // entry then belongs to starts where the outermost closed one did, and is
  // opened when depth is above the enclosing one's.
  void Close(std::uint32_t depth, std::size_t i) {
    std::size_t first = i - 1;
    while (depth < stack_[top_].depth) {
      const Group group = stack_[top_--];
      const auto size = static_cast<std::int64_t>(i - group.first);
      const std::uint32_t outer = std::max(depth, stack_[top_].depth);
      if (group.depth + 2 > largestAtDepth_.size()) {
        largestAtDepth_.resize(group.depth + 2, 1);
        pairsFrom_.resize(group.depth + 2, 0);
      }
      largestAtDepth_[group.depth] = std::max(largestAtDepth_[group.depth], size);
      pairsFrom_[outer + 1] += size * (size - 1) / 2;
      pairsFrom_[group.depth + 1] -= size * (size - 1) / 2;
      first = group.first;
    }
    if (depth > stack_[top_].depth) Open(depth, first);
  }

  std::size_t seen_ = 0;
  std::uint32_t longest_ = 0;
  std::vector<Group> stack_ = std::vector<Group>(128, Group{0, 0});
  std::size_t top_ = 0;  // stack_[0] is the whole string, depth 0
  // Sized for every length the sort by 64 bits can give; longer ones grow it.
  std::vector<std::int64_t> largestAtDepth_ = std::vector<std::int64_t>(66, 1);
  std::vector<std::int64_t> pairsFrom_ = std::vector<std::int64_t>(66, 0);  // differences over W
};

// Calls visit(i, first 8 bits of the suffix at i) for every i in order.
template <typename Visit>
void ForEachFirstByte(const NoiseBitString& s, Visit visit) {
  for (std::size_t word = 0; word * 64 < s.count; ++word) {
    const std::uint64_t high = s.reversedWords[word], low = s.reversedWords[word + 1];
    const std::size_t end = std::min<std::size_t>(64, s.count - word * 64);
    for (unsigned t = 0; t < end; ++t) {
      visit(word * 64 + t, ((high << t) | ((low >> 1) >> (63 - t))) >> 56);
    }
  }
}

// Counts from sorting by the first 64 bits; false if two neighbours agree on
// all 64 and both go on, so the order may be wrong. Positions are spread by
// their first 8 bits into 256 runs, which a pass writes to one after the
// other as it goes; each run, small enough to stay in the cache with its
// windows at hand, is then spread by its next 16 bits, and the few that
// still agree are sorted whole. Neighbours are measured as they come.
bool CountWithin64(const NoiseBitString& s, RepeatCounter& counter) {
  const std::size_t n = s.count;
  constexpr std::size_t kRuns = 256;
  std::array<std::uint32_t, kRuns + 1> runStart{};
  ForEachFirstByte(s, [&](std::size_t, std::uint64_t run) { ++runStart[run + 1]; });
  for (std::size_t r = 1; r <= kRuns; ++r) runStart[r] += runStart[r - 1];
  const std::unique_ptr<std::uint32_t[]> byFirstByte(new std::uint32_t[n]);
  std::array<std::uint32_t, kRuns> next;
  std::copy(runStart.begin(), runStart.end() - 1, next.begin());
  ForEachFirstByte(s, [&](std::size_t i, std::uint64_t run) {
    byFirstByte[next[run]++] = static_cast<std::uint32_t>(i);
  });

  struct Suffix {
    std::uint64_t window;
    std::uint32_t first;
  };
  // A shorter suffix sorts before a longer one with the same padded window:
  // it is a prefix of it.
  const auto before = [](const Suffix& a, const Suffix& b) {
    return a.window != b.window ? a.window < b.window : a.first > b.first;
  };
  // Spreads from into to by the 8 bits of the windows from bit shift up,
  // keeping the order of from among equals.
  const auto spread = [](const std::vector<Suffix>& from, std::vector<Suffix>& to, unsigned shift) {
    std::array<std::uint32_t, kRuns + 1> start{};
    for (const Suffix& suffix : from) ++start[((suffix.window >> shift) & 0xFF) + 1];
    for (std::size_t b = 1; b <= kRuns; ++b) start[b] += start[b - 1];
    to.resize(from.size());
    for (const Suffix& suffix : from) to[start[(suffix.window >> shift) & 0xFF]++] = suffix;
  };
  std::vector<Suffix> run, sorted;
  Suffix previous{0, 0};
  bool first = true;
  for (std::size_t r = 0; r < kRuns; ++r) {
    run.clear();
    for (std::size_t k = runStart[r]; k < runStart[r + 1]; ++k) {
      run.push_back({OrderedWindow(s, byFirstByte[k]), byFirstByte[k]});
    }
    // By the next 16 bits, 8 at a time from the lower (each pass keeps the
    // order of the one before among equals); after that, suffixes that
    // still agree on their first 24 bits are few, and are sorted whole.
    spread(run, sorted, 40);
    spread(sorted, run, 48);
    for (std::size_t k = 0; k < run.size();) {
      std::size_t same = k + 1;
      while (same < run.size() && (run[same].window >> 40) == (run[k].window >> 40)) ++same;
      if (same - k > 1) std::sort(run.begin() + static_cast<std::ptrdiff_t>(k),
                                  run.begin() + static_cast<std::ptrdiff_t>(same), before);
      k = same;
    }
    for (const Suffix& current : run) {
      if (!first) {
        const std::size_t shorter = n - std::max(previous.first, current.first);
        if (previous.window == current.window && shorter > 64) return false;
        const auto agree =
              static_cast<std::size_t>(std::countl_zero(previous.window ^ current.window));
        counter.Add(static_cast<std::uint32_t>(std::min(agree, shorter)));
      }
      previous = current;
      first = false;
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
