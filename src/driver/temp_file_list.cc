#include "driver/temp_file_list.h"

#include "driver/failure.h"

namespace quorlix {

const MadeFile& MakeListedFile(RunFolder& folder, const char* prefix, TempFileList& list,
                               OpenFile& slot) {
  // The list has room before the file exists, so a file is never made that
  // the list could not hold.
  if (list.files.size() == list.files.capacity()) list.files.reserve(2 * list.files.size() + 16);
  MadeFile made;
  if (!CreateUniqueFile(folder, prefix, made, slot)) Fail("GetTempFileName failed");
  list.files.push_back(std::move(made));
  return list.files.back();
}

void DeleteListedFiles(RunFolder& folder, TempFileList& list) {
  for (const MadeFile& made : list.files) DeleteMadeFile(folder, made);
  list.files.clear();
}

}  // namespace quorlix
