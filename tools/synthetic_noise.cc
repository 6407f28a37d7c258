#include "synthetic_noise.h"

#include <array>
#include <cmath>

namespace quorlix {
namespace {

constexpr std::uint32_t kHumPeriod = kNoiseFramesPerSecond / kNoiseHumHz;
static_assert(kNoiseFramesPerSecond % kNoiseHumHz == 0, "the hum table holds whole periods");
// Mains pickup reaches the two inputs by different paths, so the right
// channel's hum lags the left one's by a twelfth of a period.
constexpr std::uint32_t kRightHumLag = kHumPeriod / 12;
// Samples are summed in fixed point with this many fraction bits and
// rounded once at the end.
constexpr int kFractionBits = 16;
constexpr std::uint64_t kChunkFrames = 65536;

struct NoiseStream {
  std::uint64_t state[4];
  std::uint32_t humPhase;
};

std::uint64_t SplitMix64(std::uint64_t& counter) {
  std::uint64_t z = (counter += 0x9e3779b97f4a7c15u);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
  return z ^ (z >> 31);
}

std::uint64_t RotateLeft(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

// xoshiro256**: fast, and its output is fixed by its definition rather than
// by whichever standard library the tool was built with.
std::uint64_t NextRandom(NoiseStream& stream) {
  std::uint64_t* s = stream.state;
  const std::uint64_t result = RotateLeft(s[1] * 5, 7) * 9;
  const std::uint64_t t = s[1] << 17;
  s[2] ^= s[0];
  s[3] ^= s[1];
  s[1] ^= s[2];
  s[0] ^= s[3];
  s[2] ^= t;
  s[3] = RotateLeft(s[3], 45);
  return result;
}

// A standard normal value in units of 2^-16. Library logarithms and cosines
// differ in their last bit between platforms, which would break replay, so
// Box-Muller is out; the sum of twelve uniform 16-bit values has variance
// 2^32 - 1 and matches a Gaussian closely out to six sigma, far beyond
// anything a few-LSB noise floor shows.
std::int64_t NextGaussian(NoiseStream& stream) {
  std::int64_t sum = 0;
  for (int draw = 0; draw < 3; ++draw) {
    std::uint64_t bits = NextRandom(stream);
    for (int part = 0; part < 4; ++part, bits >>= 16) sum += static_cast<std::int64_t>(bits & 0xFFFFu);
  }
  return sum - 12 * 65535 / 2;
}

// sin x for |x| <= pi from its Taylor series: only +, -, × and ÷, which IEEE
// arithmetic rounds the same way everywhere.
double PortableSine(double x) {
  double term = x;
  double sum = x;
  for (int k = 1; k <= 13; ++k) {
    term *= -x * x / static_cast<double>((2 * k) * (2 * k + 1));
    sum += term;
  }
  return sum;
}

// One period of hum in fixed point, built once.
const std::array<std::int64_t, kHumPeriod>& HumTable() {
  static const std::array<std::int64_t, kHumPeriod> table = [] {
    constexpr double kPi = 3.14159265358979323846;
    std::array<std::int64_t, kHumPeriod> values{};
    for (std::uint32_t n = 0; n < kHumPeriod; ++n) {
      // sin(2 pi n / period) = -sin(2 pi n / period - pi), whose argument
      // stays where the series converges quickly.
      const double x = 2.0 * kPi * static_cast<double>(n) / kHumPeriod - kPi;
      values[n] = std::llround(-PortableSine(x) * kNoiseHumAmplitude * (1 << kFractionBits));
    }
    return values;
  }();
  return table;
}

NoiseStream StartStream(std::uint64_t seed) {
  NoiseStream stream{};
  for (std::uint64_t& word : stream.state) word = SplitMix64(seed);
  stream.humPhase = static_cast<std::uint32_t>(NextRandom(stream) % kHumPeriod);
  return stream;
}

void PutSample(std::uint8_t* out, NoiseStream& stream, int channel, std::int64_t hum) {
  const std::int64_t fixed = (std::int64_t{kNoiseDcOffset[channel]} << kFractionBits) +
                             kNoiseSigma * NextGaussian(stream) + hum;
  std::int64_t sample = (fixed + (1 << (kFractionBits - 1))) >> kFractionBits;
  if (sample > INT16_MAX) sample = INT16_MAX;
  if (sample < INT16_MIN) sample = INT16_MIN;
  const auto word = static_cast<std::uint16_t>(sample);
  out[0] = static_cast<std::uint8_t>(word & 0xFFu);
  out[1] = static_cast<std::uint8_t>(word >> 8);
}

void FillFrames(NoiseStream& stream, std::uint8_t* out, std::uint64_t frames) {
  const std::array<std::int64_t, kHumPeriod>& hum = HumTable();
  for (std::uint64_t i = 0; i < frames; ++i, out += kNoiseBytesPerFrame) {
    PutSample(out, stream, 0, hum[stream.humPhase]);
    PutSample(out + 2, stream, 1, hum[(stream.humPhase + kHumPeriod - kRightHumLag) % kHumPeriod]);
    stream.humPhase = (stream.humPhase + 1) % kHumPeriod;
  }
}

}  // namespace

std::vector<std::uint8_t> SyntheticNoise(std::uint64_t seed, std::uint64_t frames) {
  std::vector<std::uint8_t> bytes(frames * kNoiseBytesPerFrame);
  NoiseStream stream = StartStream(seed);
  FillFrames(stream, bytes.data(), frames);
  return bytes;
}

bool WriteSyntheticNoise(std::FILE* out, std::uint64_t seed, std::uint64_t frames) {
  std::vector<std::uint8_t> chunk(kChunkFrames * kNoiseBytesPerFrame);
  NoiseStream stream = StartStream(seed);
  while (frames > 0) {
    const std::uint64_t piece = frames < kChunkFrames ? frames : kChunkFrames;
    FillFrames(stream, chunk.data(), piece);
    const std::size_t bytes = static_cast<std::size_t>(piece * kNoiseBytesPerFrame);
    if (std::fwrite(chunk.data(), 1, bytes, out) != bytes) return false;
    frames -= piece;
  }
  return true;
}

}  // namespace quorlix
