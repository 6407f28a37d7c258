#include "probe/run_shape.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
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

std::int32_t CancellingMidFiles(std::int32_t seconds) {
  // Every offset comes round to an even count of arrivals once a capture is
  // in 2 x 8 / gcd(step, 8) mid files, step 0 being the one that repeats
  // every offset at once.
  const std::uint32_t step = OutputSizeOfSeconds(seconds) % 8;
  if (step == 0) return 2;
  return static_cast<std::int32_t>(16 / (step & (0u - step)));
}

bool CheapestRunShape(std::int64_t noiseBitsPerOutputBit, std::int32_t wantedSeconds,
                      RunShape& shape) {
  struct Candidate {
    std::int64_t captures, depth, distance;
    std::int32_t inputFiles, midFiles, seconds;
  };
  bool found = false;
  Candidate best{};
  const auto better = [](const Candidate& a, const Candidate& b) {
    if (a.captures != b.captures) return a.captures < b.captures;
    if (a.depth != b.depth) return a.depth < b.depth;
    if (a.distance != b.distance) return a.distance < b.distance;
    if (a.seconds != b.seconds) return a.seconds > b.seconds;
    return a.midFiles < b.midFiles;
  };
  for (std::int32_t remainder = 0; remainder < 8; ++remainder) {
    // The seconds nearest the wanted ones that leave this remainder.
    const std::int32_t below = wantedSeconds - (((wantedSeconds - remainder) % 8) + 8) % 8;
    std::int32_t seconds = below + 8 - wantedSeconds <= wantedSeconds - below ? below + 8 : below;
    if (seconds > kMaxSeconds) seconds -= 8;
    if (seconds < 1) seconds += 8;
    // With inputFiles 1, each added group adds to D the offsets that an odd
    // number of the groups so far reach; the rotations of k groups in a row
    // differ from those of any other k in a row by one shift, so that count
    // is the same whichever group comes first (MeasureRunShape walks from
    // the last).
    const std::uint32_t step = OutputSizeOfSeconds(seconds) % 8;
    std::array<std::int64_t, 8> arrivals{};
    std::int64_t oddOffsets = 0, depthPerInputFile = 0;
    // Captures never fall below midFiles, so past the best so far nothing
    // can win.
    for (std::int64_t midFiles = 1; midFiles <= kMaxCaptures && (!found || midFiles <= best.captures);
         ++midFiles) {
      const auto rotation =
            static_cast<std::size_t>((static_cast<std::uint64_t>(midFiles - 1) * step) % 8);
      oddOffsets += (++arrivals[rotation] % 2 == 1) ? 1 : -1;
      depthPerInputFile += oddOffsets;
      const std::int64_t inputFiles =
            (noiseBitsPerOutputBit + depthPerInputFile - 1) / depthPerInputFile;
      if (inputFiles * midFiles > kMaxCaptures) continue;
      const Candidate candidate{inputFiles * midFiles, inputFiles * depthPerInputFile,
                                std::abs(seconds - wantedSeconds),
                                static_cast<std::int32_t>(inputFiles),
                                static_cast<std::int32_t>(midFiles), seconds};
      if (!found || better(candidate, best)) best = candidate;
      found = true;
    }
  }
  if (!found) return false;
  shape.inputFiles = best.inputFiles;
  shape.midFiles = best.midFiles;
  shape.seconds = best.seconds;
  shape.depth = MeasureRunShape(best.inputFiles, best.midFiles, OutputSizeOfSeconds(best.seconds));
  return true;
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
