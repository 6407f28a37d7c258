#include "analysis/byte_stats.h"

#include <cstdio>
#include <iostream>

namespace quorlix {

ByteCounts CountBytesScalar(const std::uint8_t* block, std::size_t length) {
  ByteCounts counts{};
  for (std::size_t i = 0; i < length; ++i) ++counts[block[i]];
  return counts;
}

ByteCounts CountBytes(const std::uint8_t* block, std::size_t length) {
  // A run of equal bytes would make each increment wait for the previous
  // one to reach memory; spreading neighbouring bytes over four tables
  // lets four increments be in flight at once.
  std::array<ByteCounts, 4> tables{};
  std::size_t i = 0;
  for (; i + 4 <= length; i += 4) {
    ++tables[0][block[i]];
    ++tables[1][block[i + 1]];
    ++tables[2][block[i + 2]];
    ++tables[3][block[i + 3]];
  }
  for (; i < length; ++i) ++tables[0][block[i]];

  ByteCounts counts{};
  for (std::size_t v = 0; v < 256; ++v)
    counts[v] = tables[0][v] + tables[1][v] + tables[2][v] + tables[3][v];
  return counts;
}

void AnalyzeBytes(const std::uint8_t* block, std::uint32_t length, bool listing) {
  const ByteCounts counts = CountBytes(block, length);
  std::uint32_t total = 0;
  std::uint64_t weightedSum = 0;
  for (unsigned v = 0; v < 256; ++v) {
    total += counts[v];
    weightedSum += std::uint64_t{v} * counts[v];
  }
  const double mean = static_cast<double>(weightedSum) / static_cast<double>(total);

  if (listing) {
    char entry[128];
    char padded[128];
    for (int v = 0; v < 256; ++v) {
      const double percentage = static_cast<double>(counts[static_cast<std::size_t>(v)]) /
                                static_cast<double>(total) * 100.0;
      std::snprintf(entry, sizeof entry, "%3i %-i %.3f", v,
                    static_cast<int>(counts[static_cast<std::size_t>(v)]), percentage);
      std::snprintf(padded, sizeof padded, "%-20s", entry);
      std::cout << padded << std::flush;
    }
  }
  std::cout << "\tMean byte = " << mean << std::endl;
}

}  // namespace quorlix
