#include <iostream>

#include "analysis/health_tests.h"
#include "combine/merge.h"
#include "combine/xor_kernels.h"
#include "driver/interruption.h"
#include "driver/noise_file.h"
#include "driver/run_plan.h"
#include "driver/run_resources.h"

namespace quorlix {

Block MergeMidFiles(const RunPlan& plan, RunResources& resources, Block runningBlock) {
  std::cout << "Merging mid files..." << std::endl;
  const NoiseFileTexts midTexts = {"Unable to open mid file - ", "Unable to read mid file - "};
  const NoiseFileTexts outputTexts = {"Unable to open output file - ",
                                      "Unable to write output file - "};
  Block resultBlock = AllocateZeroedBlock(plan.outputSize);
  Block readBlock = std::move(runningBlock);
  for (const std::string& midName : resources.midList.names) {
    FailIfInterrupted();
    ReadNoiseFile(resources.midSlot, midName.c_str(), readBlock.get(), plan.outputSize, midTexts);
    RotateXorInto(resultBlock.get(), readBlock.get(), plan.outputSize);
  }
  readBlock.reset();
  // A silent or stuck input must never come out as a file of "random" bytes.
  if (!PassesHealthTests(resultBlock.get(), plan.outputSize)) {
    Fail("Output failed the noise health test");
  }

  FailIfInterrupted();
  MakeTempName(plan.path, "dat", resources.nameBuffer);
  resources.unfinishedOutput = resources.nameBuffer;
  WriteNoiseFile(resources.outputSlot, resources.nameBuffer.c_str(), resultBlock.get(),
                 plan.outputSize, outputTexts, /*durable=*/true);
  resources.unfinishedOutput.clear();
  std::cout << '\t' << resources.nameBuffer << std::endl;
  return resultBlock;
}

}  // namespace quorlix
