#include <iostream>
#include <string>

#include "analysis/health_tests.h"
#include "capture/live_line.h"
#include "capture/noise_bits.h"
#include "capture/sound_capture.h"
#include "driver/block.h"
#include "driver/console_text.h"
#include "driver/failure.h"
#include "driver/interruption.h"
#include "driver/noise_file.h"
#include "driver/run_plan.h"
#include "driver/run_resources.h"
#include "platform/terminal.h"

namespace quorlix {
namespace {

struct CaptureSink {
  NoiseBitsPacker packer;
  LiveLine* line;
};

void TakePiece(void* context, const std::uint8_t* samples, std::size_t bytes) {
  CaptureSink& sink = *static_cast<CaptureSink*>(context);
  PackNoiseBits(sink.packer, samples, bytes);
  AddLivePiece(*sink.line, samples, bytes);
}

// However the loop ends, the next text starts on a clean line.
struct LiveLineCleared {
  LiveLine& line;
  ~LiveLineCleared() { ClearLiveLine(line); }
};

// All files of a run exist at once; a run that cannot fit them ends now,
// not after hours of captures. A file system that does not tell its free
// space leaves it to the writes.
void FailIfTheFilesCannotFit(const RunPlan& plan, RunFolder& folder) {
  std::uint64_t freeBytes = 0;
  if (!FolderFreeBytes(folder, freeBytes)) return;
  const std::uint64_t needed = RunFileBytes(plan);
  if (needed <= freeBytes) return;
  std::string prefix = "Not enough free space for ";
  prefix += FormatGrouped(needed);
  prefix += " bytes (";
  prefix += FormatGrouped(freeBytes);
  prefix += " free) - ";
  Fail(ComposeMessage(prefix.c_str(), folder.path.c_str()));
}

}  // namespace

void RecordRawFiles(const RunPlan& plan, RunResources& resources) {
  LiveLine line;
  line.terminal = resources.terminal;
  line.clock = MonotonicMilliseconds;
  line.captureBytes = plan.captureBytes;
  LiveLineCleared cleared{line};
  for (std::int32_t i = 0; i < plan.totalCaptures; ++i) {
    std::cout << '\t' << plan.totalCaptures - i << " \r" << std::flush;
    FailIfInterrupted();

    // Each raw file is made before its capture is recorded: a folder that
    // cannot take a file costs no capture.
    const MadeFile raw =
        MakeListedFile(resources.folder, "cap", resources.rawList, resources.rawFileSlot);
    if (i == 0) FailIfTheFilesCannotFit(plan, resources.folder);

    // A capture that delivers less than asked leaves the rest of its bits
    // zero, never bits of an earlier capture: two equal captures would
    // cancel in the XOR.
    Block bits = AllocateZeroedBlock(plan.outputSize);
    CaptureSink sink = {{bits.get()}, &line};
    StartLiveCapture(line, plan.totalCaptures - i);
    RecordCapture(resources.soundCapture, plan.captureBytes, TakePiece, &sink);
    FinishNoiseBits(sink.packer);
    FinishLiveCapture(line);
    // A dead capture is reported but kept: the XOR with live captures loses
    // nothing, and the output itself is tested before it is written.
    if (!PassesHealthTests(bits.get(), plan.outputSize)) {
      ClearLiveLine(line);
      std::cerr << "Warning: capture " << i + 1 << " failed the noise health test" << std::endl;
    }

    WriteMadeNoiseFile(resources.folder, raw, resources.rawFileSlot, bits.get(), plan.outputSize,
                       "Unable to write raw block - ");
  }
}

}  // namespace quorlix
