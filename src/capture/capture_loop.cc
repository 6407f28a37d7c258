#include <algorithm>
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

void OpenSoundCapture(const RunPlan& plan, RunResources& resources) {
  SoundCapture& capture = resources.soundCapture;
  capture.object = capture.backend->openDevice();
  if (capture.object == nullptr) Fail("Unable to create DirectSoundCapture8 interface");
  capture.buffer = capture.backend->createBuffer(capture.object, plan.captureBytes);
  if (capture.buffer == nullptr) Fail("Unable to create buffer");
}

void RecordRawFiles(const RunPlan& plan, RunResources& resources) {
  SoundCapture& capture = resources.soundCapture;
  const NoiseFileTexts texts = {"Unable to create raw file - ", "Unable to write raw block - "};
  for (std::int32_t i = 0; i < plan.totalCaptures; ++i) {
    std::cout << '\t' << plan.totalCaptures - i << " \r" << std::flush;
    FailIfInterrupted();
    capture.backend->record(capture.object, capture.buffer);
    CapturedBlock recorded = capture.backend->lock(capture.buffer);

    // A shorter block than asked for leaves the rest of the bits zero; a
    // longer one is never allowed to overrun the bits block.
    Block bits = AllocateZeroedBlock(plan.outputSize);
    ExtractNoiseBits(bits.get(), recorded.bytes, std::min(recorded.length, plan.captureBytes));
    // A dead capture is reported but kept: the XOR with live captures loses
    // nothing, and the output itself is tested before it is written.
    if (!PassesHealthTests(bits.get(), plan.outputSize)) {
      std::cerr << "Warning: capture " << i + 1 << " failed the noise health test" << std::endl;
    }

    MakeTempName(plan.path, "cap", resources.nameBuffer);
    Append(resources.rawList, resources.nameBuffer.c_str());
    WriteNoiseFile(resources.rawFileSlot, resources.nameBuffer.c_str(), bits.get(), plan.outputSize,
                   texts);
    bits.reset();
    capture.backend->unlock(capture.buffer);
  }
}

void ReleaseSoundCapture(SoundCapture& capture) {
  if (capture.buffer != nullptr) capture.backend->releaseBuffer(capture.buffer);
  capture.buffer = nullptr;
  if (capture.object != nullptr) capture.backend->releaseObject(capture.object);
  capture.object = nullptr;
}

}  // namespace quorlix
