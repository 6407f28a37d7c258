#include <iostream>

#include "analysis/health_tests.h"
#include "capture/noise_bits.h"
#include "capture/sound_capture.h"
#include "driver/block.h"
#include "driver/failure.h"
#include "driver/interruption.h"
#include "driver/noise_file.h"
#include "driver/run_plan.h"
#include "driver/run_resources.h"

namespace quorlix {
namespace {

void PackPiece(void* context, const std::uint8_t* samples, std::size_t bytes) {
  PackNoiseBits(*static_cast<NoiseBitsPacker*>(context), samples, bytes);
}

}  // namespace

void RecordRawFiles(const RunPlan& plan, RunResources& resources) {
  for (std::int32_t i = 0; i < plan.totalCaptures; ++i) {
    std::cout << '\t' << plan.totalCaptures - i << " \r" << std::flush;
    FailIfInterrupted();

    // A capture that delivers less than asked leaves the rest of its bits
    // zero, never bits of an earlier capture: two equal captures would
    // cancel in the XOR.
    Block bits = AllocateZeroedBlock(plan.outputSize);
    NoiseBitsPacker packer = {bits.get()};
    RecordCapture(resources.soundCapture, plan.captureBytes, PackPiece, &packer);
    FinishNoiseBits(packer);
    // A dead capture is reported but kept: the XOR with live captures loses
    // nothing, and the output itself is tested before it is written.
    if (!PassesHealthTests(bits.get(), plan.outputSize)) {
      std::cerr << "Warning: capture " << i + 1 << " failed the noise health test" << std::endl;
    }

    WriteNewNoiseFile(resources.folder, "cap", resources.rawList, resources.rawFileSlot, bits.get(),
                      plan.outputSize, "Unable to write raw block - ");
  }
}

}  // namespace quorlix
