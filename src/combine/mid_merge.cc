#include <iostream>

#include "analysis/health_tests.h"
#include "combine/merge.h"
#include "combine/xor_kernels.h"
#include "driver/console_text.h"
#include "driver/interruption.h"
#include "driver/noise_file.h"
#include "driver/run_plan.h"
#include "driver/run_resources.h"

namespace quorlix {

Block MergeMidFiles(const RunPlan& plan, RunResources& resources, Block runningBlock) {
  std::cout << "Merging mid files..." << std::endl;
  const NoiseFileTexts midTexts = {"Unable to open mid file - ", "Unable to read mid file - "};
  Block resultBlock = AllocateZeroedBlock(plan.outputSize);
  Block readBlock = std::move(runningBlock);
  for (const MadeFile& mid : resources.midList.files) {
    FailIfInterrupted();
    ReadNoiseFile(resources.folder, mid, resources.midSlot, readBlock.get(), plan.outputSize,
                  midTexts);
    RotateXorInto(resultBlock.get(), readBlock.get(), plan.outputSize);
  }
  readBlock.reset();
  // A silent or stuck input must never come out as a file of "random" bytes.
  if (!PassesOutputHealthTests(resultBlock.get(), plan.outputSize)) {
    Fail("Output failed the noise health test");
  }

  FailIfInterrupted();
  const char* writeFailure = "Unable to write output file - ";
  const MadeFile& output =
      WriteNewNoiseFile(resources.folder, "dat", resources.unfinishedOutput, resources.outputSlot,
                        resultBlock.get(), plan.outputSize, writeFailure, /*output=*/true);
  // Without the folder synced too, a power cut could lose the name of a file
  // whose bytes are safe.
  if (!SyncRunFolder(resources.folder)) {
    FailIfInterrupted();
    Fail(ComposeMessage(writeFailure, MadeFileName(resources.folder, output).c_str()));
  }
  // The last moment a signal can still end the run: once the name is
  // printed, the file is the user's. Until then a fatal signal deletes it, so
  // no complete output is ever left whose name the user has not seen.
  FailIfInterrupted();
  std::cout << '\t' << MadeFileName(resources.folder, output) << std::endl;
  // Should the file not be able to stay (on Windows it is marked for deletion
  // until now), the run fails and deletes it rather than end well.
  if (!KeepMadeFile(output)) {
    Fail(ComposeMessage(writeFailure, MadeFileName(resources.folder, output).c_str()));
  }
  resources.unfinishedOutput.files.clear();
  return resultBlock;
}

}  // namespace quorlix
