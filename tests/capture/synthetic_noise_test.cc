// The synthetic line-in noise stands in for a sound card in the end-to-end
// tests and the demo, so it must replay exactly from its seed and look like
// an idle input: the right offset, spread and hum per channel, and a noise
// bit that is as often 1 as 0.
#include "synthetic_noise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace quorlix {
namespace {

std::int16_t Sample(const std::vector<std::uint8_t>& bytes, std::size_t frame, int channel) {
  const std::size_t at = frame * kNoiseBytesPerFrame + static_cast<std::size_t>(channel) * 2;
  return static_cast<std::int16_t>(bytes[at] | (bytes[at + 1] << 8));
}

TEST(SyntheticNoise, SameSeedGivesSameBytes) {
  EXPECT_EQ(SyntheticNoise(42, 10000), SyntheticNoise(42, 10000));
}

TEST(SyntheticNoise, DifferentSeedsGiveUnrelatedSamples) {
  const std::vector<std::uint8_t> a = SyntheticNoise(42, 10000);
  const std::vector<std::uint8_t> b = SyntheticNoise(43, 10000);
  ASSERT_NE(a, b);
  // Two independent draws of a sigma-4 noise agree about one time in
  // fifteen; a seed that moved only the hum would leave most samples equal.
  std::size_t equal = 0;
  for (std::size_t frame = 0; frame < 10000; ++frame) {
    for (int channel = 0; channel < 2; ++channel) {
      if (Sample(a, frame, channel) == Sample(b, frame, channel)) ++equal;
    }
  }
  EXPECT_LT(equal, 20000u / 8);
}

TEST(SyntheticNoise, FourBytesPerFrame) {
  for (std::uint64_t frames : {0u, 1u, 2u, 881u, 44100u}) {
    EXPECT_EQ(SyntheticNoise(1, frames).size(), 4 * frames) << frames << " frames";
  }
}

TEST(SyntheticNoise, ShorterBlockIsPrefixOfLonger) {
  const std::vector<std::uint8_t> shorter = SyntheticNoise(5, 1000);
  const std::vector<std::uint8_t> longer = SyntheticNoise(5, 3000);
  EXPECT_TRUE(std::equal(shorter.begin(), shorter.end(), longer.begin()));
}

// One second holds whole hum periods, so the hum adds nothing to the mean
// and half its squared amplitude to the variance; rounding to whole LSB adds
// a twelfth.
TEST(SyntheticNoise, EachChannelHasItsOffsetAndSpread) {
  const std::vector<std::uint8_t> bytes = SyntheticNoise(2024, kNoiseFramesPerSecond);
  const double expectedSpread =
      std::sqrt(kNoiseSigma * kNoiseSigma + kNoiseHumAmplitude * kNoiseHumAmplitude / 2.0 + 1.0 / 12);
  for (int channel = 0; channel < 2; ++channel) {
    double sum = 0;
    double squares = 0;
    for (std::size_t frame = 0; frame < kNoiseFramesPerSecond; ++frame) {
      const double v = Sample(bytes, frame, channel);
      sum += v;
      squares += v * v;
    }
    const double mean = sum / kNoiseFramesPerSecond;
    const double spread = std::sqrt(squares / kNoiseFramesPerSecond - mean * mean);
    EXPECT_NEAR(mean, kNoiseDcOffset[channel], 0.1) << "channel " << channel;
    EXPECT_NEAR(spread, expectedSpread, 0.05 * expectedSpread) << "channel " << channel;
  }
}

// The 50 Hz component, measured by correlating with a sine and a cosine.
TEST(SyntheticNoise, EachChannelCarriesMainsHum) {
  const std::vector<std::uint8_t> bytes = SyntheticNoise(77, kNoiseFramesPerSecond);
  const double step = 2 * 3.14159265358979323846 * kNoiseHumHz / kNoiseFramesPerSecond;
  for (int channel = 0; channel < 2; ++channel) {
    double inPhase = 0;
    double quadrature = 0;
    for (std::size_t frame = 0; frame < kNoiseFramesPerSecond; ++frame) {
      const double v = Sample(bytes, frame, channel) - kNoiseDcOffset[channel];
      inPhase += v * std::sin(step * static_cast<double>(frame));
      quadrature += v * std::cos(step * static_cast<double>(frame));
    }
    const double amplitude = 2 * std::hypot(inPhase, quadrature) / kNoiseFramesPerSecond;
    EXPECT_NEAR(amplitude, kNoiseHumAmplitude, 0.2) << "channel " << channel;
  }
}

// The tool keeps bit 0 XOR bit 8 of each sample; on its own that bit must
// already be balanced, or no amount of combining makes the output uniform.
TEST(SyntheticNoise, NoiseBitIsBalanced) {
  const std::uint64_t frames = 10 * kNoiseFramesPerSecond;
  const std::vector<std::uint8_t> bytes = SyntheticNoise(9, frames);
  for (int channel = 0; channel < 2; ++channel) {
    double ones = 0;
    for (std::size_t frame = 0; frame < frames; ++frame) {
      const std::size_t at = frame * kNoiseBytesPerFrame + static_cast<std::size_t>(channel) * 2;
      ones += (bytes[at] ^ bytes[at + 1]) & 1;
    }
    // 441000 fair bits have a standard error of 0.00075 around one half.
    EXPECT_NEAR(ones / static_cast<double>(frames), 0.5, 0.005) << "channel " << channel;
  }
}

// Written in pieces across the writer's chunk boundaries, the file must hold
// exactly the whole block: the demo's device file relies on it.
TEST(SyntheticNoise, StreamedFileEqualsBlock) {
  const std::uint64_t frames = 2 * 65536 + 123;
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(WriteSyntheticNoise(file, 31337, frames));
  std::rewind(file);
  std::vector<std::uint8_t> streamed(frames * kNoiseBytesPerFrame + 1);
  const std::size_t read = std::fread(streamed.data(), 1, streamed.size(), file);
  std::fclose(file);
  streamed.resize(read);
  EXPECT_EQ(streamed, SyntheticNoise(31337, frames));
}

}  // namespace
}  // namespace quorlix
