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
  const NoiseFileTexts midTexts = {"Unable to open mid file - ", "Unable to write mid file - "};
  Block readBlock = AllocateBlock(plan.outputSize);
  Block runningBlock = AllocateZeroedBlock(plan.outputSize);
  std::int32_t groupCount = 0;
  for (const std::string& rawName : resources.rawList.names) {
    FailIfInterrupted();
    ReadNoiseFile(resources.inputSlot, rawName.c_str(), readBlock.get(), plan.outputSize, rawTexts);
    XorInto(runningBlock.get(), readBlock.get(), plan.outputSize);
    if (++groupCount == plan.inputFiles) {
      MakeTempName(plan.path, "mid", resources.nameBuffer);
      Append(resources.midList, resources.nameBuffer.c_str());
      WriteNoiseFile(resources.midSlot, resources.nameBuffer.c_str(), runningBlock.get(),
                     plan.outputSize, midTexts);
      groupCount = 0;
    }
  }
  return runningBlock;
}

}  // namespace quorlix
