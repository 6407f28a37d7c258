#include "driver/run_resources.h"

namespace quorlix {
namespace {

void CloseIfOpen(OpenFile& slot) {
  if (slot.handle != -1) CloseFile(slot);
}

}  // namespace

bool TearDown(RunResources& resources) {
  CloseIfOpen(resources.rawFileSlot);
  CloseIfOpen(resources.inputSlot);
  CloseIfOpen(resources.midSlot);
  CloseIfOpen(resources.outputSlot);
  bool allGone = DeleteListedFiles(resources.folder, resources.rawList);
  allGone = DeleteListedFiles(resources.folder, resources.midList) && allGone;
  allGone = DeleteListedFiles(resources.folder, resources.unfinishedOutput) && allGone;
  CloseRunFolder(resources.folder);
  ReleaseSoundCapture(resources.soundCapture);
  return allGone;
}

}  // namespace quorlix
