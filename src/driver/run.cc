#include "driver/run.h"

#include <iostream>
#include <new>

#include "analysis/byte_stats.h"
#include "capture/capture_devices.h"
#include "capture/sound_capture.h"
#include "combine/merge.h"
#include "driver/console_text.h"
#include "driver/failure.h"
#include "driver/run_plan.h"
#include "driver/run_resources.h"

namespace quorlix {
namespace {

void RunPhases(int argc, const char* const* argv, RunResources& resources) {
  const RunPlan plan = ReadRunPlan(argc, argv);
  resources.folder.path = plan.path;
  if (plan.invalidArgument != nullptr) {
    std::cerr << "Invalid argument - " << plan.invalidArgument << std::endl;
  }
  OpenSoundCapture(resources.soundCapture, plan.captureBytes, RequestedCaptureDevice(),
                   OpenFailureText::kFixed);

  std::cout << "\tFiles to record = " << plan.totalCaptures << std::endl;
  std::cout << "\tEstimated time = " << EstimatedMinutes(plan) << " minute(s)" << std::endl;
  std::cout << "\tOutput file size = " << FormatGrouped(plan.outputSize) << " bytes" << std::endl;

  std::cout << "Capturing..." << std::endl;
  RecordRawFiles(plan, resources);
  Block runningBlock = MergeInputFiles(plan, resources);
  Block resultBlock = MergeMidFiles(plan, resources, std::move(runningBlock));

  std::cout << "Analysis..." << std::endl;
  AnalyzeBytes(resultBlock.get(), plan.outputSize, plan.listing);
}

}  // namespace

int RunQuorlix(int argc, const char* const* argv, const CaptureBackend& backend,
               std::ostream* terminal) {
  RunResources resources;
  resources.soundCapture.backend = &backend;
  resources.terminal = terminal;
  int status = 0;
  try {
    RunPhases(argc, argv, resources);
  } catch (const FailureMessage& failure) {
    std::cerr << failure.text << std::endl;
    status = 1;
  } catch (const std::bad_alloc&) {
    // A list or a name that cannot grow: the same end as a block that cannot
    // be had.
    std::cerr << "Unable to allocate memory" << std::endl;
    status = 1;
  } catch (...) {
    // Whatever else a library throws still ends the run through the report
    // and the teardown, never around them.
    std::cerr << "Unexpected failure" << std::endl;
    status = 1;
  }
  if (!TearDown(resources)) status = 1;
  return status;
}

}  // namespace quorlix
