#include <iostream>

#include "combine/merge.h"
#include "combine/xor_kernels.h"
#include "driver/interruption.h"
#include "driver/noise_file.h"
#include "driver/run_plan.h"
#include "driver/run_resources.h"

namespace quorlix {

Block MergeInputFiles(const RunPlan& plan, RunResources& resources) {
  std::cout << "Merging input files..." << std::endl;
  const NoiseFileTexts rawTexts = {"Unable to open input file - ", "Unable to read input file - "};
  Block readBlock = AllocateBlock(plan.outputSize);
  Block runningBlock = AllocateZeroedBlock(plan.outputSize);
  std::int32_t groupCount = 0;
  for (const MadeFile& raw : resources.rawList.files) {
    FailIfInterrupted();
    ReadNoiseFile(resources.folder, raw, resources.inputSlot, readBlock.get(), plan.outputSize,
                  rawTexts);
    XorInto(runningBlock.get(), readBlock.get(), plan.outputSize);
    if (++groupCount == plan.inputFiles) {
      WriteNewNoiseFile(resources.folder, "mid", resources.midList, resources.midSlot,
                        runningBlock.get(), plan.outputSize, "Unable to write mid file - ");
      groupCount = 0;
    }
  }
  return runningBlock;
}

}  // namespace quorlix
