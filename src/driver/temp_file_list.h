// Temporary files of a run. Every file the tool writes is made inside the
// run's folder under a three-letter prefix that tells its kind ("cap" raw
// captures, "mid" stage-one results, "dat" the output). Files are listed the
// moment they exist, so the teardown deletes them whether the run ended well
// or not; the output leaves its list once it is complete.
#ifndef QUORLIX_DRIVER_TEMP_FILE_LIST_H_
#define QUORLIX_DRIVER_TEMP_FILE_LIST_H_

#include <vector>

#include "platform/files.h"

namespace quorlix {

struct TempFileList {
  std::vector<MadeFile> files;
};

// Creates a new empty file in folder whose name begins with prefix, lists it
// and leaves it open for writing in slot; fails with "GetTempFileName
// failed". Only a file made with mayKeep can be kept (the output).
const MadeFile& MakeListedFile(RunFolder& folder, const char* prefix, TempFileList& list,
                               OpenFile& slot, bool mayKeep = false);

// Deletes the files first to last, each only if its name still leads to it,
// and forgets them. A file that stays is named on the error stream with
// "Unable to delete file - "; false if any did.
bool DeleteListedFiles(RunFolder& folder, TempFileList& list);

}  // namespace quorlix

#endif  // QUORLIX_DRIVER_TEMP_FILE_LIST_H_
