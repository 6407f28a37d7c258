#include <divsufsort.h>

#include "analysis/suffix_sort.h"

namespace quorlix {

std::vector<std::int32_t> SortSuffixes(const NoiseBitString& s) {
  std::vector<std::int32_t> order(s.count);
  divsufsort(s.bits.get(), order.data(), static_cast<saidx_t>(s.count));
  return order;
}

}  // namespace quorlix
