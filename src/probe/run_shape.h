// What a run of quorlix makes of noise bits of a measured min-entropy. Every
// output bit is the XOR of noise bits: stage one puts capture c into every
// mid file from number c / inputFiles on, and stage two rotates byte b of
// mid file m by (m x outputSize + b) mod 8 before folding it in, so a noise
// bit reaches an output bit once for every mid file whose rotation brings it
// there, and an even number of arrivals cancels. The rotations of successive
// mid files step by seconds mod 8, so a capture held by k mid files cancels
// out entirely when k is a multiple of 2 (seconds mod 8 = 0), 4 (4), 8 (2 or
// 6) or 16 (odd seconds). The prediction assumes the noise bits are
// independent, each with the assessed min-entropy.
#ifndef QUORLIX_PROBE_RUN_SHAPE_H_
#define QUORLIX_PROBE_RUN_SHAPE_H_

#include <cstdint>

namespace quorlix {

// The size of a run's captures in noise bits, which is its output size:
// one bit for each 16-bit sample, seconds x 11025 bytes.
std::uint32_t OutputSizeOfSeconds(std::int32_t seconds);

struct RunShapeDepth {
  // Noise bits that survive cancelling in the worst output bit (D).
  std::int64_t noiseBitsPerOutputBit = 0;
  // Captures whose every arrival is cancelled by another.
  std::int64_t cancelledCaptures = 0;
};

RunShapeDepth MeasureRunShape(std::int32_t inputFiles, std::int32_t midFiles,
                              std::uint32_t outputSize);

struct OutputEntropy {
  // -log2(1/2 + 2^(D-1) e^D) with e = 2^-h - 1/2: the piling-up lemma.
  double minEntropy = 0;
  // log2(1 - minEntropy), kept apart because minEntropy rounds to 1 long
  // before the shortfall stops mattering. -infinity when there is none.
  double shortfallLog2 = 0;
  // At least 1 - 2^-32 per output bit.
  bool full = false;
};

OutputEntropy PredictOutputEntropy(double noiseBitMinEntropy, std::int64_t noiseBitsPerOutputBit);

// The least inputFiles that gives full entropy with midFiles 1 (where D is
// inputFiles), or 0 when no run within quorlix's 65535 captures does.
std::int32_t LeastInputFilesForFullEntropy(double noiseBitMinEntropy);

// The most noise bits per output bit the probe builds a run on: what 65535
// captures give with midFiles 1. Runs with more mid files could pile up
// more, but an input that needs more has so little min-entropy (below about
// 0.00025 bit per bit) that its estimate rests on a few hundred surprises in
// the assessed bits: too few to trust a run to.
inline constexpr std::int64_t kMostNoiseBitsPerOutputBit = 65535;

// 2, 4, 8 or 16: a capture held by a multiple of this many mid files
// cancels out in a run of these seconds.
std::int32_t CancellingMidFiles(std::int32_t seconds);

struct RunShape {
  std::int32_t inputFiles = 0;
  std::int32_t midFiles = 0;
  std::int32_t seconds = 0;
  RunShapeDepth depth;
};

// The run with the fewest captures whose D is at least noiseBitsPerOutputBit,
// then the least D, then the seconds nearest wantedSeconds (the larger on a
// tie), then the fewest mid files. False when no run within quorlix's limits
// has that D.
bool CheapestRunShape(std::int64_t noiseBitsPerOutputBit, std::int32_t wantedSeconds,
                      RunShape& shape);

}  // namespace quorlix

#endif  // QUORLIX_PROBE_RUN_SHAPE_H_
