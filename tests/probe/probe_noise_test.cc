// A recording arrives in pieces of whatever size the sound backend hands
// over; the noise bits and sums gathered from them must be those of the
// whole recording taken at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

#include "capture/noise_bits.h"
#include "probe/probe_noise.h"
#include "support/random_bytes.h"

namespace quorlix {
namespace {

TEST(ProbeNoise, PiecesOfAnyWholeFrameSizeGiveTheBitsOfTheWholeRecording) {
  // 1001 frames: the last byte of bits holds only two of them.
  const std::vector<std::uint8_t> samples = testing::RandomBytes(1001 * 4, 7);
  std::vector<std::uint8_t> expected((samples.size() + 15) / 16, 0);
  ExtractNoiseBitsScalar(expected.data(), samples.data(), samples.size());
  const std::vector<std::size_t> pieceFrames[] = {{1001}, {1, 1001}, {3, 5, 2}, {4, 1, 7, 250}};
  for (const std::vector<std::size_t>& pattern : pieceFrames) {
    SCOPED_TRACE(pattern.size());
    ProbeNoise noise;
    std::size_t at = 0;
    for (std::size_t piece = 0; at < samples.size(); ++piece) {
      const std::size_t bytes = std::min(pattern[piece % pattern.size()] * 4, samples.size() - at);
      AddFrames(noise, samples.data() + at, bytes);
      at += bytes;
    }
    FinishFrames(noise);
    EXPECT_EQ(noise.bitCount, 2002u);
    EXPECT_EQ(noise.assessed, expected);
    EXPECT_EQ(noise.sampleSums.channels[1].samples.count, 1001u);
    EXPECT_EQ(noise.sampleSums.channels[1].samples.last,
              static_cast<std::int16_t>(samples[4002] | samples[4003] << 8));
  }
}

TEST(ProbeNoise, KeepsOnlyTheBitsToAssessAndCountsAllTheRest) {
  // 1,600,000 bits in pieces that straddle the end of the assessed ones.
  const std::vector<std::uint8_t> bits = testing::RandomBytes(200000, 11);
  ProbeNoise noise;
  for (std::size_t at = 0; at < bits.size(); at += 30001) {
    AddBitBytes(noise, bits.data() + at, std::min<std::size_t>(30001, bits.size() - at));
  }
  std::uint64_t ones = 0;
  for (std::uint8_t byte : bits) ones += static_cast<std::uint64_t>(std::popcount(byte));
  EXPECT_EQ(noise.bitCount, 1600000u);
  EXPECT_EQ(noise.ones, ones);
  EXPECT_EQ(noise.assessed, std::vector<std::uint8_t>(bits.begin(), bits.begin() + 125000));
  EXPECT_FALSE(HealthTestsFailed(noise.health));
}

}  // namespace
}  // namespace quorlix
