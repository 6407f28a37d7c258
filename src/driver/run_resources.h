// Everything a run holds open or owns: its folder, the lists of the files it
// made, the sound capture, the four open-file slots and the terminal, if
// any, that its live line is drawn on. The run driver creates it empty,
// lends it to every phase, and empties it in one teardown whether the run
// ended well or not.
#ifndef QUORLIX_DRIVER_RUN_RESOURCES_H_
#define QUORLIX_DRIVER_RUN_RESOURCES_H_

#include <ostream>

#include "capture/sound_capture.h"
#include "driver/temp_file_list.h"
#include "platform/files.h"

namespace quorlix {

struct RunResources {
  RunFolder folder;
  TempFileList rawList;
  TempFileList midList;
  // The output file while it is being written. A run that fails before the
  // file is complete and on disk deletes it, so a truncated file is never
  // taken for good output.
  TempFileList unfinishedOutput;
  SoundCapture soundCapture;
  OpenFile rawFileSlot;
  OpenFile inputSlot;
  OpenFile midSlot;
  OpenFile outputSlot;
  // Standard output when it is a terminal, where the captures draw their
  // live line; null when it is a pipe or a file.
  std::ostream* terminal = nullptr;
};

// Closes open slots, deletes the raw files, the mid files and any unfinished
// output, then releases the sound capture: a release that blocks can no
// longer leave files behind. Safe to call more than once. False when a file
// could not be deleted (each is named on the error stream).
bool TearDown(RunResources& resources);

}  // namespace quorlix

#endif  // QUORLIX_DRIVER_RUN_RESOURCES_H_
