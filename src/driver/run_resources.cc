#include "driver/run_resources.h"

namespace quorlix {
namespace {

void CloseIfOpen(OpenFile& slot) {
  if (slot.handle != -1) CloseFile(slot);
}

}  // namespace

void TearDown(RunResources& resources) {
  CloseIfOpen(resources.rawFileSlot);
  CloseIfOpen(resources.inputSlot);
  CloseIfOpen(resources.midSlot);
  CloseIfOpen(resources.outputSlot);
  DeleteListedFiles(resources.folder, resources.rawList);
  DeleteListedFiles(resources.folder, resources.midList);
  DeleteListedFiles(resources.folder, resources.unfinishedOutput);
  CloseRunFolder(resources.folder);
  ReleaseSoundCapture(resources.soundCapture);
}

}  // namespace quorlix
