// A recording arrives in pieces of whatever size the sound backend hands
// over; the noise bits and sums gathered from them must be those of the
// whole recording taken at once.
#include <gtest/gtest.h>

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
    EXPECT_EQ(noise.bits, expected);
    EXPECT_EQ(noise.sampleSums.channels[1].samples.count, 1001u);
    EXPECT_EQ(noise.sampleSums.channels[1].samples.last,
              static_cast<std::int16_t>(samples[4002] | samples[4003] << 8));
  }
}

}  // namespace
}  // namespace quorlix
