#include "probe/probe.h"

#include <algorithm>
#include <bit>
#include <iostream>

#include "analysis/health_tests.h"
#include "capture/capture_devices.h"
#include "driver/failure.h"
#include "driver/interruption.h"
#include "probe/probe_devices.h"
#include "probe/probe_findings.h"
#include "probe/probe_noise.h"
#include "probe/probe_report.h"

namespace quorlix {
namespace {

ProbeNoise GatherNoise(const ProbeCommand& command) {
  switch (command.source) {
    case NoiseSource::kPcmFile:
      return ReadPcmFile(command.file);
    case NoiseSource::kBitsFile:
      return ReadBitsFile(command.file);
    case NoiseSource::kRecording:
      break;
  }
  return RecordNoise(command.recordSeconds,
                     command.device != nullptr ? command.device : RequestedCaptureDevice());
}

std::uint64_t CountOnes(const std::vector<std::uint8_t>& bits) {
  std::uint64_t ones = 0;
  for (std::uint8_t byte : bits) ones += static_cast<std::uint64_t>(std::popcount(byte));
  return ones;
}

ProbeFindings Examine(const ProbeCommand& command, const ProbeNoise& noise) {
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
  // The padding of a last part-filled byte is zero, so it adds no ones.
  findings.onesShare =
        static_cast<double>(CountOnes(noise.bits)) / static_cast<double>(noise.bitCount);
  // quorlix tests whole bytes of bits; a last part-filled byte is left out.
  findings.passedHealthTests = PassesHealthTests(noise.bits.data(), noise.bitCount / 8);

  FailIfInterrupted();
  findings.assessedBits = std::min(noise.bitCount, kAssessedBits);
  findings.estimates = EstimateMinEntropy(noise.bits.data(), findings.assessedBits);
  findings.assessed = AssessMinEntropy(findings.estimates);
  findings.leastInputFiles = LeastInputFilesForFullEntropy(findings.assessed.value);
  if (command.hasPlan) {
    findings.planDepth = MeasureRunShape(command.planInputFiles, command.planMidFiles,
                                         OutputSizeOfSeconds(command.planSeconds));
    findings.planEntropy =
          PredictOutputEntropy(findings.assessed.value, findings.planDepth.noiseBitsPerOutputBit);
  }
  return findings;
}

}  // namespace

int RunProbe(int argc, const char* const* argv) {
  try {
    const ProbeCommand command = ReadProbeCommand(argc, argv);
    if (command.help || command.version) {
      std::cout << (command.help ? ProbeHelpText() : ProbeVersionText()) << std::endl;
      return 0;
    }
    if (command.list) {
      PrintCaptureDevices(command.json, std::cout);
      return 0;
    }
    const ProbeFindings findings = Examine(command, GatherNoise(command));
    if (command.json) {
      PrintJsonReport(findings, std::cout);
    } else {
      PrintTextReport(findings, std::cout);
    }
    if (!findings.passedHealthTests && command.json) std::cerr << UnfitLine() << std::endl;
    return findings.passedHealthTests ? 0 : 1;
  } catch (const FailureMessage& failure) {
    std::cerr << failure.text << std::endl;
    return 1;
  }
}

}  // namespace quorlix
