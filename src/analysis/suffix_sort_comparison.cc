#include <algorithm>
#include <numeric>

#include "analysis/suffix_sort.h"

namespace quorlix {

namespace {

// Whether the suffix at a sorts before the one at b, 64 bits at a time.
bool SuffixBefore(const NoiseBitString& s, std::size_t a, std::size_t b) {
  for (std::size_t offset = 0;; offset += 64) {
    const std::size_t leftA = s.count - a - offset, leftB = s.count - b - offset;
    const std::size_t common = std::min<std::size_t>({leftA, leftB, 64});
    const std::uint64_t keep = common == 64 ? ~std::uint64_t{0} : ~(~std::uint64_t{0} >> common);
    const std::uint64_t x = OrderedWindow(s, a + offset) & keep, y = OrderedWindow(s, b + offset) & keep;
    if (x != y) return x < y;
    if (common < 64) return leftA < leftB;
  }
}

}  // namespace

std::vector<std::int32_t> SortSuffixes(const NoiseBitString& s) {
  std::vector<std::int32_t> order(s.count);
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
    return SuffixBefore(s, static_cast<std::size_t>(a), static_cast<std::size_t>(b));
  });
  return order;
}

}  // namespace quorlix
