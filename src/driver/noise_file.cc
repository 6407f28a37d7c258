#include "driver/noise_file.h"

#include "driver/console_text.h"
#include "driver/failure.h"
#include "driver/interruption.h"

namespace quorlix {
namespace {

// A transfer that a signal cut short is the user's interrupt, not a fault
// of the file.
[[noreturn]] void FailTransfer(const char* prefix, const RunFolder& folder, const MadeFile& made) {
  FailIfInterrupted();
  Fail(ComposeMessage(prefix, MadeFileName(folder, made).c_str()));
}

}  // namespace

void WriteMadeNoiseFile(RunFolder& folder, const MadeFile& made, OpenFile& slot,
                        const std::uint8_t* data, std::uint32_t size, const char* writeFailure,
                        bool durable) {
  if (!WriteWholeFile(slot, data, size)) FailTransfer(writeFailure, folder, made);
  if (durable && !SyncFileToDisk(slot)) FailTransfer(writeFailure, folder, made);
  if (!CloseFile(slot)) FailTransfer(writeFailure, folder, made);
}

const MadeFile& WriteNewNoiseFile(RunFolder& folder, const char* prefix, TempFileList& list,
                                  OpenFile& slot, const std::uint8_t* data, std::uint32_t size,
                                  const char* writeFailure, bool output) {
  const MadeFile& made = MakeListedFile(folder, prefix, list, slot, /*mayKeep=*/output);
  WriteMadeNoiseFile(folder, made, slot, data, size, writeFailure, /*durable=*/output);
  return made;
}

void ReadNoiseFile(RunFolder& folder, const MadeFile& made, OpenFile& slot, std::uint8_t* data,
                   std::uint32_t size, const NoiseFileTexts& texts) {
  if (!OpenMadeFile(folder, made, slot)) FailTransfer(texts.openFailure, folder, made);
  if (!ReadWholeFile(slot, data, size)) FailTransfer(texts.readFailure, folder, made);
  CloseFile(slot);
}

}  // namespace quorlix
