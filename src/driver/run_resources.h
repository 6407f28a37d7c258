// Everything a run holds open or owns: the two lists of intermediate files,
// the name buffer, the sound capture and the four open-file slots. The run
// driver creates it empty, lends it to every phase, and empties it in one
// teardown whether the run ended well or not.
#ifndef QUORLIX_DRIVER_RUN_RESOURCES_H_
#define QUORLIX_DRIVER_RUN_RESOURCES_H_

#include <cstdio>
#include <string>

#include "capture/sound_capture.h"
#include "driver/temp_file_list.h"

namespace quorlix {

struct RunResources {
  TempFileList rawList;
  TempFileList midList;
  std::string nameBuffer;
  SoundCapture soundCapture;
  std::FILE* rawFileSlot = nullptr;
  std::FILE* inputSlot = nullptr;
  std::FILE* midSlot = nullptr;
  std::FILE* outputSlot = nullptr;
  // The output file while it is being written. A run that fails before the
  // file is complete and on disk deletes it, so a truncated file is never
  // taken for good output.
  std::string unfinishedOutput;
};

// Closes open slots, deletes the raw files, the mid files and any unfinished
// output, then releases the sound capture. Safe to call more than once.
void TearDown(RunResources& resources);

}  // namespace quorlix

#endif  // QUORLIX_DRIVER_RUN_RESOURCES_H_
