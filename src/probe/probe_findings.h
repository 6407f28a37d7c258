// Everything the probe found out about one input, gathered before a word of
// the report is written, so that the text and the JSON forms say the same,
// and the verdict drawn from it.
#ifndef QUORLIX_PROBE_PROBE_FINDINGS_H_
#define QUORLIX_PROBE_PROBE_FINDINGS_H_

#include <array>
#include <cstdint>
#include <string>

#include "analysis/min_entropy.h"
#include "probe/probe_command.h"
#include "probe/probe_noise.h"
#include "probe/run_shape.h"
#include "probe/sample_stats.h"

namespace quorlix {

// Fit to use, or the first of the conditions for it that failed, in the
// order they are checked.
enum class Verdict {
  kFit,
  kFailedHealthTests,
  kTooFewBits,          // fewer than kAssessedBits assessed
  kTooLittleEntropy,    // no run within quorlix's limits reaches full entropy
  kPlanNotFullEntropy,  // the --plan run does not
};

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
  // With midFiles 1 (where D is inputFiles); 0 when no run within
  // kMostNoiseBitsPerOutputBit reaches it, and then there is no cheapest run.
  std::int32_t leastInputFiles = 0;
  RunShape cheapest;
  RunShapeDepth planDepth;
  OutputEntropy planEntropy;
  Verdict verdict = Verdict::kFit;
};

// Works out the findings on the gathered noise. Throws "No noise bits to
// assess" for none, and "Interrupted".
ProbeFindings ExamineNoise(const ProbeCommand& command, const ProbeNoise& noise);

}  // namespace quorlix

#endif  // QUORLIX_PROBE_PROBE_FINDINGS_H_
