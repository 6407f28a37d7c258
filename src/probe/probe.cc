#include "probe/probe.h"

#include <iostream>
#include <new>
#include <sstream>

#include "capture/capture_devices.h"
#include "driver/failure.h"
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

// The whole report is made before any of it is printed, so that a failure
// on the way leaves no part of one behind.
int Probe(int argc, const char* const* argv) {
  const ProbeCommand command = ReadProbeCommand(argc, argv);
  if (command.help || command.version) {
    std::cout << (command.help ? ProbeHelpText() : ProbeVersionText()) << std::endl;
    return 0;
  }
  if (command.list) {
    PrintCaptureDevices(command.json, std::cout);
    return 0;
  }
  const ProbeFindings findings = ExamineNoise(command, GatherNoise(command));
  std::ostringstream report;
  if (command.json) {
    PrintJsonReport(findings, report);
  } else {
    PrintTextReport(findings, report);
  }
  std::cout << report.str() << std::flush;
  // A script reads the JSON alone; the reason it is unfit goes to the user.
  if (findings.verdict != Verdict::kFit && command.json) {
    std::cerr << VerdictLine(findings) << std::endl;
  }
  return findings.verdict == Verdict::kFit ? 0 : 1;
}

}  // namespace

int RunProbe(int argc, const char* const* argv) {
  try {
    return Probe(argc, argv);
  } catch (const FailureMessage& failure) {
    std::cerr << failure.text << std::endl;
  } catch (const std::bad_alloc&) {
    std::cerr << "Unable to allocate memory" << std::endl;
  } catch (...) {
    // Whatever else a library throws ends with a text too, never an abort.
    std::cerr << "Unexpected failure" << std::endl;
  }
  return 1;
}

}  // namespace quorlix
