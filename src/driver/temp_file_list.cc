#include "driver/temp_file_list.h"

#include <iostream>

#include "driver/failure.h"

namespace quorlix {

const MadeFile& MakeListedFile(RunFolder& folder, const char* prefix, TempFileList& list,
                               OpenFile& slot, bool mayKeep) {
  // The list has room before the file exists, so a file is never made that
  // the list could not hold.
  if (list.files.size() == list.files.capacity()) list.files.reserve(2 * list.files.size() + 16);
  MadeFile made;
  if (!CreateUniqueFile(folder, prefix, made, slot, mayKeep)) Fail("GetTempFileName failed");
  list.files.push_back(std::move(made));
  return list.files.back();
}

bool DeleteListedFiles(RunFolder& folder, TempFileList& list) {
  bool allGone = true;
  for (const MadeFile& made : list.files) {
    if (DeleteMadeFile(folder, made)) continue;
    // Key material left behind: the user must know which file to remove.
    std::cerr << "Unable to delete file - " << MadeFileName(folder, made) << std::endl;
    allGone = false;
  }
  list.files.clear();
  return allGone;
}

}  // namespace quorlix
