#include "probe/run_shape.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "driver/run_limits.h"

namespace quorlix {

std::uint32_t OutputSizeOfSeconds(std::int32_t seconds) {
  return static_cast<std::uint32_t>(seconds) * (kCaptureBytesPerSecond / 16);
}

RunShapeDepth MeasureRunShape(std::int32_t inputFiles, std::int32_t midFiles,
                              std::uint32_t outputSize) {
  // A rotation shifts every byte's offset alike, so all output bits see the
  // same arrivals up to a renaming of offsets: byte 0 stands for them all.
  // The captures of group g arrive through mid files g to midFiles - 1;
  // walking g downwards adds one mid file at a time.
  const std::uint32_t step = outputSize % 8;
  std::array<std::int64_t, 8> arrivals{};
  std::int64_t oddOffsets = 0;
  RunShapeDepth depth;
  for (std::int64_t group = std::int64_t{midFiles} - 1; group >= 0; --group) {
    const auto rotation = static_cast<std::size_t>((static_cast<std::uint64_t>(group) * step) % 8);
    oddOffsets += (++arrivals[rotation] % 2 == 1) ? 1 : -1;
    depth.noiseBitsPerOutputBit += oddOffsets * inputFiles;
    if (oddOffsets == 0) depth.cancelledCaptures += inputFiles;
  }
  return depth;
}

OutputEntropy PredictOutputEntropy(double noiseBitMinEntropy, std::int64_t noiseBitsPerOutputBit) {
  // With x = (2e)^D the bias is x / 2 and the shortfall is log2(1 + x).
  // Worked in logarithms so that a bias far below 2^-1074 still counts.
  const double twiceExcess = std::expm1((1.0 - noiseBitMinEntropy) * std::log(2.0));
  OutputEntropy entropy;
  if (twiceExcess <= 0) {
    entropy.minEntropy = 1;
    entropy.shortfallLog2 = -std::numeric_limits<double>::infinity();
    entropy.full = true;
    return entropy;
  }
  const double log2X = static_cast<double>(noiseBitsPerOutputBit) * std::log2(twiceExcess);
  const double shortfall = std::log1p(std::exp2(log2X)) / std::log(2.0);
  entropy.minEntropy = 1 - shortfall;
  // Below 2^-30, log2(1 + x) is x / ln 2 to far better than a part in 10^9.
  entropy.shortfallLog2 = log2X < -30 ? log2X - std::log2(std::log(2.0)) : std::log2(shortfall);
  entropy.full = entropy.shortfallLog2 <= -32;
  return entropy;
}

std::int32_t LeastInputFilesForFullEntropy(double noiseBitMinEntropy) {
  const double twiceExcess = std::expm1((1.0 - noiseBitMinEntropy) * std::log(2.0));
  if (twiceExcess <= 0) return 1;
  if (twiceExcess >= 1) return 0;
  // The shortfall falls with every added capture: a first guess from the
  // small-bias form, then the exact test settles the last step.
  const double guess = (-32 + std::log2(std::log(2.0))) / std::log2(twiceExcess);
  if (!(guess < static_cast<double>(kMaxCaptures) + 2)) return 0;
  std::int64_t files = std::max<std::int64_t>(1, static_cast<std::int64_t>(std::ceil(guess)) - 2);
  while (files > 1 && PredictOutputEntropy(noiseBitMinEntropy, files - 1).full) --files;
  while (files <= kMaxCaptures && !PredictOutputEntropy(noiseBitMinEntropy, files).full) ++files;
  return files <= kMaxCaptures ? static_cast<std::int32_t>(files) : 0;
}

}  // namespace quorlix
