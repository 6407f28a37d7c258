#include "driver/run_resources.h"

#include "platform/files.h"

namespace quorlix {
namespace {

void CloseIfOpen(std::FILE*& slot) {
  if (slot != nullptr) std::fclose(slot);
  slot = nullptr;
}

}  // namespace

void TearDown(RunResources& resources) {
  CloseIfOpen(resources.rawFileSlot);
  CloseIfOpen(resources.inputSlot);
  CloseIfOpen(resources.midSlot);
  CloseIfOpen(resources.outputSlot);
  DeleteListedFiles(resources.rawList);
  DeleteListedFiles(resources.midList);
  if (!resources.unfinishedOutput.empty()) {
    DeleteNamedFile(resources.unfinishedOutput.c_str());
    resources.unfinishedOutput.clear();
  }
  ReleaseSoundCapture(resources.soundCapture);
}

}  // namespace quorlix
