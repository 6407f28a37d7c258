// Everything the probe found out about one input, gathered before a word of
// the report is written, so that the text and the JSON forms say the same.
#ifndef QUORLIX_PROBE_PROBE_FINDINGS_H_
#define QUORLIX_PROBE_PROBE_FINDINGS_H_

#include <array>
#include <cstdint>
#include <string>

#include "analysis/min_entropy.h"
#include "probe/probe_command.h"
#include "probe/run_shape.h"
#include "probe/sample_stats.h"

namespace quorlix {

// The assessment looks at no more than this many noise bits, and warns
// when it has fewer.
inline constexpr std::uint64_t kAssessedBits = 1000000;

struct ProbeFindings {
  ProbeCommand command;
  // For a recording: whether no device was named, and the device as the
  // sound system names it.
  bool defaultDevice = false;
  std::string deviceName;
  std::string deviceDescription;
  bool hasSamples = false;
  std::array<ChannelStats, 2> channels{};
  std::uint64_t noiseBits = 0;
  double onesShare = 0;
  bool passedHealthTests = false;
  std::uint64_t assessedBits = 0;
  MinEntropyEstimates estimates{};
  AssessedMinEntropy assessed{};
  // With midFiles 1; 0 when no run within quorlix's limits reaches it.
  std::int32_t leastInputFiles = 0;
  RunShapeDepth planDepth;
  OutputEntropy planEntropy;
};

}  // namespace quorlix

#endif  // QUORLIX_PROBE_PROBE_FINDINGS_H_
