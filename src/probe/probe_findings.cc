#include "probe/probe_findings.h"

#include <algorithm>

#include "driver/failure.h"
#include "driver/interruption.h"

namespace quorlix {
namespace {

Verdict Judge(const ProbeFindings& findings) {
  if (!findings.passedHealthTests) return Verdict::kFailedHealthTests;
  if (findings.assessedBits < kAssessedBits) return Verdict::kTooFewBits;
  if (findings.leastInputFiles == 0) return Verdict::kTooLittleEntropy;
  if (findings.command.hasPlan && !findings.planEntropy.full) return Verdict::kPlanNotFullEntropy;
  return Verdict::kFit;
}

}  // namespace

ProbeFindings ExamineNoise(const ProbeCommand& command, const ProbeNoise& noise) {
  ProbeFindings findings;
  findings.command = command;
  findings.defaultDevice = noise.defaultDevice;
  findings.deviceName = noise.deviceName;
  findings.deviceDescription = noise.deviceDescription;
  findings.hasSamples = noise.fromSamples;
  for (std::size_t channel = 0; channel < 2; ++channel) {
    findings.channels[channel] = SummarizeChannel(noise.sampleSums.channels[channel]);
  }
  findings.noiseBits = noise.bitCount;
  if (noise.bitCount == 0) Fail("No noise bits to assess");
  findings.onesShare = static_cast<double>(noise.ones) / static_cast<double>(noise.bitCount);
  findings.passedHealthTests = !HealthTestsFailed(noise.health);

  FailIfInterrupted();
  findings.assessedBits = std::min(noise.bitCount, kAssessedBits);
  findings.estimates = EstimateMinEntropy(noise.assessed.data(), findings.assessedBits);
  findings.assessed = AssessMinEntropy(findings.estimates);
  findings.leastInputFiles = LeastInputFilesForFullEntropy(findings.assessed.value);
  const std::int32_t wantedSeconds = command.hasPlan ? command.planSeconds : 10;
  if (findings.leastInputFiles > 0) {
    CheapestRunShape(findings.leastInputFiles, wantedSeconds, findings.cheapest);
  }
  if (command.hasPlan) {
    findings.planDepth = MeasureRunShape(command.planInputFiles, command.planMidFiles,
                                         OutputSizeOfSeconds(command.planSeconds));
    findings.planEntropy =
          PredictOutputEntropy(findings.assessed.value, findings.planDepth.noiseBitsPerOutputBit);
  }
  findings.verdict = Judge(findings);
  FailIfInterrupted();
  return findings;
}

}  // namespace quorlix
