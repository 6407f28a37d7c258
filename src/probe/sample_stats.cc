#include "probe/sample_stats.h"

#include <algorithm>
#include <cmath>

namespace quorlix {
namespace {

// Neighbouring differences of white noise correlate at -0.5. An input cut
// off below about 85 % of the Nyquist frequency, by a filter or a
// resampler, lifts that above -0.3, while a sound card's own anti-alias
// filter (from about 90 %) keeps it below. Mains hum, which lifts the
// samples' own lag-1 correlation, hardly moves it.
constexpr double kFilteredDifferenceCorrelation = -0.3;
// One full-scale sample in ten thousand is already a level turned too far up.
constexpr double kClippingShare = 1e-4;
// Noise, whatever its level, moves each sample far from the one before; a
// strong lag-1 correlation is a slow wander far louder than the noise, or a
// step such as a stretch of padding.
constexpr double kCorrelatedSamples = 0.5;
// Around zero, noise of at least 1 LSB gives zero at most 1.65 times as
// often as -1 and 1 on average; padding or dropouts give it far more often.
constexpr double kZerosOverNeighbours = 2;
// Hints on zeros need this share of the samples to matter.
constexpr double kManyZerosShare = 0.01;
constexpr double kZeroRunsShare = 0.001;
constexpr std::uint64_t kMaxSummedSamples = std::uint64_t{1} << 31;

void AddToSeries(SeriesSums& series, std::int64_t value) {
  if (series.count == 0) {
    series.first = value;
  } else {
    series.sumOfNeighbourProducts += value * series.last;
  }
  series.last = value;
  ++series.count;
  series.sum += value;
  series.sumOfSquares += static_cast<std::uint64_t>(value * value);
}

void AddSample(ChannelSums& channel, std::int32_t sample) {
  if (channel.samples.count == kMaxSummedSamples) return;
  if (channel.samples.count > 0) AddToSeries(channel.differences, sample - channel.samples.last);
  AddToSeries(channel.samples, sample);
  channel.lowest = std::min(channel.lowest, sample);
  channel.highest = std::max(channel.highest, sample);
  if (sample == -32768 || sample == 32767) ++channel.fullScale;
  if (sample == 0) {
    ++channel.zeros;
    ++channel.zeroRun;
    if (channel.zeroRun == kLongZeroRun) channel.zerosInRuns += kLongZeroRun;
    if (channel.zeroRun > kLongZeroRun) ++channel.zerosInRuns;
  } else {
    channel.zeroRun = 0;
    if (sample == 1 || sample == -1) ++channel.besideZero;
  }
  const auto bits = static_cast<std::uint16_t>(sample);
  for (unsigned bit = 0; bit < 16; ++bit) channel.onesAtBit[bit] += (bits >> bit) & 1u;
}

struct SeriesMoments {
  long double mean = 0;
  long double squaredDeviations = 0;
  long double neighbourDeviations = 0;
};

// Sums of deviations from the mean, expanded so that the exact integer sums
// do the work and only the last steps round.
SeriesMoments MomentsOf(const SeriesSums& series) {
  SeriesMoments moments;
  if (series.count == 0) return moments;
  const auto n = static_cast<long double>(series.count);
  const auto sum = static_cast<long double>(series.sum);
  moments.mean = sum / n;
  moments.squaredDeviations = static_cast<long double>(series.sumOfSquares) - moments.mean * sum;
  moments.neighbourDeviations =
        static_cast<long double>(series.sumOfNeighbourProducts) -
        moments.mean * (2 * sum - static_cast<long double>(series.first + series.last)) +
        (n - 1) * moments.mean * moments.mean;
  return moments;
}

double Lag1Correlation(const SeriesMoments& moments) {
  if (moments.squaredDeviations <= 0) return 0;
  return static_cast<double>(moments.neighbourDeviations / moments.squaredDeviations);
}

}  // namespace

void AddSamples(SampleSums& sums, const std::uint8_t* frames, std::size_t bytes) {
  for (std::size_t i = 0; i + 4 <= bytes; i += 4) {
    for (std::size_t channel = 0; channel < 2; ++channel) {
      const std::uint8_t* sample = frames + i + 2 * channel;
      const auto raw = static_cast<std::uint16_t>(sample[0] | (sample[1] << 8));
      AddSample(sums.channels[channel], static_cast<std::int16_t>(raw));
    }
  }
}

ChannelStats SummarizeChannel(const ChannelSums& sums) {
  ChannelStats stats;
  stats.samples = sums.samples.count;
  if (stats.samples == 0) return stats;
  const SeriesMoments samples = MomentsOf(sums.samples);
  stats.dcOffset = static_cast<double>(samples.mean);
  stats.noiseLevel = static_cast<double>(std::sqrt(
        std::max(0.0L, samples.squaredDeviations) / static_cast<long double>(stats.samples)));
  stats.lowest = sums.lowest;
  stats.highest = sums.highest;
  const auto share = [&stats](std::uint64_t count) {
    return static_cast<double>(count) / static_cast<double>(stats.samples);
  };
  stats.fullScaleShare = share(sums.fullScale);
  stats.zeroShare = share(sums.zeros);
  stats.zeroRunShare = share(sums.zerosInRuns);
  stats.lag1Autocorrelation = Lag1Correlation(samples);
  const SeriesMoments differences = MomentsOf(sums.differences);
  stats.differenceAutocorrelation = Lag1Correlation(differences);
  for (unsigned bit = 0; bit < 16; ++bit) {
    stats.onesShareAtBit[bit] = share(sums.onesAtBit[bit]);
  }
  // A channel that never moves says nothing about its spectrum.
  stats.looksFiltered = differences.squaredDeviations > 0 &&
                        stats.differenceAutocorrelation > kFilteredDifferenceCorrelation;
  stats.belowOneLsb = stats.noiseLevel < 1;
  stats.clipping = stats.fullScaleShare >= kClippingShare;
  // Below 1 LSB zeros come often by themselves, and that has its own hint.
  stats.manyZeros = !stats.belowOneLsb && stats.zeroShare >= kManyZerosShare &&
                    static_cast<double>(sums.zeros) >
                          kZerosOverNeighbours * static_cast<double>(sums.besideZero) / 2;
  stats.zeroRuns = stats.zeroRunShare >= kZeroRunsShare;
  stats.correlated = stats.lag1Autocorrelation > kCorrelatedSamples;
  return stats;
}

}  // namespace quorlix
