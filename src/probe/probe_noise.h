// The noise the probe judges, gathered from whichever source the command
// names: the statistics of the samples when there are samples, and the noise
// bits exactly as quorlix keeps them (bit 0 XOR bit 8 of every sample, eight
// to a byte, the first in the least significant bit). Samples come in as
// whole 16-bit stereo frames, in pieces of any size. However long the input,
// only the bits to assess are kept; the rest of it leaves its sums, its
// count of ones and the health tests' state, so memory stays bounded.
#ifndef QUORLIX_PROBE_PROBE_NOISE_H_
#define QUORLIX_PROBE_PROBE_NOISE_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/health_tests.h"
#include "probe/sample_stats.h"

namespace quorlix {

// The assessment looks at no more than this many noise bits (a multiple of
// 8), and the probe calls an input fit only when it had this many.
inline constexpr std::uint64_t kAssessedBits = 1000000;

struct ProbeNoise {
  bool fromSamples = false;
  // For a recording: whether no device was named, and the device it came
  // from as the sound system names it.
  bool defaultDevice = false;
  std::string deviceName;
  std::string deviceDescription;
  SampleSums sampleSums;
  std::vector<std::uint8_t> assessed;  // the first bits, up to kAssessedBits
  std::uint64_t bitCount = 0;
  std::uint64_t ones = 0;
  // Over whole bytes of bits, as quorlix tests its captures.
  HealthTestState health;
  // Samples that do not yet fill a byte of noise bits.
  std::array<std::uint8_t, 16> pendingSamples{};
  std::size_t pendingBytes = 0;
  std::vector<std::uint8_t> scratch;  // a piece's bits on their way in
};

// frames holds whole frames; the sink for a recording.
void AddFrames(ProbeNoise& noise, const std::uint8_t* frames, std::size_t bytes);

// Whole bytes of noise bits.
void AddBitBytes(ProbeNoise& noise, const std::uint8_t* bits, std::size_t bytes);

// Packs the last samples that fill only part of a byte; after this,
// bitCount is final.
void FinishFrames(ProbeNoise& noise);

// A raw 16-bit little-endian stereo PCM file; a trailing part of a frame is
// left out. Throws "Unable to open input file - " or "Unable to read input
// file - " and the name, or "Interrupted".
ProbeNoise ReadPcmFile(const char* name);

// A file of noise bits as quorlix's raw files hold them. Same failures.
ProbeNoise ReadBitsFile(const char* name);

// seconds of capture from the device called deviceName (empty: the default
// one), through quorlix's own capture code; throws its failure texts, with
// the sound system's reason when the device cannot be opened.
ProbeNoise RecordNoise(std::int32_t seconds, const std::string& deviceName);

}  // namespace quorlix

#endif  // QUORLIX_PROBE_PROBE_NOISE_H_
