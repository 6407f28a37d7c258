// Byte statistics of the output: always the mean byte value and, on request,
// how often each of the 256 byte values occurs, as a run of 20-character
// cells on the standard output stream.
#ifndef QUORLIX_ANALYSIS_BYTE_STATS_H_
#define QUORLIX_ANALYSIS_BYTE_STATS_H_

#include <array>
#include <cstddef>
#include <cstdint>

namespace quorlix {

using ByteCounts = std::array<std::uint32_t, 256>;

// How often each byte value occurs in the block.
ByteCounts CountBytes(const std::uint8_t* block, std::size_t length);
ByteCounts CountBytesScalar(const std::uint8_t* block, std::size_t length);

void AnalyzeBytes(const std::uint8_t* block, std::uint32_t length, bool listing);

}  // namespace quorlix

#endif  // QUORLIX_ANALYSIS_BYTE_STATS_H_
