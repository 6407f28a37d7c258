// What the samples themselves say about an input, channel by channel: where
// it sits (DC offset), how much it moves (noise level in LSB), whether it
// hits full scale, whether neighbouring samples follow each other (a filter
// or a resampler in the path), whether it holds exact zeros that noise
// would not (a recording cut short and padded, a dropout) and how often each
// of the 16 bits is set. The
// samples arrive as 16-bit little-endian stereo frames, left first, in
// pieces of whole frames.
#ifndef QUORLIX_PROBE_SAMPLE_STATS_H_
#define QUORLIX_PROBE_SAMPLE_STATS_H_

#include <array>
#include <cstddef>
#include <cstdint>

namespace quorlix {

// Exact integer sums of one series of values below 2^16 in size, so that a
// long recording loses nothing to rounding. They stay within 64 bits for
// 2^31 values; the channel sums stop there.
struct SeriesSums {
  std::uint64_t count = 0;
  std::int64_t sum = 0;
  std::uint64_t sumOfSquares = 0;
  std::int64_t sumOfNeighbourProducts = 0;  // x[i] x[i-1]
  std::int64_t first = 0;
  std::int64_t last = 0;
};

struct ChannelSums {
  SeriesSums samples;
  // Differences between neighbouring samples: mains hum and other slow
  // wander drop out of them, while a missing top of the spectrum does not.
  SeriesSums differences;
  std::int32_t lowest = 32767;
  std::int32_t highest = -32768;
  std::uint64_t fullScale = 0;
  std::uint64_t zeros = 0;
  std::uint64_t besideZero = 0;  // samples of -1 or 1
  std::uint64_t zerosInRuns = 0;  // in runs of kLongZeroRun or more
  std::uint64_t zeroRun = 0;      // the run the last sample ends
  std::array<std::uint64_t, 16> onesAtBit{};
};

// A run of exact zeros this long is no noise: even at a noise level of 1 LSB
// it comes by chance about once in 10^12 samples.
inline constexpr std::uint64_t kLongZeroRun = 32;

struct SampleSums {
  std::array<ChannelSums, 2> channels;
};

// frames holds whole 4-byte frames.
void AddSamples(SampleSums& sums, const std::uint8_t* frames, std::size_t bytes);

struct ChannelStats {
  std::uint64_t samples = 0;
  double dcOffset = 0;
  double noiseLevel = 0;  // standard deviation about the mean, in LSB
  std::int32_t lowest = 0;
  std::int32_t highest = 0;
  double fullScaleShare = 0;
  double zeroShare = 0;
  double zeroRunShare = 0;  // of the samples, those in runs of kLongZeroRun zeros
  double lag1Autocorrelation = 0;  // 0 when the channel does not move
  // -0.5 for white noise; higher when the top of the spectrum is missing.
  double differenceAutocorrelation = 0;
  std::array<double, 16> onesShareAtBit{};
  // The plain hints the numbers call for.
  bool looksFiltered = false;
  bool belowOneLsb = false;
  bool clipping = false;
  bool manyZeros = false;     // far more zeros than the values beside zero
  bool zeroRuns = false;
  bool correlated = false;    // neighbouring samples follow each other closely
};

ChannelStats SummarizeChannel(const ChannelSums& sums);

}  // namespace quorlix

#endif  // QUORLIX_PROBE_SAMPLE_STATS_H_
