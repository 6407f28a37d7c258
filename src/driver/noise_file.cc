#include "driver/noise_file.h"

#include "driver/console_text.h"
#include "driver/failure.h"
#include "platform/files.h"

namespace quorlix {
namespace {

// Closes the slot's file and empties the slot; the stream is gone whether or
// not the close succeeded.
bool CloseSlot(std::FILE*& slot) {
  std::FILE* file = slot;
  slot = nullptr;
  return std::fclose(file) == 0;
}

}  // namespace

void WriteNoiseFile(std::FILE*& slot, const char* name, const std::uint8_t* data,
                    std::uint32_t size, const NoiseFileTexts& texts, bool durable) {
  slot = std::fopen(name, "wb");
  if (slot == nullptr) Fail(ComposeMessage(texts.openFailure, name));
  if (std::fwrite(data, 1, size, slot) != size) Fail(ComposeMessage(texts.transferFailure, name));
  if (durable && !SyncFileToDisk(slot)) Fail(ComposeMessage(texts.transferFailure, name));
  if (!CloseSlot(slot)) Fail(ComposeMessage(texts.transferFailure, name));
}

void ReadNoiseFile(std::FILE*& slot, const char* name, std::uint8_t* data, std::uint32_t size,
                   const NoiseFileTexts& texts) {
  slot = std::fopen(name, "rb");
  if (slot == nullptr) Fail(ComposeMessage(texts.openFailure, name));
  if (std::fread(data, 1, size, slot) != size) Fail(ComposeMessage(texts.transferFailure, name));
  CloseSlot(slot);
}

}  // namespace quorlix
